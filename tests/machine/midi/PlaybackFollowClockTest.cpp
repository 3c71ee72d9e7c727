// Playback following a leader's MIDI clock: the tick takes the clock messages from the input and
// plays a step on every sixth pulse, stamped with the pulse's arrival.

#include "PlaybackParts.h"
#include "midi/MidiInput.h"
#include "midi/MonotonicClock.h"
#include "song/PatternFunctions.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

constexpr int64_t Ms = 1000000;
constexpr int64_t PulseNs = 25 * Ms; // 100 BPM
// The stamps go from CLOCK_MONOTONIC to CLOCK_MONOTONIC_RAW and back, each way measured afresh.
constexpr int64_t ClockConversionSlackNs = 20000;

struct Stamped {
    uint32_t Message = 0;
    int64_t Due = 0;
};

// Pattern p: step s holds note `first` + s, so a note-on tells its step.
void AddRisingPattern(TPkSong& song, int32_t p, int32_t first) {
    ResizePatternPool(song, std::max(song.PatternCount, p));
    for (int32_t s = 1; s <= song.Steps; ++s)
        song.Notes[p][s] = first + s;
}

class FollowClock : public ::testing::Test, protected TPlaybackParts {
protected:
    void SetUp() override {
        InitSong(song, tempo, DefaultNote, -1, 0, "New Song");
        AddRisingPattern(song, 1, 0);
        AddRisingPattern(song, 2, 20);
        BuildAllMelodies(song, melodies, out.Voice);
        song.SongReady = true;
        playback.FollowClock(&input);
        ASSERT_TRUE(playback.FollowsClock());
        port.Clear();
    }

    // A message from the leader at the current time, taken in by the tick of the millisecond
    // after it.
    void Receive(uint8_t status, uint8_t data1 = 0, uint8_t data2 = 0) {
        const uint8_t size = status == MidiStatus::SongPosition ? 3 : 1;
        input.Deliver(now + RawMinusMonotonicNs(), {status, data1, data2, size});
        Tick(now + Ms);
    }
    void Pulses(int count) {
        for (int i = 0; i < count; ++i) {
            now += PulseNs;
            pulseTimes.push_back(now);
            Receive(MidiStatus::Clock);
        }
    }
    void Tick(int64_t deadline) {
        const size_t before = port.Size();
        support.HandDeadline = deadline;
        EXPECT_EQ(playback.OnTicks(0), 0u) << "a tick that sleeps would hear the clock late";
        for (size_t c = before; c < port.Size(); ++c)
            sent.push_back({static_cast<uint32_t>(port.Call(c).Value), port.Due(c)});
    }

    // The note-on of step s (1-based) of pattern p, and its note-off.
    uint32_t NoteOn(int32_t p, int32_t s) const { return melodies.Event(p - 1, 2 * s - 2).Message; }
    uint32_t NoteOff(int32_t p, int32_t s) const {
        return melodies.Event(p - 1, 2 * s - 1).Message;
    }
    std::vector<Stamped> Sent(uint8_t kind) const {
        std::vector<Stamped> only;
        for (const Stamped& s : sent)
            if ((s.Message & 0xF0) == kind)
                only.push_back(s);
        return only;
    }
    void ExpectNoteOnAtPulse(const Stamped& sentOn, uint32_t noteOn, size_t pulse) const {
        EXPECT_EQ(sentOn.Message, noteOn);
        EXPECT_NEAR(static_cast<double>(sentOn.Due), static_cast<double>(pulseTimes.at(pulse - 1)),
                    ClockConversionSlackNs);
    }

    TMidiInputSink input;
    int64_t now = 10'000 * Ms;
    std::vector<int64_t> pulseTimes; // of every pulse, the first being pulse 1
    std::vector<Stamped> sent;
};

} // namespace

