#include "RemoteServerTestSupport.h"
#include "server/RemoteServer.h"

#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Runs the pkremote program against a machine published in this test as "PK1".
struct Pkremote : ::testing::Test {
    Pkremote() {
        server.HandleMacro = [this](const QStringList& lines) {
            macros << lines;
            if (duringMacro)
                duringMacro(lines);
        };
        EXPECT_TRUE(server.Listen("PK1")) << server.ErrorString().toStdString();
    }

    struct Outcome {
        int code = -1;
        QString out, err;
    };
    // The event loop keeps running while the program does, so the machine answers it.
    Outcome Run(const QStringList& arguments) {
        QProcess program;
        program.start(PKREMOTE_PROGRAM, arguments);
        EXPECT_TRUE(program.waitForStarted(5000));
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, 20000));
        return {program.exitCode(), QString::fromUtf8(program.readAllStandardOutput()),
                QString::fromUtf8(program.readAllStandardError())};
    }

    // Sets the status `delayMs` after the macro, as a machine finishing something later does.
    void SetLater(int delayMs, const QString& text) {
        QTimer::singleShot(delayMs, &server, [this, text] { server.SetStatusText(text); });
    }

    RuntimeDir runtime;
    TRemoteServer server;
    QList<QStringList> macros;
    std::function<void(const QStringList&)> duringMacro;
};

} // namespace

TEST_F(Pkremote, NoMachineUnderTheNameExitsTwo) {
    const Outcome outcome = Run({"PK3", "STOP"});
    EXPECT_EQ(outcome.code, 2);
    EXPECT_TRUE(outcome.err.contains("no machine answers under \"PK3\""))
        << outcome.err.toStdString();
    EXPECT_EQ(outcome.out, "");
}

TEST_F(Pkremote, PrintsEveryStatusUntilTheAcknowledgementAndAMomentAfter) {
    duringMacro = [this](const QStringList&) {
        server.SetStatusText("Machine 2 ready");
        server.SetStatusText("Machine 2 ready");
        server.SetStatusText("tab\there");
        SetLater(100, "late");
        SetLater(2000, "too late");
    };
    const Outcome outcome = Run({"PK1", "CONNECT", "2"});
    EXPECT_EQ(outcome.code, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out, "Machine 2 ready\nMachine 2 ready\ntab here\nlate\n");
    EXPECT_EQ(macros, QList<QStringList>({{"CONNECT", "2"}}));
}

TEST_F(Pkremote, WaitListensLonger) {
    duringMacro = [this](const QStringList&) { SetLater(600, "MIDISAVED"); };
    const Outcome outcome = Run({"--wait", "1", "PK1", "SAVEMIDI", "/m/tune"});
    EXPECT_EQ(outcome.code, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out, "MIDISAVED\n");
}

TEST_F(Pkremote, AWordWithoutArgumentStillSendsItsArgumentLine) {
    const Outcome outcome = Run({"PK1", "nextpattern"});
    EXPECT_EQ(outcome.code, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(macros, QList<QStringList>({{"nextpattern", ""}}));
}

TEST_F(Pkremote, ALinkLostBeforeTheAcknowledgementExitsOne) {
    duringMacro = [this](const QStringList&) { server.Close(); };
    const Outcome outcome = Run({"PK1", "EXIT"});
    EXPECT_EQ(outcome.code, 1);
    EXPECT_TRUE(outcome.err.contains("closed the link")) << outcome.err.toStdString();
}

TEST_F(Pkremote, WrongUseExits64) {
    EXPECT_EQ(Run({"PK1"}).code, 64);
    EXPECT_EQ(Run({"PK1", "A", "B", "C"}).code, 64);
    EXPECT_EQ(Run({"--wait", "soon", "PK1", "STOP"}).code, 64);
    EXPECT_TRUE(macros.isEmpty());
}
