#include "shell/Startup.h"

#include "AccessibleNames.h"
#include "PrivateNetwork.h"
#include "TempDir.h"

#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace {

QAction* MenuItem(QWidget& window, const char* name) {
    return window.findChild<QAction*>(name);
}

std::vector<std::string> SettingsFileLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(TempDir::Read(path));
    for (std::string line; std::getline(in, line, '\n');)
        lines.push_back(line.substr(0, line.find('\r')));
    return lines;
}

} // namespace

TEST(StartUp, TheWindowsComeUpInGerman) {
    TempDir dir;
    TMachineWindows windows({"Plinkora"}, dir.File("Plinkora.ini"));
    TForm1& form = windows.Form1;
    EXPECT_EQ(form.windowTitle(), "Plinkora v1.200");
    EXPECT_EQ(MenuItem(form, "File1")->text(), "Datei");
    EXPECT_EQ(MenuItem(form, "Exit1")->text(), "Beenden");
    const char* octaves[] = {"1 Oktave", "2 Oktaven", "3 Oktaven", "4 Oktaven", "5 Oktaven"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(form.Octave[i]->text(), QString::fromUtf8(octaves[i]));
    EXPECT_EQ(form.Button6->text(), "SPIELE PAT.");
    EXPECT_EQ(form.findChild<QLabel*>("Label9")->text(), "Bnk") << "no text number";
    EXPECT_EQ(form.SongDirectory1->text(),
              QString::fromUtf8("Song (*.pks) Verzeichnis  ->  ") +
                  QString::fromStdString(windows.Machine.Settings.SongFolder));
    EXPECT_EQ(windows.Server.windowTitle(), "") << "the server window has no text number";
    EXPECT_EQ(windows.Form8.windowTitle(), "Track Eigenschaften");
    EXPECT_EQ(form.Button3->toolTip(), QString::fromUtf8("Zurücksetzen des Midigerätes"));
    EXPECT_EQ(windows.Machine.Session.Song().Name, "Neuer Song");
    EXPECT_FALSE(windows.Server.isVisible()) << "hidden until a controller connects";
    EXPECT_EQ(windows.Machine.Settings.SkinNumber, 2) << "the saved skin, restored by 'next'";
    EXPECT_EQ(form.Skins->SkinNumber(), 3);
}

TEST(StartUp, ASongNamedOnTheCommandLineIsLoadedEvenWithSpacesInItsPath) {
    TempDir dir;
    const std::string song = dir.Write("My Song.pks", "Plinkora Song\r\n120 ms\r\n1 Pattern\r\n"
                                                      "3 0 5 \r\n1 Songlines\r\n1 \r\n");
    TMachineWindows windows({"Plinkora", dir.File("My"), "Song.pks"}, dir.File("Plinkora.ini"));
    EXPECT_EQ(windows.Machine.Session.Song().Name, "My Song");
    EXPECT_EQ(windows.Machine.Session.Song().Steps, 3);
    EXPECT_EQ(windows.Form1.MsValue->text(), "120");

    TMachineWindows missing({"Plinkora", dir.File("None.pks")}, dir.File("Other.ini"));
    EXPECT_EQ(missing.Machine.Session.Song().Name, "Neuer Song")
        << "a missing song starts the default";
}

// A settings file that ends early is rewritten whole, with the values it still had.
TEST(StartUp, AShortSettingsFileIsRewrittenWithTheValuesItHad) {
    TempDir dir;
    const std::string path = dir.File("Plinkora.ini");
    { TMachineWindows first({"Plinkora"}, path); } // writes a complete file
    std::string text = TempDir::Read(path);
    const size_t preview = text.find("Tone Preview Off");
    ASSERT_NE(preview, std::string::npos);
    text = text.substr(0, preview) + "Tone Preview On\r\n"; // and nothing after it
    dir.Write("Plinkora.ini", text);
    {
        TMachineWindows windows({"Plinkora"}, path);
        EXPECT_TRUE(windows.Machine.Session.PreviewWhilePlaying());
    }
    const std::string rewritten = TempDir::Read(path);
    EXPECT_NE(rewritten.find("Tone Preview On"), std::string::npos) << rewritten;
}

TEST(StartUp, TheEditorsComeUpInGermanWithTheirHints) {
    TempDir dir;
    TMachineWindows windows({"Plinkora"}, dir.File("Plinkora.ini"));
    EXPECT_EQ(windows.Form3.Button1->text(), "Neu");
    EXPECT_EQ(windows.Form3.Button10->text(), "Zufall");
    EXPECT_EQ(windows.Form5.Button1->text(), QString::fromUtf8("Einfügen"));
    EXPECT_EQ(windows.Form5.CheckBox1->text(), "Folgen");
    EXPECT_EQ(windows.Form5.Edit1->text(), "Neuer Song");
    EXPECT_EQ(windows.Form3.windowTitle(), "Pattern Editor - PATTERN 1");
    EXPECT_EQ(windows.Form5.windowTitle(), "Track Editor");
    EXPECT_EQ(windows.Form3.Button1->toolTip(), "Neuen Pattern erzeugen");
    EXPECT_EQ(windows.Form5.WheelBar20031->toolTip(), QString::fromUtf8("Lautstärke"));
}

TEST(StartUp, TheCommandLineChoosesTheLanguageForTheRunAndTheMenuSwitchesEveryWindow) {
    TempDir dir;
    const std::string settings = dir.File("Plinkora.ini");
    {
        TMachineWindows windows({"Plinkora", "--language", "en"}, settings);
        TForm1& form = windows.Form1;
        EXPECT_EQ(MenuItem(form, "File1")->text(), "File");
        EXPECT_EQ(form.Button6->text(), "PLAY PAT.");
        EXPECT_EQ(windows.Form9.windowTitle(), "Project Statistics");
        EXPECT_EQ(windows.Form3.Button1->toolTip(), "Create a new pattern");
        EXPECT_EQ(windows.Form3.LengthItems[2]->text(), "Note Length 2");
        EXPECT_EQ(windows.Form3.ComboBox2->itemText(1), "Min");
        EXPECT_EQ(windows.Machine.Session.Song().Name, "New Song");
        EXPECT_TRUE(form.English1->isChecked());
        EXPECT_EQ(windows.Machine.Settings.Language, TLanguage::German) << "for this run only";

        form.German1->trigger();
        EXPECT_EQ(MenuItem(form, "File1")->text(), "Datei");
        EXPECT_EQ(MenuItem(form, "Language1")->text(), "Sprache");
        EXPECT_EQ(windows.Form5.CheckBox1->text(), "Folgen");
        EXPECT_EQ(windows.Form3.Button1->toolTip(), "Neuen Pattern erzeugen");
        EXPECT_EQ(windows.Form3.LengthItems[2]->text(), QString::fromUtf8("Tonlänge 2"));
        EXPECT_EQ(windows.Form3.Edit1->text(), "Aus");
        EXPECT_EQ(windows.Machine.Session.Song().Name, "Neuer Song");
        EXPECT_FALSE(windows.Machine.Session.Song().SongModified);

        form.English1->trigger();
        EXPECT_EQ(windows.Form5.Button1->text(), "Insert");
        EXPECT_EQ(windows.Form3.Edit1->text(), "Off");
    }
    TMachineWindows next({"Plinkora"}, settings);
    EXPECT_EQ(MenuItem(next.Form1, "Exit1")->text(), "Exit") << "the choice was kept";
    EXPECT_TRUE(next.Form1.English1->isChecked());
}

// "--clock" and "--follow-transport" turn the options on for the run, wherever they stand among
// the song's words; the menu shows the session's options, and the user's choice there is kept.
TEST(StartUp, TheSynchronisationOptionsComeFromTheRunOrTheSettingsAndTheMenuKeepsThem) {
    TempDir dir;
    const std::string settings = dir.File("Plinkora.ini");
    const std::string song = dir.Write("My Song.pks", "Plinkora Song\r\n120 ms\r\n1 Pattern\r\n"
                                                      "3 0 5 \r\n1 Songlines\r\n1 \r\n");
    {
        TMachineWindows windows(
            {"Plinkora", "--clock", dir.File("My"), "--follow-transport", "Song.pks"}, settings);
        const TMachineSession& session = windows.Machine.Session;
        TForm1& form = windows.Form1;
        EXPECT_EQ(session.Song().Name, "My Song") << "the options are no part of the song's name";
        EXPECT_TRUE(session.SendsClock());
        EXPECT_TRUE(session.FollowsTransport());
        EXPECT_TRUE(form.SendClock1->isChecked());
        EXPECT_TRUE(form.FollowTransport1->isChecked());
        EXPECT_FALSE(windows.Machine.Settings.SendClock) << "for this run only";

        form.FollowTransport1->trigger();
        EXPECT_FALSE(session.FollowsTransport());
        EXPECT_FALSE(form.FollowTransport1->isChecked());
        EXPECT_NE(TempDir::Read(settings).find("\r\nFollow Transport Off\r\n"), std::string::npos);
        form.SendClock1->trigger();
        form.SendClock1->trigger(); // off, on: the user's choice
        EXPECT_TRUE(session.SendsClock());
        EXPECT_NE(TempDir::Read(settings).find("\r\nMIDI Clock On\r\n"), std::string::npos);
        EXPECT_FALSE(session.Song().SongModified);
    }
    TMachineWindows next({"Plinkora", "--language", "en"}, settings);
    EXPECT_TRUE(next.Machine.Session.SendsClock()) << "kept in the settings";
    EXPECT_FALSE(next.Machine.Session.FollowsTransport());
    EXPECT_TRUE(next.Form1.SendClock1->isChecked());
    EXPECT_EQ(next.Form1.SendClock1->text(), "Send MIDI clock");
    EXPECT_EQ(next.Form1.FollowTransport1->text(), "Follow JACK transport");
    next.Form1.ChooseLanguage(TLanguage::German);
    EXPECT_EQ(next.Form1.SendClock1->text(), "MIDI-Clock senden");
    EXPECT_EQ(next.Form1.FollowTransport1->text(), "JACK-Transport folgen");
}

// "--link" turns Link on for the run; Options > Ableton Link and Sync start/stop (on by default)
// set the session's options, follow them and are kept. While Link is on, the tempo bar makes room
// for the peer label beside it.
TEST(StartUp, LinkComesFromTheRunOrTheSettingsAndItsLabelStandsBesideTheTempoBar) {
    TPrivateNetwork net; // the machine's Link peer meets nobody outside the test
    if (!net.Failure().empty())
        GTEST_SKIP() << net.Failure();
    TempDir dir;
    const std::string settings = dir.File("Plinkora.ini");
    {
        TMachineWindows windows({"Plinkora", "--link"}, settings);
        const TMachineSession& session = windows.Machine.Session;
        TForm1& form = windows.Form1;
        EXPECT_TRUE(session.LinksOn());
        EXPECT_TRUE(form.Link1->isChecked());
        EXPECT_FALSE(windows.Machine.Settings.Link) << "for this run only";
        EXPECT_TRUE(session.SyncsLinkStartStop());
        EXPECT_TRUE(form.LinkStartStop1->isChecked());
        EXPECT_EQ(form.Link1->text(), "Ableton Link");
        EXPECT_EQ(form.LinkStartStop1->text(), "Start/Stop synchronisieren");
        EXPECT_TRUE(form.LinkPeers->isVisibleTo(&form));
        EXPECT_EQ(form.LinkPeers->text(), "Link: 0 Teilnehmer");
        const int barWidth = form.ScrollBar2->width();
        EXPECT_LE(form.ScrollBar2->geometry().right(), form.LinkPeers->geometry().left());
        EXPECT_LE(form.LinkPeers->sizeHint().width(), form.LinkPeers->width()) << "not cut";

        form.LinkStartStop1->trigger();
        EXPECT_FALSE(session.SyncsLinkStartStop());
        EXPECT_NE(TempDir::Read(settings).find("\r\nLink Start Stop Off\r\n"), std::string::npos);
        form.Link1->trigger();
        EXPECT_FALSE(session.LinksOn());
        EXPECT_FALSE(form.LinkPeers->isVisibleTo(&form));
        EXPECT_GT(form.ScrollBar2->width(), barWidth) << "the bar takes the label's room back";
        form.Link1->trigger();
        EXPECT_TRUE(session.LinksOn());
        EXPECT_NE(TempDir::Read(settings).find("\r\nAbleton Link On\r\n"), std::string::npos);
        EXPECT_FALSE(session.Song().SongModified);
    }
    TMachineWindows next({"Plinkora", "--language", "en"}, settings);
    EXPECT_TRUE(next.Machine.Session.LinksOn()) << "kept in the settings";
    EXPECT_FALSE(next.Machine.Session.SyncsLinkStartStop());
    EXPECT_FALSE(next.Form1.LinkStartStop1->isChecked());
    EXPECT_EQ(next.Form1.LinkStartStop1->text(), "Sync start/stop");
    EXPECT_EQ(next.Form1.LinkPeers->text(), "Link: 0 Peers");
    next.Form1.ChooseLanguage(TLanguage::German);
    EXPECT_EQ(next.Form1.LinkPeers->text(), "Link: 0 Teilnehmer") << "the language follows";
    EXPECT_LE(next.Form1.LinkPeers->sizeHint().width(), next.Form1.LinkPeers->width());
}

TEST(StartUp, TheLinkLabelCountsTheOtherPeersInBothLanguages) {
    const TLanguage before = CurrentLanguage();
    UseLanguage(TLanguage::English);
    EXPECT_EQ(LinkPeersCaption(2), "Link: 2 Peers");
    EXPECT_EQ(LinkPeersCaption(1), "Link: 1 Peer");
    EXPECT_EQ(LinkPeersCaption(0), "Link: 0 Peers");
    UseLanguage(TLanguage::German);
    EXPECT_EQ(LinkPeersCaption(2), "Link: 2 Teilnehmer");
    EXPECT_EQ(LinkPeersCaption(1), "Link: 1 Teilnehmer");
    EXPECT_EQ(LinkPeersCaption(12), "Link: 12 Teilnehmer");
    UseLanguage(before);
}

TEST(StartUp, ClosingTheMainWindowAsksTheSaveQuestionOnce) {
    TempDir dir;
    TMachineWindows windows({"Plinkora"}, dir.File("Plinkora.ini"));
    QSignalSpy ended(&windows, &TMachineWindows::Ended);
    int questions = 0;
    windows.Form1.Ask = [&questions](const QString&, QMessageBox::StandardButtons) {
        ++questions;
        return QMessageBox::No;
    };
    windows.Machine.Session.SetPatternName("edited");
    windows.Form1.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }, 5000));
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(std::filesystem::exists(dir.File("Plinkora.ini")));
}

