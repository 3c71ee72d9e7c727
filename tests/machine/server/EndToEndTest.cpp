// The machine program as a controller meets it: a real Plinkora process, driven over its
// command socket.

#include "PrivateNetwork.h"
#include "RemoteClient.h"
#include "RemoteServerTestSupport.h"
#include "TempoBar.h"
#include "link/LinkPeer.h"
#include "shell/iniform.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

// Status values in failure messages, quoted so that their spaces show.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
static void PrintTo(const QStringList& texts, std::ostream* out) {
    *out << '{';
    for (const QString& text : texts) {
        PrintTo(text, out);
        *out << (&text == &texts.last() ? "" : ", ");
    }
    *out << '}';
}

namespace {

constexpr int StartMs = 8000; // a machine built with sanitizers needs a moment to come up
constexpr int EndMs = 4000;

// The built machine program copied into a folder of its own under a service name, so that its
// settings file and socket stay there; started offscreen, its MIDI goes to a message log.
class MachineProcess {
public:
    explicit MachineProcess(QString service) : service_(std::move(service)) {}
    ~MachineProcess() { End(); }
    MachineProcess(const MachineProcess&) = delete;
    MachineProcess& operator=(const MachineProcess&) = delete;

    // `platform` is the Qt platform plug-in the machine is told to use.
    bool Start(const QStringList& arguments = {}, const QString& platform = "offscreen") {
        if (!QFile::copy(PLINKORA_PROGRAM, Program()))
            return false;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", platform);
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("PLINKORA_MIDI_LOG", File("midi.log"));
        environment.insert("XDG_RUNTIME_DIR", runtime_.Path());
        process.setProcessEnvironment(environment);
        process.start(Program(), arguments);
        return process.waitForStarted(StartMs);
    }

    // Waits without blocking the event loop: the test's own sockets keep working.
    bool WaitEnded(int ms = EndMs) {
        return QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, ms);
    }
    bool Running() const { return process.state() != QProcess::NotRunning; }

    void Kill() {
        process.kill();
        WaitEnded(2000);
    }

    // Asks the machine to end; kills it when it does not (a stand-alone machine with unsaved
    // edits waits for an answer to its save question).
    void End() {
        if (!Running())
            return;
        TRemoteClient client;
        client.SetLink(service_);
        if (client.Connect(1000))
            client.ExecuteAndWait("EXIT", 1000);
        if (!WaitEnded())
            Kill();
    }

    QString Service() const { return service_; }
    QString Folder() const { return runtime_.Path(); }
    QString File(const QString& name) const { return Folder() + "/" + name; }
    QString Program() const { return File(service_); }
    QString SettingsFile() const { return Program() + ".ini"; }
    // Everything the machine wrote to standard error so far.
    QString Errors() {
        errors_ += QString::fromLocal8Bit(process.readAllStandardError());
        return errors_;
    }
    bool ErrorsContain(const QString& text, int withinMs = 2000) {
        return QTest::qWaitFor([&] { return Errors().contains(text); }, withinMs);
    }

    QProcess process;

private:
    RuntimeDir runtime_; // also points this test's clients at the machine's socket folder
    QString service_;
    QString errors_;
};

// A client linked to the machine and subscribed to its status item; it keeps every status
// value it is told, without the line end.
class Link {
public:
    Link() {
        QObject::connect(&client, &TRemoteClient::DataReceived,
                         [this](const QString&, const QString& value) {
                             replies << TRemoteClient::StripLineEnd(value);
                         });
    }

    bool Open(const QString& service, int withinMs = StartMs) {
        client.SetLink(service);
        return client.ConnectWithin(withinMs) && client.Advise();
    }

    bool Send(const QString& word, const QString& argument = {}) {
        return client.ExecuteAndWait(TRemoteClient::CommandText(word, argument), 5000);
    }

