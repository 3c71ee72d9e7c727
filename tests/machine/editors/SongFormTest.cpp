#include "editors/SongForm.h"

#include "SessionSongs.h"
#include "TempDir.h"
#include "editors/PatternForm.h"
#include "midi/MidiPortRecording.h"
#include "shell/Machine.h"
#include "shell/language.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

using Kind = TMidiCall::Kind;

// The pattern editor and the track editor over a session on a recording port; the tests call
// the playback tick themselves.
class TrackEditor : public ::testing::Test {
protected:
    TrackEditor() : machine(Recording()) {
        machine.Session.Support().TicksByHand = true;
        form3 = std::make_unique<TForm3>(machine.Session);
        form5 = std::make_unique<TForm5>(machine.Session);
    }
    ~TrackEditor() override {
        form5.reset();
        form3.reset();
    }

    std::unique_ptr<TMidiPort> Recording() {
        auto recording = std::make_unique<TRecordingMidiPort>();
        port = recording.get();
        return recording;
    }

    // `patterns` patterns, each step of pattern p holding note value p, and the given track.
    void MakeSong(int patterns, std::vector<int> track) {
        ASSERT_TRUE(LoadSong(machine.Session, PatternsAndTrack(patterns, track), dir));
    }

    std::vector<int> Track() const {
        const TPkSong& song = machine.Session.Song();
        return {song.Songlines.begin() + 1, song.Songlines.begin() + 1 + song.SonglineCount};
    }

    QString Cell(int row, int column) const {
        const QTableWidgetItem* item = form5->StringGrid1->item(row, column);
        return item ? item->text() : QString();
    }

    // One whole pass of the current pattern (16 steps at 200 ms).
    void PlayOnePass() {
        for (int tick = 0; tick < 16 * 200 + 1; ++tick)
            machine.Session.Playback().OnTick();
    }

    void ShowWindow() {
        form5->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form5.get()));
    }

    TempDir dir;
    TRecordingMidiPort* port = nullptr;
    TMachine machine;
    std::unique_ptr<TForm3> form3;
    std::unique_ptr<TForm5> form5;
};

} // namespace

TEST_F(TrackEditor, StartsOnEntryOneAtFullVolumeWithItsTextNumbers) {
    EXPECT_EQ(form5->objectName(), "Form5");
    EXPECT_EQ(form5->property("Tag").toInt(), 40);
    EXPECT_EQ(form5->Edit2->text(), "127");
    EXPECT_EQ(form5->Volume(), 127);
    EXPECT_EQ(machine.Session.Volume(), 127);
    EXPECT_TRUE(form5->CheckBox1->isChecked());
    EXPECT_EQ(form5->Selection(), (TGridRect{0, 3, 1, 3}));
    EXPECT_GE(form5->StringGrid1->rowCount(), 6);
    EXPECT_EQ(Cell(3, 0), "1");
    EXPECT_EQ(Cell(3, 1), "1");
    EXPECT_EQ(Cell(2, 1), "");
    EXPECT_EQ(form5->SpeedButton1->defaultAction(), form5->Mute);

    ApplyTaggedTexts(*form5);
    EXPECT_EQ(form5->windowTitle(), "Track Editor");
    EXPECT_EQ(form5->Panel2->text(), "Nr.");
    EXPECT_EQ(form5->Panel1->text(), "PAT");
    EXPECT_EQ(form5->CheckBox1->text(), "Folgen");
    EXPECT_EQ(form5->Button1->text(), QString::fromUtf8("Einfügen"));
    EXPECT_EQ(form5->Button2->text(), QString::fromUtf8("Löschen"));
    SetHints({form5.get()});
    EXPECT_EQ(form5->Button3->toolTip(), "Pattern Auswahl");
    EXPECT_EQ(form5->WheelBar20031->toolTip(), QString::fromUtf8("Lautstärke"));
}

TEST_F(TrackEditor, InsertCopiesTheSelectedEntryAboveIt) {
    MakeSong(6, {4, 5, 6});
    form5->SelectTrackEntry(2);
    form5->Button1->click();
    EXPECT_EQ(Track(), (std::vector<int>{4, 5, 5, 6}));
    EXPECT_EQ(form5->SelectedEntry(), 3);
    EXPECT_EQ(form5->Selection(), (TGridRect{0, 5, 1, 5}));
    EXPECT_EQ(form5->WheelBar20032->maximum(), 4);
    for (int j = 1; j <= 4; ++j) {
        EXPECT_EQ(Cell(j + 2, 0), QString::number(j));
        EXPECT_EQ(Cell(j + 2, 1), QString::number(Track()[j - 1]));
    }
    EXPECT_EQ(Cell(7, 0), "") << "no entry number below the track";
}

