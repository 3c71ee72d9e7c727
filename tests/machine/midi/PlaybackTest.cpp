#include "midi/Playback.h"

#include "PlaybackParts.h"

#include <gtest/gtest.h>

namespace {

using Kind = TMidiCall::Kind;

uint32_t Word(uint32_t status, uint32_t key, uint32_t velocity) {
    return status + key * 256 + velocity * 65536;
}
uint32_t On(uint32_t key, uint32_t velocity = 127) {
    return Word(0x90, key, velocity);
}
uint32_t Off(uint32_t key, uint32_t velocity = 127) {
    return Word(0x80, key, velocity);
}

struct Sent {
    int tick;
    uint32_t message;
    bool operator==(const Sent&) const = default;
};

void PrintTo(const Sent& sent, std::ostream* out) {
    *out << "tick " << sent.tick << ": " << std::hex << sent.message << std::dec;
}

// The song, its timelines and the output, with a recording port and a timer whose ticks the
// test makes itself.
class Playback : public ::testing::Test, protected TPlaybackParts {
protected:
    void SetUp() override {
        InitSong(song, tempo, DefaultNote, -1, 0, "New Song");
        BuildAllMelodies(song, melodies, out.Voice);
    }

    // Pattern p: step s holds note `first` + s - 1.
    void AddRisingPattern(int32_t p, int32_t first) {
        ResizePatternPool(song, std::max(song.PatternCount, p));
        for (int32_t s = 1; s <= song.Steps; ++s)
            song.Notes[p][s] = first + s - 1;
        BuildAllMelodies(song, melodies, out.Voice);
    }

    void SetTrack(std::vector<int32_t> lines) {
        song.SonglineCount = static_cast<int32_t>(lines.size());
        lines.insert(lines.begin(), 0);
        song.Songlines = lines;
    }

    // Makes `count` ticks and returns the notes sent, numbered from the first of them.
    std::vector<Sent> Ticks(int count) {
        std::vector<Sent> sent;
        for (int i = 0; i < count; ++i) {
            const size_t before = port.Size();
            playback.OnTick();
            for (size_t c = before; c < port.Size(); ++c)
                if (port.Call(c).What == Kind::Short)
                    sent.push_back({tick + i, static_cast<uint32_t>(port.Call(c).Value)});
        }
        tick += count;
        return sent;
    }

    // Starts in pattern mode and forgets what the start sent.
    void StartPattern() {
        ASSERT_EQ(playback.PlayPattern(), TStartResult::Playing);
        port.Clear();
        tick = 0;
    }

    int tick = 0;
};

} // namespace

TEST_F(Playback, StartOpensTheMapperSelectsBankAndProgram) {
    song.Bank = 5;
    out.SetPatch(33);
    EXPECT_EQ(playback.PlayPattern(), TStartResult::Playing);
    EXPECT_TRUE(playback.Playing());
    EXPECT_TRUE(support.TimerRunning());
    EXPECT_EQ(support.Period, 1u);
    EXPECT_EQ(port.Calls(), (std::vector<TMidiCall>{
                                {Kind::Open, -1},
                                {Kind::Short, Word(0xB0, 0, 5)},
                                {Kind::Short, Word(0xB0, 32, 0)},
                                {Kind::Short, out.Voice.BuildMessage(uint8_t(33 - 35), 0xC0, 0)}}));
    EXPECT_EQ(port.Calls().back().Value & 0xFFFF, 0x21C0) << "program 33 on channel 1";
}

TEST_F(Playback, NotesFallOnTheStepGridAndAPassLastsOneTickMore) {
    StartPattern();
    const auto sent = Ticks(3202 + 1);
    std::vector<Sent> expected;
    for (int step = 0; step < 16; ++step) {
        if (step > 0)
            expected.push_back({200 * step, Off(45)});
        expected.push_back({200 * step, On(45)});
    }
    expected.push_back({3200, Off(45)});
    expected.push_back({3201, On(45)}); // the next pass begins
    EXPECT_EQ(sent, expected);
}

TEST_F(Playback, RestsAndHoldStepsSendNothingButKeepTheirTime) {
    song.Notes[1][2] = 0;
    for (int s = 3; s <= 5; ++s) {
        song.Notes[1][s] = 20;
        song.Lengths[1][s] = 3;
    }
    song.Gates[1][3] = gtStart;
    song.Gates[1][4] = gtHold;
    song.Gates[1][5] = gtEnd;
    BuildAllMelodies(song, melodies, out.Voice);
    StartPattern();
    EXPECT_EQ(Ticks(1001),
              (std::vector<Sent>{
                  {0, On(45)}, {200, Off(45)}, {400, On(55)}, {1000, Off(55)}, {1000, On(45)}}));
}