    // The status values a command sets: the machine sets them while the command runs, before
    // it acknowledges it.
    QStringList Ask(const QString& word, const QString& argument = {}) {
        const qsizetype before = replies.size();
        EXPECT_TRUE(Send(word, argument)) << client.ErrorString().toStdString();
        return replies.mid(before);
    }

    TRemoteClient client;
    QStringList replies;
};

QStringList FileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLocal8Bit(file.readAll()).split("\r\n");
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The keys of the note-ons in a message log ("<us> short 9n kk vv" with vv above 0).
QStringList NoteOnKeys(const QString& logPath) {
    QFile file(logPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList keys;
    for (const QString& line : QString::fromLatin1(file.readAll()).split('\n')) {
        const QStringList fields = line.split(' ');
        if (fields.size() == 5 && fields[1] == "short" && fields[2].startsWith('9') &&
            fields[4] != "00")
            keys << fields[3];
    }
    return keys;
}

// A started machine named "PK2" with one subscribed client.
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(machine.Start()) << machine.process.errorString().toStdString();
        ASSERT_TRUE(link.Open(machine.Service())) << link.client.ErrorString().toStdString();
    }
    // The song file a "SAVE" of `name` + `extension` on machine `n` writes, read back.
    QStringList SavedSong(const QString& name, int n, const QString& extension = {}) {
        const QString base = machine.File(name) + QString::number(n);
        EXPECT_EQ(link.Ask("SAVE", machine.File(name) + extension),
                  QStringList({base + ".pks saved ", base}))
            << "the second status value comes last";
        return FileLines(base + ".pks");
    }
    QString WriteSong(const QString& name, const QByteArray& text) {
        QFile file(machine.File(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    }

    MachineProcess machine{"PK2"};
    Link link;
};

TEST_F(EndToEnd, LowerCaseExitEndsTheMachineButALeadingSpaceMakesNoCommand) {
    EXPECT_EQ(link.Ask(" EXIT"), QStringList());
    QTest::qWait(300); // longer than the shutdown timer
    ASSERT_TRUE(machine.Running());
    EXPECT_EQ(link.Ask("DOYOUNEEDSAVE"), QStringList({"NOSAVE"}));

    EXPECT_TRUE(link.Send("exit"));
    ASSERT_TRUE(machine.WaitEnded()) << "an unedited stand-alone machine ends without asking";
    EXPECT_EQ(machine.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(machine.process.exitCode(), 0) << machine.Errors().toStdString();
    ASSERT_FALSE(link.replies.isEmpty());
    EXPECT_EQ(link.replies.last(), "SHUTDOWN");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !link.client.IsConnected(); }, 1000));
    EXPECT_EQ(FileLines(machine.SettingsFile()).size(), SettingsLineCount)
        << "settings written at shutdown";
}

