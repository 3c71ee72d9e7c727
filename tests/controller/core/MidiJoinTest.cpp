// Joining the machines' MIDI files and waiting for them.

#include "FakeLink.h"
#include "RemoteWords.h"
#include "TextLines.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

// A format 0 file: header with the division, then one track chunk holding `body`.
std::string MidiFile(uint16_t division, const std::string& body) {
    std::string file("MThd\0\0\0\x06\0\0\0\x01", 12);
    file += static_cast<char>(division >> 8);
    file += static_cast<char>(division & 0xFF);
    const auto size = static_cast<uint32_t>(body.size());
    file += "MTrk";
    for (int shift = 24; shift >= 0; shift -= 8)
        file += static_cast<char>((size >> shift) & 0xFF);
    return file + body;
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

TEST(MidiJoin, FormatOneWithTheFirstFilesHeaderThenEveryTrack) {
    TempDir dir;
    const std::string one = MidiFile(200, "first");
    const std::string big(70000, 'x'); // past the 64 KiB a later file was once read in
    dir.Write("s1.mid", one);
    dir.Write("s2.mid", MidiFile(96, "second"));
    dir.Write("s3.mid", MidiFile(96, big));
    CombineMidiFiles({Q(dir.File("s1.mid")), "", "", ""}, 1, Q(dir.File("one.mid")));
    std::string expected = one;
    expected[9] = 1;
    EXPECT_EQ(TempDir::Read(dir.File("one.mid")), expected);

    CombineMidiFiles({Q(dir.File("s1.mid")), Q(dir.File("s2.mid")), Q(dir.File("s3.mid")), ""}, 3,
                     Q(dir.File("three.mid")));
    expected[11] = 3;
    expected += MidiFile(96, "second").substr(14) + MidiFile(96, big).substr(14);
    const std::string joined = TempDir::Read(dir.File("three.mid"));
    EXPECT_EQ(joined.size(), expected.size());
    EXPECT_TRUE(joined == expected) << "division 200 of the first file, tracks in slot order";
}

TEST(MidiJoin, InputsThatAreNoMidiFileAreRefusedAndTheOutputKept) {
    TempDir dir;
    dir.Write("good.mid", MidiFile(96, "t"));
    dir.Write("out.mid", "old");
    const auto refused = [&](const std::string& content) {
        dir.Write("bad.mid", content);
        try {
            CombineMidiFiles({Q(dir.File("good.mid")), Q(dir.File("bad.mid")), "", ""}, 2,
                             Q(dir.File("out.mid")));
        } catch (const TControlError& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    const std::string message = dir.File("bad.mid") + " is not a Standard MIDI File";
    EXPECT_EQ(refused("MThd\0\0\0\x06\0\0"), message) << "shorter than a header";
    EXPECT_EQ(refused(std::string("MThd\0\0\0\x07\0\0\0\x01\0\x60", 14)), message);
    EXPECT_EQ(refused(std::string("RIFF\0\0\0\x06\0\0\0\x01\0\x60", 14)), message);
    std::filesystem::remove(dir.File("bad.mid"));
    EXPECT_EQ(refused(""), message);
    std::filesystem::remove(dir.File("bad.mid"));
    try {
        CombineMidiFiles({Q(dir.File("bad.mid")), "", "", ""}, 1, Q(dir.File("out.mid")));
    } catch (const TControlError& error) {
        EXPECT_EQ(error.what(), "Cannot open file " + dir.File("bad.mid"));
    }
    EXPECT_EQ(TempDir::Read(dir.File("out.mid")), "old");
}

TEST(MidiJoin, TheExportWaitsForEveryFileThenJoinsAndDeletesThem) {
    TFakeController c;
    EXPECT_FALSE(c.core->StartMidiExport(c.Folder() + "song.mid")) << "no machine runs";
    c.core->StartMachine(2);
    c.ClearJournal();
    ASSERT_TRUE(c.core->StartMidiExport(c.Folder() + "song.mid"));
    EXPECT_EQ(c.journal.Sent(),
              QStringList({SentStep("PK1", RemoteWords::SaveMidi, c.Folder() + "song"),
                           SentStep("PK0", RemoteWords::SaveMidi, c.Folder() + "song")}));
    c.dir.Write("song1.mid", MidiFile(96, "a"));
    EXPECT_EQ(c.core->PollMidiExport(), TMidiExportWait::TState::Waiting);
    c.dir.Write("song2.mid", MidiFile(96, "b"));
    EXPECT_EQ(c.core->PollMidiExport(), TMidiExportWait::TState::Joined);
    EXPECT_EQ(TempDir::Read(c.dir.File("song.mid")).substr(8, 4), std::string("\0\x01\0\x02", 4));
    EXPECT_FALSE(std::filesystem::exists(c.dir.File("song1.mid")));
    EXPECT_FALSE(std::filesystem::exists(c.dir.File("song2.mid")));

    ASSERT_TRUE(c.core->StartMidiExport(c.Folder() + "late.mid"));
    c.dir.Write("late1.mid", MidiFile(96, "a"));
    for (int tick = 1; tick < 20; ++tick)
        ASSERT_EQ(c.core->PollMidiExport(), TMidiExportWait::TState::Waiting) << tick;
    EXPECT_EQ(c.core->PollMidiExport(), TMidiExportWait::TState::TimedOut);
    EXPECT_EQ(c.core->Log().last(),
              "Midi-Export abgebrochen, es fehlen: " + c.Folder() + "late2.mid");
    EXPECT_TRUE(std::filesystem::exists(c.dir.File("late1.mid"))) << "written files stay";
    EXPECT_FALSE(std::filesystem::exists(c.dir.File("late.mid")));
}

TEST(MidiJoin, AMachineThatEndsStopsTheExportAtOnceAndLeavesNoFiles) {
    TFakeController c;
    c.core->StartMachine(3);
    QString failure;
    QObject::connect(c.core.get(), &TClientCore::Failed, [&](const QString& m) { failure = m; });
    ASSERT_TRUE(c.core->StartMidiExport(c.Folder() + "song.mid"));
    c.dir.Write("song1.mid", MidiFile(96, "a"));
    c.dir.Write("song3.mid", MidiFile(96, "c"));
    c.Fake(2).Drop();
    EXPECT_EQ(c.core->MidiExport().State(), TMidiExportWait::TState::Failed);
    EXPECT_EQ(failure, "machine 2 ended before the MIDI export was complete");
    EXPECT_FALSE(std::filesystem::exists(c.dir.File("song1.mid")));
    EXPECT_FALSE(std::filesystem::exists(c.dir.File("song3.mid")));
    EXPECT_EQ(c.core->PollMidiExport(), TMidiExportWait::TState::Failed);
    EXPECT_FALSE(std::filesystem::exists(c.dir.File("song.mid")));

    // The next export joins the machines that are left.
    ASSERT_TRUE(c.core->StartMidiExport(c.Folder() + "two.mid"));
    c.dir.Write("two1.mid", MidiFile(96, "a"));
    c.dir.Write("two3.mid", MidiFile(96, "c"));
    EXPECT_EQ(c.core->PollMidiExport(), TMidiExportWait::TState::Joined);
    EXPECT_EQ(TempDir::Read(c.dir.File("two.mid")).substr(8, 4), std::string("\0\x01\0\x02", 4));
}

} // namespace