TEST_F(Playback, AOneEntryTrackLoopsItsPattern) {
    state.PlayMode = TPlayMode::Track;
    ASSERT_EQ(playback.PlayToggle(), TStartResult::Playing);
    Ticks(3 * 3201);
    EXPECT_EQ(state.TrackPosition, 1);
    EXPECT_EQ(state.CurrentPattern, 1);
}

TEST_F(Playback, TheTrackAdvancesAndWrapsAtEachPassEnd) {
    AddRisingPattern(2, 20);
    SetTrack({2, 1, 2});
    state.PlayMode = TPlayMode::Track;
    state.TrackPosition = 3; // the play toggle starts the track from its first line
    ASSERT_EQ(playback.PlayToggle(), TStartResult::Playing);
    EXPECT_EQ(state.CurrentPattern, 2);
    port.Clear();
    EXPECT_EQ(Ticks(1).front(), (Sent{0, On(55)}));
    Ticks(3200);
    EXPECT_EQ(state.TrackPosition, 2);
    EXPECT_EQ(state.CurrentPattern, 1);
    EXPECT_EQ(state.PatternChanged.exchange(0), 1);
    Ticks(3201);
    Ticks(3201);
    EXPECT_EQ(state.TrackPosition, 1) << "wrapped after the last line";
    EXPECT_EQ(state.CurrentPattern, 2);
}

TEST_F(Playback, SwitchingModesWhilePlayingTakesEffectAtThePassEnd) {
    AddRisingPattern(2, 20);
    SetTrack({1, 2});
    StartPattern();
    Ticks(1000);
    port.Clear();
    EXPECT_EQ(playback.PlaySong(), TStartResult::Playing); // "> SONG" while a pattern loops
    EXPECT_EQ(port.Size(), 0u) << "no restart";
    Ticks(2201);
    EXPECT_EQ(state.TrackPosition, 2);
    EXPECT_EQ(state.CurrentPattern, 2);
    Ticks(500);
    EXPECT_EQ(playback.PlayPattern(), TStartResult::Playing); // "> PAT." while the track plays
    Ticks(2701);
    EXPECT_EQ(state.CurrentPattern, 2) << "the current pattern loops";
    EXPECT_EQ(state.TrackPosition, 2);
}

TEST_F(Playback, ChangingTheShownPatternKeepsTheStep) {
    AddRisingPattern(2, 20);
    StartPattern();
    Ticks(450);
    state.CurrentPattern = 2;
    EXPECT_EQ(state.EventCursor, 5);
    // The editor's pattern box silences what sounded; the tick just reads the new timeline.
    EXPECT_EQ(Ticks(151), (std::vector<Sent>{{600, Off(57)}, {600, On(58)}}))
        << "pattern 2 continues at step 4";
}

TEST_F(Playback, StopSilencesAndClosesOnlyOnce) {
    StartPattern();
    Ticks(10);
    playback.Stop();
    EXPECT_FALSE(playback.Playing());
    EXPECT_FALSE(support.TimerRunning());
    EXPECT_FALSE(support.DeviceOpen);
    const auto calls = port.Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2].What, Kind::Reset);
    EXPECT_EQ(calls.back().What, Kind::Close);
    EXPECT_EQ(state.PlayingEvent, 0);
    port.Clear();
    playback.Stop();
    EXPECT_EQ(port.Size(), 0u) << "the second STOP does not reset again";
}

TEST_F(Playback, MutingSilencesAtOnceAndTheCursorRunsOn) {
    StartPattern();
    Ticks(100);
    playback.ToggleMute();
    const auto calls = port.Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), TMidiCall{Kind::Short, Off(45, 0)}),
              calls.end());
    EXPECT_EQ(calls.back().What, Kind::Reset);
    port.Clear();
    EXPECT_TRUE(Ticks(400).empty());
    EXPECT_EQ(state.EventCursor, 5);
    playback.ToggleMute();
    port.Clear();
    EXPECT_EQ(Ticks(101), (std::vector<Sent>{{600, Off(45)}, {600, On(45)}}));
}