TEST_F(EndToEnd, ConnectedMachineNumbersItsFilesAndEndsWithoutAsking) {
    EXPECT_EQ(link.Ask("CONNECT", "2"), QStringList({"Machine 2 ready"}));
    EXPECT_EQ(link.Ask("DOYOUNEEDSAVE"), QStringList({"NOSAVE"}));
    // Shifting marks the song modified; the saved file shows the shifted notes.
    EXPECT_EQ(link.Ask("SHIFTPATTERNUP"), QStringList());
    EXPECT_EQ(link.Ask("DOYOUNEEDSAVE"), QStringList({"NEEDSAVE"}));
    const QStringList song = SavedSong("demo", 2, ".pkp");
    ASSERT_GE(song.size(), 4);
    EXPECT_EQ(song[0], "Plinkora Song");
    EXPECT_TRUE(song[3].startsWith("11 11 ")) << "the default notes 10, one step up";
    EXPECT_EQ(link.Ask("DOYOUNEEDSAVE"), QStringList({"NOSAVE"}));

    EXPECT_EQ(link.Ask("COPYPATTERN"), QStringList());
    EXPECT_EQ(link.Ask("DOYOUNEEDSAVE"), QStringList({"NEEDSAVE"}));

    // The command-line tool against the real machine.
    QProcess pkremote;
    pkremote.start(PKREMOTE_PROGRAM, {"PK2", "SAVEMIDI", machine.File("tune")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return pkremote.state() == QProcess::NotRunning; }, 8000));
    EXPECT_EQ(pkremote.exitCode(), 0) << pkremote.readAllStandardError().toStdString();
    EXPECT_EQ(pkremote.readAllStandardOutput(), "MIDISAVED\n");
    EXPECT_EQ(link.replies.last(), "MIDISAVED") << "every subscriber hears the reply";
    QFile midi(machine.File("tune2.mid"));
    ASSERT_TRUE(midi.open(QIODevice::ReadOnly));
    EXPECT_EQ(midi.read(4), "MThd");

    // The layout with the editors undocked, kept in the settings written at the end.
    link.Send("LAYOUT", "3");

    // Connected, the unsaved copy asks no question.
    EXPECT_TRUE(link.Send("Exit"));
    ASSERT_TRUE(machine.WaitEnded());
    EXPECT_EQ(machine.process.exitCode(), 0) << machine.Errors().toStdString();
    EXPECT_EQ(link.replies.last(), "SHUTDOWN");
    const QStringList settings = FileLines(machine.SettingsFile());
    ASSERT_EQ(settings.size(), SettingsLineCount);
    EXPECT_EQ(settings[4], "0") << "machines 1 and 2 share the top row";
    EXPECT_EQ(settings[9], "PatternFree");
    EXPECT_EQ(settings[10], "3") << "pattern editor above";
    EXPECT_EQ(settings[11], "SongFree");
    EXPECT_EQ(settings[13], "5") << "on a first run machine 2 gets skin 2 + 3";
}

// The machine without windows answers as the one with windows does and writes the same file.
TEST_F(EndToEnd, AMachineWithoutWindowsAnswersAndExportsAsTheOneWithWindows) {
    const QString song = WriteSong("tune.pks", "Plinkora Song\r\n140 ms\r\n2 Pattern\r\n"
                                               "1 0 5 7 \r\n20 20 0 12 \r\n3 Songlines\r\n"
                                               "1 2 1 \r\n");
    EXPECT_EQ(link.Ask("LOAD", song), QStringList({song + " loaded "}));
    MachineProcess serving{"PK3"};
    // No display, and a platform plug-in that does not exist: a machine that needed one would
    // not even start.
    ASSERT_TRUE(serving.Start({"--serve", song}, "no-such-platform"));
    Link other;
    ASSERT_TRUE(other.Open(serving.Service())) << serving.Errors().toStdString();
    for (auto [client, name] : {std::pair{&link, "windows"}, std::pair{&other, "serving"}}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(client->Ask("CONNECT", "2"), QStringList({"Machine 2 ready"}));
        EXPECT_EQ(client->Ask("SHIFTPATTERNUP"), QStringList());
        EXPECT_EQ(client->Ask("DOYOUNEEDSAVE"), QStringList({"NEEDSAVE"}));
        EXPECT_EQ(client->Ask("LAYOUT", "3"), QStringList());
        EXPECT_EQ(client->Ask("SAVEMIDI", machine.File(name)), QStringList({"MIDISAVED"}));
    }
    const std::string exported = TempDir::Read(machine.File("serving2.mid").toStdString());
    EXPECT_EQ(exported.substr(0, 4), "MThd");
    EXPECT_TRUE(exported == TempDir::Read(machine.File("windows2.mid").toStdString()));

    EXPECT_TRUE(other.Send("EXIT"));
    ASSERT_TRUE(serving.WaitEnded());
    EXPECT_EQ(serving.process.exitCode(), 0) << serving.Errors().toStdString();
    EXPECT_EQ(other.replies.last(), "SHUTDOWN");
    EXPECT_FALSE(QFile::exists(serving.SettingsFile())) << "it keeps no settings of its own";
}

