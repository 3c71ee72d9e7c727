#include "SongPrinter.h"
#include "StringConvert.h"
#include "TempDir.h"
#include "files/ExportPk.h"
#include "files/FileError.h"
#include "files/ImportPk.h"
#include "session/MachineTexts.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <gtest/gtest.h>

namespace {

const std::string WorkedExample = "Plinkora Song\r\n"
                                  "200 ms\r\n"
                                  "2 Pattern\r\n"
                                  "10 0 12 12 \r\n"
                                  "5 5 7 9 \r\n"
                                  "3 Songlines\r\n"
                                  "1 1 2 \r\n"
                                  "Transponition\r\n"
                                  "0 0 \r\n"
                                  "0 Patch\r\n"
                                  "-1 Device\r\n"
                                  "1 Channel\r\n"
                                  "37 Range\r\n"
                                  "4\r\n"
                                  "-\r\n"
                                  "4\r\n"
                                  "0 0 1 3 \r\n"
                                  "0 0 0 0 \r\n"
                                  "1 1 2 2 \r\n"
                                  "1 1 1 1 \r\n"
                                  "(1) \r\n"
                                  "(2) copy of 1\r\n"
                                  "0\r\n";

// Every stored field away from its default, so that defaults show when a layout is cut short.
const std::string Busy = "Plinkora Song\r\n" // 1
                         "150 ms\r\n"        // 2
                         "2 Pattern\r\n"     // 3
                         "10 0 12 12 \r\n"   // 4
                         "5 5 7 9 \r\n"      // 4
                         "3 Songlines\r\n"   // 5
                         "1 2 2 \r\n"        // 6
                         "Transponition\r\n" // 7
                         "2 -3 \r\n"         // 8
                         "5 Patch\r\n"       // 9
                         "3 Device\r\n"      // 10
                         "10 Channel\r\n"    // 11
                         "49 Range\r\n"      // 12
                         "3\r\n"             // 13
                         "-\r\n"             // 14
                         "8\r\n"             // 15
                         "0 0 1 3 \r\n"      // 16
                         "0 2 0 0 \r\n"      // 16
                         "1 1 2 2 \r\n"      // 17
                         "1 1 1 1 \r\n"      // 17
                         "lead\r\n"          // 18
                         "bass line\r\n"     // 18
                         "7\r\n";            // 19

std::string FirstLines(const std::string& text, int count) {
    size_t end = 0;
    for (int i = 0; i < count; ++i)
        end = text.find('\n', end) + 1;
    return text.substr(0, end);
}

TPkSong WorkedExampleSong() {
    TPkSong song;
    song.StepTime = 200;
    song.Steps = 4;
    song.StepCapacity = 4;
    ResizePatternPool(song, 2);
    song.Notes = {{}, {0, 10, 0, 12, 12}, {0, 5, 5, 7, 9}};
    song.Gates = {{}, {0, 0, 0, 1, 3}, {0, 0, 0, 0, 0}};
    song.Lengths = {{}, {0, 1, 1, 2, 2}, {0, 1, 1, 1, 1}};
    song.Velocities = {{}, {0, 127, 127, 127, 127}, {0, 127, 127, 127, 127}};
    song.SonglineCount = 3;
    song.Songlines = {0, 1, 1, 2};
    song.Transpose = {0, 0, 0};
    song.PatternNames = {"", "(1) ", "(2) copy of 1"};
    song.Patch = 0;
    song.Device = -1;
    song.Channel = 1;
    song.Range = 37;
    song.Bank = 0;
    return song;
}

class SongFile : public ::testing::Test {
protected:
    bool Load(const std::string& contents, const std::string& name = "song.pks") {
        return ReadSong(dir.Write(name, contents), song, tempo);
    }
    TempDir dir;
    TPkSong song;
    TTempoInfo tempo;
};

} // namespace

TEST_F(SongFile, WorkedExampleIsWrittenByteForByte) {
    TPkSong example = WorkedExampleSong();
    example.SongModified = true;
    WriteSong(dir.File("out.pks"), example, TTempoInfo{});
    EXPECT_EQ(TempDir::Read(dir.File("out.pks")), WorkedExample);
    EXPECT_FALSE(example.SongModified);
}

