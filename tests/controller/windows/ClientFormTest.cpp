// The controller window over recording links, offscreen.

#include "AccessibleNames.h"
#include "Client.h"
#include "ControlCommandLine.h"
#include "ProgramVersion.h"
#include "RemoteInfo.h"
#include "RemoteWords.h"
#include "SliderGestures.h"
#include "Trackframe2.h"
#include "WavSound.h"
#include "WheelBar2003.h"
#include "controller/core/FakeLink.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolButton>
#include <fstream>
#include <gtest/gtest.h>

namespace {

namespace W = RemoteWords;

class ClientForm : public ::testing::Test {
protected:
    ClientForm() : window(*c.core, c.Folder()) {
        window.Ask = [this](const QString& text, QMessageBox::StandardButtons) {
            questions << text;
            return answer;
        };
        window.StartUp(c.Folder() + "PKControl.ini");
        window.show();
    }
    void Trigger(const char* action) { window.findChild<QAction*>(action)->trigger(); }
    void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    TFakeController c;
    Tclientform window;
    QStringList questions;
    QMessageBox::StandardButton answer = QMessageBox::No;
};

// A press on the tempo slider's handle, a drag of `dx` pixels in steps, and the release.
void DragHandle(QScrollBar& bar, int dx) {
    QStyleOptionSlider option;
    option.initFrom(&bar);
    option.orientation = bar.orientation();
    option.minimum = bar.minimum();
    option.maximum = bar.maximum();
    option.sliderPosition = bar.sliderPosition();
    option.sliderValue = bar.value();
    option.pageStep = bar.pageStep();
    option.singleStep = bar.singleStep();
    const QPoint from =
        bar.style()
            ->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, &bar)
            .center();
    const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, bar.mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&bar, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (int step = 1; step <= 4; ++step)
        send(QEvent::MouseMove, from + QPoint(dx * step / 4, 0), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, from + QPoint(dx, 0), Qt::NoButton);
}

TEST_F(ClientForm, TheGermanWindowStartsAtTheDefaultTempo) {
    EXPECT_EQ(window.windowTitle(), "Plinkora Control v1.200");
    EXPECT_EQ(window.SpeedButton[2]->text(), "PK 2");
    EXPECT_EQ(window.SpeedButton[2]->toolTip(), "Starten - Maschine 2");
    EXPECT_EQ(window.SpeedButton[6]->toolTip(), "Herunterfahren - Maschine 2");
    EXPECT_EQ(window.TrackControl[3]->WheelBar1->toolTip(), "Lautstärke - Maschine 3");
    EXPECT_EQ(window.SpeedButton11->text(), "Kopieren");
    EXPECT_EQ(window.Label6->text(), "75.000");
    EXPECT_EQ(window.Label11->text(), "200");
    EXPECT_TRUE(window.ProjectDirectory1->text().startsWith("Projekt (*.pkp) Verzeichnis -> "));
}

// The machine shows "Plinkora v1.200" for version 1.2.0.0 of the build; the controller the same,
// and both name the licence.
TEST_F(ClientForm, TheTitleTheAboutBoxAndVersionShowTheVersionOfTheBuildAndTheLicence) {
    EXPECT_EQ(ProgramVersionText(), "1.200");
    EXPECT_EQ(ControlVersionText(), "PKControl v1.200");
    QString printed, errors;
    QTextStream out(&printed), err(&errors);
    EXPECT_EQ(RunControlCommandLine({"--version"}, c.Folder(), out, err), 0);
    out.flush();
    const QStringList version = printed.split('\n');
    ASSERT_GE(version.size(), 3) << printed.toStdString();
    EXPECT_EQ(version[0], "PKControl v1.200");
    EXPECT_TRUE(version[1].startsWith("Licence: GPL-3.0-or-later")) << printed.toStdString();
    EXPECT_TRUE(printed.contains("NO WARRANTY")) << printed.toStdString();

    const auto aboutLines = [this] {
        QStringList lines;
        for (const QLabel* label : window.AboutBox->findChildren<QLabel*>())
            lines << label->text();
        return lines;
    };
    QStringList lines = aboutLines();
    EXPECT_TRUE(lines.contains("Version 1.200")) << lines.join('|').toStdString();
    EXPECT_TRUE(lines.contains("Lizenz: GPL-3.0-or-later")) << lines.join('|').toStdString();
    EXPECT_TRUE(lines.contains("Ohne jede Gewährleistung")) << lines.join('|').toStdString();
    Trigger("LanguageEnglish");
    EXPECT_EQ(window.windowTitle(), "Plinkora Control v1.200");
    lines = aboutLines();
    EXPECT_TRUE(lines.contains("Licence: GPL-3.0-or-later")) << lines.join('|').toStdString();
    EXPECT_TRUE(lines.contains("Without any warranty")) << lines.join('|').toStdString();
}