TEST_F(FollowClock, StartPlaysStepOneOnTheNextPulseThenAStepOnEverySixthPulse) {
    Pulses(5);
    EXPECT_TRUE(sent.empty()) << "pulses alone play nothing";
    EXPECT_EQ(playback.PlayPattern(), TStartResult::Idle) << "the leader starts playback";
    EXPECT_FALSE(playback.Playing());

    Receive(MidiStatus::Start);
    EXPECT_TRUE(playback.TakeInTransport());
    EXPECT_TRUE(playback.Playing());
    Pulses(13);
    const std::vector<Stamped> ons = Sent(0x90);
    ASSERT_EQ(ons.size(), 3u);
    ExpectNoteOnAtPulse(ons[0], NoteOn(1, 1), 6);
    ExpectNoteOnAtPulse(ons[1], NoteOn(1, 2), 12);
    ExpectNoteOnAtPulse(ons[2], NoteOn(1, 3), 18);
    const std::vector<Stamped> offs = Sent(0x80);
    ASSERT_EQ(offs.size(), 2u);
    EXPECT_EQ(offs[1].Message, NoteOff(1, 2));
    EXPECT_EQ(offs[1].Due, ons[2].Due) << "the step before ends on the pulse of the next";
    EXPECT_EQ(sent[sent.size() - 2].Message, offs[1].Message) << "the note-off goes first";
    EXPECT_EQ(state.PlayingEvent, 3) << "the step display shows step 3";

    // Stop: the sounding step ends, pulses play nothing until Continue.
    Receive(MidiStatus::Stop);
    EXPECT_EQ(sent.back().Message, NoteOff(1, 3));
    EXPECT_EQ(state.Rolling, 0);
    EXPECT_TRUE(playback.TakeInTransport());
    EXPECT_FALSE(playback.Playing());
    sent.clear();
    Pulses(12);
    EXPECT_TRUE(Sent(0x90).empty());

    // A pointer to step 9 (value 8), then Continue: step 9 on the next pulse.
    Receive(MidiStatus::SongPosition, 8, 0);
    Receive(MidiStatus::Continue);
    EXPECT_EQ(state.Rolling, 1);
    Pulses(7);
    const std::vector<Stamped> resumed = Sent(0x90);
    ASSERT_EQ(resumed.size(), 2u);
    ExpectNoteOnAtPulse(resumed[0], NoteOn(1, 9), pulseTimes.size() - 6);
    EXPECT_EQ(resumed[1].Message, NoteOn(1, 10));
}

TEST_F(FollowClock, InTrackModeThePositionWalksTheSongLines) {
    song.SonglineCount = 2;
    song.Songlines = {0, 1, 2};
    EXPECT_EQ(playback.PlaySong(), TStartResult::Idle);
    EXPECT_EQ(state.PlayMode, TPlayMode::Track);

    Receive(MidiStatus::SongPosition, 20, 0); // step 5 of the second line
    Receive(MidiStatus::Continue);
    EXPECT_EQ(state.TrackPosition, 2) << "the line is current before the roll is taken in";
    EXPECT_EQ(state.PatternChanged.exchange(0), 1);
    Pulses(1);
    ASSERT_EQ(Sent(0x90).size(), 1u);
    EXPECT_EQ(Sent(0x90)[0].Message, NoteOn(2, 5));
    Pulses(6 * 11);
    EXPECT_EQ(Sent(0x90).back().Message, NoteOn(2, 16));
    Pulses(6);
    EXPECT_EQ(Sent(0x90).back().Message, NoteOn(1, 1)) << "the track loops";
    EXPECT_EQ(state.TrackPosition, 1);
    EXPECT_EQ(state.CurrentPattern, 1);
}

TEST_F(FollowClock, ALostClockStopsOnceAndTheTempoComesFromThePulses) {
    Receive(MidiStatus::Start);
    Pulses(24);
    ASSERT_FALSE(Sent(0x90).empty());
    EXPECT_NEAR(playback.ClockStepTimeMs(), 150.0, 0.01) << "six pulses of 25 ms";

    // Two beats without a pulse, looked at every millisecond.
    const int64_t silentFrom = now;
    for (int64_t t = silentFrom + Ms; t <= silentFrom + 2 * 24 * PulseNs + 2 * Ms; t += Ms)
        Tick(t);
    EXPECT_EQ(state.Rolling, 0);
    EXPECT_EQ(sent.back().Message, NoteOff(1, 4));
    EXPECT_TRUE(playback.TakeClockLost());
    EXPECT_FALSE(playback.TakeClockLost()) << "told once";

    sent.clear();
    Pulses(12);
    EXPECT_TRUE(Sent(0x90).empty()) << "pulses again wait for Start or Continue";
}

