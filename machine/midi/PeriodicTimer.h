#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <time.h>

// A periodic timer thread on absolute deadlines of the monotonic clock: each deadline is the
// previous one plus a whole number of periods, so a late wake-up never shifts the ticks after it.
// The thread asks for real-time scheduling and keeps plain scheduling when the system refuses.
//
// The callback says how many of the following ticks would do nothing; the thread sleeps over
// them and tells the callback on its next call how many periods it slept over ("skipped"), so
// that it can count them. Wake (any thread) ends such a sleep at the next period boundary: a
// change that might make an earlier tick do something.
//
// Start and Stop are called from one thread (the user-interface thread). The callback runs on the
// timer thread; it must be short and must not call Start or Stop.
class TPeriodicTimer {
public:
    // Given the periods slept over since the previous call, runs one tick and returns how many
    // periods after it need no call.
    using TTick = std::function<uint32_t(uint32_t skipped)>;

    TPeriodicTimer() = default;
    ~TPeriodicTimer() { Stop(); }
    TPeriodicTimer(const TPeriodicTimer&) = delete;
    TPeriodicTimer& operator=(const TPeriodicTimer&) = delete;

    // Starts calling `tick` on the period grid of periodMs milliseconds; false when already
    // running or when no thread could be started.
    bool Start(uint32_t periodMs, TTick tick);
    // The same for a tick that wants every period.
    bool Start(uint32_t periodMs, std::function<void()> tick);

    // Ends a sleep over idle periods at the next period boundary. Never blocks; any thread.
    void Wake();

    // Stops the thread and waits until the callback in progress, if any, has returned.
    void Stop();

    bool Running() const { return running_.load(std::memory_order_acquire); }

    // The deadline of the tick that runs (nanoseconds of CLOCK_MONOTONIC): the moment the tick
    // stands for, whenever the thread woke. Only the tick itself reads it.
    int64_t Deadline() const noexcept { return deadlineNs_; }

    // Whether the timer thread got real-time scheduling (for diagnosis).
    bool RealTime() const { return realTime_.load(std::memory_order_acquire); }

    // CPU time the timer thread has used since it started, from its own CPU-time clock (for
    // diagnosis and benchmarks). Zero when the timer does not run. Same thread as Start.
    std::chrono::nanoseconds ThreadCpuTime() const;

private:
    void Run(uint32_t periodMs);

    std::thread thread_;
    TTick tick_;
    std::atomic<uint32_t> wakeWord_{0}; // bumped by Wake; the thread waits on it (futex)
    std::atomic<bool> running_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> realTime_{false};
    int64_t deadlineNs_ = 0; // timer thread only
    clockid_t cpuClock_{};
    bool hasCpuClock_ = false;
};
