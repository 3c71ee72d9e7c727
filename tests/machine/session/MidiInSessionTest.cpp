// What the machine does with the MIDI it hears: learned and loaded assignments run the session's
// own operations (undo steps and the modified flag as from the windows), a keyboard channel
// transposes, and following a leader's clock excludes Link and the machine's own tempo. The
// messages are handed to the input's sink by hand, as a port would deliver them.
#include "PrivateNetwork.h"
#include "SessionSongs.h"
#include "TempDir.h"
#include "TempoBar.h"
#include "midi/MidiPortRecording.h"
#include "midi/MonotonicClock.h"
#include "session/MachineSession.h"

#include <gtest/gtest.h>

namespace {

class MidiInSession : public ::testing::Test {
protected:
    MidiInSession()
        : session(std::make_unique<TRecordingMidiPort>(std::vector<std::string>{"Synth"})) {
        session.Support().TicksByHand = true;
    }

    void SetUp() override { ASSERT_TRUE(LoadSong(session, PatternsAndTrack(3, {1, 2}), dir)); }

    // A channel message (channel 1..16) received and taken in.
    void Hear(uint8_t kind, int32_t channel, uint8_t data1, uint8_t data2) {
        session.InputSink().Deliver(0,
                                    {static_cast<uint8_t>(kind | (channel - 1)), data1, data2, 3});
        session.TakeInMidiInput();
    }
    void NoteOn(int32_t channel, uint8_t key, uint8_t velocity = 100) {
        Hear(0x90, channel, key, velocity);
    }
    void Controller(int32_t channel, uint8_t number, uint8_t value) {
        Hear(0xB0, channel, number, value);
    }

    // Pulses of a leader `pulseMs` apart, each taken in by the tick of the millisecond after it.
    void Pulses(int count, int64_t pulseMs) {
        for (int i = 0; i < count; ++i) {
            now += pulseMs * Ms;
            Leader(MidiStatus::Clock);
        }
    }
    void Leader(uint8_t status) {
        session.InputSink().Deliver(now + RawMinusMonotonicNs(), {status, 0, 0, 1});
        Tick(now + Ms);
    }
    void Tick(int64_t deadline) {
        session.Support().HandDeadline = deadline;
        session.Playback().OnTicks(0);
    }

    static constexpr int64_t Ms = 1000000;
    int64_t now = 10'000 * Ms;
    TempDir dir;
    TMachineSession session;
};

constexpr TMidiAssignment Note(int32_t channel, int32_t key) {
    return {TMidiControlSource::Note, channel, key};
}
constexpr TMidiAssignment Cc(int32_t channel, int32_t number) {
    return {TMidiControlSource::Controller, channel, number};
}

} // namespace

TEST_F(MidiInSession, ALearnedNoteStartsPlaybackAndIsWrittenToTheFile) {
    const std::string path = dir.File("Plinkora-midi-control.txt");
    EXPECT_TRUE(session.LoadMidiControl(path).empty()) << "a missing file is no fault";

    session.LearnMidiControl(TMidiControlOperation::Tempo);
    NoteOn(10, 36);
    EXPECT_EQ(session.Learning(), TMidiControlOperation::Tempo) << "tempo takes a controller";
    session.LearnMidiControl(TMidiControlOperation::PlaySong);
    Hear(0x80, 10, 36, 0); // a note-off is nothing to learn
    NoteOn(10, 36);
    EXPECT_FALSE(session.Learning());
    EXPECT_EQ(session.MidiControl()[size_t(TMidiControlOperation::PlaySong)], Note(10, 36));
    EXPECT_FALSE(session.Playing()) << "the learned message only teaches";

    NoteOn(10, 36, 0); // velocity 0: a note-off
    EXPECT_FALSE(session.Playing());
    NoteOn(10, 36);
    EXPECT_TRUE(session.Playing());
    EXPECT_EQ(session.PlayMode(), TPlayMode::Track);

    EXPECT_EQ(ReadMidiControlFile(path).Map, session.MidiControl());
}

TEST_F(MidiInSession, ControllersAndNotesRunTheSessionsOperations) {
    session.AssignMidiControl(TMidiControlOperation::Tempo, Cc(1, 74));
    session.AssignMidiControl(TMidiControlOperation::Volume, Cc(1, 7));
    session.AssignMidiControl(TMidiControlOperation::NextPattern, Note(2, 40));
    session.AssignMidiControl(TMidiControlOperation::PreviousPattern, Cc(2, 41));
    ASSERT_TRUE(session.Save());
    const size_t steps = session.History().StepCount();
    const int32_t stepTime = session.Song().StepTime;

    Controller(1, 74, 127);
    EXPECT_EQ(session.Song().StepTime, TempoBar::MinStepTime) << "the bar's fastest end";
    EXPECT_EQ(session.History().StepCount(), steps + 1);
    EXPECT_TRUE(session.Song().SongModified);
    session.Undo();
    EXPECT_EQ(session.Song().StepTime, stepTime);

    Controller(1, 7, 30);
    EXPECT_EQ(session.Volume(), 30);
    Controller(1, 8, 90);
    EXPECT_EQ(session.Volume(), 30) << "another controller";

    session.ChoosePatternMode();
    NoteOn(2, 40);
    EXPECT_EQ(session.CurrentPattern(), 2);
    Controller(2, 41, 63);
    EXPECT_EQ(session.CurrentPattern(), 2) << "63 and below trigger nothing";
    Controller(2, 41, 64);
    Controller(2, 41, 127);
    EXPECT_EQ(session.CurrentPattern(), 3) << "1 - 1 wraps to the last pattern";

    session.ChooseTrackMode();
    NoteOn(2, 40);
    EXPECT_EQ(session.SelectedLine(), 2);
    NoteOn(2, 40);
    EXPECT_EQ(session.SelectedLine(), 2) << "the track's last line";
}

