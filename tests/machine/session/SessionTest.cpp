#include "SessionSongs.h"
#include "TempDir.h"
#include "midi/MidiPortRecording.h"
#include "session/MachineSession.h"

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
    EXPECT_EQ(reports[1], TChanges{chPatternName}) << "the listener's own operation follows";
    EXPECT_EQ(session.Song().PatternNames[2], "made by a listener");

    reports.clear();
    session.SelectPattern(2);
    EXPECT_TRUE(reports.empty()) << "nothing changed: nothing reported";
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