TEST_F(SongFile, WorkedExampleReadsIntoEveryField) {
    song.SongReady = true;
    song.SongModified = true;
    ASSERT_TRUE(Load(WorkedExample, "Worked Example.pks"));
    TPkSong expected = WorkedExampleSong();
    expected.Name = "Worked Example";
    expected.MaxNote = 12;
    expected.MinNote = 0;
    expected.SongReady = true;
    EXPECT_EQ(song, expected);
    EXPECT_EQ(tempo.SigNumerator, 4);
    EXPECT_EQ(tempo.SigDenominator, 4);
    EXPECT_EQ(tempo.MsPerStep, 200);

    WriteSong(dir.File("again.pks"), song, tempo);
    EXPECT_EQ(TempDir::Read(dir.File("again.pks")), WorkedExample);
}

TEST_F(SongFile, FullLayoutRoundTripsEveryStoredField) {
    ASSERT_TRUE(Load(Busy));
    EXPECT_EQ(song.StepTime, 150);
    EXPECT_EQ(song.Transpose, (std::vector<int32_t>{0, 2, -3}));
    EXPECT_EQ(song.Patch, 5);
    EXPECT_EQ(song.Device, 3);
    EXPECT_EQ(song.Channel, 10);
    EXPECT_EQ(song.Range, 49);
    EXPECT_EQ(tempo.SigNumerator, 3);
    EXPECT_EQ(tempo.SigDenominator, 8);
    EXPECT_EQ(tempo.ClocksPerClick, 18);
    EXPECT_EQ(song.Gates[2][2], gtHold);
    EXPECT_EQ(song.PatternNames[2], "bass line");
    EXPECT_EQ(song.Bank, 7);
    for (const auto& steps : song.Velocities)
        for (size_t s = 1; s < steps.size(); ++s)
            EXPECT_EQ(steps[s], 127);
    WriteSong(dir.File("busy.pks"), song, tempo);
    EXPECT_EQ(TempDir::Read(dir.File("busy.pks")), Busy);
}

// Lines of the busy file: 23 in all; the shorter layouts end after a whole group.
TEST_F(SongFile, OlderLayoutsFillTheMissingFieldsWithDefaults) {
    struct Layout {
        int lines;
        bool settings, signature, steps, names, bank;
    };
    for (const Layout& layout :
         {Layout{7, false, false, false, false, false},
          Layout{9, false, false, false, false, false},
          Layout{13, true, false, false, false, false}, Layout{16, true, true, false, false, false},
          Layout{20, true, true, true, false, false}, Layout{22, true, true, true, true, false},
          Layout{23, true, true, true, true, true}}) {
        SCOPED_TRACE(layout.lines);
        tempo = TTempoInfo{};
        tempo.SigNumerator = 7; // whatever the previous song had
        ASSERT_TRUE(Load(FirstLines(Busy, layout.lines)));
        EXPECT_EQ(song.Songlines, (std::vector<int32_t>{0, 1, 2, 2}));
        EXPECT_EQ(song.Transpose[2], layout.settings ? -3 : 0);
        EXPECT_EQ(song.Patch, layout.settings ? 5 : 0);
        EXPECT_EQ(song.Device, layout.settings ? 3 : -1);
        EXPECT_EQ(song.Channel, layout.settings ? 10 : 1);
        EXPECT_EQ(song.Range, layout.settings ? 49 : 37);
        EXPECT_EQ(tempo.SigNumerator, layout.signature ? 3 : 4);
        EXPECT_EQ(tempo.SigDenominator, layout.signature ? 8 : 4);
        EXPECT_EQ(song.Gates[1][4], layout.steps ? gtEnd : gtSingle);
        EXPECT_EQ(song.Lengths[1][3], layout.steps ? 2 : 1);
        EXPECT_EQ(song.Velocities[2][4], 127);
        EXPECT_EQ(song.PatternNames[1], layout.names ? "lead" : "(1)");
        EXPECT_EQ(song.PatternNames[2], layout.names ? "bass line" : "(2)");
        EXPECT_EQ(song.Bank, layout.bank ? 7 : 0);
    }
}

