#include "SessionSongs.h"
#include "TempDir.h"
#include "midi/MidiPortRecording.h"
#include "session/MachineSession.h"
#include "session/UndoHistory.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

using Kind = TMidiCall::Kind;

// A session on a recording port; the tests call the playback tick themselves and see every
// report the session makes.
class Session : public ::testing::Test {
protected:
    Session() : session(Recording()) {
        session.Support().TicksByHand = true;
        session.Listen([this](TChanges changes) { reports.push_back(changes); });
    }

    std::unique_ptr<TMidiPort> Recording() {
        auto recording = std::make_unique<TRecordingMidiPort>(std::vector<std::string>{"Synth"});
        port = recording.get();
        return recording;
    }

    void Load(int patterns, const std::vector<int>& track) {
        ASSERT_TRUE(LoadSong(session, PatternsAndTrack(patterns, track), dir));
    }

    std::vector<int> Track() const {
        const TPkSong& song = session.Song();
        return {song.Songlines.begin() + 1, song.Songlines.begin() + 1 + song.SonglineCount};
    }

    // One whole pass of the current pattern (16 steps at 200 ms).
    void PlayOnePass() {
        for (int tick = 0; tick < 16 * 200 + 1; ++tick)
            session.Playback().OnTick();
    }

    bool Reset() const {
        for (const TMidiCall& call : port->Calls())
            if (call.What == Kind::Reset)
                return true;
        return false;
    }

    TempDir dir;
    TRecordingMidiPort* port = nullptr;
    TMachineSession session;
    std::vector<TChanges> reports;
};

} // namespace

TEST_F(Session, AnOperationReportsOnceAndAListenerMayActOnIt) {
    session.NewSong({8, true});
    ASSERT_EQ(reports.size(), 1u) << "made of several operations, reported once";
    EXPECT_EQ(reports[0] & chNewSong, chNewSong);

    reports.clear();
    const int id = session.Listen([this](TChanges changes) {
        if (changes & chPatterns)
            session.SetPatternName("made by a listener");
    });
    session.AddPattern(5);
    session.Unlisten(id);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_TRUE(reports[0] & chPatterns);
    EXPECT_EQ(reports[1], TChanges{chPatternName | chHistory})
        << "the listener's own operation follows";
    EXPECT_EQ(session.Song().PatternNames[2], "made by a listener");

    reports.clear();
    session.SelectPattern(2);
    EXPECT_TRUE(reports.empty()) << "nothing changed: nothing reported";
}

// The play toggle shows whether something plays, whatever started or stopped it, and every
// start and stop is reported.
TEST_F(Session, ThePlayToggleIsDownExactlyWhileSomethingPlays) {
    Load(2, {1, 2});
    const std::vector<std::pair<const char*, std::function<void()>>> starts = {
        {"play toggle", [this] { session.PlayToggle(); }},
        {"play pattern", [this] { session.PlayPattern(); }},
        {"play song", [this] { session.PlaySong(); }},
        {"song from start", [this] { session.PlaySongFromStart(); }}};
    const std::vector<std::pair<const char*, std::function<void()>>> stops = {
        {"stop toggle", [this] { session.StopToggle(); }},
        {"stop", [this] { session.Stop(); }},
        {"failed device change", [this] {
             port->OpenResult = MidiResult::NoDevice;
             session.SetDevice(0);
             port->OpenResult = MidiResult::Ok;
         }}};
    const auto reportedTransport = [this] {
        const bool reported = !reports.empty() && (reports.back() & chTransport);
        reports.clear();
        return reported;
    };
    for (const auto& [started, start] : starts)
        for (const auto& [stopped, stop] : stops) {
            SCOPED_TRACE(std::string(started) + ", then " + stopped);
            start();
            EXPECT_TRUE(session.Playing());
            EXPECT_TRUE(session.PlayToggleDown());
            EXPECT_TRUE(reportedTransport());
            stop();
            EXPECT_FALSE(session.Playing());
            EXPECT_FALSE(session.PlayToggleDown());
            EXPECT_TRUE(reportedTransport());
        }
    port->OpenResult = MidiResult::Allocated;
    session.PlayToggle();
    EXPECT_FALSE(session.PlayToggleDown()) << "a start that failed leaves it up";
}

