#include "PeriodicTimer.h"

#include "Futex.h"
#include "MonotonicClock.h"

#include <cerrno>
#include <pthread.h>
#include <sched.h>
#include <time.h>

namespace {

// After a stall this long (a suspended machine, a debugger) the timer starts afresh instead of
// firing every missed tick at once.
constexpr long MaxCatchUpNanos = NanosPerSecond;

bool AskForRealTime() {
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

} // namespace

bool TPeriodicTimer::Start(uint32_t periodMs, std::function<void()> tick) {
    if (!tick)
        return false;
    return Start(periodMs, [every = std::move(tick)](uint32_t) {
        every();
        return 0u;
    });
}

bool TPeriodicTimer::Start(uint32_t periodMs, TTick tick) {
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

void TPeriodicTimer::Wake() {
    wakeWord_.fetch_add(1, std::memory_order_release);
    FutexWake(wakeWord_);
}

void TPeriodicTimer::Stop() {
    if (!thread_.joinable())
        return;
    stopRequested_.store(true, std::memory_order_release);
    Wake();
    thread_.join();
    hasCpuClock_ = false;
    running_.store(false, std::memory_order_release);
}

// `last` is the deadline of the previous call; `due` the one of the next. A wake moves `due` to
// the first period boundary after the wake, never later than planned.
void TPeriodicTimer::Run(uint32_t periodMs) {
    realTime_.store(AskForRealTime(), std::memory_order_release);
    const long period = static_cast<long>(periodMs) * 1000000L;
    timespec last{};
    clock_gettime(CLOCK_MONOTONIC, &last);
    timespec due = last;
    Advance(due, period);
    for (;;) {
        uint32_t seen = wakeWord_.load(std::memory_order_acquire);
        for (;;) {
            if (stopRequested_.load(std::memory_order_acquire))
                return;
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            if (!Before(now, due))
                break;
            FutexWait(wakeWord_, seen, &due);
            const uint32_t word = wakeWord_.load(std::memory_order_acquire);
            if (word == seen)
                continue;
            seen = word;
            clock_gettime(CLOCK_MONOTONIC, &now);
            timespec next = last;
            Advance(next, (NanosBetween(last, now) / period + 1) * period);
            if (Before(next, due))
                due = next;
        }
        const uint32_t skipped = static_cast<uint32_t>(NanosBetween(last, due) / period - 1);
        deadlineNs_ = static_cast<int64_t>(due.tv_sec) * NanosPerSecond + due.tv_nsec;
        const uint32_t idle = tick_(skipped);
        last = due;
        Advance(due, (static_cast<long>(idle) + 1) * period);
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (NanosBetween(last, now) > MaxCatchUpNanos) { // start afresh after a stall
            last = now;
            due = now;
            Advance(due, period);
        }
    }
}
