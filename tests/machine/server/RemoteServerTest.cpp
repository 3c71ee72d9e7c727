#include "server/RemoteServer.h"

#include "RemoteServerTestSupport.h"
#include "RemoteWire.h"
#include "server/CommandChannel.h"

#include <QFile>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QByteArray Data(const QByteArray& value) {
    return "DATA TestItem " + QByteArray::number(value.size());
}

// A machine publishing "PK2" whose macros are recorded; a test may add what a macro does.
struct RemoteWireTest : ::testing::Test {
    RemoteWireTest() {
        server.HandleMacro = [this](const QStringList& lines) {
            macros << lines;
            if (duringMacro)
                duringMacro(lines);
        };
        EXPECT_TRUE(server.Listen("PK2")) << server.ErrorString().toStdString();
    }

    std::unique_ptr<RawClient> Client() {
        return std::make_unique<RawClient>(TRemoteServer::SocketPathFor("PK2"));
    }
    // A client whose topic the machine accepted.
    std::unique_ptr<RawClient> Linked() {
        auto client = Client();
        client->Send("TOPIC TestTopic\n");
        EXPECT_EQ(client->NextHeader(), "OK");
        return client;
    }
    void ExpectValue(RawClient& client, const QByteArray& value, const char* note = "") {
        SCOPED_TRACE(note);
        const auto frame = client.Next();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->header, Data(value));
        EXPECT_EQ(frame->payload, value);
    }

    RuntimeDir runtime;
    TRemoteServer server;
    QList<QStringList> macros;
    std::function<void(const QStringList&)> duringMacro;
};

} // namespace

TEST_F(RemoteWireTest, OnlyTheTestTopicIsAccepted) {
    auto linked = Linked();
    linked->Send("REQUEST TestItem\n");
    ExpectValue(*linked, "\r\n"); // the status item starts empty

    for (const QByteArray topic : {"TOPIC Other\n", "TOPIC testtopic\n", "TOPIC\n"}) {
        auto other = Client();
        other->Send(topic);
        EXPECT_EQ(other->NextHeader(), "NO") << topic.constData();
        EXPECT_TRUE(other->WaitClosed()) << topic.constData();
    }
    linked->Send("TOPIC TestTopic\r\n"); // a CR before the LF is tolerated
    EXPECT_EQ(linked->NextHeader(), "OK");
}

TEST_F(RemoteWireTest, ExecuteHandsTheLinesToTheHandlerThenAcknowledges) {
    auto client = Linked();
    client->Send(ExecuteMessage("PLAYSONG\r\n0\r\n"));
    EXPECT_EQ(client->NextHeader(), "ACK");
    ASSERT_EQ(macros.size(), 1);
    EXPECT_EQ(macros[0], QStringList({"PLAYSONG", "0"}));

    // A message that arrives in pieces waits for its last byte.
    client->Send("EXECUTE 15\nNEXTPA");
    EXPECT_TRUE(client->Quiet());
    client->Send("TTERN\r\n\r\n");
    EXPECT_EQ(client->NextHeader(), "ACK");
    EXPECT_EQ(macros.last(), QStringList({"NEXTPATTERN", ""}));

    // Headers inside a payload are macro text; two messages in one write both run, in order.
    client->Send(ExecuteMessage("ADVISE TestItem\n") + ExecuteMessage("") + ExecuteMessage("Exit"));
    EXPECT_EQ(client->NextHeader(), "ACK");
    EXPECT_EQ(client->NextHeader(), "ACK");
    EXPECT_EQ(client->NextHeader(), "ACK");
    ASSERT_EQ(macros.size(), 5);
    EXPECT_EQ(macros[2], QStringList({"ADVISE TestItem"}));
    EXPECT_EQ(macros[3], QStringList());
    EXPECT_EQ(macros[4], QStringList({"Exit"}));

    // The text is UTF-8 and ends at a NUL, as a zero-terminated macro does.
    const char macro[] = "LOAD\r\n/home/j\xc3\xbcrgen/a.pks\r\n\0junk";
    client->Send(ExecuteMessage(QByteArray(macro, sizeof macro - 1)));
    EXPECT_EQ(client->NextHeader(), "ACK");
    EXPECT_EQ(macros.last(), QStringList({"LOAD", QString::fromUtf8("/home/jürgen/a.pks")}));
}

