#pragma once

#include <cstdint>
#include <time.h>

// Instants of the monotonic clock, as the futex waits take them. The tick and the message log
// run on CLOCK_MONOTONIC, JACK's cycle times on CLOCK_MONOTONIC_RAW.

int64_t ClockNs(clockid_t clock) noexcept;

// CLOCK_MONOTONIC_RAW minus CLOCK_MONOTONIC now, read between two reads of the one clock so that
// a preemption between the reads cannot skew it: the pair that lay closest together of a few
// tries counts. Messages of several machines due at one moment then land in one frame.
int64_t RawMinusMonotonicNs() noexcept;

constexpr long NanosPerSecond = 1000000000L;

inline timespec MonotonicNow() noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now;
}

// Moves `at` on by `nanos` (not negative).
inline void Advance(timespec& at, long nanos) noexcept {
    at.tv_sec += static_cast<time_t>(nanos / NanosPerSecond);
    at.tv_nsec += nanos % NanosPerSecond;
    if (at.tv_nsec >= NanosPerSecond) {
        at.tv_nsec -= NanosPerSecond;
        ++at.tv_sec;
    }
}

inline long NanosBetween(const timespec& from, const timespec& to) noexcept {
    return (to.tv_sec - from.tv_sec) * NanosPerSecond + (to.tv_nsec - from.tv_nsec);
}

inline bool Before(const timespec& a, const timespec& b) noexcept {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}