TEST_F(SongFile, ShortNoteLinesSetTheStepCount) {
    ASSERT_TRUE(Load("Plinkora Song\r\n200 ms\r\n2 Pattern\r\n1 2 3 4 5 6 7 8 \r\n"
                     "8 7 6 5 4 3 2 1 \r\n1 Songlines\r\n2 \r\n"));
    EXPECT_EQ(song.Steps, 8);
    EXPECT_EQ(song.StepCapacity, 8);
    for (int p = 1; p <= 2; ++p) {
        EXPECT_EQ(song.Notes[p].size(), 9u);
        EXPECT_EQ(song.Gates[p].size(), 9u);
        EXPECT_EQ(song.Lengths[p].size(), 9u);
        EXPECT_EQ(song.Velocities[p].size(), 9u);
    }
    EXPECT_EQ(song.Notes[2][1], 8);
    EXPECT_EQ(song.MaxNote, 8);
    EXPECT_EQ(song.MinNote, 1);
}

TEST_F(SongFile, NoteLinesOfDifferentLengthsArePaddedWithRests) {
    ASSERT_TRUE(Load("Plinkora Song\r\n200 ms\r\n3 Pattern\r\n"
                     "1 2 3 4 \r\n"
                     "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 \r\n"
                     "9 9 9 9 9 9 \r\n"
                     "1 Songlines\r\n1 \r\n"));
    EXPECT_EQ(song.Steps, 6) << "the last short line decides";
    for (int p = 1; p <= 3; ++p)
        ASSERT_EQ(song.Notes[p].size(), 7u);
    EXPECT_EQ(song.Notes[1], (std::vector<int32_t>{0, 1, 2, 3, 4, 0, 0}));
    EXPECT_EQ(song.Notes[2][6], 6);
    EXPECT_EQ(song.Gates[1][6], gtSingle);
    EXPECT_EQ(song.Lengths[1][6], 1);
    EXPECT_EQ(song.Velocities[1][6], 127);
}

TEST_F(SongFile, NotesCutAwayByTheStepCountDoNotCountAsTheHighest) {
    ASSERT_TRUE(
        Load("Plinkora Song\r\n200 ms\r\n2 Pattern\r\n1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 \r\n"
             "5 6 7 8 \r\n1 Songlines\r\n1 \r\n"));
    EXPECT_EQ(song.MaxNote, 8) << "steps 5 to 16 of pattern 1 are gone";
    EXPECT_TRUE(ChangeRange(song, 13));
}

TEST_F(SongFile, LongNoteLinesFillSixteenStepsAndIgnoreTheRest) {
    ASSERT_TRUE(Load("Plinkora Song\r\n200 ms\r\n1 Pattern\r\n"
                     "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 oops\r\n"
                     "1 Songlines\r\n1 \r\n"));
    EXPECT_EQ(song.Steps, 16);
    EXPECT_EQ(song.Notes[1][16], 16);
}

TEST_F(SongFile, ADeviceLineStartingWithMinusMeansNoDevice) {
    std::string text = WorkedExample;
    text.replace(text.find("-1 Device"), 9, "-5 Device");
    ASSERT_TRUE(Load(text));
    EXPECT_EQ(song.Device, -1);
}

TEST_F(SongFile, ASongWithoutSongLinesKeepsItsTranspositions) {
    TPkSong empty = WorkedExampleSong();
    empty.SonglineCount = 0;
    empty.Songlines = {0};
    empty.Transpose = {0, 4, 5};
    const std::string text = FormatSong(empty, TTempoInfo{});
    EXPECT_NE(text.find("0 Songlines\r\n\r\nTransponition\r\n4 5 \r\n"), std::string::npos);
    ASSERT_TRUE(Load(text));
    EXPECT_EQ(song.SonglineCount, 0);
    EXPECT_EQ(song.Songlines.size(), 1u);
    EXPECT_EQ(song.Transpose, (std::vector<int32_t>{0, 4, 5}));
}

TEST_F(SongFile, LineFeedEndsAndAMissingLastLineEndAreRead) {
    std::string text = WorkedExample;
    std::erase(text, '\r');
    text.pop_back();
    ASSERT_TRUE(Load(text));
    EXPECT_EQ(song.PatternNames[1], "(1) ");
    EXPECT_EQ(song.Bank, 0);
    EXPECT_EQ(FormatSong(song, tempo), WorkedExample);
}

