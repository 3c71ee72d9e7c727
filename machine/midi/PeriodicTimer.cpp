#include "PeriodicTimer.h"

#include <cerrno>
#include <pthread.h>
#include <sched.h>
#include <time.h>

namespace {

constexpr long NanosPerSecond = 1000000000L;
// After a stall this long (a suspended machine, a debugger) the timer starts afresh instead of
// firing every missed tick at once.
constexpr long MaxCatchUpNanos = NanosPerSecond;

void Advance(timespec& at, long nanos) {
    at.tv_nsec += nanos;
    while (at.tv_nsec >= NanosPerSecond) {
        at.tv_nsec -= NanosPerSecond;
        ++at.tv_sec;
    }
}

long NanosBetween(const timespec& from, const timespec& to) {
    return (to.tv_sec - from.tv_sec) * NanosPerSecond + (to.tv_nsec - from.tv_nsec);
}

bool AskForRealTime() {
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

} // namespace

bool TPeriodicTimer::Start(uint32_t periodMs, std::function<void()> tick) {
    if (Running() || periodMs == 0 || !tick)
        return false;
    tick_ = std::move(tick);
    stopRequested_.store(false, std::memory_order_release);
    try {
        thread_ = std::thread(&TPeriodicTimer::Run, this, periodMs);
    } catch (const std::system_error&) {
        return false;
    }
    hasCpuClock_ = pthread_getcpuclockid(thread_.native_handle(), &cpuClock_) == 0;
    running_.store(true, std::memory_order_release);
    return true;
}

std::chrono::nanoseconds TPeriodicTimer::ThreadCpuTime() const {
    timespec used{};
    if (!Running() || !hasCpuClock_ || clock_gettime(cpuClock_, &used) != 0)
        return std::chrono::nanoseconds(0);
    return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
}

void TPeriodicTimer::Stop() {
    if (!thread_.joinable())
        return;
    stopRequested_.store(true, std::memory_order_release);
    thread_.join();
    hasCpuClock_ = false;
    running_.store(false, std::memory_order_release);
}

void TPeriodicTimer::Run(uint32_t periodMs) {
    realTime_.store(AskForRealTime(), std::memory_order_release);
    const long period = static_cast<long>(periodMs) * 1000000L;
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    for (;;) {
        Advance(deadline, period);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
        }
        if (stopRequested_.load(std::memory_order_acquire))
            return;
        tick_();
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (NanosBetween(deadline, now) > MaxCatchUpNanos)
            deadline = now;
    }
}
