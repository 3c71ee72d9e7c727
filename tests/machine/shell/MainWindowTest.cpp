#include "TempDir.h"
#include "WavSound.h"
#include "midi/MidiPortRecording.h"
#include "server/CommandChannel.h"
#include "shell/Pk2MidForm.h"

#include <QAccessible>
#include <QTest>
#include <QWheelEvent>
#include <functional>
#include <gtest/gtest.h>

namespace {

using Kind = TMidiCall::Kind;

// A main window on a recording port with three devices; its questions and dialogs answer from
// lists the test fills.
class MainWindow : public ::testing::Test {
protected:
    MainWindow() : machine(Recording()) {
        machine.SettingsPath = dir.File("Plinkora.ini");
        form = std::make_unique<TForm1>(machine, channel);
        machine.Session.Support().TicksByHand = true;
        form->Ask = [this](const QString& question, QMessageBox::StandardButtons) {
            questions.push_back(question);
            const auto answer = answers.empty() ? QMessageBox::Cancel : answers.front();
            if (!answers.empty())
                answers.erase(answers.begin());
            return answer;
        };
        form->ChooseSongToSave = [this](const QString&, const QString& proposed) {
            proposals.push_back(proposed);
            const QString chosen = saveChoices.empty() ? QString() : saveChoices.front();
            if (!saveChoices.empty())
                saveChoices.erase(saveChoices.begin());
            return chosen;
        };
    }

    std::unique_ptr<TMidiPort> Recording() {
        auto recording = std::make_unique<TRecordingMidiPort>(
            std::vector<std::string>{"Synth A", "Synth B", "Synth C"});
        port = recording.get();
        return recording;
    }

    TRecordingMidiPort* port = nullptr;
    TMachine machine;
    TCommandChannel channel;
    std::unique_ptr<TForm1> form;
    std::vector<QString> questions;
    std::vector<QMessageBox::StandardButton> answers;
    std::vector<QString> proposals;
    std::vector<QString> saveChoices;
    TempDir dir;
};

const char* const TwoPatternSong = "Plinkora Song\r\n150 ms\r\n2 Pattern\r\n1 2 3 4 \r\n"
                                   "5 6 7 8 \r\n2 Songlines\r\n2 1 \r\nTransponition\r\n3 3 \r\n"
                                   "40 Patch\r\n1 Device\r\n5 Channel\r\n25 Range\r\n"
                                   "3\r\n-\r\n4\r\n0 0 0 0 \r\n0 0 0 0 \r\n1 1 1 1 \r\n"
                                   "1 1 1 1 \r\nlead\r\nbass\r\n6\r\n";

} // namespace

TEST_F(MainWindow, StartsWithTheVersionTheMapperAndAFreshSong) {
    EXPECT_EQ(form->windowTitle(), "Plinkora v1.200");
    ASSERT_EQ(form->ComboBox1->count(), 4);
    EXPECT_EQ(form->ComboBox1->itemText(0), "Midi Mapper");
    EXPECT_EQ(form->ComboBox1->currentIndex(), 0);
    EXPECT_EQ(machine.Session.Out().DeviceId, -1);
    EXPECT_EQ(form->ScrollBar2->value(), 830);
    EXPECT_EQ(form->MsValue->text(), "200");
    EXPECT_EQ(form->BpmValue->text(), "75.000");
    EXPECT_EQ(machine.Session.Song().PatternCount, 1);
    EXPECT_EQ(machine.Session.Song().Name, "New Song");
    EXPECT_TRUE(form->Octave[2]->isChecked());
    EXPECT_EQ(form->SpinEdit2->maximum(), 24);
    EXPECT_EQ(machine.Session.Melodies().Count(), 1);
}

