#include "MonotonicClock.h"

int64_t ClockNs(clockid_t clock) noexcept {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t RawMinusMonotonicNs() noexcept {
    constexpr int Tries = 4;
    constexpr int64_t CloseEnoughNs = 2000;
    int64_t best = 0, bestGap = INT64_MAX;
    for (int i = 0; i < Tries && bestGap > CloseEnoughNs; ++i) {
        const int64_t before = ClockNs(CLOCK_MONOTONIC);
        const int64_t raw = ClockNs(CLOCK_MONOTONIC_RAW);
        const int64_t after = ClockNs(CLOCK_MONOTONIC);
        if (after - before < bestGap) {
            bestGap = after - before;
            best = raw - (before + (after - before) / 2);
        }
    }
    return best;
}
