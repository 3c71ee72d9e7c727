#include "RemoteClient.h"

#include "RemoteWords.h"
#include "TempDir.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <deque>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

namespace W = RemoteWords;

// A message as it travels: its header line, then its payload.
QByteArray Message(const QByteArray& header, const QByteArray& payload) {
    return header + " " + QByteArray::number(payload.size()) + "\n" + payload;
}

// A scripted machine: records every message the client sends and answers each with the next
// scripted reply ("" answers nothing).
class FakeMachine : public QObject {
public:
    explicit FakeMachine(const QString& service) {
        EXPECT_EQ(RemoteWire::PreparePrivateFolder(RemoteWire::SocketFolder()), "");
        EXPECT_TRUE(server.listen(RemoteWire::SocketPathFor(service)));
        connect(&server, &QLocalServer::newConnection, this, [this] {
            peer = server.nextPendingConnection();
            connect(peer, &QLocalSocket::readyRead, this, &FakeMachine::Read);
        });
    }

    void Write(const QByteArray& bytes) {
        peer->write(bytes);
        peer->flush();
    }
    bool WaitMessages(int count) {
        return QTest::qWaitFor([&] { return messages.size() >= count; }, 3000);
    }

    QLocalServer server;
    QLocalSocket* peer = nullptr;
    std::deque<QByteArray> script;
    QList<QByteArray> messages;

private:
    void Read() {
        input += peer->readAll();
        for (;;) {
            const qsizetype lf = input.indexOf('\n');
            if (lf < 0)
                return;
            qsizetype size = 0;
            if (input.startsWith("EXECUTE "))
                size = input.mid(8, lf - 8).toLongLong();
            if (input.size() < lf + 1 + size)
                return;
            messages << input.left(lf + 1 + size);
            input.remove(0, lf + 1 + size);
            if (!script.empty()) {
                Write(script.front());
                script.pop_front();
            }
        }
    }
    QByteArray input;
};

struct RemoteClientTest : ::testing::Test {
    RemoteClientTest() : hadRuntime(qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
        oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime.Path().c_str());
        client.SetLink("PK0");
    }
    ~RemoteClientTest() override {
        if (hadRuntime)
            qputenv("XDG_RUNTIME_DIR", oldRuntime);
        else
            qunsetenv("XDG_RUNTIME_DIR");
    }
    // A client linked to a fake machine that accepted the topic.
    FakeMachine& Linked() {
        machine = std::make_unique<FakeMachine>("PK0");
        machine->script = {"OK\n"};
        EXPECT_TRUE(client.Connect()) << client.ErrorString().toStdString();
        return *machine;
    }

    TempDir runtime;
    bool hadRuntime;
    QByteArray oldRuntime;
    std::unique_ptr<FakeMachine> machine;
    TRemoteClient client;
};

} // namespace

TEST_F(RemoteClientTest, ConnectOpensTheTopic) {
    FakeMachine& fake = Linked();
    EXPECT_TRUE(client.IsConnected());
    EXPECT_EQ(fake.messages, QList<QByteArray>({"TOPIC TestTopic\n"}));
}

TEST_F(RemoteClientTest, ConnectFailsClearlyWhenNoMachineTakesTheLink) {
    EXPECT_FALSE(client.Connect());
    EXPECT_TRUE(client.ErrorString().contains("no machine answers under \"PK0\""));

    FakeMachine refusing("PK0");
    refusing.script = {"NO\n"};
    EXPECT_FALSE(client.Connect());
    EXPECT_TRUE(client.ErrorString().contains("refused the topic"));
    EXPECT_FALSE(client.IsConnected());

    refusing.script = {""}; // a machine that never answers
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(client.Connect(300));
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_TRUE(client.ErrorString().contains("did not answer"));

    client.SetLink("a/b");
    EXPECT_FALSE(client.Connect());
}

TEST_F(RemoteClientTest, AFolderOpenToOthersIsNotTrusted) {
    FakeMachine fake("PK0");
    fake.script = {"OK\n"};
    const QByteArray folder = QFile::encodeName(RemoteWire::SocketFolder());
    ASSERT_EQ(::chmod(folder.constData(), 0777), 0);
    EXPECT_FALSE(client.Connect());
    EXPECT_TRUE(client.ErrorString().contains("open to other users"));
    QTest::qWait(50);
    EXPECT_EQ(fake.peer, nullptr) << "nothing was sent to a socket someone else could own";
}

