// Following a leader's MIDI clock: Start, Stop, Continue and the Song Position Pointer, steps
// locked to every sixth pulse, the tempo the pulses show, and a lost clock.
#include "midi/ClockFollower.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

using TState = TClockFollower::TState;
using TStopReason = TClockFollower::TStopReason;

constexpr int64_t Ms = 1'000'000;
constexpr int64_t PulseAt100Bpm = 25 * Ms;

// Sends pulses at `interval` from `clock` on; returns the positions of the steps they bring.
std::vector<int64_t> Pulses(TClockFollower& follower, int count, int64_t& clock,
                            int64_t interval = PulseAt100Bpm) {
    std::vector<int64_t> positions;
    for (int i = 0; i < count; ++i) {
        clock += interval;
        if (const auto step = follower.Pulse(clock))
            positions.push_back(step->Position);
    }
    return positions;
}

using TPositions = std::vector<int64_t>;

TEST(ClockFollower, StartStopContinueAndThePointerDoWhatTheySay) {
    TClockFollower follower;
    int64_t clock = 0;
    EXPECT_EQ(Pulses(follower, 30, clock), TPositions{}) << "pulses alone start nothing";

    follower.SongPosition(8);
    follower.Start(clock);
    EXPECT_EQ(follower.State(), TState::Waiting);
    EXPECT_EQ(Pulses(follower, 13, clock), (TPositions{0, 1, 2}))
        << "Start plays the first step on the next pulse, whatever pointer came before";
    follower.Continue(clock);
    follower.Stop();
    EXPECT_EQ(follower.StopReason(), TStopReason::StopMessage);
    EXPECT_EQ(Pulses(follower, 12, clock), TPositions{});
    EXPECT_EQ(follower.NextPosition(), 3);

    follower.Continue(clock);
    EXPECT_EQ(Pulses(follower, 5, clock), TPositions{}) << "the stopped step's pulses go on";
    EXPECT_EQ(Pulses(follower, 7, clock), (TPositions{3, 4}));

    follower.Stop();
    follower.SongPosition(8);
    EXPECT_EQ(follower.NextPosition(), 8);
    follower.Continue(clock);
    EXPECT_EQ(Pulses(follower, 7, clock), (TPositions{8, 9})) << "the pointer to step 9";
    follower.Start(clock);
    EXPECT_EQ(Pulses(follower, 1, clock), TPositions{0}) << "Start while running starts over";
}

TEST(ClockFollower, EveryStepFallsOnItsSixthPulseWhateverTheTempo) {
    TClockFollower follower;
    follower.Start(0);
    std::mt19937 random(7);
    std::uniform_int_distribution<int64_t> interval(5 * Ms, 60 * Ms);
    int64_t clock = 0;
    for (int pulse = 0; pulse < 600; ++pulse) {
        clock += interval(random);
        const auto step = follower.Pulse(clock);
        if (pulse % 6 == 0)
            EXPECT_EQ(step, (TClockFollower::TDueStep{pulse / 6, clock}));
        else
            EXPECT_FALSE(step);
    }
}

TEST(ClockFollower, TheTempoIsWithinHalfABpmAfter24JitteryPulses) {
    TClockFollower follower;
    EXPECT_FALSE(follower.BeatsPerMinute());
    std::mt19937 random(2024);
    std::uniform_int_distribution<int64_t> jitter(-Ms, Ms);
    const auto jitteryPulses = [&](int count, int64_t interval, int64_t& grid) {
        for (int i = 0; i < count; ++i) {
            grid += interval;
            follower.Pulse(grid + jitter(random));
        }
    };
    int64_t grid = 1000 * Ms;
    for (int run = 0; run < 20; ++run) {
        jitteryPulses(24, PulseAt100Bpm, grid);
        ASSERT_TRUE(follower.BeatsPerMinute());
        EXPECT_NEAR(*follower.BeatsPerMinute(), 100.0, 0.5) << "run " << run;
        EXPECT_NEAR(*follower.StepTimeMs(), 150.0, 0.75);
        // The next run starts afresh after a silence.
        grid += 2 * TClockFollower::FallbackTimeoutNs;
    }
    jitteryPulses(48, PulseAt100Bpm * 100 / 120, grid);
    EXPECT_NEAR(*follower.BeatsPerMinute(), 120.0, 0.5) << "two beats follow a tempo change";
}

TEST(ClockFollower, TwoBeatsWithoutPulsesStopItUntilStartOrContinue) {
    TClockFollower follower;
    follower.Start(0);
    EXPECT_FALSE(follower.CheckClockLost(TClockFollower::FallbackTimeoutNs));
    EXPECT_TRUE(follower.CheckClockLost(TClockFollower::FallbackTimeoutNs + 1))
        << "no estimate yet: the fixed time";
    EXPECT_EQ(follower.StopReason(), TStopReason::ClockLost);
    EXPECT_FALSE(follower.CheckClockLost(10 * TClockFollower::FallbackTimeoutNs)) << "once";

    int64_t clock = 0;
    follower.Continue(clock);
    Pulses(follower, 20, clock);
    const int64_t twoBeats = 48 * PulseAt100Bpm;
    EXPECT_FALSE(follower.CheckClockLost(clock + twoBeats - Ms));
    EXPECT_EQ(follower.State(), TState::Running);
    EXPECT_TRUE(follower.CheckClockLost(clock + twoBeats + Ms));
    EXPECT_EQ(follower.State(), TState::Stopped);

    clock += 10 * twoBeats;
    EXPECT_EQ(Pulses(follower, 12, clock), TPositions{}) << "pulses again: it waits";
    follower.Continue(clock);
    EXPECT_EQ(Pulses(follower, 6, clock), TPositions{4}) << "on from where the clock was lost";
}

} // namespace
