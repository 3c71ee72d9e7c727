#pragma once

#include <atomic>
#include <climits>
#include <cstdint>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

// The two futex calls the playback thread and its helpers sleep and wake with: no lock, and a
// wake costs a system call only where the caller decides it needs one.

// Sleeps while `word` still holds `seen`, until a wake or until `deadline` (absolute, on the
// monotonic clock; none: no limit). May also return early for no reason: callers check again.
inline void FutexWait(std::atomic<uint32_t>& word, uint32_t seen,
                      const timespec* deadline = nullptr) noexcept {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAIT_BITSET_PRIVATE, seen,
            deadline, nullptr, FUTEX_BITSET_MATCH_ANY);
}

// Wakes up to `sleepers` threads waiting on `word`.
inline void FutexWake(std::atomic<uint32_t>& word, int sleepers = INT_MAX) noexcept {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE_PRIVATE, sleepers, nullptr,
            nullptr, 0);
}
