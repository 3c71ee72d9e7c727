#include "server/CommandChannel.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A channel whose shutdown hooks count what they were asked to do.
struct Shutdown : ::testing::Test {
    Shutdown() {
        channel.WriteSettings = [this] { ++settingsWritten; };
        channel.AskCloseQuestion = [this] {
            ++questions;
            return answer;
        };
        channel.StopPlayback = [this] { ++stops; };
    }
    // Lets the 100 ms shutdown timer run.
    void WaitForTimer() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !channel.ShutdownPending(); }, 5000));
    }

    TCommandChannel channel;
    QSignalSpy status{&channel, &TCommandChannel::StatusChanged};
    QSignalSpy ended{&channel, &TCommandChannel::Ended};
    int settingsWritten = 0, questions = 0, stops = 0;
    bool answer = true;
};

} // namespace

TEST_F(Shutdown, ACloseRequestReportsFirstAndEndsAfterTheTimer) {
    EXPECT_FALSE(channel.RequestClose());
    EXPECT_TRUE(channel.Closing());
    EXPECT_EQ(channel.StatusText(), "SHUTDOWN");
    EXPECT_EQ(settingsWritten, 1);
    EXPECT_EQ(ended.count(), 0) << "not inside the request";
    WaitForTimer();
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(status.count(), 2) << "SHUTDOWN is reported again by the end";
    EXPECT_EQ(settingsWritten, 2);
    EXPECT_TRUE(channel.RequestClose()) << "the window may close now";
    EXPECT_EQ(status.count(), 2);
}

TEST_F(Shutdown, CancellingTheSaveQuestionKeepsTheMachineRunning) {
    answer = false;
    channel.RequestClose();
    WaitForTimer();
    EXPECT_EQ(ended.count(), 0);
    EXPECT_FALSE(channel.Closing());
    EXPECT_EQ(channel.StatusText(), "SHUTDOWN") << "already reported";
    answer = true;
    channel.RequestClose();
    WaitForTimer();
    EXPECT_EQ(ended.count(), 1);
}

TEST_F(Shutdown, AConnectedMachineOrASignalNeverAsks) {
    channel.Connected = [] { return true; };
    answer = false;
    channel.RequestClose();
    WaitForTimer();
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(ended.count(), 1);

    TCommandChannel standAlone;
    standAlone.AskCloseQuestion = [this] { return ++questions, false; };
    QSignalSpy standAloneEnded{&standAlone, &TCommandChannel::Ended};
    standAlone.RequestEnd(false);
    standAlone.CommandAnswered(); // at once, not after the timer
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(standAloneEnded.count(), 1);
    EXPECT_EQ(standAlone.StatusText(), "SHUTDOWN");
}

TEST_F(Shutdown, ACancelledCloseDoesNotCancelTheNextOne) {
    answer = false;
    channel.RequestEnd(true);
    channel.CommandAnswered();
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(ended.count(), 0);
    answer = true;
    channel.RequestEnd(true);
    channel.CommandAnswered();
    EXPECT_EQ(questions, 2);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(settingsWritten, 1) << "an EXIT reports and writes only at the end";
}

TEST(CommandChannel, EverySettingOfTheStatusNotifiesAndTheLogStaysBounded) {
    TCommandChannel channel;
    QSignalSpy status{&channel, &TCommandChannel::StatusChanged};
    channel.SetStatusText("NOSAVE");
    channel.SetStatusText("NOSAVE");
    ASSERT_EQ(status.count(), 2);
    EXPECT_EQ(status.at(1).at(0).toString(), "NOSAVE");

    for (int i = 0; i < TCommandChannel::LogLines + 5; ++i)
        channel.AppendLog(QString::number(i));
    EXPECT_EQ(channel.Log().size(), TCommandChannel::LogLines);
    EXPECT_EQ(channel.Log().first(), "5");
    channel.ClearLog();
    EXPECT_TRUE(channel.Log().isEmpty());
}
