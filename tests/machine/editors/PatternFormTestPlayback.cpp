#include "PatternFormTest.h"

#include <algorithm>

namespace {

using Kind = TMidiCall::Kind;

bool HasCall(const TRecordingMidiPort& port, Kind kind) {
    const std::vector<TMidiCall> calls = port.Calls();
    return std::any_of(calls.begin(), calls.end(),
                       [kind](const TMidiCall& call) { return call.What == kind; });
}

} // namespace

TEST_F(PatternEditor, AnEditWhileStoppedSoundsForOneStep) {
    Drag(2, 20);
    ASSERT_TRUE(machine.Session.Support().DeviceOpen) << "the preview opened the port";
    EXPECT_EQ(port->Call(0), (TMidiCall{Kind::Open, -1}));
    std::vector<uint32_t> sent = port->ShortMessages();
    ASSERT_EQ(sent.size(), 17u) << "the patch on every channel slot, then the note";
    EXPECT_EQ(sent.front() & 0xF0, 0xC0u);
    EXPECT_EQ(sent.back(), NoteOn(20));
    EXPECT_TRUE(editor->Timer3->isActive());
    EXPECT_EQ(editor->Timer3->interval(), 200);

    // A second edit while the first still sounds silences it but starts nothing new.
    Drag(2, 22);
    EXPECT_EQ(port->ShortMessages().back(), NoteOff(20));
    EXPECT_FALSE(Sent(NoteOn(22)));
    editor->Timer3Timer();
    EXPECT_EQ(port->ShortMessages().back(), NoteOff(22)) << "the note the step holds now";
    EXPECT_FALSE(editor->Timer3->isActive());

    port->Clear();
    Drag(2, 24);
    EXPECT_EQ(port->ShortMessages(), (std::vector<uint32_t>{NoteOff(22), NoteOn(24)}));
    editor->Timer3Timer();
    port->Clear();
    Drag(3, 0);
    EXPECT_EQ(port->ShortMessages(), std::vector<uint32_t>{NoteOff(10)}) << "a rest sounds nothing";
    EXPECT_FALSE(editor->Timer3->isActive());
}

TEST_F(PatternEditor, AnEditWhilePlayingSoundsOnlyWithTheTonePreviewOption) {
    machine.Session.PlayPattern();
    ASSERT_TRUE(machine.Session.Playback().Playing());
    Tick(1); // step 1 (note 10) sounds
    port->Clear();
    Drag(5, 20);
    EXPECT_TRUE(port->ShortMessages().empty())
        << "the old note equals the one playing: it is not cut, and nothing new sounds";

    machine.Session.TogglePreview();
    ASSERT_TRUE(machine.Session.Playback().PreviewWhilePlaying());
    Drag(6, 22);
    EXPECT_EQ(port->ShortMessages(), std::vector<uint32_t>{NoteOn(22)});
    EXPECT_TRUE(editor->Timer3->isActive());
    editor->Timer3Timer();

    machine.Session.TogglePreview();
    port->Clear();
    Drag(6, 25);
    EXPECT_EQ(port->ShortMessages(), std::vector<uint32_t>{NoteOff(22)})
        << "the old note differs from the one playing: it is silenced";
}

TEST_F(PatternEditor, EditingTheStepThatSoundsSilencesItsOldNote) {
    machine.Session.PlayPattern();
    Tick(401); // events 0, 1 and 3: step 3 has just started, step 2 held the same note
    ASSERT_EQ(machine.Session.Transport().PlayingEvent, 3);
    port->Clear();
    Drag(3, 15);
    EXPECT_EQ(port->ShortMessages(), std::vector<uint32_t>{NoteOff(10)});
    Tick(200);
    EXPECT_TRUE(Sent(NoteOff(15))) << "the rebuilt timeline ends the new note";
}

TEST_F(PatternEditor, AnEditIsHeardOnTheNextPass) {
    machine.Session.PlayPattern();
    Tick(100);
    Drag(1, 20);
    EXPECT_TRUE(Sent(NoteOff(10))) << "the note that sounded with the old value";
    port->Clear();
    Tick(3101); // the rest of the pass: ticks 100 to 3200
    EXPECT_TRUE(Sent(NoteOff(20)));
    EXPECT_FALSE(Sent(NoteOn(20)));
    Tick(1);
    EXPECT_EQ(port->ShortMessages().back(), NoteOn(20));
}

