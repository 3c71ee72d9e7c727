#pragma once

#include <time.h>

// Instants of the monotonic clock, as the futex waits take them.

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
