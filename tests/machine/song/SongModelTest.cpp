#include "song/SongModel.h"

#include "song/PatternFunctions.h"
#include "song/TempoInfo.h"

#include <gtest/gtest.h>

namespace {

TPkSong FreshSong(TTempoInfo& tempo) {
    TPkSong song;
    InitSong(song, tempo, DefaultNote, -1, 0, "New Song");
    return song;
}

void ExpectStepsFilled(const TPkSong& song, int32_t p, int32_t note, uint8_t velocity) {
    for (int32_t s = 1; s <= song.Steps; ++s) {
        SCOPED_TRACE(s);
        EXPECT_EQ(song.Notes[p][s], note);
        EXPECT_EQ(song.Gates[p][s], gtSingle);
        EXPECT_EQ(song.Lengths[p][s], 1);
        EXPECT_EQ(song.Velocities[p][s], velocity);
    }
}

} // namespace

TEST(InitSong, GivesTheFreshMachineSong) {
    TTempoInfo tempo;
    const TPkSong song = FreshSong(tempo);
    EXPECT_EQ(song.Name, "New Song");
    EXPECT_EQ(song.PatternCount, 1);
    EXPECT_EQ(song.Steps, 16);
    ASSERT_EQ(song.Notes.size(), 2u);
    ASSERT_EQ(song.Notes[1].size(), 17u);
    ExpectStepsFilled(song, 1, 10, 127);
    EXPECT_EQ(song.SonglineCount, 1);
    EXPECT_EQ(song.Songlines, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(song.Transpose, (std::vector<int32_t>{0, 0}));
    EXPECT_EQ(song.StepTime, 200);
    EXPECT_EQ(song.Channel, 1);
    EXPECT_EQ(song.Range, 37);
    EXPECT_EQ(song.MaxNote, 10);
    EXPECT_EQ(song.MinNote, 10);
    EXPECT_TRUE(song.SongReady);
    EXPECT_DOUBLE_EQ(tempo.Bpm, 75.0);
    EXPECT_EQ(tempo.MsPerQuarter, 800);
    EXPECT_EQ(tempo.UsPerQuarter, 800000);
}

TEST(InitSong, TakesDeviceAndPatchFromTheMainWindow) {
    TTempoInfo tempo;
    TPkSong song;
    InitSong(song, tempo, 10, 2, 33, "Neuer Song");
    EXPECT_EQ(song.Device, 2);
    EXPECT_EQ(song.Patch, 33);
    EXPECT_EQ(song.Name, "Neuer Song");
}

class NewCommands : public ::testing::Test {
protected:
    void SetUp() override {
        song = FreshSong(tempo);
        ResizePatternPool(song, 3);
        song.PatternNames = {"", "(1) ", "(2) ", "(3) bass"};
        song.Notes[2][4] = 30;
        song.Channel = 5;
        song.Transpose = {0, 3, 3, 3};
        song.SonglineCount = 4;
        song.Songlines = {0, 1, 2, 3, 3};
    }
    TTempoInfo tempo;
    TPkSong song;
};

TEST_F(NewCommands, ProjectLeavesOnePatternWithTheNewStepCount) {
    NewProject(song, 12, 90, "New Song");
    EXPECT_EQ(song.PatternCount, 1);
    EXPECT_EQ(song.Notes.size(), 2u);
    EXPECT_EQ(song.Transpose.size(), 2u);
    EXPECT_EQ(song.PatternNames[1], "(1) ");
    EXPECT_EQ(song.Steps, 12);
    EXPECT_GE(song.Notes[1].size(), 13u);
    ExpectStepsFilled(song, 1, DefaultNote, 90);
    EXPECT_EQ(song.SonglineCount, 1);
    EXPECT_EQ(song.Songlines, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(song.Channel, 1);
    EXPECT_EQ(song.Transpose[1], 0);
    EXPECT_EQ(song.Range, 37);
}

TEST_F(NewCommands, ProjectGrowsStepArraysBeyondAShortLoadedSong) {
    song.Steps = 4;
    song.StepCapacity = 4;
    for (int32_t p = 1; p <= 3; ++p)
        ResizePatternSteps(song, p, 5);
    NewProject(song, 16, 127, "New Song");
    EXPECT_EQ(song.Notes[1].size(), 17u);
    EXPECT_EQ(song.Velocities[1].size(), 17u);
    EXPECT_GE(song.StepCapacity, 16);
    ExpectStepsFilled(song, 1, DefaultNote, 127);
    ResizePatternPool(song, 2); // a pattern added later must cover every step as well
    EXPECT_GE(song.Notes[2].size(), 17u);
}

TEST_F(NewCommands, DrumsessionSetsChannelTenAndFourOctaves) {
    NewDrumSession(song, 16, 127, "New Song");
    EXPECT_EQ(song.Channel, 10);
    EXPECT_EQ(song.Transpose[1], -1);
    EXPECT_EQ(song.Range, 49);
    EXPECT_EQ(song.PatternCount, 1);
    EXPECT_EQ(song.Steps, 16);
}

TEST_F(NewCommands, KeepPatternsResetsOnlyTheTrack) {
    NewSongKeepPatterns(song, "Neuer Song");
    EXPECT_EQ(song.PatternCount, 3);
    EXPECT_EQ(song.PatternNames[3], "(3) bass");
    EXPECT_EQ(song.Notes[2][4], 30);
    EXPECT_EQ(song.Channel, 5);
    EXPECT_EQ(song.SonglineCount, 1);
    EXPECT_EQ(song.Songlines, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(song.Name, "Neuer Song");
}

TEST(ChangeRange, IsRefusedWhileANoteIsNotBelowTheNewRange) {
    TTempoInfo tempo;
    TPkSong song = FreshSong(tempo);
    ResizePatternPool(song, 2);
    song.Notes[2][16] = 13;
    EXPECT_FALSE(ChangeRange(song, 13));
    EXPECT_EQ(song.Range, 37);
    song.Notes[2][16] = 12;
    EXPECT_TRUE(ChangeRange(song, 13));
    EXPECT_EQ(song.Range, 13);
    EXPECT_EQ(TransposeCeiling(song), 48);
    EXPECT_TRUE(ChangeRange(song, 61));
    EXPECT_EQ(TransposeCeiling(song), 0);
    EXPECT_FALSE(ChangeRange(song, 20)) << "not an octave range";
    EXPECT_EQ(song.Range, 61);
}

TEST(ChangeRange, IgnoresValuesBeyondTheStepCount) {
    TTempoInfo tempo;
    TPkSong song = FreshSong(tempo);
    song.Steps = 8;
    song.Notes[1][9] = 40; // not part of the pattern any more
    EXPECT_TRUE(ChangeRange(song, 13));
}

TEST(NoteScans, WidenTheSongExtremes) {
    TTempoInfo tempo;
    TPkSong song = FreshSong(tempo);
    song.Notes[1] = {0, 0, 5, 0, 30, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10};
    EXPECT_EQ(RecordPatternHighestNote(song, 1), 30);
    EXPECT_EQ(song.MaxNote, 30);
    EXPECT_EQ(PatternLowestNote(song, 1), 5);
    EXPECT_EQ(song.MinNote, 5);
    FillPatternSteps(song, 1, 0, 127);
    EXPECT_EQ(RecordPatternHighestNote(song, 1), 0);
    EXPECT_EQ(PatternLowestNote(song, 1), 127) << "all rests";
}