TEST_F(Playback, TempoAppliesOnReleaseOnlyWhenChanged) {
    StartPattern();
    EXPECT_FALSE(playback.ReleaseTempo(200)) << "released at the same value";
    EXPECT_EQ(state.Resync, 0);
    Ticks(450); // event 5 (end of step 3) is next, due at 600
    EXPECT_TRUE(playback.ReleaseTempo(100));
    EXPECT_EQ(song.StepTime, 100);
    EXPECT_EQ(tempo.MsPerStep, 100);
    EXPECT_EQ(tempo.UsPerQuarter, 400000);
    // Same event index on the new grid: event 5 is now due at 300, and the counter is re-based.
    EXPECT_EQ(Ticks(101),
              (std::vector<Sent>{{450, Off(45)}, {450, On(45)}, {550, Off(45)}, {550, On(45)}}));
    song.SongReady = false;
    EXPECT_FALSE(playback.ReleaseTempo(300));
    EXPECT_EQ(song.StepTime, 100);
}

TEST_F(Playback, TranspositionAndVolumeReachTheNextNotes) {
    StartPattern();
    Ticks(100);
    EXPECT_TRUE(playback.SetTransposition(5));
    EXPECT_EQ(port.Calls().back().What, Kind::Reset) << "sounding notes are silenced";
    EXPECT_EQ(song.Transpose[1], 5);
    playback.SetVolume(90);
    port.Clear();
    EXPECT_EQ(Ticks(101), (std::vector<Sent>{{200, Off(50, 90)}, {200, On(50, 90)}}));
    song.SongReady = false;
    EXPECT_FALSE(playback.SetTransposition(0));
    EXPECT_EQ(out.Voice.GlobalTranspose, 5);
}

TEST_F(Playback, PausedTicksDoNothing) {
    StartPattern();
    state.PauseTicks = 1;
    EXPECT_TRUE(Ticks(500).empty());
    EXPECT_EQ(state.TickCount, 0);
    state.PauseTicks = 0;
    EXPECT_EQ(Ticks(1).size(), 1u);
}

TEST_F(Playback, ATickNeverWaitsForTheDevice) {
    StartPattern();
    ASSERT_TRUE(out.TryLockDevice()); // the user-interface thread is sending right now
    EXPECT_TRUE(Ticks(3).empty());
    EXPECT_EQ(state.EventCursor, 0) << "the due event waits for the next tick";
    out.UnlockDevice();
    EXPECT_EQ(Ticks(1), (std::vector<Sent>{{3, On(45)}}));
}

TEST_F(Playback, TheTrackPositionStaysInsideAShrunkenTrack) {
    SetTrack({1, 1, 1, 1});
    state.PlayMode = TPlayMode::Track;
    ASSERT_EQ(playback.PlayToggle(), TStartResult::Playing);
    Ticks(3 * 3201);
    EXPECT_EQ(state.TrackPosition, 4);
    playback.WithTicksPaused([&] { SetTrack({1, 1}); });
    EXPECT_EQ(state.TrackPosition, 1);
    Ticks(3201);
    EXPECT_EQ(state.TrackPosition, 2);
    playback.WithTicksPaused([&] { SetTrack({}); });
    Ticks(3201);
    EXPECT_EQ(state.TrackPosition, 1) << "an empty track keeps the pattern looping";
}

TEST_F(Playback, ABusyDeviceKeepsTheTransportStopped) {
    port.OpenResult = 4;
    EXPECT_EQ(playback.PlayPattern(), TStartResult::DeviceBusy);
    EXPECT_FALSE(playback.Playing());
    EXPECT_FALSE(support.TimerRunning());
    port.OpenResult = 6;
    EXPECT_EQ(playback.PlayToggle(), TStartResult::Failed);
    EXPECT_FALSE(playback.Playing());
}

TEST_F(Playback, ModeButtonsRestartThroughThePlayToggle) {
    AddRisingPattern(2, 20);
    SetTrack({2, 1});
    EXPECT_EQ(playback.ChooseTrackMode(), TStartResult::Idle);
    EXPECT_FALSE(playback.Playing());
    StartPattern();
    EXPECT_EQ(playback.ChooseTrackMode(), TStartResult::Playing);
    EXPECT_EQ(state.PlayMode, TPlayMode::Track);
    EXPECT_EQ(state.CurrentPattern, 1) << "a running pass finishes first";
}