// The file holds the names in Windows-1252, the song in UTF-8.
TEST_F(SongFile, PatternNamesAreWindowsTextInTheFile) {
    std::string text = WorkedExample;
    text.replace(text.find("(1) \r\n"), 4, "\xDCmlaut \x80 \x93\xE4\x94");
    text.replace(text.find("(2) copy of 1"), 13, "\x81\x8D\x8F\x90\x9D \xFF");
    ASSERT_TRUE(Load(text));
    EXPECT_EQ(song.PatternNames[1], "Ümlaut € “ä”");
    EXPECT_EQ(song.PatternNames[2], "\u0081\u008D\u008F\u0090\u009D ÿ");
    WriteSong(dir.File("again.pks"), song, tempo);
    EXPECT_EQ(TempDir::Read(dir.File("again.pks")), text);

    TPkSong typed = WorkedExampleSong();
    typed.PatternNames[1] = "Grüß ♪ \xC3";
    typed.PatternNames[2] = "two\r\nlines";
    const std::string written = FormatSong(typed, TTempoInfo{});
    EXPECT_NE(written.find("\r\nGr\xFC\xDF ? ?\r\ntwo  lines\r\n"), std::string::npos)
        << "what Windows-1252 cannot hold shows as '?'; a line break would shift the file";
}

TEST_F(SongFile, ALoneCarriageReturnInAPatternNameIsReadAsTheSpaceItIsSavedAs) {
    std::string text = WorkedExample;
    text.replace(text.find("(1) \r\n"), 4, "a\rb\r");
    ASSERT_TRUE(Load(text));
    EXPECT_EQ(song.PatternNames[1], "a b ");
    std::string saved = WorkedExample;
    EXPECT_EQ(FormatSong(song, tempo), saved.replace(saved.find("(1) "), 4, "a b "));
}

TEST_F(SongFile, TheNameIsTheFileNameWithoutFolderAndExtension) {
    ASSERT_TRUE(Load(WorkedExample, "My Song.pks"));
    EXPECT_EQ(song.Name, "My Song");
}

class RefusedSongFile : public SongFile {
protected:
    void SetUp() override {
        TTempoInfo startTempo;
        InitSong(song, startTempo, DefaultNote, 2, 17, "New Song");
        song.SongModified = true;
        tempo = startTempo;
        tempo.SigNumerator = 3;
        before = song;
        tempoBefore = tempo;
    }
    void ExpectUnchanged() {
        EXPECT_EQ(song, before);
        EXPECT_EQ(tempo.SigNumerator, tempoBefore.SigNumerator);
        EXPECT_EQ(tempo.MsPerStep, tempoBefore.MsPerStep);
    }
    // Loads `text` expecting an error whose message contains `message`.
    void ExpectRefused(const std::string& text, const std::string& message) {
        SCOPED_TRACE(message);
        try {
            Load(text);
            ADD_FAILURE() << "loaded";
        } catch (const FileError& error) {
            const std::string text = MessageText(error.Message(), TLanguage::English);
            EXPECT_NE(text.find(message), std::string::npos) << text;
        }
        ExpectUnchanged();
    }
    static std::string Replace(std::string text, const std::string& from, const std::string& to) {
        return text.replace(text.find(from), from.size(), to);
    }
    TPkSong before;
    TTempoInfo tempoBefore;
};

TEST_F(RefusedSongFile, AWrongHeaderReturnsFalse) {
    EXPECT_FALSE(Load(Replace(WorkedExample, "Plinkora Song", "plinkora song")));
    EXPECT_FALSE(Load(""));
    EXPECT_FALSE(Load("MThd"));
    ExpectUnchanged();
}

TEST_F(RefusedSongFile, MalformedNumbersNameTheOffendingText) {
    ExpectRefused(Replace(WorkedExample, "10 0 12", "10 x 12"), "'x' is not a valid integer value");
    ExpectRefused(Replace(WorkedExample, "0 0 1 3 ", "0 0  1 3 "), "'' is not a valid integer");
    ExpectRefused(Replace(WorkedExample, "200 ms", "2OO ms"), "'2OO' is not a valid integer");
    ExpectRefused(Replace(WorkedExample, "-\r\n4\r\n", "-\r\n4 \r\n"), "'4 ' is not a valid");
    ExpectRefused(Replace(WorkedExample, "copy of 1\r\n0", "copy of 1\r\nzero"), "'zero'");
}

TEST_F(RefusedSongFile, AFileEndingInsideAGroupOfLines) {
    for (int lines : {2, 3, 4, 5, 6, 8, 10, 11, 12, 14, 15, 17, 18, 19, 21}) {
        SCOPED_TRACE(lines);
        ExpectRefused(FirstLines(WorkedExample, lines), "the file ends before");
    }
}

