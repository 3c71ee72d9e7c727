#include "server/ServerCommands.h"

#include "RemoteWords.h"
#include "SessionSongs.h"
#include "StringConvert.h"
#include "TempDir.h"
#include "midi/MidiPortRecording.h"
#include "shell/Startup.h"

#include <QMenuBar>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

namespace Word = RemoteWords;

// A started machine on a recording port whose commands the test sends straight to the handler.
class Commands : public ::testing::Test {
protected:
    Commands() : windows({"Plinkora"}, dir.File("Plinkora.ini"), Recording()) {
        windows.Machine.Session.Support().TicksByHand = true;
    }
    std::unique_ptr<TMidiPort> Recording() {
        auto recording = std::make_unique<TRecordingMidiPort>(std::vector<std::string>{"Synth"});
        port = recording.get();
        return recording;
    }
    void Send(const QString& word, const QString& argument = QString()) {
        QStringList lines{word};
        if (!argument.isNull())
            lines << argument;
        windows.Commands.TestTopicExecuteMacro(lines);
    }
    QString Folder() const { return QString::fromStdString(dir.Path().string()); }

    TempDir dir;
    TRecordingMidiPort* port = nullptr; // before the machine, which is given it
    TMachineWindows windows;
    QSignalSpy replies{&windows.Channel, &TCommandChannel::StatusChanged};
};

QString Reply(const QSignalSpy& spy, int i) {
    return spy.at(i).at(0).toString();
}

} // namespace

TEST_F(Commands, ConnectTakesTheNumberAndSwitchesToControlledMode) {
    const int menuHeight = windows.Form1.menuBar()->height();
    const int height = windows.Form1.height();
    const int patternHeight = windows.Form3.height();
    Send("connect", "2");
    EXPECT_EQ(windows.Form1.height(), height - menuHeight) << "no blank strip";
    EXPECT_EQ(windows.Form3.height(), patternHeight - 25) << "without its play panel";
    ASSERT_EQ(replies.count(), 1);
    EXPECT_EQ(Reply(replies, 0), "Machine 2 ready");
    EXPECT_EQ(windows.Machine.Session.MachineNumber(), 2u);
    EXPECT_TRUE(windows.Machine.Session.Connected());
    EXPECT_TRUE(windows.Server.isVisible());
    EXPECT_EQ(windows.Server.Panel2->text(), "  2  ");
    EXPECT_FALSE(windows.Form1.menuBar()->isVisible());
    EXPECT_EQ(windows.Commands.ApplicationTitle(), "Plinkora 2");
    EXPECT_FALSE(windows.Form3.Panel2->isVisible());
    EXPECT_EQ(windows.Form1.Skins->SkinNumber(), 4 + 1) << "a first run: skin n + 3";

    Send(Word::Connect, "3"); // renumbered: the windows stay as they are
    EXPECT_EQ(windows.Form1.height(), height - menuHeight);
    EXPECT_EQ(windows.Form3.height(), patternHeight - 25);
    EXPECT_EQ(windows.Commands.ApplicationTitle(), "Plinkora 3");
    EXPECT_EQ(windows.Server.Panel2->text(), "  3  ");
}

TEST_F(Commands, WordsAreUpperCasedButSpacesMakeNoCommand) {
    QSignalSpy ended(&windows.Channel, &TCommandChannel::Ended);
    Send(" EXIT");
    EXPECT_FALSE(windows.Channel.ShutdownPending());
    Send("Nonsense", "1");
    EXPECT_EQ(replies.count(), 0);
    windows.Machine.Session.Connect(1); // no save question
    Send("exit");
    EXPECT_TRUE(windows.Channel.ShutdownPending()) << "the shutdown waits for the command's end";
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }, 5000));
    EXPECT_EQ(Reply(replies, replies.count() - 1), "SHUTDOWN");
}

TEST_F(Commands, SaveNamesTheFileAfterThePathAndTheMachine) {
    Send(Word::Connect, "2");
    windows.Machine.Session.SetPatternName("edited");
    Send(Word::DoYouNeedSave);
    EXPECT_EQ(Reply(replies, 1), "NEEDSAVE");
    Send(Word::Save, Folder() + "/demo.pkp");
    const QString base = Folder() + "/demo2";
    ASSERT_EQ(replies.count(), 4);
    EXPECT_EQ(Reply(replies, 2), base + ".pks saved ");
    EXPECT_EQ(Reply(replies, 3), base);
    EXPECT_TRUE(std::filesystem::exists(dir.File("demo2.pks")));
    EXPECT_EQ(windows.Form5.Edit1->text(), "demo2");
    EXPECT_EQ(windows.Machine.Session.Song().Name, base.toStdString());
    Send(Word::DoYouNeedSave);
    EXPECT_EQ(Reply(replies, 4), "NOSAVE");
    Send(Word::Save, Folder() + "/other.backup");
    EXPECT_TRUE(std::filesystem::exists(dir.File("other.backup2.pks")));
    EXPECT_EQ(windows.Server.Memo1->toPlainText().split('\n').last(),
              "SAVE - " + Folder() + "/other.backup");
}