TEST_F(EndToEnd, StandAloneMachineWithUnsavedEditsAsksBeforeEnding) {
    link.Send("SHIFTPATTERNDOWN");
    EXPECT_EQ(link.Ask("DOYOUNEEDSAVE"), QStringList({"NEEDSAVE"}));
    EXPECT_TRUE(link.Send("EXIT"));
    QTest::qWait(500);
    EXPECT_TRUE(machine.Running()) << "the save question waits for its user";
    EXPECT_EQ(link.Ask("DOYOUNEEDSAVE"), QStringList({"NEEDSAVE"}))
        << "the question comes before the window closes, so no SHUTDOWN yet";
    machine.Kill();
}

TEST_F(EndToEnd, SpeedIsTheInvertedTempoSliderAndBadArgumentsAreSurvived) {
    EXPECT_EQ(link.Ask("CONNECT", "1"), QStringList({"Machine 1 ready"}));
    EXPECT_EQ(link.Ask("SETSPEED", "830"), QStringList());
    EXPECT_EQ(SavedSong("speed", 1).value(1), "200 ms");
    link.Send("SETSPEED", "30");
    EXPECT_EQ(SavedSong("speed", 1).value(1), "1000 ms");

    EXPECT_EQ(link.Ask("SETSPEED", "x"), QStringList());
    EXPECT_EQ(link.Ask("DOYOUNEEDSAVE"), QStringList({"NOSAVE"})) << "still answering";
    EXPECT_EQ(SavedSong("speed", 1).value(1), "1000 ms") << "the bad value changed nothing";
    EXPECT_TRUE(machine.ErrorsContain("'x' ist kein gültiger ganzzahliger Wert"))
        << "told locally, in the machine's language";

    const QString missing = machine.File("none.pks");
    EXPECT_EQ(link.Ask("LOAD", missing), QStringList({missing + " loading failed "}));
    EXPECT_EQ(link.Ask("CONNECT", "two"), QStringList());
    EXPECT_EQ(link.Ask("SAVE", machine.File("after")).value(1), machine.File("after1"))
        << "the machine number stays 1";
}

TEST_F(EndToEnd, TrackStepsStopAtTheLastEntryAndPlaySongStartsAtTheFirst) {
    // Two patterns of four steps: notes 5 (key 28h) and 20 (key 37h); the track plays 1, 2.
    const QString path =
        WriteSong("two.pks", "Plinkora Song\r\n50 ms\r\n2 Pattern\r\n5 5 5 5 \r\n20 20 20 20 \r\n"
                             "2 Songlines\r\n1 2 \r\n");
    EXPECT_EQ(link.Ask("LOAD", path), QStringList({path + " loaded "}));
    link.Send("NEXTPATTERN");
    link.Send("NEXTPATTERN"); // on the last entry: stays there
    link.Send("SHIFTPATTERNUP");
    const QStringList song = SavedSong("two", 0);
    ASSERT_GE(song.size(), 5);
    EXPECT_EQ(song[3], "5 5 5 5 ");
    EXPECT_EQ(song[4], "21 21 21 21 ") << "the pattern of the last entry was shifted";

    EXPECT_TRUE(link.client.ExecuteAndWait("PLAYSONG")) << "a macro of one line, no line end";
    QTest::qWait(800); // the two entries take about 0.4 s
    link.Send("STOP");
    link.Send("EXIT");
    ASSERT_TRUE(machine.WaitEnded());
    const QStringList keys = NoteOnKeys(machine.File("midi.log"));
    ASSERT_GE(keys.size(), 5) << TempDir::Read(machine.File("midi.log").toStdString());
    EXPECT_EQ(keys.first(), "28") << "the track starts at its first entry";
    EXPECT_TRUE(keys.contains("38")) << "and goes on to the shifted second pattern";
}

