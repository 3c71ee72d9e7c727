// Options > Synchronisation: kept in the settings, handed to the machines the controller starts,
// and the same commands on the wire whether the machines follow the JACK transport or not.

#include "FakeLink.h"
#include "RemoteWords.h"

#include <gtest/gtest.h>

namespace {

std::string CrLfLines(const QStringList& lines) {
    std::string text;
    for (const QString& line : lines)
        text += line.toStdString() + "\r\n";
    return text;
}

const QStringList Six{"4", "10", "20", "/p", "2", "/m"};

TEST(Sync, TheOptionsAreLinesEightAndNineAndOlderFilesReadWhole) {
    TFakeController c;
    const QString path = c.Folder() + "PKControl.ini";
    c.dir.Write("PKControl.ini", CrLfLines(Six));
    ASSERT_TRUE(c.core->ReadSettings(path));
    EXPECT_FALSE(c.core->FollowsTransport()) << "a file of an older version";
    EXPECT_FALSE(c.core->SendsClock());

    c.core->ChooseSendClock(true);
    ASSERT_TRUE(c.core->WriteSettings(path));
    EXPECT_EQ(TempDir::Read(path.toStdString()), CrLfLines(QStringList(Six) << ""
                                                                            << "JACK Transport Off"
                                                                            << "MIDI Clock On"))
        << "no language chosen: its line stays empty";
    TFakeController next;
    ASSERT_TRUE(next.core->ReadSettings(path));
    EXPECT_TRUE(next.core->SendsClock());
    EXPECT_FALSE(next.core->FollowsTransport());
    EXPECT_EQ(next.core->Settings().Language, std::nullopt);
    EXPECT_EQ(next.core->Settings().MidiDirectory, "/m");

    next.core->ChooseFollowTransport(true);
    next.core->ChooseSendClock(false);
    next.core->ChooseLanguage(TLanguage::English);
    ASSERT_TRUE(next.core->WriteSettings(path));
    EXPECT_EQ(TempDir::Read(path.toStdString()),
              CrLfLines(QStringList(Six) << "en"
                                         << "JACK Transport On"));
    TFakeController third;
    ASSERT_TRUE(third.core->ReadSettings(path));
    EXPECT_TRUE(third.core->FollowsTransport()) << "a file without the clock line";
    EXPECT_FALSE(third.core->SendsClock());
    EXPECT_EQ(third.core->Language(), TLanguage::English);

    third.core->ChooseFollowTransport(false);
    ASSERT_TRUE(third.core->WriteSettings(path));
    EXPECT_EQ(TempDir::Read(path.toStdString()), CrLfLines(QStringList(Six) << "en"));
}

TEST(Sync, MachinesStartedAfterAChoiceGetItThoseRunningKeepTheirs) {
    TFakeController c;
    c.core->StartMachine(1);
    const QList<QByteArray> sentToFirst = c.Fake(1).wire;
    c.core->ChooseFollowTransport(true);
    c.core->ChooseSendClock(true);
    EXPECT_EQ(c.Fake(1).wire, sentToFirst) << "nothing about it goes over the wire";
    c.core->StartMachine(3);
    EXPECT_EQ(c.Fake(1).startSync, TStartSync{});
    for (const int slot : {2, 3})
        EXPECT_EQ(c.Fake(slot).startSync, (TStartSync{true, true})) << slot;
    c.core->ChooseSendClock(false);
    c.core->StartMachine(4);
    EXPECT_EQ(c.Fake(4).startSync, (TStartSync{true, false}));
}

// With "JACK-Transport" on, SONG, PATTERN and stop reach every running machine once, as they do
// without it: each following machine takes the mode and line, then starts the one transport.
TEST(Sync, PlayAndStopSendTheSameBytesToEveryMachineWithTheTransport) {
    TFakeController c;
    c.core->ChooseFollowTransport(true);
    c.core->StartMachine(3);
    for (TFakeLink* fake : c.fakes)
        fake->wire.clear();
    c.core->PlaySong();
    c.core->StopAll();
    c.core->PlayPattern();
    c.core->StopAll();
    const QList<QByteArray> expected = {"PLAYSONG\r\n0\r\n", "STOP\r\n0\r\n",
                                        "PLAYPATTERN\r\n0\r\n", "STOP\r\n0\r\n"};
    for (int slot = 1; slot <= 3; ++slot)
        EXPECT_EQ(c.Fake(slot).wire, expected) << slot;
    EXPECT_TRUE(c.Fake(4).wire.isEmpty());
}

// "Ableton Link" is the tenth line (written only while it or a line before it differs from its
// default); the machines started after the choice get "--link", and a controller that reads it
// joins the session at once.
TEST(Sync, LinkIsLineTenAndReachesTheMachinesStartedAfterIt) {
    TFakeController c;
    const QString path = c.Folder() + "PKControl.ini";
    c.dir.Write("PKControl.ini", CrLfLines(QStringList(Six) << "en"
                                                            << "JACK Transport Off"
                                                            << "MIDI Clock On"));
    ASSERT_TRUE(c.core->ReadSettings(path));
    EXPECT_FALSE(c.core->LinksOn()) << "a file of an older version";
    EXPECT_FALSE(c.session.joinedWith);
    c.core->StartMachine(1);
    c.core->ChooseLink(true);
    c.core->StartMachine(2);
    EXPECT_EQ(c.Fake(1).startSync, (TStartSync{false, true, false}));
    EXPECT_EQ(c.Fake(2).startSync, (TStartSync{false, true, true}));
    ASSERT_TRUE(c.core->WriteSettings(path));
    EXPECT_EQ(TempDir::Read(path.toStdString()), CrLfLines(QStringList(Six) << "en"
                                                                            << "JACK Transport Off"
                                                                            << "MIDI Clock On"
                                                                            << "Ableton Link On"));

    TFakeController next;
    ASSERT_TRUE(next.core->ReadSettings(path));
    EXPECT_TRUE(next.core->LinksOn());
    EXPECT_EQ(next.session.joinedWith, 75.0) << "with the tempo the bar starts at, 200 ms";
    next.core->ChooseLink(false);
    next.core->ChooseSendClock(false);
    ASSERT_TRUE(next.core->WriteSettings(path));
    EXPECT_EQ(TempDir::Read(path.toStdString()), CrLfLines(QStringList(Six) << "en"));
}

// "MIDI-Clock folgen" is the eleventh line; a file of ten lines reads whole with it off. The
// machines started after the choice get "--follow-clock" after the other options.
TEST(Sync, FollowClockIsLineElevenAndReachesTheMachinesStartedAfterIt) {
    TFakeController c;
    const QString path = c.Folder() + "PKControl.ini";
    const QStringList ten = QStringList(Six) << "en"
                                             << "JACK Transport On"
                                             << "MIDI Clock Off"
                                             << "Ableton Link Off";
    c.dir.Write("PKControl.ini", CrLfLines(ten));
    ASSERT_TRUE(c.core->ReadSettings(path));
    EXPECT_FALSE(c.core->FollowsClock()) << "a file of an older version";
    EXPECT_TRUE(c.core->FollowsTransport());
    c.core->StartMachine(1);
    c.core->ChooseFollowClock(true);
    c.core->StartMachine(2);
    EXPECT_EQ(c.Fake(1).startSync, (TStartSync{true, false, false, false}));
    EXPECT_EQ(c.Fake(2).startSync, (TStartSync{true, false, false, true}));
    EXPECT_EQ(StartSyncArguments(c.Fake(2).startSync.value()),
              QStringList({"--follow-transport", "--follow-clock"}));
    EXPECT_EQ(StartSyncArguments({true, true, true, true}),
              QStringList({"--follow-transport", "--clock", "--link", "--follow-clock"}));
    EXPECT_TRUE(StartSyncArguments({}).isEmpty());

    ASSERT_TRUE(c.core->WriteSettings(path));
    EXPECT_EQ(TempDir::Read(path.toStdString()),
              CrLfLines(QStringList(ten) << "Follow MIDI Clock On"));
    TFakeController next;
    ASSERT_TRUE(next.core->ReadSettings(path));
    EXPECT_TRUE(next.core->FollowsClock());
    EXPECT_FALSE(next.core->LinksOn());
    next.core->ChooseLink(true);
    EXPECT_FALSE(next.core->FollowsClock()) << "a machine follows Link or a clock, not both";
    next.core->ChooseFollowClock(true);
    EXPECT_FALSE(next.core->LinksOn());
    next.core->ChooseFollowClock(false);
    next.core->ChooseFollowTransport(false);
    ASSERT_TRUE(next.core->WriteSettings(path));
    EXPECT_EQ(TempDir::Read(path.toStdString()), CrLfLines(QStringList(Six) << "en"));
}

TEST(LinkTempo, ASessionTempoPutsTheBarAtTheNearestStepTime) {
    EXPECT_EQ(BarPositionOfBpm(125), 1030 - 120);
    EXPECT_EQ(BarPositionOfBpm(124.9), 1030 - 120) << "120.1 ms";
    EXPECT_EQ(BarPositionOfBpm(123.45), 1030 - 122) << "121.5 ms";
    EXPECT_EQ(BarPositionOfBpm(75), TClientCore::DefaultTempo);
    EXPECT_EQ(BarPositionOfBpm(600), 1000) << "faster than the bar: its fastest end, 30 ms";
    EXPECT_EQ(BarPositionOfBpm(10), 30) << "slower than the bar: its slowest end, 1000 ms";
    EXPECT_EQ(BarPositionOfBpm(0), 30);
    EXPECT_DOUBLE_EQ(BpmOfBarPosition(1030 - 120), 125.0);
}

// The bar follows the session and sends nothing; the user's tempo goes to the machines and to the
// session; a machine started meanwhile takes the session's exact tempo, so it gets no SETSPEED.
TEST(LinkTempo, TheControllerFollowsTheSessionWithoutSendingItsTempoBack) {
    TFakeController c;
    c.core->StartMachine(2);
    c.core->ChooseLink(true);
    QList<int> followed;
    QObject::connect(c.core.get(), &TClientCore::TempoFollowed,
                     [&followed](int position) { followed << position; });
    c.ClearJournal();
    c.session.bpm = 125;
    c.core->FollowSessionTempo();
    c.core->FollowSessionTempo();
    EXPECT_EQ(followed, QList<int>{910}) << "a position once, when it changes";
    EXPECT_TRUE(c.journal.Sent().isEmpty()) << c.journal.steps.join('\n').toStdString();

    c.core->SetSpeed(830);
    EXPECT_EQ(c.journal.Sent(), QStringList({SentStep("PK0", RemoteWords::SetSpeed, "830"),
                                             SentStep("PK1", RemoteWords::SetSpeed, "830")}));
    EXPECT_EQ(c.session.proposed, std::vector<double>{75.0});
    c.core->FollowSessionTempo();
    EXPECT_EQ(followed.size(), 1) << "the bar stays where the user put it";

    c.ClearJournal();
    c.core->StartMachine(3);
    EXPECT_TRUE(c.journal.Sent().filter(RemoteWords::SetSpeed).isEmpty());

    c.core->ChooseLink(false);
    c.session.bpm = 100;
    c.core->FollowSessionTempo();
    EXPECT_EQ(followed.size(), 1) << "Link off: the controller has left the session";
    c.core->StartMachine(4);
    EXPECT_EQ(c.journal.Sent().filter(RemoteWords::SetSpeed),
              QStringList({SentStep("PK3", RemoteWords::SetSpeed, "830")}));
}

} // namespace
