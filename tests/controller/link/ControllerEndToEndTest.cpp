// The controller with real machines: its core over real links, and PKControl --export-midi.

#include "PrivateNetwork.h"
#include "RealController.h"
#include "WavSound.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <ableton/Link.hpp>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

TEST(ControllerEndToEnd, StartsTwoMachinesCommandsThemAndSeesThemGo) {
    TPrivateNetwork net; // machine 2 joins Link: on a network of the test's own
    if (!net.Failure().empty())
        GTEST_SKIP() << net.Failure();
    RealController c;
    c.core->PrepareServers();
    c.core->StartMachine(1);
    c.core->SetLanguage(TLanguage::English);
    c.core->ChooseFollowTransport(true);
    c.core->ChooseSendClock(true);
    c.core->ChooseLink(true);
    c.core->StartMachine(2);
    EXPECT_TRUE(c.WaitReply(1, ReadyLine(1)));
    EXPECT_TRUE(c.WaitReply(2, ReadyLine(2)));
    const auto commandLine = [&c](int slot) {
        QFile command(QString("/proc/%1/cmdline").arg(c.links[slot - 1]->LaunchedPid()));
        return command.open(QIODevice::ReadOnly) ? command.readAll().split('\0').mid(1)
                                                 : QByteArrayList();
    };
    EXPECT_EQ(commandLine(2), QByteArrayList({"default2.pks", "--language", "en",
                                              "--follow-transport", "--clock", "--link", ""}))
        << "the song first, then the language and the synchronisation the controller had when "
           "it started the machine";
    EXPECT_EQ(commandLine(1), QByteArrayList({"default1.pks", "--language", "de", ""}));
    EXPECT_TRUE(QFileInfo::exists(c.Folder() + "PK1.ini")) << "each slot keeps its own settings";

    EXPECT_FALSE(c.core->NeedsSaving()) << "both answers are in when the question returns";
    c.core->SendCommand(2, RemoteWords::ShiftPatternUp, "");
    EXPECT_TRUE(c.core->NeedsSaving());
    EXPECT_EQ(c.core->SaveAnswer(2), TClientCore::TSaveAnswer::NeedSave);

    EXPECT_TRUE(c.core->StopMachine(2));
    EXPECT_TRUE(RealController::WaitEnded(c.links[1]->LaunchedPid()));

    // Machine 1 closed by its own user: the controller hears SHUTDOWN and frees the slot.
    TRemoteClient own;
    own.SetLink("PK0");
    ASSERT_TRUE(own.Connect());
    own.ExecuteAndWait(RemoteWords::Exit);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !c.core->Running(1); }, 5000));
    EXPECT_EQ(c.core->RunningCount(), 0);
}

// With "Ableton Link" on, the four machines the controller starts are peers of one session: a
// peer of the test's own, on a network of the test's own, sees all four.
TEST(ControllerEndToEnd, FourMachinesWithLinkArePeersOfOneSession) {
    TPrivateNetwork net;
    if (!net.Failure().empty())
        GTEST_SKIP() << net.Failure();
    ableton::Link probe(120);
    probe.enable(true);
    RealController c;
    c.core->ChooseLink(true);
    c.core->PrepareServers();
    c.core->StartMachine(4);
    for (int slot = 1; slot <= 4; ++slot)
        ASSERT_TRUE(c.WaitReply(slot, ReadyLine(slot)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return probe.numPeers() == 4; }, 10000))
        << probe.numPeers() << " peers";
    probe.enable(false);
}