TEST_F(FollowClock, StopOfTheMachineHoldsUntilTheLeadersNextStart) {
    Receive(MidiStatus::Start);
    Pulses(7);
    playback.TakeInTransport();
    ASSERT_TRUE(playback.Playing());
    playback.Stop();
    EXPECT_FALSE(playback.Playing()) << "at once";
    EXPECT_FALSE(playback.TakeInTransport()) << "the roll the tick still had is not taken in";
    sent.clear();
    Pulses(12);
    EXPECT_TRUE(Sent(0x90).empty());
    EXPECT_EQ(Sent(0x80).size(), 1u) << "the sounding step ended";
    Receive(MidiStatus::Start);
    Pulses(1);
    EXPECT_EQ(Sent(0x90).back().Message, NoteOn(1, 1));
}

TEST_F(FollowClock, PassesTheClockOnKeepsStepsForABusyDeviceAndMutesNoteOnsOnly) {
    playback.SetSendClock(true);
    Receive(MidiStatus::Start);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Message, 0xFAu);
    Pulses(1);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1].Message, 0xF8u) << "the pulse before the step it brings";
    EXPECT_EQ(sent[2].Message, NoteOn(1, 1));
    EXPECT_NEAR(static_cast<double>(sent[1].Due), static_cast<double>(pulseTimes[0]),
                ClockConversionSlackNs);

    ASSERT_TRUE(out.TryLockDevice()); // the user-interface thread is sending
    Pulses(6);
    out.UnlockDevice();
    Tick(now + 2 * Ms);
    ASSERT_FALSE(Sent(0x90).empty());
    ExpectNoteOnAtPulse(Sent(0x90).back(), NoteOn(1, 2), 7);

    playback.ToggleMute();
    sent.clear();
    Pulses(6);
    EXPECT_TRUE(Sent(0x90).empty());
    ASSERT_EQ(Sent(0x80).size(), 1u);
    EXPECT_EQ(Sent(0x80)[0].Message, NoteOff(1, 2));
}

TEST_F(FollowClock, AGridAndTheClockAreNeverFollowedTogether) {
    struct Grid : TBeatGrid {
        TGridStart RequestStart(int64_t) override { return {}; }
        void Stopped() override {}
    } grid;
    playback.FollowGrid(&grid);
    EXPECT_FALSE(playback.FollowsGrid()) << "the clock that is followed holds";
    playback.FollowClock(nullptr);
    EXPECT_FALSE(playback.Armed() || support.TimerRunning());
}

// The real timer ticks while a leader's thread sends clock and this thread uses the transport.
// Run under ThreadSanitizer: any data race fails it.
TEST(FollowClockThreads, TheTimerFollowsWhileTheWindowsPlay) {
    TPlaybackParts parts;
    parts.support.TicksByHand = false;
    InitSong(parts.song, parts.tempo, DefaultNote, -1, 0, "New Song");
    BuildAllMelodies(parts.song, parts.melodies, parts.out.Voice);
    parts.song.SongReady = true;
    TMidiInputSink input;
    parts.playback.SetSendClock(true);
    parts.playback.FollowClock(&input);
    ASSERT_TRUE(parts.support.TimerRunning());

    std::atomic<bool> done{false};
    std::thread leader([&] {
        input.Deliver(ClockNs(CLOCK_MONOTONIC_RAW), {MidiStatus::Start, 0, 0, 1});
        for (int pulse = 1; pulse <= 400; ++pulse) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            input.Deliver(ClockNs(CLOCK_MONOTONIC_RAW), {MidiStatus::Clock, 0, 0, 1});
            if (pulse % 30 == 0)
                input.Deliver(ClockNs(CLOCK_MONOTONIC_RAW), {MidiStatus::Continue, 0, 0, 1});
        }
        done = true;
    });
    for (int round = 0; !done; ++round) {
        parts.playback.TakeInTransport();
        parts.playback.ClockStepTimeMs();
        parts.playback.SetTransposition(round % 3);
        if (round % 40 == 39)
            parts.playback.Stop();
        parts.playback.ChooseTrackMode();
        parts.playback.ChoosePatternMode();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    leader.join();
    // The timer takes in what is left in the input; a bound, not a measurement.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (parts.playback.ClockStepTimeMs() == 0 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_GT(parts.playback.ClockStepTimeMs(), 0.0);
    parts.playback.FollowClock(nullptr);
    EXPECT_FALSE(parts.support.TimerRunning());
    size_t noteOns = 0;
    for (uint32_t message : parts.port.ShortMessages())
        noteOns += (message & 0xF0) == 0x90 ? 1 : 0;
    EXPECT_GT(noteOns, 0u);
    EXPECT_EQ(parts.port.Dropped(), 0u);
}