TEST_F(Session, EveryChangeOfWhatTheSongFileStoresMarksTheSongModified) {
    Load(3, {1, 2});
    const std::vector<std::pair<const char*, std::function<void()>>> edits = {
        {"channel", [&] { session.SetChannel(7); }},
        {"program", [&] { session.SetPatch(12); }},
        {"bank", [&] { session.SetBank(2); }},
        {"transposition", [&] { session.SetTransposition(5); }},
        {"range", [&] { session.SetRange(61); }},
        {"device", [&] { session.SetDevice(0); }},
        {"tempo", [&] { session.SetStepTime(120); }},
        {"step", [&] { session.SetStepNote(2, 9); }},
        {"length", [&] { session.SetNoteLength(1, 3, 2); }},
        {"pattern name", [&] { session.SetPatternName("x"); }},
        {"new pattern", [&] { session.AddPattern(3); }},
        {"shift", [&] { session.ShiftPatternDown(); }},
        {"insert", [&] { session.InsertLine(); }},
        {"delete", [&] { session.DeleteLine(); }},
        {"line pattern", [&] { session.StepLinePattern(1); }},
    };
    for (const auto& [what, edit] : edits) {
        ASSERT_TRUE(session.Save());
        edit();
        EXPECT_TRUE(session.Song().SongModified) << what;
    }
    ASSERT_TRUE(session.Save());
    session.SetVolume(90); // velocities are not kept in the file
    session.ToggleMute();
    session.SelectLine(2);
    session.SelectPattern(3);
    EXPECT_FALSE(session.Song().SongModified);
}

// The follower's poll takes in what an outside transport did: playback of the machine's own
// goes on through it, and stops when stopped.
TEST_F(Session, PlaybackOfItsOwnGoesOnThroughTheFollowersPoll) {
    Load(1, {1});
    session.PlayPattern();
    ASSERT_TRUE(session.WatchesOutput());
    session.TakeInOutput();
    EXPECT_TRUE(session.Playing());
    session.Stop();
    EXPECT_FALSE(session.Playing());
    EXPECT_FALSE(session.Support().TimerRunning());
}

TEST_F(Session, TrackEditsWhilePlayingKeepTheLineThatPlays) {
    Load(3, {1, 2, 3});
    session.PlayInMode(TPlayMode::Track);
    PlayOnePass();
    PlayOnePass();
    ASSERT_EQ(session.TrackPosition(), 3);
    session.SelectLine(3);
    session.DeleteLine();
    EXPECT_EQ(session.TrackPosition(), 1) << "beyond the shortened track: back to line 1";

    PlayOnePass(); // line 2 plays
    ASSERT_EQ(session.TrackPosition(), 2);
    session.SelectLine(1);
    session.InsertLine(); // a line before it: it moves one down
    EXPECT_EQ(session.TrackPosition(), 3);
    EXPECT_EQ(Track(), (std::vector<int>{1, 1, 2}));
    EXPECT_EQ(session.SelectedLine(), 2);
    session.SelectLine(1);
    session.DeleteLine();
    EXPECT_EQ(session.TrackPosition(), 2);
    PlayOnePass();
    EXPECT_EQ(session.TrackPosition(), 1) << "the track still loops";
    EXPECT_EQ(session.CurrentPattern(), 1);
}

TEST_F(Session, ALoadStartsOnTheFirstLineAndAMachineOfItsOwnAtFullVolume) {
    Load(3, {1});
    session.AddPattern(4); // pattern 4 is shown
    session.SetVolume(100);
    port->Clear();
    Load(3, {2, 3});
    EXPECT_EQ(session.CurrentPattern(), 2);
    EXPECT_EQ(session.SelectedLine(), 1);
    EXPECT_EQ(session.Volume(), 127);
    EXPECT_FALSE(session.Song().SongModified);
    EXPECT_TRUE(reports.back() & chLoaded);
    EXPECT_TRUE(Reset()) << "another pattern in pattern mode: its notes are silenced";

    session.Connect(2);
    session.SetVolume(100);
    Load(2, {1});
    EXPECT_EQ(session.Volume(), 100) << "a controller keeps its machine's volume";

    const TMachineSession::TLoadResult bad =
        session.Load(dir.Write("bad.pks", "Plinkora Song\r\nx"));
    EXPECT_FALSE(bad.Loaded);
    EXPECT_FALSE(bad.Error.empty());
    EXPECT_EQ(session.Song().PatternCount, 2) << "a failed load keeps the song";
    EXPECT_TRUE(session.Load(dir.File("none.pks")).Error.empty()) << "no file, no message";
}