TEST_F(RemoteWireTest, AdvisedClientsHearEverySettingInOrder) {
    auto advised = Linked();
    auto other = Linked();
    advised->Send("ADVISE TestItem\n");
    EXPECT_EQ(advised->NextHeader(), "OK");

    server.SetStatusText("NOSAVE");
    server.SetStatusText("NOSAVE");
    ExpectValue(*advised, "NOSAVE\r\n");
    ExpectValue(*advised, "NOSAVE\r\n", "the same text again is a new setting");
    EXPECT_TRUE(other->Quiet());

    // Settings made while a macro runs go out before its acknowledgement, in order.
    duringMacro = [this](const QStringList&) {
        server.SetStatusText("/p/demo2.pks saved ");
        server.SetStatusText("/p/demo2");
    };
    advised->Send(ExecuteMessage("SAVE\r\n/p/demo.pkp\r\n"));
    ExpectValue(*advised, "/p/demo2.pks saved \r\n");
    ExpectValue(*advised, "/p/demo2\r\n");
    EXPECT_EQ(advised->NextHeader(), "ACK");

    advised->Send("UNADVISE TestItem\n");
    EXPECT_EQ(advised->NextHeader(), "OK");
    server.SetStatusText("Machine 2 ready");
    advised->Send("REQUEST TestItem\n");
    ExpectValue(*advised, "Machine 2 ready\r\n", "the reply, no notification before it");
    EXPECT_TRUE(advised->Quiet());
}

TEST_F(RemoteWireTest, MistakesAnswerErrorAndTheConnectionStaysUsable) {
    auto client = Client();
    // A conversation needs its topic first; an EXECUTE's payload is still read past.
    client->Send("REQUEST TestItem\n");
    client->Send(ExecuteMessage("STOP\r\n"));
    client->Send("ADVISE TestItem\n");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(client->NextHeader(), "ERROR no topic: send TOPIC TestTopic first");
    client->Send("TOPIC TestTopic\n");
    EXPECT_EQ(client->NextHeader(), "OK");

    for (const QByteArray wrong : {"HELLO\n", "\n", "execute 4\n", "ADVISE OtherItem\n",
                                   "REQUEST\n", "EXECUTE x\n", "EXECUTE\n", "EXECUTE -1\n"}) {
        client->Send(wrong);
        EXPECT_TRUE(client->NextHeader().startsWith("ERROR ")) << wrong.constData();
    }
    client->Send("REQUEST TestItem\n");
    ExpectValue(*client, "\r\n");
    EXPECT_TRUE(macros.isEmpty());
}

TEST_F(RemoteWireTest, OversizeMessagesCloseOnlyThatConnection) {
    auto good = Linked();

    auto longHeader = Linked();
    longHeader->Send(QByteArray(1025, 'A'));
    EXPECT_TRUE(longHeader->WaitClosed()) << "no line end within 1 KiB";

    auto atTheLimit = Linked();
    atTheLimit->Send(QByteArray(1024, 'A') + '\n');
    EXPECT_TRUE(atTheLimit->NextHeader().startsWith("ERROR "));
    atTheLimit->Send(ExecuteMessage(QByteArray(64 * 1024, 'x')));
    EXPECT_EQ(atTheLimit->NextHeader(), "ACK");
    EXPECT_EQ(macros.last().value(0).size(), 64 * 1024);

    auto bigPayload = Linked();
    bigPayload->Send("EXECUTE 65537\n");
    EXPECT_TRUE(bigPayload->WaitClosed()) << "closed before the payload is sent";

    good->Send("REQUEST TestItem\n");
    ExpectValue(*good, "\r\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.ClientCount() == 2; }, 2000));
}

TEST_F(RemoteWireTest, AStalledClientIsClosedAndOthersCarryOn) {
    server.SetStallTimeout(200);
    auto idle = Linked();
    auto stalledPayload = Linked();
    auto stalledHeader = Linked();
    stalledPayload->Send("EXECUTE 10\nabc");
    stalledHeader->Send("REQU");

    auto good = Linked();
    good->Send(ExecuteMessage("STOP\r\n0\r\n"));
    EXPECT_EQ(good->NextHeader(), "ACK") << "a stall blocks nobody";

    EXPECT_TRUE(stalledPayload->WaitClosed());
    EXPECT_TRUE(stalledHeader->WaitClosed());
    EXPECT_EQ(macros.size(), 1);
    // Being idle between messages is no stall.
    EXPECT_TRUE(idle->Connected());
    idle->Send("REQUEST TestItem\n");
    ExpectValue(*idle, "\r\n");
}

TEST_F(RemoteWireTest, MacrosRunOneAtATimeEvenWhenAHandlerWaits) {
    int depth = 0, deepest = 0;
    duringMacro = [&](const QStringList& lines) {
        deepest = std::max(deepest, ++depth);
        if (lines.value(0) == "SLOW")
            QTest::qWait(150); // a dialog would run an event loop like this
        --depth;
    };
    auto first = Linked();
    auto second = Linked();
    first->Send(ExecuteMessage("SLOW"));
    second->Send(ExecuteMessage("FAST"));
    EXPECT_EQ(first->NextHeader(), "ACK");
    EXPECT_EQ(second->NextHeader(), "ACK");
    EXPECT_EQ(deepest, 1);
    ASSERT_EQ(macros.size(), 2);
    EXPECT_EQ(macros[0].value(0), "SLOW");
    EXPECT_EQ(macros[1].value(0), "FAST");
}

TEST_F(RemoteWireTest, AClientGoneDuringAMacroHarmsNothing) {
    auto leaving = Linked();
    leaving->Send("ADVISE TestItem\n");
    EXPECT_EQ(leaving->NextHeader(), "OK");
    auto staying = Linked();
    duringMacro = [&](const QStringList&) {
        leaving->socket.abort();
        QTest::qWait(100); // the machine sees the connection end while the macro runs
        server.SetStatusText("after");
        server.SetStatusText("again");
    };
    leaving->Send(ExecuteMessage("EXIT"));
    EXPECT_TRUE(leaving->WaitClosed());
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.ClientCount() == 1; }, 2000));
    staying->Send("REQUEST TestItem\n");
    ExpectValue(*staying, "again\r\n");
}