TEST_F(Commands, SaveMidiWritesTheNumberedFileOnItsChannel) {
    Send(Word::Connect, "3");
    windows.Form1.SpinEdit3->setValue(10);
    TExportOptions options = windows.Machine.Session.ExportOptions();
    options.Monophone = true;
    windows.Machine.Session.SetExportOptions(options);
    Send(Word::SaveMidi, Folder() + "/tune");
    EXPECT_EQ(Reply(replies, replies.count() - 1), "MIDISAVED");
    const std::string file = TempDir::Read(dir.File("tune3.mid"));
    ASSERT_FALSE(file.empty());
    EXPECT_NE(file.find(std::string("\0\xFF\x20\x01\x09", 5)), std::string::npos)
        << "monophone is switched off: channel 10 stays";
    EXPECT_FALSE(windows.Machine.Session.ExportOptions().Monophone);
    EXPECT_NE(file.find("Neuer Song - Standard Kit"), std::string::npos) << "a drum kit";
}

TEST_F(Commands, LoadRepliesWithThePath) {
    const QString song = QString::fromStdString(dir.Write(
        "a.pks", "Plinkora Song\r\n100 ms\r\n1 Pattern\r\n1 2 \r\n1 Songlines\r\n1 \r\n"));
    Send(Word::Load, song);
    EXPECT_EQ(Reply(replies, 0), song + " loaded ");
    EXPECT_EQ(windows.Form5.Edit1->text(), "a");
    Send(Word::Load, Folder() + "/none.pks");
    EXPECT_EQ(Reply(replies, 1), Folder() + "/none.pks loading failed ");
}

TEST_F(Commands, NewSongStartsAnEmptySongWithoutAsking) {
    ASSERT_TRUE(LoadSong(windows.Machine.Session, PatternsAndTrack(2, {1, 2}), dir));
    Send(Word::NewSong, "");
    const TPkSong& song = windows.Machine.Session.Song();
    EXPECT_EQ(song.PatternCount, 1);
    EXPECT_EQ(song.SonglineCount, 1);
    EXPECT_TRUE(windows.Machine.Session.IsNewSongName(song.Name)) << song.Name;
    EXPECT_EQ(windows.Server.Memo1->toPlainText().split('\n').last(), Word::NewSong);
    EXPECT_EQ(replies.count(), 0);
}

TEST_F(Commands, SpeedAndVolumeMoveTheSliders) {
    Send(Word::SetSpeed, "830");
    EXPECT_EQ(windows.Machine.Session.Song().StepTime, 200);
    Send(Word::SetSpeed, "30");
    EXPECT_EQ(windows.Machine.Session.Song().StepTime, 1000);
    Send(Word::SetSpeed, "5000");
    EXPECT_EQ(windows.Machine.Session.Song().StepTime, 30) << "clamped to the slider";
    EXPECT_THROW(Send(Word::SetSpeed, "fast"), ConvertError);
    EXPECT_EQ(windows.Server.Memo1->toPlainText().split('\n').last(), "SETSPEED")
        << "the log line is written before the argument is read";
    Send(Word::SetVolume, "27");
    EXPECT_EQ(windows.Machine.Session.Song().Velocities[1][1], 100);
}

TEST_F(Commands, PlaySongWithoutArgumentPlaysTheTrackFromItsStart) {
    Send(Word::PlaySong);
    EXPECT_TRUE(windows.Machine.Session.Playback().Playing());
    EXPECT_EQ(windows.Machine.Session.Transport().PlayMode, TPlayMode::Track);
    Send(Word::Stop);
    EXPECT_FALSE(windows.Machine.Session.Playback().Playing());
}

TEST_F(Commands, NextPatternStopsAtTheLastEntry) {
    ASSERT_TRUE(LoadSong(windows.Machine.Session, PatternsAndTrack(2, {1, 2}), dir));
    Send(Word::NextPattern);
    EXPECT_EQ(windows.Machine.Session.Transport().TrackPosition, 2);
    EXPECT_EQ(windows.Machine.Session.Transport().CurrentPattern, 2);
    Send(Word::NextPattern);
    EXPECT_EQ(windows.Machine.Session.Transport().TrackPosition, 2);
    Send(Word::PreviousPattern);
    EXPECT_EQ(windows.Machine.Session.Transport().CurrentPattern, 1);
}

