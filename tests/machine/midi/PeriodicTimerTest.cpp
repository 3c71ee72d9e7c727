#include "midi/PeriodicTimer.h"

#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;

TEST(PeriodicTimer, TicksUntilStoppedAndNotAfter) {
    TPeriodicTimer timer;
    std::atomic<int> ticks{0};
    ASSERT_TRUE(timer.Start(1, [&] { ticks.fetch_add(1); }));
    EXPECT_TRUE(timer.Running());
    EXPECT_FALSE(timer.Start(1, [] {})) << "already running";
    while (ticks.load() < 5)
        std::this_thread::sleep_for(1ms);
    timer.Stop();
    EXPECT_FALSE(timer.Running());
    const int stoppedAt = ticks.load();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(ticks.load(), stoppedAt) << "no tick after Stop returned";
}

TEST(PeriodicTimer, CanBeRestartedAndStoppedTwice) {
    TPeriodicTimer timer;
    std::atomic<int> ticks{0};
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(timer.Start(1, [&] { ticks.fetch_add(1); }));
        while (ticks.load() <= round)
            std::this_thread::sleep_for(1ms);
        timer.Stop();
        timer.Stop();
    }
    EXPECT_FALSE(timer.Start(0, [] {})) << "a period of 0 is refused";
    EXPECT_FALSE(timer.Running());
}

// The CPU time is the timer thread's, not the caller's: each tick spins until its own thread
// has used 200 us, while the caller sleeps.
TEST(PeriodicTimer, CpuTimeIsTheTimerThreads) {
    TPeriodicTimer timer;
    EXPECT_EQ(timer.ThreadCpuTime().count(), 0) << "not running";
    std::atomic<int> ticks{0};
    auto threadCpu = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
    };
    const auto callerStart = threadCpu();
    ASSERT_TRUE(timer.Start(1, [&] {
        const auto start = threadCpu();
        while (threadCpu() - start < 200us) {
        }
        ticks.fetch_add(1);
    }));
    while (ticks.load() < 50)
        std::this_thread::sleep_for(5ms);
    const auto used = timer.ThreadCpuTime();
    EXPECT_GE(used, 50 * 200us);
    EXPECT_LT(threadCpu() - callerStart, used) << "the calling thread mostly slept";
    timer.Stop();
    EXPECT_EQ(timer.ThreadCpuTime().count(), 0);
}
