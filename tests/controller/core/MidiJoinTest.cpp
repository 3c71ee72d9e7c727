// Joining the machines' MIDI files and waiting for them.

#include "FakeLink.h"
#include "RemoteWords.h"
#include "TextLines.h"

#include <QFile>
#include <array>
#include <gtest/gtest.h>
#include <map>
#include <vector>

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

std::string Big(uint32_t value, int bytes) {
    std::string out;
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
    return out;
}

std::string Variable(uint32_t value) {
    std::string out(1, static_cast<char>(value & 0x7F));
    while (value >>= 7)
        out.insert(out.begin(), static_cast<char>(0x80 | (value & 0x7F)));
    return out;
}

// A machine's export: a tick is a millisecond (division 4 x step time, tempo 4000 x step time
// microseconds per quarter), one note of a step at each of `notes` (ms).
std::string MachineFile(int stepTime, const std::vector<int>& notes) {
    std::string body = std::string("\0\xFF\x58\x04\x04\x02\x18\x08", 8) +
                       std::string("\0\xFF\x51\x03", 4) + Big(4000 * stepTime, 3) +
                       std::string("\0\xFF\x21\x01\x01\0\xFF\x20\x01\0", 10);
    int last = 0;
    for (const int note : notes) {
        body += Variable(note - last) + "\x90\x30\x7F" + Variable(stepTime) + "\x80\x30\x7F";
        last = note + stepTime;
    }
    body += std::string("\0\xFF\x2F\0", 4);
    return MidiFile(static_cast<uint16_t>(4 * stepTime), body);
}

// The note-on times of every track in milliseconds, as a player times them: the division of
// the header and one tempo map made of the tempo events of all tracks (at one tick, the later
// track's event is the one that holds).
std::vector<std::vector<double>> NoteOnMilliseconds(const std::string& file) {
    const auto byte = [&](size_t at) { return static_cast<uint8_t>(file.at(at)); };
    const double division = byte(12) * 256 + byte(13);
    std::map<uint64_t, uint32_t> tempos{{0, 500000}};
    std::vector<std::vector<uint64_t>> noteTicks;
    for (size_t chunk = 14; chunk + 8 <= file.size();) {
        const size_t end = chunk + 8 +
                           (uint32_t(byte(chunk + 4)) << 24 | uint32_t(byte(chunk + 5)) << 16 |
                            uint32_t(byte(chunk + 6)) << 8 | byte(chunk + 7));
        auto& notes = noteTicks.emplace_back();
        uint64_t tick = 0;
        for (size_t at = chunk + 8; at < end;) {
            uint32_t delta = 0;
            do
                delta = (delta << 7) | (byte(at) & 0x7F);
            while (byte(at++) & 0x80);
            tick += delta;
            const uint8_t status = byte(at++);
            if (status == 0xFF) {
                const uint8_t type = byte(at++);
                const uint8_t length = byte(at++);
                if (type == 0x51)
                    tempos[tick] = byte(at) << 16 | byte(at + 1) << 8 | byte(at + 2);
                at += length;
            } else {
                if ((status & 0xF0) == 0x90 && byte(at + 1) > 0)
                    notes.push_back(tick);
                at += (status & 0xF0) == 0xC0 ? 1 : 2;
            }
        }
        chunk = end;
    }
    const auto milliseconds = [&](uint64_t tick) {
        double ms = 0;
        for (auto change = tempos.begin(); change != tempos.end() && change->first < tick;
             ++change) {
            const auto next = std::next(change);
            const uint64_t until = next == tempos.end() ? tick : std::min(next->first, tick);
            ms += double(until - change->first) * change->second / division / 1000;
        }
        return ms;
    };
    std::vector<std::vector<double>> times;
    for (const auto& notes : noteTicks) {
        auto& track = times.emplace_back();
        for (const uint64_t tick : notes)
            track.push_back(milliseconds(tick));
    }
    return times;
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

TEST(MidiJoin, EveryTrackSoundsAsItsMachinesOwnFileAtEveryTempo) {
    TempDir dir;
    const std::vector<std::string> files{MachineFile(444, {0, 1332, 7104, 14208}),
                                         MachineFile(200, {0, 200, 3200, 14000}),
                                         MachineFile(30, {60, 480, 9990})};
    std::array<QString, 4> names;
    for (size_t i = 0; i < files.size(); ++i)
        names[i] = Q(dir.Write("m" + std::to_string(i + 1) + ".mid", files[i]));
    CombineMidiFiles(names, 3, Q(dir.File("band.mid")));
    const std::string joined = TempDir::Read(dir.File("band.mid"));
    const auto tracks = NoteOnMilliseconds(joined);
    ASSERT_EQ(tracks.size(), 3u);
    for (size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(tracks[i], NoteOnMilliseconds(files[i])[0]) << "track " << i + 1;
    EXPECT_EQ(tracks[0], std::vector<double>({0, 1332, 7104, 14208}));

    // Only the tempo values of the later tracks differ from a plain join.
    std::string expected = files[0];
    expected[9] = 1;
    expected[11] = 3;
    for (size_t i = 1; i < files.size(); ++i)
        expected += files[i].substr(14, 20) + Big(4000 * 444, 3) + files[i].substr(37);
    EXPECT_TRUE(joined == expected);
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
    QStringList failures;
    QStringList logged;
    QObject::connect(c.core.get(), &TClientCore::Failed, [&](const QString& m) { failures << m; });
    QObject::connect(c.core.get(), &TClientCore::LogAppended,
                     [&](const QString& line) { logged << line; });
    ASSERT_TRUE(c.core->StartMidiExport(c.Folder() + "song.mid"));
    c.dir.Write("song1.mid", MidiFile(96, "a"));
    c.dir.Write("song3.mid", MidiFile(96, "c"));
    c.Fake(2).Drop();
    EXPECT_EQ(c.core->MidiExport().State(), TMidiExportWait::TState::Failed);
    EXPECT_FALSE(std::filesystem::exists(c.dir.File("song1.mid")));
    EXPECT_FALSE(std::filesystem::exists(c.dir.File("song3.mid")));
    c.Fake(2).StatusChanged(AsStatusLine(RemoteWords::Shutdown)); // its last word, late
    EXPECT_EQ(c.core->PollMidiExport(), TMidiExportWait::TState::Failed);
    EXPECT_EQ(c.core->PollMidiExport(), TMidiExportWait::TState::Failed);
    EXPECT_FALSE(std::filesystem::exists(c.dir.File("song.mid")));
    const QString failure = "machine 2 ended before the MIDI export was complete";
    EXPECT_EQ(failures, QStringList{failure}) << "one failure, one message";
    EXPECT_EQ(logged.filter(failure).size(), 1);

    // The next export joins the machines that are left.
    ASSERT_TRUE(c.core->StartMidiExport(c.Folder() + "two.mid"));
    c.dir.Write("two1.mid", MidiFile(96, "a"));
    c.dir.Write("two3.mid", MidiFile(96, "c"));
    EXPECT_EQ(c.core->PollMidiExport(), TMidiExportWait::TState::Joined);
    EXPECT_EQ(TempDir::Read(c.dir.File("two.mid")).substr(8, 4), std::string("\0\x01\0\x02", 4));
}

} // namespace