// The offscreen screen (800 x 600) is too small for four machines side by side.
TEST(StartUp, EveryLayoutKeepsTheWindowsOnTheScreen) {
    TempDir dir;
    TMachineWindows windows({"Plinkora"}, dir.File("Plinkora.ini"));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    for (int layout = 1; layout <= 3; ++layout)
        for (int number = 1; number <= 4; ++number) {
            SCOPED_TRACE(testing::Message() << "layout " << layout << ", machine " << number);
            ASSERT_TRUE(windows.Layout(layout, number));
            const TWindowSet& set = windows.Windows();
            for (const QWidget* window : {set.Main, set.Pattern, set.Track, set.Server})
                EXPECT_TRUE(!window->isVisible() || area.contains(window->frameGeometry()))
                    << window->objectName().toStdString();
        }
}

// Every control of every window reads with a name, in English and in German (the language the
// other tests expect to find).
TEST(StartUp, EveryControlHasANameAScreenReaderCanSay) {
    TempDir dir;
    TMachineWindows windows({"Plinkora"}, dir.File("Plinkora.ini"));
    const std::vector<QWidget*> all = {
        &windows.Server, &windows.Form1, &windows.Form3, &windows.Form2, &windows.Form4,
        &windows.Form5,  &windows.Form6, &windows.Form8, &windows.Form9, &windows.MidiControlForm};
    for (const TLanguage language : {TLanguage::English, TLanguage::German}) {
        windows.Form1.ChooseLanguage(language);
        QStringList unnamed;
        for (QWidget* window : all)
            unnamed << AccessibleNames::ControlsWithoutName(*window);
        EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join("\n").toStdString();
    }
}