TEST_F(MainWindow, SpinBoxesWrapAtTheirEnds) {
    form->SpinEdit1->setValue(128);
    EXPECT_EQ(form->SpinEdit1->value(), 0);
    form->SpinEdit1->setValue(-1);
    EXPECT_EQ(form->SpinEdit1->value(), 127);
    EXPECT_EQ(machine.Session.Song().Patch, 127);
    EXPECT_EQ(form->Edit1->text(), "Gunshot");
    form->SpinEdit4->setValue(128);
    EXPECT_EQ(form->SpinEdit4->value(), 0);
    form->SpinEdit4->setValue(-1);
    EXPECT_EQ(machine.Session.Song().Bank, 127);
    form->SpinEdit3->setValue(17);
    EXPECT_EQ(form->SpinEdit3->value(), 1);
    form->SpinEdit3->setValue(0);
    EXPECT_EQ(form->SpinEdit3->value(), 16);
    EXPECT_EQ(machine.Session.Song().Channel, 16);
    EXPECT_EQ(machine.Session.Out().Voice.OutChannel, 15);
    EXPECT_EQ(machine.Session.Melodies().Event(0, 0).Message & 0xFF, 0x9Fu)
        << "timelines on channel 16";
}

TEST_F(MainWindow, ThePatchMenuSetsNameAndNumber) {
    auto* trumpet = form->PatchMenu->findChild<QToolButton*>("Patch_56");
    ASSERT_NE(trumpet, nullptr);
    EXPECT_EQ(trumpet->text(), "Trumpet");
    trumpet->click();
    EXPECT_EQ(form->Edit1->text(), "Trumpet");
    EXPECT_EQ(form->SpinEdit1->value(), 56);
    EXPECT_EQ(machine.Session.Song().Patch, 56);
    EXPECT_NE(form->PatchMenu->findChild<QLabel*>("trenn_15"), nullptr);
}

TEST_F(MainWindow, TheTransportPlaysAndStops) {
    form->Button6->click();
    EXPECT_TRUE(machine.Session.Playback().Playing());
    EXPECT_EQ(port->Call(0), (TMidiCall{Kind::Open, -1}));
    machine.Session.Playback().OnTick();
    EXPECT_EQ(port->ShortMessages().back(), 0x90u + 45 * 256 + 127 * 65536);
    form->Button2->click();
    EXPECT_FALSE(machine.Session.Playback().Playing());
    EXPECT_EQ(port->Calls().back().What, Kind::Close);
    const size_t calls = port->Size();
    form->Button2->click();
    EXPECT_EQ(port->Size(), calls) << "STOP while stopped does nothing";

    form->SpeedButton4->click(); // track mode, stopped: nothing starts
    EXPECT_FALSE(machine.Session.Playback().Playing());
    form->SpeedButton1->click();
    EXPECT_TRUE(machine.Session.Playback().Playing());
    EXPECT_EQ(machine.Session.Transport().PlayMode, TPlayMode::Track);
    form->SpeedButton2->click();
    EXPECT_FALSE(form->SpeedButton1->isChecked());
}

// Screen readers read the toggle's checked state: it must say whether something plays.
TEST_F(MainWindow, ThePlayToggleShowsWhetherSomethingPlaysWhateverStoppedIt) {
    const auto pressed = [this] {
        const bool shown = form->SpeedButton1->isChecked();
        EXPECT_EQ(QAccessible::queryAccessibleInterface(form->SpeedButton1)->state().checked,
                  shown);
        return shown;
    };
    EXPECT_FALSE(form->SpeedButton1->accessibleName().isEmpty());
    form->SpeedButton1->click();
    EXPECT_TRUE(pressed());
    form->Button2->click(); // STOP
    EXPECT_FALSE(pressed());
    form->Button6->click(); // > PAT.
    EXPECT_TRUE(pressed()) << "something plays, whatever started it";
    machine.Session.Stop(); // a remote STOP, an editor's stop
    EXPECT_FALSE(pressed());
}