TEST_F(EndToEnd, OtherClientsDoNotDisturbTheFirst) {
    Link second;
    ASSERT_TRUE(second.Open(machine.Service(), 1000));
    EXPECT_EQ(second.Ask("DOYOUNEEDSAVE"), QStringList({"NOSAVE"}));
    EXPECT_EQ(link.replies, QStringList({"NOSAVE"})) << "every subscriber is told";

    const QString socketPath = RemoteWire::SocketPathFor(machine.Service());
    RawClient garbage(socketPath);
    ASSERT_TRUE(garbage.Connected());
    garbage.Send("HELLO MACHINE\n");
    EXPECT_TRUE(garbage.NextHeader().startsWith("ERROR"));
    garbage.Send(ExecuteMessage("EXIT\r\n"));
    EXPECT_TRUE(garbage.NextHeader().startsWith("ERROR")) << "no command before the topic";
    garbage.Send(QByteArray(3000, '\x7F'));
    EXPECT_TRUE(garbage.WaitClosed()) << "a header past its limit ends that connection";

    RawClient stalled(socketPath);
    stalled.Send("TOPIC TestTopic\nEXECUTE 100\nEXIT\r\n");
    second.client.Disconnect();
    EXPECT_EQ(link.Ask("DOYOUNEEDSAVE"), QStringList({"NOSAVE"}));
    EXPECT_TRUE(machine.Running());
    EXPECT_EQ(link.replies, QStringList({"NOSAVE", "NOSAVE"}));
}

} // namespace

