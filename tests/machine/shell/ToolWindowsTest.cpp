#include "SessionSongs.h"
#include "TempDir.h"
#include "shell/Startup.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The whole machine as started, with the MIDI file dialog answering from the test.
class ToolWindows : public ::testing::Test {
protected:
    ToolWindows() : windows({"Plinkora"}, dir.File("Plinkora.ini")) {
        windows.Form1.ChooseMidiToSave = [this](const QString&, const QString& proposed) {
            proposedMidi = proposed;
            return QString::fromStdString(dir.File(nextMidi));
        };
    }

    std::string Export(const std::string& name) {
        nextMidi = name;
        windows.Form2.Button1->click();
        return TempDir::Read(dir.File(name));
    }

    static uint32_t TrackLength(const std::string& file) {
        return uint32_t(uint8_t(file[18])) << 24 | uint32_t(uint8_t(file[19])) << 16 |
               uint32_t(uint8_t(file[20])) << 8 | uint8_t(file[21]);
    }

    TempDir dir;
    TMachineWindows windows;
    std::string nextMidi;
    QString proposedMidi;
};

} // namespace

TEST_F(ToolWindows, TheExportDialogDecidesWhatTheFileHolds) {
    windows.Form1.ExportMidi1->trigger();
    EXPECT_TRUE(windows.Form2.isVisible());
    EXPECT_EQ(windows.Form2.windowTitle(), "Midi Export");
    EXPECT_EQ(windows.Form2.Edit3->text(), "Acoustic Grand Piano");
    EXPECT_EQ(windows.Form2.Edit1->text(), "Neuer Song - Acoustic Grand Piano");
    EXPECT_EQ(windows.Form2.Edit1->cursorPosition(), 0) << "the name shows from its start";

    const std::string full = Export("full.mid");
    EXPECT_EQ(proposedMidi, "Neuer Song.mid");
    EXPECT_FALSE(windows.Form2.isVisible()) << "the export hides the dialog";
    EXPECT_NE(full.find(std::string("\0\xC0\0", 3)), std::string::npos);
    EXPECT_NE(full.find("\xFF\x02"), std::string::npos);

    windows.Form2.CheckBox1->setChecked(false);
    const std::string noProgram = Export("noprogram.mid");
    EXPECT_EQ(noProgram.find(std::string("\0\xC0\0", 3)), std::string::npos);
    EXPECT_EQ(TrackLength(full) - TrackLength(noProgram), 3u);

    windows.Form2.CheckBox4->setChecked(false);
    EXPECT_FALSE(windows.Form2.Edit2->isEnabled());
    EXPECT_EQ(Export("nocopyright.mid").find("\xFF\x02"), std::string::npos);
}

TEST_F(ToolWindows, ATypedTrackNameSurvivesSaveAs) {
    windows.Form1.ExportMidi1->trigger();
    QTest::keyClicks(windows.Form2.Edit1, " live");
    const QString typed = windows.Form2.Edit1->text();
    windows.Form1.ChooseSongToSave = [this](const QString&, const QString&) {
        return QString::fromStdString(dir.File("Tune.pks"));
    };
    windows.Form1.SaveAsClick();
    EXPECT_EQ(windows.Machine.Session.Song().Name, "Tune");
    EXPECT_EQ(windows.Form2.Edit1->text(), typed);
}

TEST_F(ToolWindows, SaveAsNamesAnUntouchedTrackOnce) {
    windows.Form1.ChooseSongToSave = [this](const QString&, const QString&) {
        return QString::fromStdString(dir.File("Tune.pks"));
    };
    windows.Form1.SaveAsClick();
    EXPECT_EQ(windows.Form2.Edit1->text(), "Tune");
}

TEST_F(ToolWindows, TheExportDialogNamesTheTrackWithoutTheFolderOfARemoteSave) {
    windows.Machine.Session.SaveUnderName(dir.File("proj0"));
    EXPECT_EQ(windows.Form5.Edit1->text(), "proj0");
    windows.Form1.ExportMidi1->trigger();
    EXPECT_EQ(windows.Form2.Edit1->text(), "proj0 - Acoustic Grand Piano");
}

TEST_F(ToolWindows, MonophoneExportsOnChannelOneAndKeepsTheChannel) {
    windows.Form1.SpinEdit3->setValue(10);
    windows.Form1.ExportMidi1->trigger();
    windows.Form2.CheckBox2->setChecked(true);
    const std::string file = Export("mono.mid");
    EXPECT_NE(file.find(std::string("\0\xFF\x20\x01\0", 5)), std::string::npos);
    EXPECT_NE(file.find(std::string("\0\x90", 2)), std::string::npos);
    EXPECT_EQ(file.find(std::string("\x99")), std::string::npos);
    EXPECT_EQ(windows.Form1.SpinEdit3->value(), 10);
    EXPECT_EQ(windows.Machine.Session.Out().Voice.OutChannel, 9);
    EXPECT_EQ(windows.Machine.Session.Melodies().Event(0, 0).Message & 0xFF, 0x99u);
}