// Options > Follow MIDI clock greys the tempo bar, Transpose from keyboard takes one channel, the
// input list chooses the input; the choices are kept. An input that cannot be opened is told
// beside the tempo bar.
TEST(StartUp, TheMidiInOptionsSetTheSessionAndAreKept) {
    TempDir dir;
    const std::string settings = dir.File("Plinkora.ini");
    {
        TMachineWindows windows({"Plinkora", "--language", "en"}, settings);
        TForm1& form = windows.Form1;
        const TMachineSession& session = windows.Machine.Session;
        EXPECT_EQ(form.FollowClock1->text(), "Follow MIDI clock");
        EXPECT_EQ(form.MidiControl1->text(), "MIDI control...");
        EXPECT_EQ(MenuItem(form, "KeyboardTranspose1")->text(), "Transpose from keyboard");
        EXPECT_EQ(form.KeyboardChannel1[0]->text(), "Off");
        EXPECT_EQ(form.KeyboardChannel1[16]->text(), "Channel 16");
        EXPECT_TRUE(form.KeyboardChannel1[0]->isChecked());
        ASSERT_GE(form.MidiInputBox->count(), 1);
        EXPECT_EQ(form.MidiInputBox->itemText(0), "none");
        EXPECT_EQ(form.MidiInputBox->currentIndex(), 0);

        form.FollowClock1->trigger();
        EXPECT_TRUE(session.FollowsClock());
        EXPECT_FALSE(form.ScrollBar2->isEnabled()) << "the leader's pulses set the tempo";
        form.KeyboardChannel1[5]->trigger();
        EXPECT_EQ(session.KeyboardChannel(), 5);
        form.KeyboardChannel1[7]->trigger();
        EXPECT_EQ(session.KeyboardChannel(), 7);
        EXPECT_FALSE(form.KeyboardChannel1[5]->isChecked());
        const auto lines = SettingsFileLines(settings);
        ASSERT_EQ(lines.size(), size_t(SettingsLineCount));
        EXPECT_EQ(lines[22], "none");
        EXPECT_EQ(lines[23], "Follow MIDI Clock On");
        EXPECT_EQ(lines[24], "7");
        EXPECT_FALSE(session.Song().SongModified);
    }
    TMachineWindows next({"Plinkora"}, settings);
    TForm1& form = next.Form1;
    TMachineSession& session = next.Machine.Session;
    EXPECT_TRUE(session.FollowsClock()) << "kept in the settings";
    EXPECT_TRUE(form.FollowClock1->isChecked());
    EXPECT_FALSE(form.ScrollBar2->isEnabled());
    EXPECT_EQ(session.KeyboardChannel(), 7);
    EXPECT_TRUE(form.KeyboardChannel1[7]->isChecked());
    EXPECT_EQ(form.KeyboardChannel1[7]->text(), "Kanal 7");
    EXPECT_EQ(form.FollowClock1->text(), "MIDI-Clock folgen");
    EXPECT_EQ(form.MidiInputBox->itemText(0), "keiner");
    form.FollowClock1->trigger();
    EXPECT_TRUE(form.ScrollBar2->isEnabled());
    EXPECT_FALSE(form.LinkPeers->isVisibleTo(&form));

    // The test's port has no inputs: JACK cannot be opened and the notice says so.
    session.SetMidiInput({TMidiInputChoice::TKind::Jack, 0});
    ASSERT_FALSE(session.MidiInputNotice().Empty());
    EXPECT_EQ(form.MidiInputBox->currentText(), "JACK");
    EXPECT_TRUE(form.LinkPeers->isVisibleTo(&form));
    EXPECT_EQ(form.LinkPeers->toolTip().toStdString(), MessageText(session.MidiInputNotice()));
    EXPECT_LE(form.ScrollBar2->geometry().right(), form.LinkPeers->geometry().left());
    EXPECT_LE(form.LinkPeers->geometry().right(), form.width());
    form.MidiInputBox->setCurrentIndex(0);
    EXPECT_EQ(session.MidiInput(), TMidiInputChoice{});
    EXPECT_FALSE(form.LinkPeers->isVisibleTo(&form)) << "a good open clears the notice";
    EXPECT_EQ(SettingsFileLines(next.Machine.SettingsPath)[22], "none");
}