TEST_F(MidiInSession, ANoteOnTheKeyboardChannelTransposesFromMiddleC) {
    NoteOn(2, 67);
    EXPECT_EQ(session.Transposition(), 0) << "transposing from the keyboard is off";
    session.SetKeyboardChannel(2);
    NoteOn(2, 67);
    EXPECT_EQ(session.Transposition(), 7);
    NoteOn(3, 50);
    NoteOn(2, 50, 0);
    EXPECT_EQ(session.Transposition(), 7) << "another channel, a note-off";
    NoteOn(2, 55);
    EXPECT_EQ(session.Transposition(), -5);
    NoteOn(2, 0);
    EXPECT_EQ(session.Transposition(), TransposeFloor) << "held at the end, not wrapped";
    NoteOn(2, 127);
    EXPECT_EQ(session.Transposition(), TransposeCeiling(session.Song()));
}

TEST_F(MidiInSession, AMalformedLineIsNamedAndTheGoodOnesLoad) {
    const std::string path = dir.Write("control.txt", "playsong = note 10 36\n"
                                                      "bogus line\n"
                                                      "tempo = note 1 5\n"
                                                      "stop = cc 1 20 # the pad\n");
    const std::vector<TUserMessage> messages = session.LoadMidiControl(path);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(MessageText(messages[0], TLanguage::English),
              "MIDI control file " + path +
                  ", line 2 skipped: 'bogus line' is no assignment (operation = note|cc channel "
                  "number)");
    EXPECT_EQ(MessageText(messages[1], TLanguage::German),
              "MIDI-Steuerdatei " + path +
                  ", Zeile 3 übersprungen: 'tempo = note 1 5': Tempo, Lautstärke und "
                  "Transponierung nehmen nur einen Controller (cc)");
    TMidiControlMap expected;
    expected[size_t(TMidiControlOperation::PlaySong)] = Note(10, 36);
    expected[size_t(TMidiControlOperation::Stop)] = Cc(1, 20);
    EXPECT_EQ(session.MidiControl(), expected);

    const std::vector<TUserMessage> folder = session.LoadMidiControl(dir.Path().string());
    EXPECT_EQ(folder.size(), 1u) << "a file that cannot be read";
    EXPECT_EQ(session.MidiControl(), TMidiControlMap{});
}

TEST_F(MidiInSession, FollowingTheClockLeavesTheTempoToTheLeader) {
    ASSERT_FALSE(session.WatchesOutput());
    session.SetFollowClock(true);
    EXPECT_TRUE(session.FollowsClock());
    EXPECT_TRUE(session.WatchesOutput()) << "the poll takes in the pulses' tempo";
    const int32_t stepTime = session.Song().StepTime;
    session.SetStepTime(stepTime + 50);
    EXPECT_EQ(session.Song().StepTime, stepTime);
    session.SetFollowClock(false);
    session.SetStepTime(stepTime + 50);
    EXPECT_EQ(session.Song().StepTime, stepTime + 50);
}

TEST_F(MidiInSession, TheLeadersTempoIsOneUndoStepAndALostClockIsTold) {
    ASSERT_TRUE(session.Save());
    const size_t steps = session.History().StepCount();
    session.SetFollowClock(true);
    Leader(MidiStatus::Start);
    Pulses(48, 25); // 100 BPM: 150 ms a step
    session.TakeInOutput();
    EXPECT_TRUE(session.Playing());
    EXPECT_EQ(session.Song().StepTime, 150);
    Pulses(96, 20); // 125 BPM
    session.TakeInOutput();
    EXPECT_EQ(session.Song().StepTime, 120);
    EXPECT_EQ(session.History().StepCount(), steps + 1) << "a running clock, one step";
    EXPECT_TRUE(session.Song().SongModified);
    EXPECT_TRUE(session.MidiInputNotice().Empty());

    now += 2000 * Ms; // silent for more than two beats
    Tick(now);
    session.TakeInOutput();
    EXPECT_FALSE(session.Playing());
    EXPECT_EQ(session.MidiInputNotice(), Message(TMessageKind::MidiClockLost));
    Leader(MidiStatus::Continue);
    Pulses(6, 20);
    session.TakeInOutput();
    EXPECT_TRUE(session.Playing());
    EXPECT_TRUE(session.MidiInputNotice().Empty()) << "cleared by the next start";
}

TEST_F(MidiInSession, FollowingTheClockAndLinkExcludeEachOther) {
    const TPrivateNetwork noNetwork(false);
    if (!noNetwork.Failure().empty())
        GTEST_SKIP() << noNetwork.Failure();
    session.SetLink(true);
    session.SetFollowClock(true);
    EXPECT_FALSE(session.LinksOn());
    session.SetLink(true);
    EXPECT_FALSE(session.FollowsClock());
    EXPECT_TRUE(session.LinksOn());
    session.SetLink(false);
}

TEST_F(MidiInSession, AnInputThatCannotBeOpenedSaysWhyAndIsKept) {
    const TMidiInputChoice jack{TMidiInputChoice::TKind::Jack, 0};
    EXPECT_NE(session.SetMidiInput(jack), MidiResult::Ok);
    EXPECT_EQ(session.MidiInput(), jack);
    EXPECT_EQ(session.MidiInputNotice().Kind, TMessageKind::MidiInputCannotOpen);
    EXPECT_FALSE(session.WatchesOutput()) << "nothing to read";
    EXPECT_EQ(session.SetMidiInput({}), MidiResult::Ok);
    EXPECT_TRUE(session.MidiInputNotice().Empty());
}
