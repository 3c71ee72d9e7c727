// Playback on a beat grid (the Link session's), by hand-made ticks: every step stamped with the
// moment of its beat and sent on the nearest tick, the start on the next bar line, passes of
// exactly their steps' beats, a tempo change from the next event on, a grid that jumps ahead,
// the output's delay, MIDI clock on the grid; and the grid itself: the nearest end of the range
// for a session outside it, and looks that are never torn.

#include "PlaybackParts.h"
#include "midi/MonotonicClock.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

constexpr int64_t Ms = 1000000;

class FakeGrid : public TBeatGrid {
public:
    void Show(const TBeatSnapshot& snapshot) { Publish(snapshot); }
    TGridStart RequestStart(int64_t leadNs) override {
        leads.push_back(leadNs);
        return start;
    }
    void Stopped() override { ++stops; }

    TGridStart start;
    std::vector<int64_t> leads;
    int stops = 0;
};

struct Stamped {
    int64_t tick; // the moment of the tick that sent it
    uint32_t message;
    int64_t due;
};

// 120 BPM (a beat every 500 ms, a step every 125 ms), bars of four beats on beats 1, 5, 9 ...
TBeatSnapshot Grid120() {
    TBeatSnapshot grid;
    grid.Bpm = 120;
    grid.NsPerBeat = 500 * Ms;
    grid.BarOffset = 1;
    return grid;
}

class GridPlayback : public ::testing::Test, protected TPlaybackParts {
protected:
    void SetUp() override {
        InitSong(song, tempo, DefaultNote, -1, 0, "New Song"); // 16 steps of 200 ms
        BuildAllMelodies(song, melodies, out.Voice);
        song.SongReady = true;
        grid.Show(Grid120());
        grid.start = {100 * Ms, 0}; // beat 0.2: the first bar line after it is beat 1, 500 ms
        playback.FollowGrid(&grid);
    }

    void Start() {
        ASSERT_EQ(playback.PlayPattern(), TStartResult::Playing);
        port.Clear();
    }

    void TicksUntil(int64_t endNs) {
        for (; now < endNs; now += Ms) {
            support.HandDeadline = now;
            const size_t before = port.Size();
            playback.OnTick();
            for (size_t c = before; c < port.Size(); ++c)
                sent.push_back({now, static_cast<uint32_t>(port.Call(c).Value), port.Due(c)});
        }
    }

    std::vector<Stamped> Only(uint32_t status) const {
        std::vector<Stamped> only;
        for (const Stamped& s : sent)
            if ((s.message & 0xFF) == status || ((s.message & 0xF0) == status && status < 0xF0))
                only.push_back(s);
        return only;
    }

    FakeGrid grid;
    int64_t now = 0;
    std::vector<Stamped> sent;
};

} // namespace

TEST_F(GridPlayback, StepsLieOnTheBeatsFromTheNextBarLineAndAPassLastsItsBeats) {
    Start();
    EXPECT_EQ(grid.leads, std::vector<int64_t>{TPlayback::StartLeadNs});
    TicksUntil(4550 * Ms); // two passes of four beats and a step
    const std::vector<Stamped> ons = Only(0x90);
    ASSERT_EQ(ons.size(), 33u);
    for (size_t k = 0; k < ons.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(ons[k].due, 500 * Ms + static_cast<int64_t>(k) * 125 * Ms);
        EXPECT_LE(ons[k].tick, ons[k].due) << "handed over by the tick before its moment";
        EXPECT_GT(ons[k].tick, ons[k].due - Ms);
    }
    // Each step's note-off goes out with the next step's note-on, just before it.
    const std::vector<Stamped> offs = Only(0x80);
    ASSERT_GE(offs.size(), 32u);
    for (size_t k = 0; k < 32; ++k)
        EXPECT_EQ(offs[k].due, ons[k + 1].due);
    const auto passEnd =
        std::find_if(sent.begin(), sent.end(), [](const Stamped& s) { return s.due == 2500 * Ms; });
    ASSERT_NE(passEnd, sent.end());
    EXPECT_EQ(passEnd->message & 0xF0, 0x80u) << "a pass's last note-off before the next's step 1";
}