TEST_F(ClientForm, DraggingTheTempoShowsItAllAlongAndSendsItOnceOnRelease) {
    c.core->StartMachine(1);
    c.ClearJournal();
    QStringList shown;
    QObject::connect(window.ScrollBar2, &TWheelBar2003::Change,
                     [&] { shown << window.Label11->text(); });
    DragHandle(*window.ScrollBar2, -40);
    EXPECT_GE(shown.size(), 2) << "the labels follow the drag";
    EXPECT_EQ(window.Label11->text().toInt(), 1030 - window.ScrollBar2->value());
    EXPECT_EQ(
        c.journal.Sent(),
        QStringList({SentStep("PK0", W::SetSpeed, QString::number(window.ScrollBar2->value()))}));
}

TEST_F(ClientForm, StoppingALowerSlotIsRefusedAndTheTopOneAsks) {
    c.core->StartMachine(2);
    ASSERT_TRUE(window.SpeedButton[5]->isVisible() && !window.SpeedButton[1]->isVisible());
    c.ClearJournal();
    Click(window.SpeedButton[5]);
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_TRUE(c.core->Running(1));
    Click(window.SpeedButton[6]);
    EXPECT_EQ(questions, QStringList({"Wollen Sie das aktuelle Projekt speichern?"}));
    EXPECT_FALSE(c.core->Running(2));
    EXPECT_TRUE(window.SpeedButton[2]->isVisible());
    EXPECT_TRUE(window.TrackControl[2]->SpeedButton10->isChecked()) << "its mute pressed";
}

TEST_F(ClientForm, FourMachinesWithTwoRunningStartsTheOtherTwoAndLoadsAllDefaults) {
    c.core->StartMachine(2);
    c.ClearJournal();
    Trigger("New4Machine");
    EXPECT_EQ(c.journal.steps.filter("open "), QStringList({"open PK2", "open PK3"}));
    EXPECT_EQ(c.journal.Sent().filter(W::Load).size(), 4);
    for (int slot = 1; slot <= 4; ++slot)
        EXPECT_TRUE(window.SpeedButton[slot + 4]->isVisible()) << slot;
}

TEST_F(ClientForm, ShiftGoesToTheTickedMachinesOnly) {
    c.core->StartMachine(4);
    Click(window.CheckBox[1]);
    Click(window.CheckBox[3]);
    c.ClearJournal();
    Click(window.SpeedButton9);
    EXPECT_EQ(c.journal.Sent(), QStringList({SentStep("PK1", W::ShiftPatternUp),
                                             SentStep("PK3", W::ShiftPatternUp)}));
}

TEST_F(ClientForm, OneWheelNotchOnAVolumeSliderMovesItsSlotByFive) {
    c.core->StartMachine(2);
    c.core->SetVolume(2, 50);
    c.ClearJournal();
    TWheelBar2003& slider = *window.TrackControl[2]->WheelBar1;
    TurnWheel(slider, -120); // towards the user: thumb down, quieter
    EXPECT_EQ(c.journal.Sent(), QStringList({SentStep("PK1", W::SetVolume, "55")}));
    TurnWheel(slider, 120);
    EXPECT_EQ(c.journal.Sent().last(), SentStep("PK1", W::SetVolume, "50"));
    EXPECT_EQ(c.core->Volume(1), 0) << "the other slots stay";
}

TEST_F(ClientForm, TheVolumeSlidersShowTheVolumeAsTheMachineDoes) {
    c.core->StartMachine(2);
    c.core->SetVolume(2, 50);
    EXPECT_EQ(window.TrackControl[2]->VolumeText->text(), "77");
    EXPECT_EQ(window.TrackControl[1]->VolumeText->text(), "127");
    TurnWheel(*window.TrackControl[2]->WheelBar1, -120);
    EXPECT_EQ(window.TrackControl[2]->VolumeText->text(), "72");
}