TEST_F(TrackEditor, DeleteKeepsAtLeastOneEntry) {
    MakeSong(6, {4, 5, 6});
    form5->SelectTrackEntry(3);
    form5->Button2->click();
    EXPECT_EQ(Track(), (std::vector<int>{4, 5}));
    EXPECT_EQ(form5->SelectedEntry(), 2) << "the new last entry";
    EXPECT_EQ(form5->Selection().Top, 4);

    form5->SelectTrackEntry(1);
    form5->Button2->click();
    EXPECT_EQ(Track(), (std::vector<int>{5}));
    EXPECT_EQ(form5->SelectedEntry(), 1);
    EXPECT_EQ(form3->SpinEdit1->value(), 5) << "stopped: the entry that moved up is shown";

    form5->Button2->click();
    EXPECT_EQ(Track(), (std::vector<int>{5}));
    EXPECT_EQ(machine.Session.Song().SonglineCount, 1);
}

TEST_F(TrackEditor, PlusAndMinusWrapWithinThePatterns) {
    MakeSong(3, {3, 1});
    form5->SelectTrackEntry(1);
    form5->Button4->click();
    EXPECT_EQ(Track(), (std::vector<int>{1, 1}));
    EXPECT_EQ(Cell(3, 1), "1");
    form5->Button3->click();
    EXPECT_EQ(Track(), (std::vector<int>{3, 1}));
    EXPECT_EQ(form3->SpinEdit1->value(), 3) << "stopped: the pattern editor shows it";
    form5->SelectTrackEntry(2);
    form5->Button3->click();
    EXPECT_EQ(Track(), (std::vector<int>{3, 3}));

    form5->Button3MouseDown(1); // the auto-repeat of "+"
    form5->Timer2Timer();
    EXPECT_EQ(Track(), (std::vector<int>{3, 1}));
    form5->Button3MouseDown(-1);
    form5->Timer2Timer();
    form5->Button3MouseUp();
    EXPECT_EQ(Track(), (std::vector<int>{3, 3}));
}

TEST_F(TrackEditor, HoldingPlusRepeatsEveryTwoHundredMilliseconds) {
    MakeSong(9, {1});
    QTest::mousePress(form5->Button4, Qt::LeftButton);
    EXPECT_TRUE(form5->Timer2->isActive());
    EXPECT_EQ(form5->Timer2->interval(), 200);
    QTest::qWait(form5->Timer2->interval() * 2 + 100);
    QTest::mouseRelease(form5->Button4, Qt::LeftButton);
    EXPECT_FALSE(form5->Timer2->isActive());
    EXPECT_GE(Track()[0], 4) << "two repeats and the click itself";
}

TEST_F(TrackEditor, ThePositionWheelShowsThePatternOnlyWhenStopped) {
    MakeSong(3, {2, 3, 1});
    form5->WheelBar20032->setValue(2);
    EXPECT_EQ(form5->Selection().Top, 4);
    EXPECT_EQ(machine.Session.Transport().CurrentPattern, 3);

    machine.Session.PlayPattern(); // the pattern loops
    ASSERT_TRUE(machine.Session.Playback().Playing());
    form5->WheelBar20032->setValue(1);
    EXPECT_EQ(form5->Selection().Top, 3);
    EXPECT_EQ(machine.Session.Transport().CurrentPattern, 3) << "playing: only the selection moves";
}

TEST_F(TrackEditor, EveryVolumeChangeRewritesAllVelocities) {
    MakeSong(3, {1, 2, 3});
    form5->WheelBar20031->setValue(27);
    EXPECT_EQ(form5->Edit2->text(), "100");
    EXPECT_EQ(machine.Session.Volume(), 100);
    for (int p = 1; p <= 3; ++p) {
        for (int step = 1; step <= machine.Session.Song().Steps; ++step)
            ASSERT_EQ(machine.Session.Song().Velocities[p][step], 100);
        for (int e = 0; e < machine.Session.Melodies().EventCount(p - 1); ++e) {
            const uint32_t message = machine.Session.Melodies().Event(p - 1, e).Message;
            if ((message & 0xF0) == 0x90) {
                ASSERT_EQ(message >> 16, 100u) << "pattern " << p << " event " << e;
            }
        }
    }
    MakeSong(3, {1}); // a machine of its own loads every song at full volume
    EXPECT_EQ(form5->Edit2->text(), "127");
    EXPECT_EQ(machine.Session.Volume(), 127);
    EXPECT_EQ(machine.Session.Song().Velocities[2][5], 127);
}