// The MIDI control window shows the file beside the settings (its bad lines told once at start),
// learns the next message received into the row waiting, clears, and speaks both languages.
TEST(StartUp, TheMidiControlWindowLearnsAndClearsAssignments) {
    TempDir dir;
    const std::string controlFile =
        dir.Write("PK1-midi-control.txt", "stop = note 10 36\nnot an assignment\n");
    TMachineWindows windows({"Plinkora", "--language", "en"}, dir.File("PK1.ini"));
    TMachineSession& session = windows.Machine.Session;
    ASSERT_NE(windows.Form1.NoticeBox(), nullptr) << "the skipped line is told";
    EXPECT_FALSE(windows.Form1.NoticeBox()->isModal());
    EXPECT_TRUE(windows.Form1.NoticeBox()->text().contains("not an assignment"));

    TMidiControlForm& control = windows.MidiControlForm;
    windows.Form1.MidiControl1->trigger();
    EXPECT_TRUE(control.isVisible());
    EXPECT_FALSE(control.isModal());
    EXPECT_EQ(control.windowTitle(), "MIDI control");
    const auto& stop = control.Rows[int(TMidiControlOperation::Stop)];
    const auto& play = control.Rows[int(TMidiControlOperation::PlaySong)];
    const auto& tempo = control.Rows[int(TMidiControlOperation::Tempo)];
    EXPECT_EQ(stop.Name->text(), "Stop");
    EXPECT_EQ(stop.Assignment->text(), "Note 36, channel 10");
    EXPECT_EQ(play.Assignment->text(), QString::fromUtf8("\u2014"));
    EXPECT_EQ(play.Learn->text(), "Learn");
    EXPECT_EQ(play.Learn->accessibleName(), "Learn: Play song");
    EXPECT_FALSE(play.Clear->isEnabled());

    // A second click, or Escape, stops waiting.
    tempo.Learn->click();
    EXPECT_EQ(session.Learning(), TMidiControlOperation::Tempo);
    EXPECT_TRUE(tempo.Learn->isChecked());
    EXPECT_EQ(tempo.Assignment->text(), QString::fromUtf8("Waiting for MIDI\u2026"));
    tempo.Learn->click();
    EXPECT_FALSE(session.Learning());
    EXPECT_FALSE(tempo.Learn->isChecked());
    tempo.Learn->click();
    QTest::keyClick(&control, Qt::Key_Escape);
    EXPECT_FALSE(session.Learning());
    EXPECT_TRUE(control.isVisible()) << "Escape only stopped the waiting";

    play.Learn->click();
    session.InputSink().Deliver(0, TMidiMessage{0x90, 60, 100, 3}); // note-on, channel 1
    session.TakeInMidiInput();
    EXPECT_EQ(play.Assignment->text(), "Note 60, channel 1");
    EXPECT_FALSE(play.Learn->isChecked());
    EXPECT_NE(TempDir::Read(controlFile).find("note 1 60"), std::string::npos);
    stop.Clear->click();
    EXPECT_EQ(stop.Assignment->text(), QString::fromUtf8("\u2014"));
    EXPECT_EQ(TempDir::Read(controlFile).find("note 10 36"), std::string::npos);

    windows.Form1.ChooseLanguage(TLanguage::German);
    EXPECT_EQ(control.windowTitle(), "MIDI-Steuerung");
    EXPECT_EQ(play.Name->text(), "Song abspielen");
    EXPECT_EQ(play.Assignment->text(), "Note 60, Kanal 1");
    EXPECT_EQ(play.Learn->text(), "Lernen");
    EXPECT_EQ(play.Clear->accessibleName(), QString::fromUtf8("Löschen: Song abspielen"));

    // The file cannot be written (a folder stands in its place): the error is told.
    std::filesystem::remove(controlFile);
    std::filesystem::create_directories(controlFile + "/taken");
    QStringList errors;
    control.ShowError = [&errors](const QString& text) { errors << text; };
    play.Clear->click();
    EXPECT_EQ(errors.size(), 1);
}