TEST_F(GridPlayback, ATempoChangeHoldsFromTheNextStepWithoutAJump) {
    Start();
    TicksUntil(1000 * Ms); // beat 2
    TBeatSnapshot slower = Grid120();
    slower.OriginBeat = 2;
    slower.OriginNs = 1000 * Ms;
    slower.NsPerBeat = 1000 * Ms; // 60 BPM from beat 2 on
    grid.Show(slower);
    TicksUntil(3001 * Ms);
    const std::vector<Stamped> ons = Only(0x90);
    ASSERT_EQ(ons.size(), 13u); // four steps at 120 BPM, then nine at 60 BPM
    for (size_t k = 4; k < ons.size(); ++k)
        EXPECT_EQ(ons[k].due, 1000 * Ms + static_cast<int64_t>(k - 4) * 250 * Ms);
}

TEST_F(GridPlayback, AfterAJumpAheadTheMissedNoteOnsAreLeftOutAndTheirNoteOffsGo) {
    Start();
    TicksUntil(1000 * Ms); // beat 2: four steps played, the fifth sounds
    TBeatSnapshot ahead = Grid120();
    ahead.OriginBeat = 1; // the session is one beat further on
    grid.Show(ahead);
    TicksUntil(2001 * Ms);
    for (const Stamped& on : Only(0x90))
        EXPECT_GE(on.due, on.tick - TPlayback::MaxLateNs) << "no note-on long past its moment";
    const auto lateOffs = std::count_if(sent.begin(), sent.end(), [](const Stamped& s) {
        return (s.message & 0xF0) == 0x80 && s.tick == 1000 * Ms && s.due < 900 * Ms;
    });
    EXPECT_EQ(lateOffs, 4) << "the notes of the steps passed over end at once";
    // On the grid that jumped, step 9 lies at 1000 ms and step 1 of the next pass (beat 5) at
    // 2000 ms.
    std::vector<int64_t> ons;
    for (const Stamped& on : Only(0x90))
        if (on.tick >= 1000 * Ms)
            ons.push_back(on.due);
    std::vector<int64_t> grid9to1;
    for (int64_t k = 0; k <= 8; ++k)
        grid9to1.push_back(1000 * Ms + k * 125 * Ms);
    EXPECT_EQ(ons, grid9to1);
}

TEST_F(GridPlayback, WhenTheBarLinesMoveThePassMovesWithThem) {
    Start();
    TicksUntil(1000 * Ms); // beat 2: four steps played
    TBeatSnapshot joined = Grid120();
    joined.BarOffset = 2; // another session's bars: beats 2, 6, 10 ...
    grid.Show(joined);
    TicksUntil(3001 * Ms);
    std::vector<int64_t> ons;
    for (const Stamped& on : Only(0x90))
        ons.push_back(on.due);
    std::vector<int64_t> expected;
    for (int64_t k = 0; k < 4; ++k)
        expected.push_back(500 * Ms + k * 125 * Ms);
    for (int64_t k = 4; k <= 16; ++k) // step 5 a beat later, step 1 on beat 6
        expected.push_back(1000 * Ms + k * 125 * Ms);
    EXPECT_EQ(ons, expected);
}

TEST_F(GridPlayback, TheOutputDelayComesFirst) {
    port.OutputTiming = {10 * Ms, true};
    Start();
    EXPECT_EQ(grid.leads, std::vector<int64_t>{TPlayback::StartLeadNs + 10 * Ms});
    TicksUntil(1200 * Ms);
    const std::vector<Stamped> ons = Only(0x90);
    ASSERT_EQ(ons.size(), 6u);
    for (size_t k = 0; k < ons.size(); ++k) {
        EXPECT_EQ(ons[k].due, 490 * Ms + static_cast<int64_t>(k) * 125 * Ms);
        EXPECT_LE(ons[k].tick, ons[k].due);
        EXPECT_GT(ons[k].tick, ons[k].due - Ms);
    }
}

TEST_F(GridPlayback, ADeviceThatSendsAtOnceGetsAMessageNotBeforeItsMoment) {
    const int64_t now = ClockNs(CLOCK_MONOTONIC);
    TBeatSnapshot real = Grid120();
    real.OriginNs = now + Ms * 6 / 10; // a bar line 0.6 ms after the tick's moment
    real.BarOffset = 0;
    grid.Show(real);
    grid.start = {now, 0};
    Start();
    support.HandDeadline = now;
    playback.OnTick();
    EXPECT_GE(ClockNs(CLOCK_MONOTONIC), real.OriginNs);
    ASSERT_EQ(port.Size(), 1u);
    EXPECT_EQ(port.Due(0), real.OriginNs);
}