TEST_F(RemoteWireTest, AFailingMacroIsReportedAndStillAcknowledged) {
    QStringList reported;
    server.ReportFailure = [&](const QString& text) { reported << text; };
    duringMacro = [](const QStringList&) {
        throw std::invalid_argument("'x' is not a valid integer value");
    };
    auto client = Linked();
    client->Send(ExecuteMessage("SETSPEED\r\nx\r\n"));
    EXPECT_EQ(client->NextHeader(), "ACK");
    EXPECT_EQ(reported, QStringList({"'x' is not a valid integer value"}));
    duringMacro = nullptr;
    client->Send(ExecuteMessage("STOP"));
    EXPECT_EQ(client->NextHeader(), "ACK");
}

TEST_F(RemoteWireTest, TheChannelsStatusReachesAdvisedClients) {
    TCommandChannel channel;
    channel.SetStatusText("before");
    server.Bind(channel);
    EXPECT_EQ(server.StatusText(), "before");
    auto client = Linked();
    client->Send("ADVISE TestItem\n");
    EXPECT_EQ(client->NextHeader(), "OK");
    channel.SetStatusText("Machine 2 ready");
    ExpectValue(*client, "Machine 2 ready\r\n");
    channel.RequestClose(); // the shutdown reports itself
    ExpectValue(*client, "SHUTDOWN\r\n");
}

// The shutdown timer is only a bound: the end comes once "EXIT" has been acknowledged.
TEST_F(RemoteWireTest, AnExitEndsOnceItsAcknowledgementHasGone) {
    TCommandChannel channel;
    channel.Connected = [] { return true; };
    server.Bind(channel);
    bool ended = false;
    QObject::connect(&channel, &TCommandChannel::Ended, [&] { ended = true; });
    duringMacro = [&](const QStringList&) { channel.RequestEnd(true); };
    auto client = Linked();
    client->Send("EXECUTE 4\nEXIT");
    EXPECT_EQ(client->NextHeader(), "ACK");
    QCoreApplication::processEvents();
    EXPECT_TRUE(ended);
    EXPECT_FALSE(channel.ShutdownPending());
}

// --- publishing the service ---

