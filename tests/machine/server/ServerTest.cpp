#include "server/Server.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A server window whose shutdown hooks count what they were asked to do.
struct Shutdown : ::testing::Test {
    Shutdown() {
        server.WriteSettings = [this] { ++settingsWritten; };
        server.AskCloseQuestion = [this] {
            ++questions;
            return answer;
        };
        server.StopPlayback = [this] { ++stops; };
    }
    // Lets the 100 ms shutdown timer run.
    void WaitForTimer() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !server.Timer1->isActive(); }, 5000));
    }

    Tserverform server;
    QSignalSpy status{&server, &Tserverform::StatusChanged};
    QSignalSpy closed{&server, &Tserverform::Closed};
    int settingsWritten = 0, questions = 0, stops = 0;
    bool answer = true;
};

} // namespace

TEST_F(Shutdown, ACloseRequestReportsFirstAndEndsAfterTheTimer) {
    EXPECT_EQ(server.windowTitle(), "LOG");
    server.close();
    EXPECT_TRUE(server.Closing);
    EXPECT_EQ(server.StatusText(), "SHUTDOWN");
    EXPECT_EQ(settingsWritten, 1);
    EXPECT_EQ(closed.count(), 0) << "not inside the request";
    WaitForTimer();
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(status.count(), 2) << "SHUTDOWN is reported again by the final close";
    EXPECT_EQ(settingsWritten, 2);
}

TEST_F(Shutdown, CancellingTheSaveQuestionKeepsTheMachineRunning) {
    answer = false;
    server.close();
    WaitForTimer();
    EXPECT_EQ(closed.count(), 0);
    EXPECT_FALSE(server.Closing);
    EXPECT_FALSE(server.CloseConfirmed());
    EXPECT_FALSE(server.Cancelled);
    EXPECT_EQ(server.StatusText(), "SHUTDOWN") << "already reported";
    answer = true;
    server.close();
    WaitForTimer();
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(Shutdown, AConnectedMachineNeverAsks) {
    server.Connected = [] { return true; };
    answer = false;
    server.close();
    WaitForTimer();
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(Shutdown, EverySettingOfTheStatusNotifiesEvenTheSameText) {
    server.SetStatusText("NOSAVE");
    server.SetStatusText("NOSAVE");
    ASSERT_EQ(status.count(), 2);
    EXPECT_EQ(status.at(1).at(0).toString(), "NOSAVE");
}
