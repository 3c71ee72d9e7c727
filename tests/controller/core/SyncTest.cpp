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

} // namespace