namespace {

struct Publishing : ::testing::Test {
    RuntimeDir runtime;
};

// Binds a socket file and leaves it behind, as a machine that crashed does.
void LeaveStaleSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::copy(name.begin(), name.end(), address.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

mode_t ModeOf(const QString& path) {
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

bool Answers(const QString& service) {
    RawClient client(TRemoteServer::SocketPathFor(service));
    client.Send("TOPIC TestTopic\n");
    return client.NextHeader() == "OK";
}

} // namespace

TEST_F(Publishing, ASocketLeftBehindIsReplaced) {
    ASSERT_EQ(RemoteWire::PreparePrivateFolder(runtime.Folder()), "");
    LeaveStaleSocket(runtime.Folder() + "/PK0");
    ASSERT_TRUE(QFile::exists(runtime.Folder() + "/PK0"));
    EXPECT_FALSE(Answers("PK0"));

    TRemoteServer server;
    EXPECT_TRUE(server.Listen("PK0")) << server.ErrorString().toStdString();
    EXPECT_TRUE(Answers("PK0"));
}

TEST_F(Publishing, ASecondMachineUnderTheSameNameRunsWithoutServer) {
    TRemoteServer first, second, neighbour;
    ASSERT_TRUE(first.Listen("PK0"));
    EXPECT_FALSE(second.Listen("PK0"));
    EXPECT_TRUE(second.ErrorString().contains("another machine already answers under the name"));
    EXPECT_FALSE(second.IsListening());
    EXPECT_TRUE(Answers("PK0")) << "the first machine keeps its socket";
    EXPECT_TRUE(neighbour.Listen(TRemoteServer::ServiceNameForProgram("/opt/pk/PK1")));
    EXPECT_EQ(neighbour.ServiceName(), "PK1");

    first.Close();
    EXPECT_FALSE(QFile::exists(runtime.Folder() + "/PK0")) << "closing takes the socket away";
    EXPECT_TRUE(second.Listen("PK0"));
}

TEST_F(Publishing, TheSocketFolderIsPrivate) {
    TRemoteServer server;
    ASSERT_TRUE(server.Listen("PK0"));
    EXPECT_EQ(ModeOf(runtime.Folder()), 0700);
    EXPECT_EQ(ModeOf(runtime.Folder() + "/PK0") & 077, 0u) << "only this user may connect";
    server.Close();

    ASSERT_EQ(::chmod(QFile::encodeName(runtime.Folder()).constData(), 0755), 0);
    EXPECT_FALSE(server.Listen("PK0"));
    EXPECT_TRUE(server.ErrorString().contains("open to other users"));
    EXPECT_EQ(ModeOf(runtime.Folder()), 0755) << "someone else's choice is not changed";

    // A link in place of the folder is refused too.
    ASSERT_TRUE(QDir(runtime.Folder()).removeRecursively());
    ASSERT_TRUE(QDir(runtime.Path()).mkdir("real"));
    ::chmod(QFile::encodeName(runtime.Path() + "/real").constData(), 0700);
    ASSERT_TRUE(QFile::link(runtime.Path() + "/real", runtime.Folder()));
    EXPECT_FALSE(server.Listen("PK0"));
    EXPECT_TRUE(server.ErrorString().contains("is not a folder"));

    if (::geteuid() != 0)
        GTEST_SKIP() << "handing the folder to another user needs root";
    ASSERT_TRUE(QFile::remove(runtime.Folder()));
    ASSERT_EQ(RemoteWire::PreparePrivateFolder(runtime.Folder()), "");
    ASSERT_EQ(::chown(QFile::encodeName(runtime.Folder()).constData(), 65534, 65534), 0);
    EXPECT_FALSE(server.Listen("PK0"));
    EXPECT_TRUE(server.ErrorString().contains("belongs to another user"));
}

TEST_F(Publishing, NamesAndPlaces) {
    EXPECT_EQ(TRemoteServer::ServiceNameForProgram("/opt/pk/PK2"), "PK2");
    EXPECT_EQ(TRemoteServer::ServiceNameForProgram("PK3.exe"), "PK3");
    EXPECT_EQ(TRemoteServer::ServiceNameForProgram("./Plinkora"), "Plinkora");
    EXPECT_EQ(TRemoteServer::SocketPathFor("PK2"), runtime.Folder() + "/PK2");
    for (const QString bad : {"", "a/b", "..", ".", ".publishing"}) {
        EXPECT_EQ(TRemoteServer::SocketPathFor(bad), "");
        TRemoteServer server;
        EXPECT_FALSE(server.Listen(bad)) << bad.toStdString();
    }
    const QString fallback = QString("/tmp/plinkora-%1/PK2").arg(::geteuid());
    qputenv("XDG_RUNTIME_DIR", "relative/dir");
    EXPECT_EQ(TRemoteServer::SocketPathFor("PK2"), fallback);
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(TRemoteServer::SocketPathFor("PK2"), fallback);
}

TEST(SplitMacroLines, EveryKindOfLineEnd) {
    const QList<std::pair<QString, QStringList>> cases = {
        {"", {}},
        {"PLAYSONG", {"PLAYSONG"}},
        {"LOAD\r\n/a.pks\r\n", {"LOAD", "/a.pks"}},
        {"NEXTPATTERN\r\n\r\n", {"NEXTPATTERN", ""}},
        {"\r\n", {""}},
        {"A\rB\nC", {"A", "B", "C"}},
        {"A\n\rB", {"A", "", "B"}},
        {"A\r\r\nB\n\n", {"A", "", "B", ""}},
        {" EXIT \r\n", {" EXIT "}},
        {QString("STOP\r\n") + QChar(0) + "PLAY\r\n", {"STOP"}},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(SplitMacroLines(text), lines) << text.toStdString();
}