TEST_F(MainWindow, TempoAppliesWhenTheGestureEnds) {
    form->ScrollBar2->setValue(930);
    EXPECT_EQ(form->MsValue->text(), "100");
    EXPECT_EQ(form->BpmValue->text(), "150.000");
    EXPECT_EQ(machine.Session.Song().StepTime, 200) << "not before the release";
    form->ScrollBar2Scroll();
    EXPECT_EQ(machine.Session.Song().StepTime, 100);
    EXPECT_EQ(machine.Session.Melodies().Event(0, 31).Time, 1600u);
}

TEST_F(MainWindow, EveryWayOfMovingTheTempoAppliesItOnce) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    TWheelBar2003& bar = *form->ScrollBar2;
    const auto applied = [&] {
        return machine.Session.Song().StepTime == bar.maximum() + bar.minimum() - bar.value();
    };
    const QPoint centre = bar.rect().center();
    QWheelEvent notch(centre, bar.mapToGlobal(centre), {}, QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&bar, &notch);
    EXPECT_EQ(bar.value(), 840);
    EXPECT_TRUE(applied()) << "wheel";
    bar.setFocus();
    for (const Qt::Key key : {Qt::Key_Right, Qt::Key_PageDown, Qt::Key_Left}) {
        const int before = bar.value();
        QTest::keyClick(&bar, key);
        EXPECT_NE(bar.value(), before);
        EXPECT_TRUE(applied()) << "key " << key;
    }
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(bar.width() / 5, bar.height() / 2));
    EXPECT_TRUE(applied()) << "click on the groove";
    EXPECT_TRUE(machine.Session.Song().SongModified);
}

TEST_F(MainWindow, ChangesToWhatTheSongFileStoresMarkTheSongModified) {
    const QString path = QString::fromStdString(dir.Write("Two.pks", TwoPatternSong));
    ASSERT_TRUE(form->DoLoadSong(path));
    EXPECT_FALSE(machine.Session.Song().SongModified)
        << "loading brought the controls in line only";
    const std::vector<std::function<void()>> edits = {
        [&] { form->SpinEdit3->setValue(7); }, [&] { form->SpinEdit1->setValue(12); },
        [&] { form->SpinEdit4->setValue(2); }, [&] { form->SpinEdit2->setValue(5); },
        [&] { form->Octave[4]->trigger(); },   [&] { form->ComboBox1->setCurrentIndex(0); }};
    for (size_t i = 0; i < edits.size(); ++i) {
        ASSERT_TRUE(machine.Session.Save());
        ASSERT_FALSE(machine.Session.Song().SongModified);
        edits[i]();
        EXPECT_TRUE(machine.Session.Song().SongModified) << i;
    }
}

TEST_F(MainWindow, TheOverwriteQuestionLooksAtTheFileReallyWritten) {
    dir.Write("x.pks", "old song");
    dir.Write("y.mid", "old midi");
    saveChoices = {QString::fromStdString(dir.File("x.txt"))};
    answers = {QMessageBox::No};
    form->SaveAsClick();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_TRUE(questions[0].endsWith(QString::fromStdString(dir.File("x.pks"))));
    EXPECT_EQ(TempDir::Read(dir.File("x.pks")), "old song");

    form->ChooseMidiToSave = [&](const QString&, const QString&) {
        return questions.size() < 2 ? QString::fromStdString(dir.File("y.txt")) : QString();
    };
    answers = {QMessageBox::No};
    EXPECT_FALSE(form->ExportMidiFile());
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_TRUE(questions[1].endsWith(QString::fromStdString(dir.File("y.mid"))));
    EXPECT_EQ(TempDir::Read(dir.File("y.mid")), "old midi");

    dir.Write("z.wav", "old sound");
    form->ChooseAudioToSave = [&](const QString&, const QString&) {
        return questions.size() < 4 ? QString::fromStdString(dir.File("z.mp3")) : QString();
    };
    answers = {QMessageBox::No, QMessageBox::Yes};
    EXPECT_TRUE(form->ExportAudioFile());
    ASSERT_EQ(questions.size(), 4u);
    EXPECT_TRUE(questions[2].endsWith(QString::fromStdString(dir.File("z.wav"))));
    EXPECT_EQ(ReadWav(TempDir::Read(dir.File("z.wav"))).Rate, 44100) << "rendered over the old";
    EXPECT_FALSE(std::filesystem::exists(dir.File("z.mp3")));
}