TEST_F(GridPlayback, TheClockRunsOnTheGridWithStartFirst) {
    playback.SetSendClock(true);
    Start();
    TicksUntil(1000 * Ms);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0].message, 0xFAu);
    EXPECT_EQ(sent[0].due, 500 * Ms);
    const std::vector<Stamped> pulses = Only(0xF8);
    ASSERT_EQ(pulses.size(), 24u); // one beat
    for (size_t k = 0; k < pulses.size(); ++k)
        EXPECT_NEAR(pulses[k].due, 500 * Ms + static_cast<double>(k) * 500 * Ms / 24, 1);
    for (const Stamped& on : Only(0x90))
        EXPECT_TRUE(std::any_of(pulses.begin(), pulses.end(),
                                [&](const Stamped& p) { return p.due == on.due; }));
}

TEST_F(GridPlayback, AStopIsToldAndWithoutTheGridTheTicksCountAgain) {
    Start();
    TicksUntil(700 * Ms);
    playback.Stop();
    EXPECT_EQ(grid.stops, 1);
    playback.FollowGrid(nullptr);
    Start();
    support.HandDeadline = now;
    playback.OnTick();
    ASSERT_GT(port.Size(), 0u);
    EXPECT_EQ(port.Call(0).Value & 0xF0, 0x90) << "the first step at once";
    EXPECT_EQ(port.Due(0), now);
    EXPECT_TRUE(grid.leads.size() == 1u) << "no grid asked";
}

TEST(BeatGrid, ASessionOutsideTheRangePlaysAtItsNearestEndFromWhereTheGridStood) {
    const TBeatSnapshot before = Grid120();
    TSessionSample sample;
    sample.Ns = 1000 * Ms; // beat 2 of the grid before
    sample.Bpm = 600;
    sample.Beat = 7; // whatever the session's beats are
    sample.BeatLater = 17;
    const TBeatSnapshot fast = NextSnapshot(before, sample);
    EXPECT_EQ(fast.Bpm, 600);
    EXPECT_DOUBLE_EQ(fast.BeatAt(1000 * Ms), 2.0) << "no jump";
    EXPECT_DOUBLE_EQ(fast.NsPerBeat, 120.0 * Ms) << "500 BPM, the range's end";

    sample.Bpm = 150;
    sample.BeatLater = 9.5;
    sample.BarPhase = 3;
    const TBeatSnapshot inside = NextSnapshot(fast, sample);
    EXPECT_DOUBLE_EQ(inside.BeatAt(1000 * Ms), 7.0) << "the session's grid again";
    EXPECT_DOUBLE_EQ(inside.NsPerBeat, 400.0 * Ms);
    EXPECT_DOUBLE_EQ(inside.NextBar(7.5), 8.0);
}

TEST(BeatGrid, AReaderNeverSeesAHalfWrittenLook) {
    struct Writer : TBeatGrid {
        TGridStart RequestStart(int64_t) override { return {}; }
        void Stopped() override {}
        using TBeatGrid::Publish;
    } grid;
    TBeatSnapshot nothing;
    EXPECT_FALSE(grid.Read(nothing));
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    // The writer goes on until the reader has had its looks, however the threads are scheduled.
    std::thread writer([&] {
        for (uint64_t i = 1; i < 20000 || reads.load() < 100; ++i) {
            const double d = static_cast<double>(i);
            grid.Publish(
                {i, d, d, static_cast<int64_t>(i), d, d, d, i % 2 == 0, static_cast<int64_t>(i)});
        }
        done = true;
    });
    while (!done) {
        TBeatSnapshot look;
        if (!grid.Read(look))
            continue;
        ++reads;
        const double d = static_cast<double>(look.Commits);
        ASSERT_TRUE(look.Bpm == d && look.OriginBeat == d && look.OriginNs == look.PlayingNs &&
                    look.NsPerBeat == d && look.BarOffset == d && look.Quantum == d &&
                    look.Playing == (look.Commits % 2 == 0))
            << look.Commits;
    }
    writer.join();
    EXPECT_GT(reads, 0);
}