TEST_F(TrackEditor, MuteSilencesAndKeepsTheCursorRunning) {
    machine.Session.PlayPattern();
    form5->SpeedButton1->click();
    EXPECT_TRUE(form5->SpeedButton1->isChecked());
    EXPECT_EQ(port->Calls().back().What, Kind::Reset);
    const size_t sent = port->ShortMessages().size();
    PlayOnePass();
    EXPECT_EQ(port->ShortMessages().size(), sent);
    EXPECT_EQ(machine.Session.Transport().EventCursor, 0) << "a whole pass went by";
    form5->Mute->trigger(); // as the remote "MUTE" does
    EXPECT_FALSE(form5->SpeedButton1->isChecked());
    machine.Session.Playback().OnTick();
    EXPECT_GT(port->ShortMessages().size(), sent);
}

TEST_F(TrackEditor, TheSelectionFollowsTrackPlayback) {
    MakeSong(2, {1, 2, 1});
    form5->SpeedButton14->click();
    ASSERT_TRUE(machine.Session.Playback().Playing());
    EXPECT_TRUE(form5->SpeedButton14->isChecked());
    EXPECT_EQ(machine.Session.Transport().PlayMode, TPlayMode::Track);
    EXPECT_EQ(form5->SelectedEntry(), 1);
    PlayOnePass();
    EXPECT_EQ(machine.Session.Transport().TrackPosition, 2);
    machine.Session.FollowPlayback();
    EXPECT_EQ(form5->SelectedEntry(), 2);

    form5->WheelBar20032->setValue(3); // the user looks elsewhere: no jump back
    machine.Session.FollowPlayback();
    EXPECT_EQ(form5->SelectedEntry(), 3);

    form5->CheckBox1->click(); // off
    PlayOnePass();
    machine.Session.FollowPlayback();
    EXPECT_EQ(form5->SelectedEntry(), 3);
    form5->CheckBox1->click(); // on: back to the entry that plays
    EXPECT_EQ(form5->SelectedEntry(), 3);
    PlayOnePass();
    QTest::qWait(100); // the machine's own follower
    EXPECT_EQ(form5->SelectedEntry(), 1);

    form5->SpeedButton15->click();
    EXPECT_FALSE(machine.Session.Playback().Playing());
    EXPECT_FALSE(form5->SpeedButton14->isChecked());
}

TEST_F(TrackEditor, ClicksSelectSongLinesAndTrackPlayLeavesThemWithoutFollow) {
    MakeSong(2, {1, 2, 1, 2});
    ShowWindow();
    QWidget* list = form5->StringGrid1->viewport();
    const int entryTwoRow = 2 + 2; // entry j sits in row j + 2
    const int y = form5->StringGrid1->rowViewportPosition(entryTwoRow) + 5;
    QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(10, y));
    EXPECT_EQ(form5->SelectedEntry(), 2);

    form5->CheckBox1->click(); // "Follow" off
    form5->SelectTrackEntry(3);
    form5->SpeedButton14->click();
    ASSERT_TRUE(machine.Session.Playback().Playing());
    EXPECT_EQ(form5->SelectedEntry(), 1) << "the track starts over at its first line";
    form5->SelectTrackEntry(3);
    PlayOnePass();
    machine.Session.FollowPlayback();
    EXPECT_EQ(form5->SelectedEntry(), 3) << "the position stays where the user put it";
}