namespace {

TEST_F(EndToEnd, ATerminationSignalEndsTheMachineInOrderWithoutAsking) {
    link.Send("SHIFTPATTERNUP"); // unsaved edits: a signal cannot be answered, so nothing asks
    link.Send("PLAYPATTERN");
    machine.process.terminate(); // SIGTERM
    ASSERT_TRUE(machine.WaitEnded());
    EXPECT_EQ(machine.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(machine.process.exitCode(), 0) << machine.Errors().toStdString();
    EXPECT_TRUE(link.replies.contains("SHUTDOWN")) << "the controller hears it";
    EXPECT_EQ(FileLines(machine.SettingsFile()).size(), SettingsLineCount) << "settings written";
    EXPECT_FALSE(QFile::exists(RemoteWire::SocketPathFor(machine.Service()))) << "socket removed";
    const QStringList log =
        QString::fromStdString(TempDir::Read(machine.File("midi.log").toStdString()))
            .split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(log.isEmpty());
    EXPECT_TRUE(log.last().endsWith(" close")) << "the output was reset and closed";
    EXPECT_TRUE(log.filter(" reset").size() > 0);
}

} // namespace

namespace {

// Resident memory of a process, in KiB.
qint64 ResidentKiB(qint64 pid) {
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// One rude client: it connects, subscribes and sends commands, garbage and broken headers at
// random; when the machine drops it, it comes back.
class RudeClient {
public:
    RudeClient(QString path, uint32_t seed) : path_(std::move(path)), random_(seed) { Connect(); }

    void Act() {
        socket_->readAll();
        if (socket_->state() != QLocalSocket::ConnectedState) {
            Connect();
            return;
        }
        static const QByteArray words[] = {
            "DOYOUNEEDSAVE", "NEXTPATTERN", "PREVIUSPATTERN", "SETVOLUME\r\n30",
            "SETSPEED\r\nx", "LAYOUT\r\n9", "MUTE",           "NOSUCHWORD",
            "SKIN"};
        switch (random_() % 6) {
        case 0:
        case 1:
            socket_->write(ExecuteMessage(words[random_() % std::size(words)] + "\r\n"));
            break;
        case 2:
            socket_->write("REQUEST TestItem\n");
            break;
        case 3: { // bytes of any kind
            QByteArray noise(static_cast<int>(random_() % 300), '\0');
            for (char& c : noise)
                c = static_cast<char>(random_());
            socket_->write(noise);
            break;
        }
        case 4:
            socket_->write("EXECUTE 99999999\n"); // past the limit: the machine drops us
            break;
        default:
            socket_->disconnectFromServer();
            break;
        }
        socket_->flush();
    }

private:
    void Connect() {
        socket_ = std::make_unique<QLocalSocket>();
        socket_->connectToServer(path_);
        socket_->write("TOPIC TestTopic\nADVISE TestItem\n");
        socket_->flush();
    }

    QString path_;
    std::mt19937 random_;
    std::unique_ptr<QLocalSocket> socket_;
};

// Fifty rude clients for `ms` while the good one plays and saves; every command of the good
// one must be acknowledged.
void Crowd(MachineProcess& machine, Link& good, int ms) {
    std::vector<std::unique_ptr<RudeClient>> crowd;
    for (uint32_t i = 0; i < 50; ++i)
        crowd.push_back(
            std::make_unique<RudeClient>(RemoteWire::SocketPathFor(machine.Service()), 1000 + i));
    QElapsedTimer clock;
    clock.start();
    int round = 0;
    while (clock.elapsed() < ms) {
        for (auto& client : crowd)
            client->Act();
        const QStringList goodWords{"PLAYPATTERN", "STOP", "DOYOUNEEDSAVE", "NEXTPATTERN"};
        const QString word = goodWords[round % goodWords.size()];
        EXPECT_TRUE(good.Send(word))
            << word.toStdString() << ": " << good.client.ErrorString().toStdString();
        if (round % 10 == 0) {
            EXPECT_TRUE(good.Send("SAVE", machine.File("crowd"))) << "round " << round;
        }
        ++round;
        QTest::qWait(5);
    }
    crowd.clear();
    QTest::qWait(1000);
}

TEST(Crowd, FiftyClientsAtOnceNeitherCrashNorLeakNorDisturbAWellBehavedOne) {
    MachineProcess machine{"PKCrowd"};
    // Freed memory is reused at once, so what the machine holds shows in its resident size.
    qputenv("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":quarantine_size_mb=0");
    ASSERT_TRUE(machine.Start());
    Link good;
    ASSERT_TRUE(good.Open(machine.Service())) << good.client.ErrorString().toStdString();
    Crowd(machine, good, 2500);
    const qint64 settled = ResidentKiB(machine.process.processId());
    Crowd(machine, good, 2500);
    Crowd(machine, good, 2500);
    const qint64 after = ResidentKiB(machine.process.processId());
    EXPECT_LT(after - settled, 4096) << "memory back to its level: " << settled << " KiB, then "
                                     << after << " (a window per bad command once grew it)";

    EXPECT_TRUE(good.Send("STOP"));
    EXPECT_TRUE(good.Send("EXIT"));
    ASSERT_TRUE(machine.WaitEnded(15000));
    EXPECT_EQ(machine.process.exitCode(), 0)
        << "no leak at the end: " << machine.Errors().toStdString();
}

} // namespace

// A serving machine in a Link session, on a network of the test's own: its "SETSPEED" reaches
// another peer of the session within 0.3 s.
TEST(EndToEndLink, TheSetSpeedOfAServingMachineReachesAnotherPeerWithinAThirdOfASecond) {
    TPrivateNetwork net;
    if (!net.Failure().empty())
        GTEST_SKIP() << net.Failure();
    TLinkPeer other(120, 4, false);
    MachineProcess serving{"PK1"};
    ASSERT_TRUE(serving.Start({"--serve", "--link"}, "no-such-platform"));
    Link link;
    ASSERT_TRUE(link.Open(serving.Service())) << serving.Errors().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return other.Peers() == 1; }, 10000));

    QElapsedTimer elapsed;
    elapsed.start();
    ASSERT_TRUE(link.Send("SETSPEED", QString::number(TempoBar::PositionOf(100))));
    const auto reached = [&] {
        TBeatSnapshot session;
        return other.Read(session) && std::abs(session.Bpm - 150) < 1e-6;
    };
    ASSERT_TRUE(QTest::qWaitFor(reached, 2000));
    EXPECT_LT(elapsed.elapsed(), 300);
}