TEST(ControllerEndToEnd, AKilledMachineIsNoticedAndEndsTheExportAtOnce) {
    RealController c;
    c.core->PrepareServers();
    c.core->StartMachine(3);
    for (int slot = 1; slot <= 3; ++slot)
        ASSERT_TRUE(c.WaitReply(slot, ReadyLine(slot)));
    QString failure;
    QObject::connect(c.core.get(), &TClientCore::Failed, [&](const QString& m) { failure = m; });
    // Files that never come: the machines write theirs under another name.
    ASSERT_TRUE(c.core->StartMidiExportTo(c.Folder() + "none", c.Folder() + "band.mid"));
    c.work.Write("none1.mid", "written by machine 1");
    ::kill(static_cast<pid_t>(c.links[1]->LaunchedPid()), SIGKILL);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !c.core->Running(2); }, 2000)) << "noticed at once";
    EXPECT_EQ(c.core->RunningCount(), 2);
    EXPECT_EQ(c.core->MidiExport().State(), TMidiExportWait::TState::Failed);
    EXPECT_EQ(failure, "machine 2 ended before the MIDI export was complete");
    EXPECT_FALSE(QFileInfo::exists(c.Folder() + "none1.mid"));
    EXPECT_FALSE(QFileInfo::exists(c.Folder() + "band.mid"));
}

// A socket file as a machine that died leaves it: bound once, nobody listening.
void LeaveDeadSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    std::memcpy(address.sun_path, bytes.constData(),
                std::min<size_t>(bytes.size(), sizeof address.sun_path - 1));
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

TEST(ControllerEndToEnd, ARestartedControllerTakesBackTheMachinesThatStillRun) {
    RealController c;
    c.core->PrepareServers();
    c.core->StartMachine(2);
    ASSERT_TRUE(c.WaitReply(2, ReadyLine(2)));
    for (TRemoteLink* link : c.links)
        link->Close(); // the controller is gone, its machines run on
    LeaveDeadSocket(RemoteWire::SocketPathFor("PK2"));

    TClientCore::TLinks links;
    for (auto& link : links)
        link = std::make_unique<TRemoteLink>(c.Folder());
    TClientCore again(std::move(links), c.Folder(), c.Folder());
    QStringList replies;
    QObject::connect(&again, &TClientCore::StatusReceived,
                     [&](int, const QString& text) { replies << text; });
    again.TakeBackRunningMachines();
    EXPECT_TRUE(again.Running(1) && again.Running(2));
    EXPECT_FALSE(again.Running(3)) << "a dead machine's socket counts nothing";
    EXPECT_FALSE(again.Running(4));
    EXPECT_TRUE(QTest::qWaitFor([&] { return replies.contains(ReadyLine(2)); }, 8000))
        << "the machine answers the controller that took it back";
    again.CloseAll(); // and ends with it
}

// The note-on velocities of every track of a MIDI file.
std::vector<int> NoteOnVelocities(const std::string& file) {
    std::vector<int> velocities;
    size_t at = 14;
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(file.at(i)); };
    const auto varlen = [&] {
        uint32_t value = 0;
        while (byte(at) & 0x80)
            value = (value << 7) | (byte(at++) & 0x7F);
        return (value << 7) | byte(at++);
    };
    while (at + 8 <= file.size()) {
        const size_t end =
            at + 8 + (byte(at + 4) << 24 | byte(at + 5) << 16 | byte(at + 6) << 8 | byte(at + 7));
        at += 8;
        uint8_t status = 0;
        while (at < end) {
            varlen();
            if (byte(at) & 0x80)
                status = byte(at++);
            if (status == 0xFF) {
                ++at;
                at += varlen();
            } else if (status == 0xF0 || status == 0xF7) {
                at += varlen();
            } else if ((status & 0xE0) == 0xC0) {
                at += 1;
            } else {
                if ((status & 0xF0) == 0x90 && byte(at + 1) > 0)
                    velocities.push_back(byte(at + 1));
                at += 2;
            }
        }
    }
    return velocities;
}