TEST_F(RemoteClientTest, CommandsGoOutInTheirWireForm) {
    FakeMachine& fake = Linked();
    QSignalSpy acks(&client, &TRemoteClient::Acknowledged);
    fake.script = {"OK\n", "ACK\n", "ACK\n", "ACK\n"};
    EXPECT_TRUE(client.Advise());
    EXPECT_TRUE(client.ExecuteCommand(W::PlaySong, "0"));
    EXPECT_TRUE(client.ExecuteCommand(W::Load, QString::fromUtf8("/home/jürgen/a.pks")));
    EXPECT_TRUE(client.ExecuteAndWait(W::ExitOnClose));
    ASSERT_TRUE(fake.WaitMessages(5));
    EXPECT_EQ(fake.messages[1], "ADVISE TestItem\n");
    EXPECT_EQ(fake.messages[2], Message("EXECUTE", QByteArray(W::PlaySong) + "\r\n0\r\n"));
    EXPECT_EQ(fake.messages[3],
              Message("EXECUTE", QByteArray(W::Load) + "\r\n/home/j\xc3\xbcrgen/a.pks\r\n"))
        << "the length counts UTF-8 bytes";
    EXPECT_EQ(fake.messages[4], Message("EXECUTE", W::ExitOnClose));
    EXPECT_EQ(acks.count(), 3);

    client.Disconnect();
    EXPECT_FALSE(client.Execute(W::Stop)) << "nothing goes out on a closed link";
    EXPECT_FALSE(client.Advise());
}

TEST_F(RemoteClientTest, NotificationsArriveInOrderHoweverTheyAreSplit) {
    FakeMachine& fake = Linked();
    QSignalSpy data(&client, &TRemoteClient::DataReceived);
    const QByteArray noSave = QByteArray(W::NoSave) + "\r\n";
    const QByteArray stream = Message("DATA TestItem", noSave) + Message("DATA TestItem", noSave) +
                              "DATA TestItem 15\nMaschine \xc3\xa4\r\n\r\n";
    fake.Write(stream.left(10));
    QTest::qWait(30);
    fake.Write(stream.mid(10, 30));
    QTest::qWait(30);
    fake.Write(stream.mid(40));
    ASSERT_TRUE(QTest::qWaitFor([&] { return data.count() == 3; }, 2000));
    EXPECT_EQ(data[0], QVariantList({"TestItem", QString(noSave)}));
    EXPECT_EQ(data[1], QVariantList({"TestItem", QString(noSave)}));
    EXPECT_EQ(data[2], QVariantList({"TestItem", QString::fromUtf8("Maschine ä\r\n\r\n")}));
}

TEST_F(RemoteClientTest, RepliesAndErrorsMeetTheirRequests) {
    FakeMachine& fake = Linked();
    QSignalSpy data(&client, &TRemoteClient::DataReceived);
    QSignalSpy errors(&client, &TRemoteClient::ErrorReceived);
    fake.script = {"DATA TestItem 7\nready\r\n", "ERROR unknown item\n"};
    EXPECT_EQ(client.Request(), "ready\r\n");
    EXPECT_EQ(data.count(), 0) << "a reply is no notification";
    EXPECT_FALSE(client.Advise("Other"));
    EXPECT_TRUE(client.ErrorString().contains("unknown item"));
    EXPECT_EQ(errors.count(), 1);
    EXPECT_TRUE(client.IsConnected()) << "an error leaves the link usable";
}

TEST_F(RemoteClientTest, ABrokenWireEndsTheLink) {
    for (const QByteArray& wrong : {QByteArray("DATA TestItem 70000\n"), QByteArray("ACK\n"),
                                    QByteArray("DATA TestItem x\n"), QByteArray(1100, 'A')}) {
        FakeMachine& fake = Linked();
        QSignalSpy gone(&client, &TRemoteClient::Disconnected);
        fake.Write(wrong);
        EXPECT_TRUE(QTest::qWaitFor([&] { return gone.count() == 1; }, 2000))
            << wrong.left(30).constData();
        EXPECT_FALSE(client.IsConnected());
        machine.reset();
    }

    FakeMachine& fake = Linked();
    fake.script = {""};
    QTimer::singleShot(100, fake.peer, [&fake] { fake.peer->abort(); });
    EXPECT_FALSE(client.ExecuteAndWait(W::Exit, 5000)) << "the machine went before acknowledging";
    EXPECT_TRUE(client.ErrorString().contains("closed the link"));
}

TEST_F(RemoteClientTest, ConnectWithinWaitsForAMachineThatIsStarting) {
    std::unique_ptr<FakeMachine> starting;
    QTimer::singleShot(200, [&] {
        starting = std::make_unique<FakeMachine>("PK0");
        starting->script = {"OK\n"};
    });
    EXPECT_TRUE(client.ConnectWithin(3000)) << client.ErrorString().toStdString();
    client.Disconnect();
    starting.reset();
    EXPECT_FALSE(client.ConnectWithin(200));
}

TEST(RemoteClientTexts, CommandsAndReceivedValues) {
    EXPECT_EQ(TRemoteClient::CommandText(W::NextPattern, ""), QString(W::NextPattern) + "\r\n\r\n");
    EXPECT_EQ(TRemoteClient::CommandText(W::Layout, "2"), QString(W::Layout) + "\r\n2\r\n");
    EXPECT_EQ(TRemoteClient::AsOneLine(QString(W::NeedSave) + "\r\n"), QString(W::NeedSave) + "  ");
    EXPECT_EQ(TRemoteClient::AsOneLine("a\tb\x1f"
                                       "c"),
              "a b c");
    const QString shutdown = W::Shutdown;
    EXPECT_EQ(TRemoteClient::StripLineEnd(shutdown + "\r\n"), shutdown);
    EXPECT_EQ(TRemoteClient::StripLineEnd(shutdown + "\n"), shutdown + "\n");
}