TEST_F(PatternEditor, TheStepCursorFollowsWhatPlaybackPublishes) {
    Drag(3, 25); // key 60
    editor->Timer3Timer();
    machine.Session.PlayPattern();
    Tick(1);
    editor->Timer1Timer();
    EXPECT_EQ(editor->Shape1->x(), 1);
    EXPECT_EQ(editor->Edit1->text(), "A3") << "step 1";
    Tick(400);
    editor->Timer1Timer();
    EXPECT_EQ(editor->PlayingEvent, 3);
    EXPECT_EQ(editor->Shape1->x(), 41) << "under step 3";
    EXPECT_EQ(Slider(3)->x() - editor->Panel4->x(), 41);
    EXPECT_EQ(editor->Edit1->text(), "C5");
    EXPECT_EQ(editor->windowTitle(), "Pattern Editor - PATTERN 1");

    editor->CheckBox1->setChecked(false);
    Tick(200);
    editor->Timer1Timer();
    EXPECT_EQ(editor->Shape1->x(), 61);
    EXPECT_EQ(editor->Edit1->text(), "C5") << "the note box no longer follows";

    machine.Session.Stop();
    editor->Timer1Timer();
    EXPECT_EQ(editor->Shape1->x(), 1) << "stopping shows event 0";
}

TEST_F(PatternEditor, TrackPlaybackMovesTheShownPattern) {
    editor->Button1Click(); // pattern 2; the track is 1
    machine.Session.InsertLine();
    machine.Session.SelectLine(1);
    machine.Session.StepLinePattern(1); // the track is 2, 1
    machine.Session.SelectPattern(1);
    machine.Session.PlaySong(); // "> SONG"
    editor->Timer1Timer();
    EXPECT_EQ(editor->SpinEdit1->value(), 2);
    EXPECT_EQ(editor->Edit2->text(), "(2) ");
    port->Clear();
    Tick(3201);
    ASSERT_EQ(machine.Session.Transport().CurrentPattern, 1);
    machine.Session.FollowPlayback();
    editor->Timer1Timer();
    EXPECT_EQ(editor->SpinEdit1->value(), 1);
    EXPECT_EQ(editor->Edit2->text(), "(1) ");
    EXPECT_EQ(editor->windowTitle(), "Pattern Editor - PATTERN 1");
    EXPECT_FALSE(HasCall(*port, Kind::Reset)) << "track mode goes on without a reset";
    EXPECT_FALSE(editor->SpeedButton14->isChecked()) << "the pattern is not what plays";
}

TEST_F(PatternEditor, ChangingThePatternWhileItLoopsResetsTheOutputAndKeepsTheStep) {
    editor->Button1Click();
    machine.Session.PlayPattern();
    Tick(401);
    port->Clear();
    editor->SpinEdit1->setValue(1);
    EXPECT_TRUE(HasCall(*port, Kind::Reset));
    EXPECT_EQ(machine.Session.Transport().EventCursor, 5)
        << "the new pattern goes on from the step";
}

TEST_F(PatternEditor, ThePlayAndStopButtonsDriveTheMainTransport) {
    editor->SpeedButton14->click();
    EXPECT_TRUE(machine.Session.Playback().Playing());
    EXPECT_EQ(machine.Session.Transport().PlayMode, TPlayMode::Pattern);
    EXPECT_TRUE(editor->SpeedButton14->isChecked());
    EXPECT_TRUE(machine.Session.PlayToggleDown()) << "the main window's play toggle is down";
    editor->SpeedButton15->click();
    EXPECT_FALSE(machine.Session.Playback().Playing());
    EXPECT_FALSE(editor->SpeedButton14->isChecked());

    port->OpenResult = MidiResult::NoDriver;
    editor->SpeedButton14->click();
    EXPECT_FALSE(machine.Session.Playback().Playing());
    EXPECT_FALSE(editor->SpeedButton14->isChecked()) << "released when the port stays closed";
}

TEST_F(PatternEditor, TheEditorCannotBeClosed) {
    editor->show();
    machine.Session.PlayPattern();
    ASSERT_TRUE(machine.Session.Support().TimerRunning());
    EXPECT_FALSE(editor->close());
    EXPECT_TRUE(editor->isVisible());
    EXPECT_TRUE(machine.Session.Support().TimerRunning()) << "playback goes on with its editor";
}

TEST_F(PatternEditor, APreviewOnABusyDeviceShowsTheMessage) {
    port->OpenResult = MidiResult::Allocated;
    Drag(2, 20);
    EXPECT_EQ(busyMessages, 1);
    EXPECT_FALSE(machine.Session.Support().DeviceOpen);
    EXPECT_FALSE(editor->Timer3->isActive());
    Drag(2, 0);
    EXPECT_EQ(busyMessages, 1) << "a rest does not open the port";
    port->OpenResult = MidiResult::NoDriver;
    Drag(2, 21);
    EXPECT_EQ(busyMessages, 1) << "other failures are silent";
}