TEST_F(MainWindow, ANoteRangeBelowAHighNoteIsRefused) {
    machine.Session.SetStepNote(3, 13);
    form->Octave[0]->trigger();
    EXPECT_EQ(machine.Session.Song().Range, 37);
    EXPECT_TRUE(form->Octave[2]->isChecked());
    EXPECT_FALSE(form->Octave[0]->isChecked());
    form->Octave[4]->trigger();
    EXPECT_EQ(machine.Session.Song().Range, 61);
    EXPECT_EQ(form->SpinEdit2->maximum(), 0);
}

TEST_F(MainWindow, LoadingBringsEveryControlInLine) {
    const QString path = QString::fromStdString(dir.Write("Two.pks", TwoPatternSong));
    EXPECT_FALSE(form->DoLoadSong(QString::fromStdString(dir.File("none.pks"))));
    ASSERT_TRUE(form->DoLoadSong(path));
    EXPECT_EQ(machine.Session.Song().Name, "Two");
    EXPECT_EQ(form->MsValue->text(), "150");
    EXPECT_EQ(form->ScrollBar2->value(), 880);
    EXPECT_EQ(form->SpinEdit2->value(), 3);
    EXPECT_EQ(machine.Session.Out().Voice.GlobalTranspose, 3);
    EXPECT_EQ(form->SpinEdit1->value(), 40);
    EXPECT_EQ(form->Edit1->text(), "Violin");
    EXPECT_EQ(form->SpinEdit4->value(), 6);
    EXPECT_EQ(form->SpinEdit3->value(), 5);
    EXPECT_EQ(form->ComboBox1->currentIndex(), 2);
    EXPECT_EQ(machine.Session.Out().DeviceId, 1);
    EXPECT_EQ(machine.Session.Transport().CurrentPattern, 2);
    EXPECT_TRUE(form->Octave[1]->isChecked());
    EXPECT_EQ(machine.Session.Melodies().Count(), 2);
    EXPECT_EQ(machine.Session.Melodies().Event(1, 0).Message & 0xFFFF, 0x94u + (5 + 35 + 3) * 256);

    QString error;
    const QString bad = QString::fromStdString(dir.Write("bad.pks", "Plinkora Song\r\n2x ms\r\n"));
    EXPECT_FALSE(form->DoLoadSong(bad, &error));
    EXPECT_EQ(error, "Songdatei " + bad + ", Zeile 2: '2x' ist kein gültiger ganzzahliger Wert")
        << "the window names the file and the line, as the command line does, in its language";
    EXPECT_EQ(machine.Session.Song().Name, "Two") << "a failed load keeps the song";
}

TEST_F(MainWindow, SaveOfANewSongProposesItsNameAndAsksBeforeOverwriting) {
    const std::string taken = dir.Write("Taken.pks", "old");
    saveChoices = {QString::fromStdString(taken), QString::fromStdString(dir.File("Fresh.pks"))};
    answers = {QMessageBox::No};
    form->SaveClick();
    ASSERT_EQ(proposals.size(), 2u) << "No keeps the dialog open";
    EXPECT_EQ(proposals[0], "New Song.pks");
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_EQ(TempDir::Read(taken), "old");
    EXPECT_EQ(machine.Session.Song().Name, "Fresh");
    EXPECT_EQ(TempDir::Read(dir.File("Fresh.pks")).substr(0, 15), "Plinkora Song\r\n");

    machine.Session.SetPatternName("edited");
    ASSERT_TRUE(machine.Session.Song().SongModified);
    form->SaveClick(); // a named song is saved beside its file without a dialog
    EXPECT_EQ(proposals.size(), 2u);
    EXPECT_FALSE(machine.Session.Song().SongModified);
}