TEST_F(TrackEditor, TheSelectedEntryIsAlwaysTheThirdVisibleRow) {
    MakeSong(2, std::vector<int>(30, 1));
    ShowWindow();
    for (int j : {1, 12, 29, 30}) {
        form5->SelectTrackEntry(j);
        EXPECT_EQ(form5->TopRow(), j) << "entry " << j;
        EXPECT_EQ(form5->StringGrid1->rowAt(2 * 20 + 10), j + 2);
    }
    QWheelEvent away(QPointF(10, 10), form5->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(form5->StringGrid1->viewport(), &away);
    EXPECT_EQ(form5->SelectedEntry(), 29) << "turning the wheel away selects the previous entry";
    QTest::mouseClick(form5->StringGrid1->viewport(), Qt::LeftButton, {}, QPoint(20, 15));
    EXPECT_EQ(form5->SelectedEntry(), 27) << "a click selects the line under it, the top one";
}

TEST_F(TrackEditor, FollowsTheSongsNameAndLoads) {
    machine.Session.SaveAs(dir.File("Tune.pks"));
    EXPECT_EQ(form5->Edit1->text(), "Tune");
    MakeSong(2, {2, 1, 2});
    form5->SelectTrackEntry(3);
    MakeSong(2, {2, 1, 2});
    EXPECT_EQ(form5->SelectedEntry(), 1) << "a loaded song starts on its first line";

    ShowWindow();

    form5->SpeedButton14->click();
    ASSERT_TRUE(machine.Session.Support().TimerRunning());
    EXPECT_FALSE(form5->close()) << "the editor cannot be closed";
    EXPECT_TRUE(form5->isVisible());
}

TEST_F(TrackEditor, OnlyTheUsersMovesAreDrags) {
    int started = 0;
    std::vector<QPoint> drops;
    QObject::connect(form5->Drop, &TDropWatch::DragStarted, [&] { ++started; });
    QObject::connect(form5->Drop, &TDropWatch::Dropped,
                     [&](QPoint point) { drops.push_back(point); });
    form5->ArrangedPlace = [] { return QPoint(300, 200); };
    ShowWindow();
    QCursor::setPos(10, 10);
    form5->move(300, 200); // where the arrangement put it
    QTest::qWait(50);
    QCursor::setPos(form5->frameGeometry().center());
    form5->move(300, 200);
    QTest::qWait(50);
    form5->move(500, 100); // the mouse is elsewhere: the program moves it
    QTest::qWait(400);
    EXPECT_EQ(started, 0);
    EXPECT_TRUE(drops.empty());

    form5->move(340, 220); // the user drags it by its caption
    QCursor::setPos(form5->frameGeometry().center());
    QTest::qWait(50);
    form5->move(350, 230);
    QCursor::setPos(form5->frameGeometry().center());
    QTest::qWait(50);
    EXPECT_EQ(started, 1);
    EXPECT_TRUE(drops.empty()) << "still moving";
    QTest::qWait(400);
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0], form5->frameGeometry().center());
}

// Undo and redo show the pattern the step belonged to, whatever the track editor selects.
TEST_F(TrackEditor, UndoAndRedoShowTheEditedPattern) {
    MakeSong(3, {1, 2, 3});
    for (const bool follow : {true, false}) {
        for (const bool playing : {false, true}) {
            SCOPED_TRACE(testing::Message() << "follow " << follow << ", playing " << playing);
            machine.Session.SetFollow(follow);
            if (playing)
                form5->SpeedButton14->click();
            machine.Session.SelectPattern(3);
            machine.Session.SetStepNote(1, 9);
            machine.Session.Undo();
            EXPECT_EQ(machine.Session.CurrentPattern(), 3);
            EXPECT_EQ(form3->SpinEdit1->value(), 3);
            machine.Session.Redo();
            EXPECT_EQ(machine.Session.CurrentPattern(), 3);
            EXPECT_EQ(form3->SpinEdit1->value(), 3);
            machine.Session.StopToggle();
        }
    }
}

// From stopped in track mode the play toggle starts the track over at its first line and
// selects it, with Follow or without, even when the output cannot be opened.
TEST_F(TrackEditor, ThePlayToggleSelectsTheFirstLineWithoutFollow) {
    MakeSong(2, {1, 2, 1});
    machine.Session.SetFollow(false);
    EXPECT_FALSE(form5->CheckBox1->isChecked());
    form5->SelectTrackEntry(3);
    machine.Session.PlayPattern();
    machine.Session.Stop(); // the output is closed
    machine.Session.ChooseTrackMode();
    port->OpenResult = MidiResult::Allocated; // another program holds the device
    machine.Session.PlayToggle();
    ASSERT_FALSE(machine.Session.Playing());
    EXPECT_EQ(form5->SelectedEntry(), 1);
    port->OpenResult = MidiResult::Ok;
    form5->SelectTrackEntry(2);
    machine.Session.PlayToggle();
    ASSERT_TRUE(machine.Session.Playing());
    EXPECT_EQ(form5->SelectedEntry(), 1);
    EXPECT_EQ(machine.Session.TrackPosition(), 1);
}