TEST_F(ToolWindows, CtrlDTogglesTheDebuggerAndDAloneDoesNothing) {
    windows.Form1.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&windows.Form1));
    EXPECT_FALSE(windows.Form6.isVisible());
    QTest::keyClick(&windows.Form1, Qt::Key_D, Qt::ControlModifier);
    EXPECT_TRUE(windows.Form6.isVisible());
    windows.Form1.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&windows.Form1));
    QTest::keyClick(&windows.Form1, Qt::Key_D);
    EXPECT_TRUE(windows.Form6.isVisible());
    QTest::keyClick(&windows.Form1, Qt::Key_D, Qt::ControlModifier);
    EXPECT_FALSE(windows.Form6.isVisible());

    // The editors have the key too, even in the pattern's name box.
    for (QWidget* editor :
         {static_cast<QWidget*>(windows.Form3.Edit2), static_cast<QWidget*>(&windows.Form5)}) {
        editor->window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(editor->window()));
        const bool shown = windows.Form6.isVisible();
        QTest::keyClick(editor, Qt::Key_D, Qt::ControlModifier);
        EXPECT_NE(windows.Form6.isVisible(), shown) << editor->objectName().toStdString();
    }
}

// The File menu shows the keys of its items; a key fires its item once, from the main window and
// from an editor.
TEST_F(ToolWindows, TheFileMenuShowsItsKeysAndEachFiresOnce) {
    TForm1& form = windows.Form1;
    EXPECT_EQ(form.Save1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(form.SaveAs1->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    EXPECT_EQ(form.Load1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(form.SongKeepPatterns1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(form.ExportMidi1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    QSignalSpy exports(form.ExportMidi1, &QAction::triggered);
    for (QWidget* window : {static_cast<QWidget*>(&form), static_cast<QWidget*>(&windows.Form5)}) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_E, Qt::ControlModifier);
        windows.Form2.hide();
    }
    EXPECT_EQ(exports.count(), 2);
}

TEST_F(ToolWindows, TheDebuggerShowsEveryReportedCallAndKeepsAtMost51Lines) {
    windows.Form6.Button1->click();
    for (int i = 0; i < 60; ++i) {
        windows.Machine.Session.PreviewNoteOff(10); // one reported send on a closed device
        ASSERT_LE(windows.Form6.Memo1->blockCount(), 51);
    }
    const QStringList lines = windows.Form6.Memo1->toPlainText().split('\n');
    EXPECT_EQ(lines.size(), 60 - 51);
    EXPECT_EQ(lines.last(), "midiOutShortMsg:   device handle is invalid  #5");
    EXPECT_EQ(windows.Form6.Button1->text(), QString::fromUtf8("Löschen"));
    windows.Form6.Button1->click();
    EXPECT_TRUE(windows.Form6.Memo1->toPlainText().isEmpty());
}

TEST_F(ToolWindows, StatisticsCountTheTrackOverThePool) {
    ASSERT_TRUE(LoadSong(windows.Machine.Session, PatternsAndTrack(5, {3, 1, 3, 2}), dir));
    windows.Form1.Statistics1->trigger();
    EXPECT_TRUE(windows.Form9.isVisible());
    EXPECT_EQ(windows.Form9.windowTitle(), "Projekt Statistik");
    EXPECT_EQ(windows.Form9.TotalValue->text(), "5");
    EXPECT_EQ(windows.Form9.UsedValue->text(), "3");
    EXPECT_EQ(windows.Form9.UnusedValue->text(), "2");
    EXPECT_EQ(windows.Form9.LengthValue->text(), "4");
    EXPECT_EQ(windows.Form9.Numerator->text(), "4");
    ASSERT_TRUE(LoadSong(windows.Machine.Session, PatternsAndTrack(5, {3, 1, 4, 2, 5}), dir));
    windows.Form1.Statistics1->trigger();
    EXPECT_FALSE(windows.Form9.isVisible());
    EXPECT_EQ(windows.Form9.UnusedValue->text(), "0");
    TPkSong song = windows.Machine.Session.Song();
    song.SonglineCount = 0;
    song.Songlines = {0};
    EXPECT_EQ(CountPatternUse(song).Used, 0) << "an empty track uses nothing";
}

TEST_F(ToolWindows, TheInfoWindowAnimatesOnlyWhileShown) {
    windows.Form1.Info1->trigger();
    EXPECT_TRUE(windows.Form4.isVisible());
    EXPECT_TRUE(windows.Form4.OvixLogo1->AnimationOn());
    EXPECT_EQ(windows.Form4.OvixLogo1->Speed(), 100);
    EXPECT_EQ(windows.Form4.windowTitle(), "Info...");
    windows.Form1.Info1->trigger();
    EXPECT_FALSE(windows.Form4.isVisible());
    EXPECT_FALSE(windows.Form4.OvixLogo1->AnimationOn());
}

TEST_F(ToolWindows, TheInfoWindowNamesTheLicenceInEitherLanguage) {
    EXPECT_EQ(windows.Form4.Label1->text(), "Lizenz: GPL-3.0-or-later");
    EXPECT_EQ(windows.Form4.Label2->text(), "Ohne jede Gewährleistung");
    windows.Form1.ChooseLanguage(TLanguage::English);
    EXPECT_EQ(windows.Form4.Label1->text(), "Licence: GPL-3.0-or-later");
    EXPECT_EQ(windows.Form4.Label2->text(), "Without any warranty");
}