TEST_F(Commands, UndoAndRedoTakeBackAndRedoTheLastChange) {
    Send(Word::Undo); // nothing to undo: nothing happens
    Send(Word::CopyPattern);
    ASSERT_EQ(windows.Machine.Session.Song().PatternCount, 2);
    Send("undo");
    EXPECT_EQ(windows.Machine.Session.Song().PatternCount, 1);
    EXPECT_EQ(windows.Form1.Redo1->text(), QString::fromUtf8("Wiederholen: Pattern kopieren"));
    Send(Word::Redo);
    EXPECT_EQ(windows.Machine.Session.Song().PatternCount, 2);
    Send(Word::Redo);
    EXPECT_EQ(windows.Machine.Session.Song().PatternCount, 2);
    EXPECT_EQ(windows.Server.Memo1->toPlainText().split('\n').last(), "REDO");
}

TEST_F(Commands, LayoutThreeHidesTheServerWindowAndFourMovesNothing) {
    Send(Word::Connect, "1");
    const QPoint before = windows.Form1.pos();
    Send(Word::Layout, "4");
    EXPECT_EQ(windows.Form1.pos(), before);
    EXPECT_TRUE(windows.Server.isVisible());
    Send(Word::Layout, "3");
    EXPECT_FALSE(windows.Server.isVisible());
    EXPECT_FALSE(windows.Machine.Settings.Layout.PatternDocked);
}

TEST_F(Commands, AMachineNumberAtTheIntegerLimitGetsSkinZeroAndAPlaceInRange) {
    Send(Word::Connect, "2147483647");
    EXPECT_EQ(windows.Form1.Skins->SkinNumber(), 0);
    Send(Word::Layout, "1"); // would overflow without the bound on the machine number
    EXPECT_EQ(windows.Machine.Session.MachineNumber(), 2147483647u);
}

// The whole way: a command line client drives a published machine through its socket.
TEST(PublishedMachine, AnswersCommandsFromAnotherProgram) {
    TempDir dir;
    const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir.Path().string()));
    {
        TMachineWindows windows({dir.File("PK2")}, dir.File("PK2.ini"),
                                std::make_unique<TRecordingMidiPort>());
        ASSERT_TRUE(windows.PublishServer());
        QProcess client;
        client.start(PKREMOTE_PROGRAM, {"PK2", "CONNECT", "2"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return client.state() == QProcess::NotRunning; }, 10000));
        EXPECT_EQ(client.exitCode(), 0) << client.readAllStandardError().toStdString();
        EXPECT_EQ(client.readAllStandardOutput(), "Machine 2 ready\n");
        EXPECT_TRUE(windows.Machine.Session.Connected());
    }
    qputenv("XDG_RUNTIME_DIR", previous);
}

// What a controller reads and what it gets on disk must not depend on the language.
TEST(CommandsInBothLanguages, GiveTheSameRepliesAndTheSameFiles) {
    std::vector<QString> replies[2];
    std::string files[2];
    const char* codes[2] = {"de", "en"};
    for (int i = 0; i < 2; ++i) {
        TempDir dir;
        TMachineWindows windows({"Plinkora", "--language", codes[i]}, dir.File("Plinkora.ini"),
                                std::make_unique<TRecordingMidiPort>());
        QSignalSpy spy{&windows.Channel, &TCommandChannel::StatusChanged};
        const QString folder = QString::fromStdString(dir.Path().string());
        const QString song = QString::fromStdString(
            dir.Write("a.pks", "Plinkora Song\r\n100 ms\r\n1 Pattern\r\n1 2 \r\n1 Songlines\r\n"
                               "1 \r\n"));
        for (const QStringList& macro : {QStringList{"CONNECT", "2"},
                                         {"LOAD", song},
                                         {"LOAD", folder + "/none.pks"},
                                         {"DOYOUNEEDSAVE"},
                                         {"SAVEMIDI", folder + "/tune"},
                                         {"SAVE", folder + "/p.pkp"},
                                         {"UNKNOWN", "1"}})
            windows.Commands.TestTopicExecuteMacro(macro);
        for (const QList<QVariant>& reply : spy)
            replies[i].push_back(reply.at(0).toString().replace(folder, "<dir>"));
        files[i] = TempDir::Read(dir.File("tune2.mid")) + TempDir::Read(dir.File("p2.pks"));
    }
    EXPECT_EQ(replies[0].size(), 7u);
    EXPECT_EQ(replies[0], replies[1]);
    EXPECT_EQ(files[0], files[1]);
}

// A start that fails tells the user without waiting for an answer: the command is answered and
// the next one runs.
TEST_F(Commands, AFailedStartIsToldWithoutHoldingUpTheNextCommand) {
    windows.Machine.Session.PlayPattern();
    windows.Machine.Session.Stop();           // the output is closed
    port->OpenResult = MidiResult::Allocated; // another program holds the device
    Send(Word::PlaySong);
    ASSERT_NE(windows.Form1.NoticeBox(), nullptr);
    EXPECT_TRUE(windows.Form1.NoticeBox()->isVisible());
    EXPECT_FALSE(windows.Machine.Session.Playing());
    Send(Word::DoYouNeedSave);
    EXPECT_EQ(Reply(replies, replies.count() - 1), "NOSAVE");
}