class ExportMidiCommand : public ::testing::Test {
protected:
    void Project(int volume) {
        std::string project = "Plinkora Project\r\nV1\r\nNumMachines\r\n3\r\n";
        for (int slot = 0; slot < 4; ++slot)
            project += std::to_string(volume) + "\r\n";
        for (int line = 8; line < 40; ++line)
            project += "0\r\n";
        dir.Write("band.pkp", project);
        for (int slot = 1; slot <= 3; ++slot)
            dir.Write("band" + std::to_string(slot) + ".pks",
                      "Plinkora Song\r\n" + std::to_string(100 + 20 * slot) +
                          " ms\r\n2 Pattern\r\n" + std::to_string(slot) + " 0 5 7 \r\n20 20 0 " +
                          std::to_string(10 + slot) + " \r\n3 Songlines\r\n1 2 1 \r\n");
    }
    int Run(const QString& program, const QStringList& args) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, args);
        if (!process.waitForFinished(60000))
            return -1;
        output = process.readAllStandardOutput();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QString File(const std::string& name) const { return Q(dir.File(name)); }

    RuntimeDir runtime; // none of the user's machines answers these service names
    TempDir dir;
    QByteArray output;
};

TEST_F(ExportMidiCommand, JoinsWhatEachMachineExportsAtTheProjectsVolume) {
    Project(0);
    ASSERT_EQ(Run(PKCONTROL_PROGRAM, {"--export-midi", File("band.pkp"), File("band.mid")}), 0);
    QStringList own{"--combine", File("own.mid")};
    for (const char* slot : {"1", "2", "3"}) {
        ASSERT_EQ(Run(PLINKORA_PROGRAM, {"--export-midi", File(std::string("band") + slot + ".pks"),
                                         File(std::string("m") + slot + ".mid")}),
                  0);
        own << File(std::string("m") + slot + ".mid");
    }
    ASSERT_EQ(Run(PKCONTROL_PROGRAM, own), 0);
    const std::string joined = TempDir::Read(dir.File("band.mid"));
    EXPECT_EQ(joined.substr(8, 4), std::string("\0\x01\0\x03", 4));
    EXPECT_TRUE(joined == TempDir::Read(dir.File("own.mid")));
    const auto full = NoteOnVelocities(joined);
    EXPECT_EQ(full.size(), 3u * 9u) << "every sounding step of three tracks";

    Project(27);
    ASSERT_EQ(Run(PKCONTROL_PROGRAM, {"--export-midi", File("band.pkp"), File("quiet.mid")}), 0);
    const auto quiet = NoteOnVelocities(TempDir::Read(dir.File("quiet.mid")));
    EXPECT_EQ(quiet.size(), full.size());
    EXPECT_EQ(std::count(quiet.begin(), quiet.end(), 100), static_cast<long>(quiet.size()))
        << "slider position 27 is velocity 100";
    EXPECT_FALSE(QFileInfo::exists(File("band1.mid"))) << "no machine file left beside the project";
}

TEST_F(ExportMidiCommand, RenderMixesTheProjectIntoOneSoundFile) {
    Project(0);
    ASSERT_EQ(Run(PKCONTROL_PROGRAM, {"--render", File("band.pkp"), File("band.wav")}), 0);
    const TWavSound sound = ReadWav(TempDir::Read(dir.File("band.wav")));
    EXPECT_EQ(sound.Channels, 2);
    EXPECT_GE(sound.Seconds(), 3 * 4 * 0.16) << "the longest machine's track";
    EXPECT_EQ(sound.FirstSoundFrame() / 44100, 0) << "every machine starts on a note";
    EXPECT_FALSE(QFileInfo::exists(File("band1.mid"))) << "no machine file left beside the project";

    EXPECT_EQ(Run(PKCONTROL_PROGRAM, {"--render", File("band.pkp"), File("band.mp3")}), 1);
    EXPECT_EQ(Run(PKCONTROL_PROGRAM, {"--render", File("none.pkp"), File("none.wav")}), 1);
    EXPECT_FALSE(QFileInfo::exists(File("band.mp3")));
    EXPECT_FALSE(QFileInfo::exists(File("none.wav")));
}