TEST_F(ClientForm, TheKeysOfTheMenusPlayStopAndOpen) {
    const auto key = [&](const char* action) {
        return window.findChild<QAction*>(action)->shortcut().toString();
    };
    EXPECT_EQ(key("New4Machine"), "Ctrl+N");
    EXPECT_EQ(key("LoadProject"), "Ctrl+O");
    EXPECT_EQ(key("SaveProject1"), "Ctrl+S");
    EXPECT_EQ(key("SaveProjectAs1"), "Ctrl+Shift+S");
    EXPECT_EQ(key("HelpControl1"), "F1");
    c.core->StartMachine(1);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    c.ClearJournal();
    QTest::keyClick(&window, Qt::Key_Space);
    QTest::keyClick(&window, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_TRUE(window.SpeedButton13->isChecked());
    QTest::keyClick(&window, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(c.journal.Sent(),
              QStringList({SentStep("PK0", W::PlayPattern, "0"), SentStep("PK0", W::PlaySong, "0"),
                           SentStep("PK0", W::Stop, "0")}));
    EXPECT_FALSE(window.SpeedButton13->isChecked() || window.SpeedButton14->isChecked());
}

TEST_F(ClientForm, LongLogLinesWrapInsteadOfLeavingTheBox) {
    c.core->StartMachine(1);
    window.Memo1->appendPlainText(
        "/home/someone/Music/Plinkora/PKProjects/a-long-project-name.pkp");
    QTest::qWait(0);
    EXPECT_EQ(window.Memo1->horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(window.Memo1->document()->lastBlock().layout()->lineCount(), 1);
}

TEST_F(ClientForm, TheLanguageMenuSwitchesEveryTextAtOnceAndBack) {
    const auto* file = window.findChild<QMenu*>("File1");
    const auto* languages = window.findChild<QMenu*>("LanguageMenu");
    const auto* about = window.findChild<QLabel*>("AboutText");
    EXPECT_EQ(file->title(), "Datei");
    EXPECT_EQ(languages->title(), "Sprache");
    EXPECT_TRUE(window.findChild<QAction*>("LanguageGerman")->isChecked());

    Trigger("LanguageEnglish");
    EXPECT_EQ(file->title(), "File");
    EXPECT_EQ(languages->title(), "Language");
    EXPECT_EQ(window.findChild<QAction*>("LanguageGerman")->text(), "Deutsch");
    EXPECT_TRUE(window.findChild<QAction*>("LanguageEnglish")->isChecked());
    EXPECT_FALSE(window.findChild<QAction*>("LanguageGerman")->isChecked());
    EXPECT_EQ(window.findChild<QAction*>("LoadProject")->text(), "Open Project");
    EXPECT_EQ(window.SpeedButton[2]->toolTip(), "Start - Machine 2");
    EXPECT_EQ(window.TrackControl[3]->WheelBar1->toolTip(), "Volume - Machine 3");
    EXPECT_EQ(window.SpeedButton15->toolTip(), "STOP - All Machines");
    EXPECT_EQ(about->text(), "Up to four Plinkora machines as one project");
    EXPECT_TRUE(window.ProjectDirectory1->text().startsWith("Project (*.pkp) Directory -> "));
    c.core->StartMachine(1);
    window.close();
    EXPECT_EQ(questions.value(0), "Do you want to save the current project?");

    Trigger("LanguageGerman");
    EXPECT_EQ(file->title(), "Datei");
    EXPECT_EQ(window.SpeedButton[2]->toolTip(), "Starten - Maschine 2");
    EXPECT_EQ(window.SpeedButton15->toolTip(), "STOP - Alle Maschinen");
    EXPECT_EQ(about->text(), "Bis zu vier Plinkora Maschinen als ein Projekt");
}

// Options > Synchronisation: its items tick what the core keeps for the machines it starts, and
// speak both languages.
TEST_F(ClientForm, TheSynchronisationMenuTicksWhatTheMachinesWillGet) {
    const auto* sync = window.findChild<QMenu*>("SyncMenu");
    EXPECT_EQ(sync->title(), "Synchronisation");
    EXPECT_EQ(window.SyncTransport->text(), "JACK-Transport");
    EXPECT_EQ(window.SyncClock->text(), "MIDI-Clock senden");
    EXPECT_FALSE(window.SyncTransport->isChecked());

    Trigger("SyncTransport");
    EXPECT_TRUE(c.core->FollowsTransport());
    EXPECT_FALSE(c.core->SendsClock());
    EXPECT_TRUE(window.SyncTransport->isChecked());
    c.core->ChooseSendClock(true);
    EXPECT_TRUE(window.SyncClock->isChecked()) << "the window shows the core";
    c.core->StartMachine(1);
    EXPECT_EQ(c.Fake(1).startSync, (TStartSync{true, true}));

    Trigger("LanguageEnglish");
    EXPECT_EQ(sync->title(), "Synchronisation");
    EXPECT_EQ(window.SyncTransport->text(), "JACK transport");
    EXPECT_EQ(window.SyncClock->text(), "Send MIDI clock");
    Trigger("SyncClock");
    EXPECT_FALSE(c.core->SendsClock());

    EXPECT_EQ(window.SyncFollowClock->text(), "Follow MIDI clock");
    Trigger("SyncFollowClock");
    EXPECT_TRUE(c.core->FollowsClock());
    EXPECT_TRUE(window.SyncFollowClock->isChecked());
    Trigger("LanguageGerman");
    EXPECT_EQ(window.SyncFollowClock->text(), "MIDI-Clock folgen");
}

// Options > Synchronisation > "Ableton Link": the controller joins the session, its bar follows
// the session's tempo without sending it back, and the user's tempo still goes to the machines.
TEST_F(ClientForm, WithLinkTheTempoBarFollowsTheSessionAndSendsNothingBack) {
    EXPECT_EQ(window.SyncLink->text(), "Ableton Link");
    c.core->StartMachine(1);
    Trigger("SyncLink");
    EXPECT_TRUE(c.core->LinksOn());
    EXPECT_TRUE(window.SyncLink->isChecked());
    EXPECT_EQ(c.session.joinedWith, 75.0) << "with the bar's tempo";
    c.ClearJournal();
    c.session.bpm = 125;
    c.core->FollowSessionTempo();
    EXPECT_EQ(window.ScrollBar2->value(), 910);
    EXPECT_EQ(window.Label11->text(), "120");
    EXPECT_EQ(window.Label6->text(), "125.000");
    EXPECT_TRUE(c.journal.Sent().isEmpty()) << "no SETSPEED back";

    DragHandle(*window.ScrollBar2, -40);
    EXPECT_EQ(
        c.journal.Sent(),
        QStringList({SentStep("PK0", W::SetSpeed, QString::number(window.ScrollBar2->value()))}));
    EXPECT_DOUBLE_EQ(c.session.bpm, 15000.0 / window.Label11->text().toInt()) << "to the session";
    Trigger("LanguageEnglish");
    EXPECT_EQ(window.SyncLink->text(), "Ableton Link");
}

// Every control reads with a name, in German and in English.
TEST_F(ClientForm, EveryControlHasANameAScreenReaderCanSay) {
    c.core->StartMachine(1); // its stop button shows
    for (const char* language : {"LanguageGerman", "LanguageEnglish"}) {
        Trigger(language);
        QStringList unnamed = AccessibleNames::ControlsWithoutName(window);
        unnamed << AccessibleNames::ControlsWithoutName(*window.AboutBox);
        EXPECT_TRUE(unnamed.isEmpty()) << language << "\n" << unnamed.join("\n").toStdString();
    }
}

TEST_F(ClientForm, EveryTextInTheTablesHasItsControl) {
    for (const TControlText& text : WindowTexts())
        EXPECT_TRUE(window.findChild<QObject*>(text.Name)) << text.Name;
    for (const TControlText& text : FrameHints())
        EXPECT_TRUE(window.TrackControl[1]->findChild<QObject*>(text.Name)) << text.Name;
    for (const TControlName& name : WindowNames())
        EXPECT_TRUE(window.findChild<QObject*>(name.Name)) << name.Name;
    for (const TControlName& name : FrameNames())
        EXPECT_TRUE(window.TrackControl[1]->findChild<QObject*>(name.Name)) << name.Name;
}

TEST(ClientFormLanguage, ALanguageForTheRunShowsButIsNotKept) {
    TFakeController c;
    Tclientform window(*c.core, c.Folder());
    const QString settings = c.Folder() + "PKControl.ini";
    window.StartUp(settings, TLanguage::English);
    EXPECT_EQ(window.findChild<QMenu*>("File1")->title(), "File");
    EXPECT_TRUE(window.findChild<QAction*>("LanguageEnglish")->isChecked());
    window.close();
    EXPECT_EQ(QString::fromStdString(TempDir::Read(settings.toStdString())).count("\r\n"), 6);
}

TEST(ClientFormStart, TakesBackAMachineAnEarlierControllerLeftRunning) {
    TFakeController c;
    c.Fake(1).answering = true;
    c.Fake(1).answers[W::DoYouNeedSave] = AsStatusLine(W::NoSave);
    Tclientform window(*c.core, c.Folder());
    window.StartUp(c.Folder() + "PKControl.ini");
    EXPECT_TRUE(c.core->Running(1));
    EXPECT_FALSE(window.SpeedButton[5]->isHidden()) << "its stop button shows";
    EXPECT_TRUE(window.SpeedButton[6]->isHidden());
}

TEST_F(ClientForm, ClosingAsksOnlyWhenSomethingWouldBeLost) {
    window.close();
    EXPECT_TRUE(questions.isEmpty()) << "no machine runs";
    EXPECT_EQ(c.journal.Sent(), QStringList());
    EXPECT_TRUE(c.journal.steps.contains(QString("PK0 dropped ") + W::ExitOnClose + " (blocking)"));
}

TEST_F(ClientForm, CancelOnClosingKeepsTheWindowAndTheMachines) {
    c.core->StartMachine(1);
    answer = QMessageBox::Cancel;
    EXPECT_FALSE(window.close());
    EXPECT_EQ(questions.size(), 1);
    EXPECT_TRUE(c.core->Running(1));
    c.Fake(1).answers[W::DoYouNeedSave] = AsStatusLine(W::NoSave);
    EXPECT_TRUE(window.close()) << "every machine saved: no question";
    EXPECT_EQ(questions.size(), 1);
}

TEST_F(ClientForm, YesOnClosingSavesANamedProjectUnderItsName) {
    c.core->StartMachine(1);
    c.Fake(1).answers[W::DoYouNeedSave] = AsStatusLine(W::NoSave);
    ASSERT_TRUE(c.core->SaveProjectAs(c.Folder() + "Band.pkp"));
    c.core->SetVolume(1, 12);
    int dialogs = 0;
    window.ChooseFile = [&](const QString&, const QString&, const QString&, const QString&, bool) {
        ++dialogs;
        return QString();
    };
    answer = QMessageBox::Yes;
    c.ClearJournal();
    EXPECT_TRUE(window.close());
    EXPECT_EQ(questions.size(), 1);
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(c.journal.Sent().filter(W::Save),
              QStringList({SentStep("PK0", W::Save, c.Folder() + "Band.pkp")}));
}

TEST_F(ClientForm, FileDialogsAreTitledAfterTheirMenuItemsInTheCurrentLanguage) {
    c.core->StartMachine(1);
    QStringList titles;
    window.ChooseFile = [&](const QString& title, const QString&, const QString&, const QString&,
                            bool) {
        titles << title;
        return QString();
    };
    Trigger("ExportAudio");
    Trigger("LoadProject");
    Trigger("LanguageEnglish");
    Trigger("ExportAudio");
    Trigger("SaveProjectAs1");
    EXPECT_EQ(titles, QStringList({"Exportiere Audio", "Projekt Öffnen", "Export Audio",
                                   "Save Project As"}));
}

TEST_F(ClientForm, TheExportsAreGreyedWhileNoMachineRuns) {
    const auto enabled = [&] {
        return QList<bool>{window.findChild<QAction*>("ExportMidi")->isEnabled(),
                           window.findChild<QAction*>("ExportAudio")->isEnabled()};
    };
    EXPECT_EQ(enabled(), QList<bool>({false, false}));
    c.core->StartMachine(2);
    EXPECT_EQ(enabled(), QList<bool>({true, true}));
    c.Fake(2).Drop();
    EXPECT_EQ(enabled(), QList<bool>({true, true})) << "machine 1 still runs";
    c.Fake(1).Drop();
    EXPECT_EQ(enabled(), QList<bool>({false, false}));
}

TEST_F(ClientForm, ExportAudioRendersTheJoinedExportOfTheRunningMachines) {
    c.core->StartMachine(1);
    c.ClearJournal();
    window.ChooseFile = [&](const QString&, const QString&, const QString&, const QString& filter,
                            bool) {
        EXPECT_TRUE(filter.startsWith("WAV (*.wav)")) << filter.toStdString();
        return c.Folder() + "mix";
    };
    Trigger("ExportAudio");
    const QStringList sent = c.journal.Sent();
    ASSERT_EQ(sent.size(), 1);
    const QString exportStep = SentStep("PK0", W::SaveMidi) + " ";
    ASSERT_TRUE(sent[0].startsWith(exportStep));
    // What the machine writes: middle C a quarter second in (division 96 at 120 BPM).
    const std::string machineFile = sent[0].mid(exportStep.size()).toStdString() + "1.mid";
    std::ofstream(machineFile, std::ios::binary)
        << std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0\x0C"
                       "\x30\x90\x3C\x64\x60\x80\x3C\0\0\xFF\x2F\0",
                       34);
    window.Timer2Timer();
    const TWavSound sound = ReadWav(TempDir::Read(c.dir.File("mix.wav")));
    EXPECT_EQ(sound.Channels, 2);
    EXPECT_NEAR(sound.FirstSoundFrame() / 44100.0, 0.25, 0.01);
    EXPECT_FALSE(std::filesystem::exists(machineFile)) << "the export's folder is gone";
    EXPECT_TRUE(questions.isEmpty());
}

} // namespace