TEST_F(RefusedSongFile, CountsThatCannotBeRight) {
    ExpectRefused(Replace(WorkedExample, "2 Pattern", "-2 Pattern"), "Pattern count -2");
    ExpectRefused(Replace(WorkedExample, "2 Pattern", "0 Pattern"), "Pattern count 0");
    ExpectRefused(Replace(WorkedExample, "2 Pattern", "256 Pattern"), "Pattern count 256");
    ExpectRefused(Replace(WorkedExample, "3 Songlines", "-1 Songlines"), "is negative");
    ExpectRefused(Replace(WorkedExample, "3 Songlines", "2000000000 Songlines"),
                  "holds 3 values where 2000000000 are needed");
    ExpectRefused(Replace(WorkedExample, "200 ms", "29 ms"), "Step time 29");
    ExpectRefused(Replace(WorkedExample, "200 ms", "1001 ms"), "Step time 1001");
    ExpectRefused(Replace(WorkedExample, "1 1 2 \r\n", "1 3 2 \r\n"), "Song line pattern 3");
    ExpectRefused(Replace(WorkedExample, "1 1 2 \r\n", "1 0 2 \r\n"), "Song line pattern 0");
    ExpectRefused(Replace(WorkedExample, "5 5 7 9 \r\n", "\r\n"), "pattern 2 has no notes");
    ExpectRefused(Replace(WorkedExample, "0 0 \r\n", "0 \r\n"), "the transposition list holds 1");
}

TEST_F(RefusedSongFile, ValuesThatWouldCorruptTheMidiOutput) {
    ExpectRefused(Replace(WorkedExample, "1 Channel", "17 Channel"), "Channel 17");
    ExpectRefused(Replace(WorkedExample, "1 Channel", "0 Channel"), "Channel 0");
    ExpectRefused(Replace(WorkedExample, "0 Patch", "128 Patch"), "Patch 128");
    ExpectRefused(Replace(WorkedExample, "37 Range", "36 Range"), "Range 36");
    ExpectRefused(Replace(WorkedExample, "10 0 12", "10 -1 12"), "Note value -1");
    ExpectRefused(Replace(WorkedExample, "0 0 1 3 ", "0 0 1 4 "), "Gate 4");
    ExpectRefused(Replace(WorkedExample, "1 1 2 2 ", "1 1 2 17 "), "Length 17");
    ExpectRefused(Replace(WorkedExample, "0 0 0 0 \r\n1 1", "0 0 0 \r\n1 1"),
                  "the gate line holds");
    ExpectRefused(Replace(WorkedExample, "-\r\n4\r\n", "-\r\n3\r\n"), "denominator 3");
    ExpectRefused(Replace(WorkedExample, "4\r\n-", "0\r\n-"), "numerator 0");
    ExpectRefused(Replace(WorkedExample, "copy of 1\r\n0", "copy of 1\r\n128"), "Bank 128");
}

TEST_F(RefusedSongFile, AMissingFileCannotBeOpened) {
    try {
        ReadSong(dir.File("none.pks"), song, tempo);
        ADD_FAILURE() << "loaded";
    } catch (const FileError& error) {
        EXPECT_EQ(error.Message(), CannotOpenMessage(dir.File("none.pks")));
    }
    ExpectUnchanged();
}

TEST(SongFileWriting, ReplacesTheOldFileWhole) {
    TempDir dir;
    const std::string path = dir.Write("a.pks", "old contents that are longer than the new ones" +
                                                    std::string(2000, 'x'));
    TPkSong song = WorkedExampleSong();
    WriteSong(path, song, TTempoInfo{});
    EXPECT_EQ(TempDir::Read(path), WorkedExample);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1)
        << "no temporary file is left beside it";
}

TEST(SongFileWriting, AFailedWriteLeavesWhatWasThere) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("taken.pks"));
    dir.Write("taken.pks/keep", "kept");
    TPkSong song = WorkedExampleSong();
    song.SongModified = true;
    try {
        WriteSong(dir.File("taken.pks"), song, TTempoInfo{});
        ADD_FAILURE() << "written";
    } catch (const FileError& error) {
        EXPECT_EQ(error.Message(), CannotCreateMessage(dir.File("taken.pks")));
    }
    EXPECT_TRUE(song.SongModified);
    EXPECT_EQ(TempDir::Read(dir.File("taken.pks/keep")), "kept");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    EXPECT_THROW(WriteSong(dir.File("no/such/folder.pks"), song, TTempoInfo{}), FileError);
}