TEST_F(MainWindow, NewCommandsAskFirstAndCancelStops) {
    machine.Session.AddPattern(DefaultNote);
    machine.Session.AddPattern(DefaultNote);
    answers = {QMessageBox::Cancel};
    form->NewProjectClick();
    EXPECT_EQ(machine.Session.Song().PatternCount, 3);

    form->AskStepCount = [] { return 8; };
    answers = {QMessageBox::No};
    form->DrumsessionClick();
    EXPECT_EQ(machine.Session.Song().PatternCount, 1);
    EXPECT_EQ(machine.Session.Song().Steps, 8);
    EXPECT_EQ(machine.Session.Song().Channel, 10);
    EXPECT_EQ(form->SpinEdit3->value(), 10);
    EXPECT_EQ(form->Edit1->text(), "Standard Kit");
    EXPECT_EQ(machine.Session.Song().Transpose[1], -1);
    EXPECT_EQ(machine.Session.Song().Range, 49);
    EXPECT_TRUE(form->Octave[3]->isChecked());
    EXPECT_EQ(machine.Session.Melodies().Timeline(0).size(), 16u);

    answers = {QMessageBox::Yes}; // Yes opens "Save As"; cancelling it keeps the song
    form->SongKeepPatternsClick();
    EXPECT_EQ(proposals.size(), 1u);
    EXPECT_EQ(machine.Session.Song().Steps, 8);
}

TEST_F(MainWindow, CancellingTheCloseQuestionKeepsTheMachineRunning) {
    machine.Session.SetPatternName("edited");
    answers = {QMessageBox::Cancel};
    form->close();
    EXPECT_FALSE(channel.Closing());
    EXPECT_EQ(questions.size(), 1u);
}

TEST_F(MainWindow, AFirstStartWritesTheSettingsAndRangeChangesRewriteThem) {
    const std::string written = TempDir::Read(dir.File("Plinkora.ini"));
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), SettingsLineCount);
    EXPECT_NE(written.find("\r\n37\r\n"), std::string::npos);
    form->Octave[1]->trigger();
    EXPECT_NE(TempDir::Read(dir.File("Plinkora.ini")).find("\r\n25\r\n"), std::string::npos);
    EXPECT_TRUE(form->SongDirectory1->text().endsWith("/PKSongs"));
}

TEST(MainWindowSettings, TheSavedRangePreviewAndPositionAreShownAtStart) {
    TempDir dir;
    TMachine machine(std::make_unique<TRecordingMidiPort>());
    machine.SettingsPath = dir.Write("Plinkora.ini", "/songs\r\n/midi\r\n49\r\n140\r\n90\r\n"
                                                     "140\r\n219\r\n538\r\n219\r\n"
                                                     "PatternFixed\r\n4\r\nSongFixed\r\n6\r\n"
                                                     "5\r\nTone Preview On\r\n16\r\n(C) me\r\n");
    TCommandChannel channel;
    TForm1 form(machine, channel);
    EXPECT_EQ(machine.Session.Song().Range, 49);
    EXPECT_TRUE(form.Octave[3]->isChecked());
    EXPECT_EQ(form.SpinEdit2->maximum(), 12);
    EXPECT_TRUE(form.PreviewofTones1->isChecked());
    EXPECT_TRUE(machine.Session.Playback().PreviewWhilePlaying());
    EXPECT_TRUE(machine.SettingsRead);
    EXPECT_EQ(machine.Session.ExportOptions().Copyright, "(C) me");
    EXPECT_EQ(form.SongDirectory1->text(), "Song (*.pks) Directory  ->  /songs");
}