TEST_F(ExportMidiCommand, ABadProjectFailsAndLeavesTheOutput) {
    dir.Write("out.mid", "old");
    dir.Write("bad.pkp", "Plinkora Project\r\nV1\r\nNumMachines\r\nviele\r\n");
    EXPECT_EQ(Run(PKCONTROL_PROGRAM, {"--export-midi", File("bad.pkp"), File("out.mid")}), 1);
    EXPECT_EQ(Run(PKCONTROL_PROGRAM,
                  {"--language", "en", "--export-midi", File("bad.pkp"), File("out.mid")}),
              1)
        << "the language is taken out before the option is looked at";
    EXPECT_EQ(Run(PKCONTROL_PROGRAM, {"--language", "fr", "--help"}), 2);
    Project(0);
    std::filesystem::remove(dir.File("band2.pks"));
    EXPECT_EQ(Run(PKCONTROL_PROGRAM, {"--export-midi", File("band.pkp"), File("out.mid")}), 1);
    EXPECT_EQ(TempDir::Read(dir.File("out.mid")), "old");
}

TEST_F(ExportMidiCommand, AMidiFileNameMustEndInMid) {
    Project(0);
    EXPECT_EQ(Run(PKCONTROL_PROGRAM, {"--export-midi", File("band.pkp"), File("x.wav")}), 2);
    EXPECT_EQ(Run(PKCONTROL_PROGRAM, {"--combine", File("x.txt"), File("band1.pks")}), 2);
    EXPECT_FALSE(QFileInfo::exists(File("x.wav")));
    EXPECT_FALSE(QFileInfo::exists(File("x.txt")));
    EXPECT_FALSE(QFileInfo::exists(File("band1.mid"))) << "no machine was started";
}

} // namespace

namespace {

// The processes started from `folder`'s slot programs (their command line starts with it).
QList<qint64> MachinesFrom(const QString& folder) {
    QList<qint64> pids;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        QFile cmdline("/proc/" + entry + "/cmdline");
        if (entry.toLongLong() > 0 && cmdline.open(QIODevice::ReadOnly) &&
            cmdline.readAll().startsWith(QFile::encodeName(folder + "PK")))
            pids << entry.toLongLong();
    }
    return pids;
}

TEST(ControllerWindow, OpensAProjectsMachinesAndEndsThemWhenItEnds) {
    RuntimeDir runtime;
    TempDir work;
    const QString folder = Q(work.Path().string()) + "/";
    std::string project = "Plinkora Project\r\nV1\r\nNumMachines\r\n2\r\n";
    for (int line = 4; line < 40; ++line)
        project += "0\r\n";
    work.Write("duo.pkp", project);
    for (const char* song : {"duo1.pks", "duo2.pks"})
        work.Write(song,
                   "Plinkora Song\r\n100 ms\r\n1 Pattern\r\n1 2 3 4 \r\n1 Songlines\r\n1 \r\n");

    QProcess controller;
    controller.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("PLINKORA_MIDI_LOG", folder + "midi.log");
    controller.setProcessEnvironment(environment);
    controller.setStandardErrorFile(folder + "controller.log");
    controller.start(PKCONTROL_PROGRAM, {folder + "duo.pkp"});
    ASSERT_TRUE(controller.waitForStarted());

    for (const char* service : {"PK0", "PK1"}) {
        TRemoteClient client;
        client.SetLink(service);
        ASSERT_TRUE(client.ConnectWithin(15000)) << service;
        std::optional<QString> status;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                status = client.Request();
                return status && status->contains(RemoteWords::Loaded);
            },
            8000))
            << service << " loaded its project song: " << status.value_or("").toStdString();
    }
    EXPECT_EQ(MachinesFrom(folder).size(), 2);

    controller.terminate(); // ends like closing the window, without questions
    EXPECT_TRUE(controller.waitForFinished(10000));
    EXPECT_EQ(controller.exitCode(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return MachinesFrom(folder).isEmpty(); }, 8000))
        << "the machines end with the controller";
    EXPECT_TRUE(QFileInfo::exists(QFileInfo(PKCONTROL_PROGRAM).absolutePath() + "/PKControl.ini"));
}

} // namespace