TEST_F(Session, PatternAndTrackSelectionsWrapOrStopAtTheEnds) {
    Load(3, {1, 3});
    session.SelectPattern(0);
    EXPECT_EQ(session.CurrentPattern(), 3) << "one below the first is the last";
    session.SelectPattern(4);
    EXPECT_EQ(session.CurrentPattern(), 1);

    session.StepTrack(1);
    EXPECT_EQ(session.SelectedLine(), 2);
    EXPECT_EQ(session.TrackPosition(), 2);
    EXPECT_EQ(session.CurrentPattern(), 3);
    session.StepTrack(1);
    EXPECT_EQ(session.SelectedLine(), 2) << "at the last line nothing moves";
    session.StepTrack(-1);
    EXPECT_EQ(session.CurrentPattern(), 1);
}

TEST_F(Session, AWiderRangeHoldsTheTranspositionBelowItsCeiling) {
    session.SetTransposition(30);
    EXPECT_EQ(session.Transposition(), 24) << "the ceiling of three octaves";
    ASSERT_TRUE(session.SetRange(61));
    EXPECT_EQ(session.Transposition(), 0);
    EXPECT_EQ(session.Song().Transpose[1], 0);
}

TEST_F(Session, OnChannelTenTheProgramNamesADrumKit) {
    session.SetChannel(10);
    EXPECT_EQ(session.InstrumentName(), "Standard Kit");
    EXPECT_EQ(session.ExportOptions().Instrument, "Standard Kit")
        << "an untouched instrument text follows the channel";
    session.SetPatch(25);
    EXPECT_EQ(session.ExportOptions().Instrument, "Standard Kit") << "once";
    session.SetPatch(3);
    session.ExportMidiForController(dir.File("drums.mid"));
    EXPECT_EQ(session.ExportOptions().TrackName, "New Song - Drum Kit");
    EXPECT_EQ(session.ExportOptions().Instrument, "Drum Kit");
    session.SetChannel(9);
    EXPECT_EQ(session.InstrumentName(), "Honky-tonk Piano");
}

TEST_F(Session, TextsAndTheTimeSignatureOfANewSong) {
    TLanguageTexts texts;
    texts.NewSongName = "Neuer Song";
    session.UseTexts(texts);
    EXPECT_EQ(session.Song().Name, "Neuer Song");
    EXPECT_TRUE(session.IsNewSongName("New Song"));
    EXPECT_FALSE(session.Save()) << "a new song is saved under a name first";

    session.SetTimeSignature(3, 8);
    EXPECT_EQ(session.Tempo().SigNumerator, 3);
    EXPECT_EQ(session.Tempo().SigDenominator, 8);
    EXPECT_EQ(session.Tempo().ClocksPerClick, 18);
    EXPECT_EQ(session.Tempo().MsPerStep, 200);
}

TEST_F(Session, EditsOfEveryKindAreUndoneToTheSavedSongAndRedone) {
    Load(3, {1, 2});
    const std::string saved = TempDir::Read(dir.File("Test.pks"));
    EXPECT_FALSE(session.History().CanUndo()) << "a loaded song starts a fresh history";
    session.SetStepNote(2, 9);
    session.SetNoteLength(1, 3, 2);
    session.CopyPattern();
    session.SelectLine(1);
    session.InsertLine();
    session.SetStepTime(120);
    session.SetChannel(10);
    session.SetPatternName("a");
    session.SetPatternName("ab"); // typed letter by letter: one step
    ASSERT_EQ(session.History().StepCount(), 7u);
    EXPECT_EQ(session.History().UndoName(), stPatternName);
    session.SaveAs(dir.File("Edited.pks"));
    const std::string edited = TempDir::Read(dir.File("Edited.pks"));

    session.PlayInMode(TPlayMode::Track); // undo while playing: playback goes on
    while (session.History().CanUndo())
        session.Undo();
    EXPECT_TRUE(session.Playing());
    EXPECT_TRUE(session.Song().SongModified) << "away from the state last saved";
    session.SaveAs(dir.File("Undone.pks"));
    EXPECT_EQ(TempDir::Read(dir.File("Undone.pks")), saved) << "byte for byte the loaded song";
    EXPECT_EQ(session.Voice().OutChannel, 0);
    EXPECT_EQ(session.Melodies().Count(), 3);

    while (session.History().CanRedo())
        session.Redo();
    session.SaveAs(dir.File("Redone.pks"));
    EXPECT_EQ(TempDir::Read(dir.File("Redone.pks")), edited);
    EXPECT_EQ(session.Voice().OutChannel, 9);
    EXPECT_EQ(session.Tempo().MsPerStep, 120);
}

TEST_F(Session, TheModifiedFlagFollowsTheHistory) {
    Load(2, {1});
    session.SetStepNote(1, 5);
    ASSERT_TRUE(session.Save());
    session.SetStepNote(1, 6);
    session.Undo();
    EXPECT_FALSE(session.Song().SongModified) << "back at the saved state";
    session.Undo();
    EXPECT_TRUE(session.Song().SongModified);
    session.Redo();
    EXPECT_FALSE(session.Song().SongModified);
    session.Undo();
    session.AddPattern(3); // a new branch: the saved state cannot come back
    session.Undo();
    EXPECT_TRUE(session.Song().SongModified);
    session.NewSong({16, false});
    EXPECT_FALSE(session.History().CanUndo()) << "a New command starts a fresh history";
}

// The synchronisation options belong to the machine, not to the song: each setter reports
// chSync (following the transport also chTransport: the play state may change) and leaves the song,
// its history and its modified flag alone.
TEST_F(Session, TheSynchronisationOptionsReportChSyncAndAreNoEditOfTheSong) {
    Load(2, {1, 2});
    ASSERT_FALSE(session.SendsClock());
    ASSERT_FALSE(session.FollowsTransport());
    const size_t undoSteps = session.History().StepCount();
    reports.clear();
    session.SetSendClock(true);
    session.SetFollowTransport(true);
    EXPECT_TRUE(session.SendsClock());
    EXPECT_TRUE(session.FollowsTransport());
    session.SetSendClock(false);
    EXPECT_FALSE(session.SendsClock());
    EXPECT_TRUE(session.FollowsTransport()) << "each option on its own";
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0], chSync);
    EXPECT_EQ(reports[1], chSync | chTransport);
    EXPECT_EQ(reports[2], chSync);
    EXPECT_FALSE(session.Song().SongModified);
    EXPECT_EQ(session.History().StepCount(), undoSteps);
}

TEST(UndoHistory, KeepsAThousandStepsAndBoundsHugeSongs) {
    TUndoHistory history;
    TSongState state;
    history.Reset(state, true);
    for (int i = 0; i < 1005; ++i) {
        TSongState next = state;
        next.Song.StepTime = 30 + i;
        history.Push(state, next, stNote);
        state = next;
    }
    EXPECT_EQ(history.StepCount(), TUndoHistory::MaxSteps);
    EXPECT_FALSE(history.AtSaved());

    TSongState huge;
    huge.Song.Songlines.assign(4'000'000, 1); // 16 MB a state
    history.Reset(huge, false);
    for (int i = 0; i < 10; ++i)
        history.Push(huge, huge, stInsertLine);
    EXPECT_LT(history.StepCount(), 4u) << "the memory bound holds before the step count";
    EXPECT_TRUE(history.CanUndo());
}

// The follower's poll takes in what an outside transport did; playback of its own (no transport
// to follow) goes on through it.
TEST_F(Session, ThePollOfTheOutputLeavesPlaybackOfItsOwnAlone) {
    Load(2, {1, 2});
    ASSERT_EQ(session.PlayPattern(), TStartResult::Playing);
    for (int poll = 0; poll < 3; ++poll) {
        SCOPED_TRACE(poll);
        session.Playback().OnTick();
        session.FollowPlayback();
        ASSERT_TRUE(session.WatchesOutput());
        session.TakeInOutput();
    }
    EXPECT_TRUE(session.Playing());
    EXPECT_FALSE(Reset()) << "nothing silenced";
}
