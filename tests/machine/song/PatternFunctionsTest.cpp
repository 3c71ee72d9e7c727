#include "song/PatternFunctions.h"

#include "SongPrinter.h"
#include "song/Melodies.h"
#include "song/MidiVoice.h"
#include "song/TempoInfo.h"

#include <gtest/gtest.h>

namespace {

constexpr uint8_t Volume = 90;

class PatternOperations : public ::testing::Test {
protected:
    void SetUp() override {
        TTempoInfo tempo;
        InitSong(song, tempo, DefaultNote, -1, 0, "New Song");
        song.PatternNames[1] = "(1) ";
        BuildAllMelodies(song, melodies, voice);
    }

    // Gives pattern p a one-step note of value note[s - 1] on every step.
    void SetNotes(int32_t p, const std::vector<int32_t>& notes) {
        for (size_t i = 0; i < notes.size(); ++i) {
            song.Notes[p][i + 1] = notes[i];
            song.Gates[p][i + 1] = gtSingle;
            song.Lengths[p][i + 1] = 1;
        }
        BuildMelody(song, melodies, voice, p);
    }

    void SetHeldNote(int32_t p, int32_t first, int32_t length, int32_t note) {
        for (int32_t s = first; s < first + length; ++s) {
            song.Notes[p][s] = note;
            song.Gates[p][s] = s == first ? gtStart : s == first + length - 1 ? gtEnd : gtHold;
            song.Lengths[p][s] = static_cast<uint8_t>(length);
        }
        BuildMelody(song, melodies, voice, p);
    }

    // Every timeline must be what a fresh build of the song gives.
    void ExpectTimelinesCurrent() {
        TMelodies fresh;
        BuildAllMelodies(song, fresh, voice);
        ASSERT_EQ(melodies.Count(), song.PatternCount);
        for (int32_t x = 0; x < song.PatternCount; ++x)
            EXPECT_EQ(melodies.Timeline(x), fresh.Timeline(x)) << "timeline of pattern " << x + 1;
    }

    std::vector<int32_t> Notes(int32_t p) const {
        return {song.Notes[p].begin() + 1, song.Notes[p].begin() + 1 + song.Steps};
    }

    TPkSong song;
    TMelodies melodies;
    TMidiVoice voice;
};

} // namespace

TEST_F(PatternOperations, NewAppendsAFilledPatternWithATrailingSpaceInItsName) {
    EXPECT_EQ(AddPattern(song, melodies, voice, DefaultNote, Volume, 3), 2);
    EXPECT_EQ(song.PatternCount, 2);
    EXPECT_EQ(song.PatternNames[2], "(2) ");
    EXPECT_EQ(song.Transpose[2], 3);
    ASSERT_EQ(song.Notes[2].size(), 17u);
    EXPECT_EQ(Notes(2), std::vector<int32_t>(16, 10));
    for (int32_t s = 1; s <= 16; ++s) {
        EXPECT_EQ(song.Gates[2][s], gtSingle);
        EXPECT_EQ(song.Lengths[2][s], 1);
        EXPECT_EQ(song.Velocities[2][s], Volume);
    }
    EXPECT_EQ(song.Notes[2][0], 0) << "index 0 stays unused";
    ExpectTimelinesCurrent();
}

TEST_F(PatternOperations, NewRefusesInputsNoControlGives) {
    const TPkSong before = song;
    EXPECT_EQ(AddPattern(song, melodies, voice, song.Range + 1, Volume, 0), NoPattern);
    EXPECT_EQ(AddPattern(song, melodies, voice, -1, Volume, 0), NoPattern);
    EXPECT_EQ(AddPattern(song, melodies, voice, DefaultNote, 128, 0), NoPattern);
    EXPECT_EQ(AddPattern(song, melodies, voice, DefaultNote, Volume, TransposeFloor - 1),
              NoPattern);
    EXPECT_EQ(AddPattern(song, melodies, voice, DefaultNote, Volume, TransposeCeiling(song) + 1),
              NoPattern);
    EXPECT_EQ(song, before);
    EXPECT_EQ(melodies.Count(), 1);
}

TEST_F(PatternOperations, ThePoolStopsAt255Patterns) {
    for (int32_t n = 2; n <= MaxPatterns; ++n)
        ASSERT_EQ(AddPattern(song, melodies, voice, n % 37, Volume, 0), n);
    const TPkSong full = song;
    EXPECT_EQ(AddPattern(song, melodies, voice, DefaultNote, Volume, 0), NoPattern);
    EXPECT_EQ(CopyPattern(song, melodies, voice, 1, 0), NoPattern);
    EXPECT_EQ(song, full);
    ExpectTimelinesCurrent();
}

TEST_F(PatternOperations, CopyAppendsStepsAndTimelineOfTheSource) {
    AddPattern(song, melodies, voice, 5, Volume, 0);
    AddPattern(song, melodies, voice, 7, Volume, 0);
    SetHeldNote(2, 4, 3, 20);
    song.Velocities[2][9] = 33;
    BuildMelody(song, melodies, voice, 2);

    EXPECT_EQ(CopyPattern(song, melodies, voice, 2, 0), 4);
    EXPECT_EQ(song.PatternNames[4], "(4) copy of 2");
    EXPECT_EQ(song.Notes[4], song.Notes[2]);
    EXPECT_EQ(song.Gates[4], song.Gates[2]);
    EXPECT_EQ(song.Lengths[4], song.Lengths[2]);
    EXPECT_EQ(song.Velocities[4], song.Velocities[2]);
    EXPECT_EQ(melodies.Timeline(3), melodies.Timeline(1));
    ExpectTimelinesCurrent();

    for (int32_t p : {0, -1, 5, 1000})
        EXPECT_EQ(CopyPattern(song, melodies, voice, p, 0), NoPattern) << p;
    EXPECT_EQ(song.PatternCount, 4);
}

TEST_F(PatternOperations, CopyBuildsTheTimelineWhenTheSourceHasNone) {
    TMelodies unbuilt;
    ASSERT_EQ(CopyPattern(song, unbuilt, voice, 1, 0), 2);
    TMelodies fresh;
    BuildAllMelodies(song, fresh, voice);
    EXPECT_EQ(unbuilt.Timeline(1), fresh.Timeline(1));
}

TEST_F(PatternOperations, FillTouchesOnlyTheSongsSteps) {
    song.Steps = 8; // step arrays keep 17 entries
    SetHeldNote(1, 2, 3, 30);
    song.Notes[1][12] = 4;
    EXPECT_TRUE(FillPattern(song, melodies, voice, 1, 0, Volume)) << "a rest is a fill pitch";
    EXPECT_EQ(Notes(1), std::vector<int32_t>(8, 0));
    EXPECT_EQ(std::vector<uint8_t>(song.Gates[1].begin() + 1, song.Gates[1].begin() + 9),
              std::vector<uint8_t>(8, gtSingle));
    EXPECT_EQ(std::vector<uint8_t>(song.Lengths[1].begin() + 1, song.Lengths[1].begin() + 9),
              std::vector<uint8_t>(8, 1));
    EXPECT_EQ(std::vector<uint8_t>(song.Velocities[1].begin() + 1, song.Velocities[1].begin() + 9),
              std::vector<uint8_t>(8, Volume));
    EXPECT_EQ(song.Notes[1][12], 4) << "beyond the steps";
    EXPECT_EQ(song.Velocities[1][12], 127);
    EXPECT_EQ(song.Notes[1][0], 0);
    ExpectTimelinesCurrent();

    const TPkSong before = song;
    EXPECT_FALSE(FillPattern(song, melodies, voice, 1, song.Range + 1, Volume));
    EXPECT_FALSE(FillPattern(song, melodies, voice, 1, 5, 200));
    EXPECT_FALSE(FillPattern(song, melodies, voice, 2, 5, Volume));
    EXPECT_EQ(song, before);
}

TEST_F(PatternOperations, RandomStaysBelowTheRangeAndKeepsVelocities) {
    song.Velocities[1][5] = 44;
    std::mt19937 random(1);
    std::vector<int> seen(64, 0);
    for (int run = 0; run < 200; ++run) {
        ASSERT_TRUE(RandomizePattern(song, melodies, voice, 1, TKeyGrid{}, random));
        for (int32_t s = 1; s <= 16; ++s) {
            ASSERT_GE(song.Notes[1][s], 0);
            ASSERT_LE(song.Notes[1][s], 36);
            ++seen[song.Notes[1][s]];
            ASSERT_EQ(song.Gates[1][s], gtSingle);
            ASSERT_EQ(song.Lengths[1][s], 1);
        }
    }
    EXPECT_GT(seen[0], 0) << "rests are drawn";
    EXPECT_GT(seen[36], 0);
    EXPECT_EQ(song.Velocities[1][5], 44);
    ExpectTimelinesCurrent();
}

TEST_F(PatternOperations, RandomWithTheKeyGridDrawsScaleMembersOnly) {
    song.Range = 61;
    std::mt19937 random(7);
    for (int32_t mode : {ModeMajor, ModeMinor})
        for (int32_t key = 0; key < ScaleKeyCount; ++key)
            for (int run = 0; run < 20; ++run) {
                ASSERT_TRUE(RandomizePattern(song, melodies, voice, 1, {true, key, mode}, random));
                for (int32_t s = 1; s <= 16; ++s)
                    ASSERT_TRUE(ScaleContains(mode, key, song.Notes[1][s]))
                        << ModeNames[mode] << " " << KeyNames[key] << " " << song.Notes[1][s];
            }
}

TEST_F(PatternOperations, RandomIsRepeatableWithASeedAndReseededOtherwise) {
    std::mt19937 first(42), second(42);
    RandomizePattern(song, melodies, voice, 1, TKeyGrid{}, first);
    const auto drawn = Notes(1);
    RandomizePattern(song, melodies, voice, 1, TKeyGrid{}, second);
    EXPECT_EQ(Notes(1), drawn);

    ASSERT_TRUE(RandomizePattern(song, melodies, voice, 1, TKeyGrid{}));
    const auto clocked = Notes(1);
    ASSERT_TRUE(RandomizePattern(song, melodies, voice, 1, TKeyGrid{}));
    EXPECT_NE(Notes(1), clocked);
    EXPECT_FALSE(RandomizePattern(song, melodies, voice, 2, TKeyGrid{}));
}

TEST_F(PatternOperations, ShiftsMoveSoundingNotesWithinTheRange) {
    std::vector<int32_t> notes = {37, 0, 5, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 12};
    SetNotes(1, notes);
    EXPECT_FALSE(ShiftPatternUp(song, melodies, voice, 1)) << "37 is the top of range 37";
    EXPECT_EQ(Notes(1), notes);
    EXPECT_FALSE(ShiftPatternDown(song, melodies, voice, 1)) << "1 is the bottom";
    EXPECT_EQ(Notes(1), notes);
    EXPECT_EQ(song.MaxNote, 37) << "the guards' scans keep the song extremes";
    EXPECT_EQ(song.MinNote, 1);

    notes[0] = 36;
    notes[4] = 2;
    SetNotes(1, notes);
    EXPECT_TRUE(ShiftPatternUp(song, melodies, voice, 1));
    EXPECT_EQ(Notes(1), (std::vector<int32_t>{37, 0, 6, 0, 3, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0, 13}));
    ExpectTimelinesCurrent();
    EXPECT_TRUE(ShiftPatternDown(song, melodies, voice, 1));
    EXPECT_TRUE(ShiftPatternDown(song, melodies, voice, 1));
    EXPECT_EQ(Notes(1), (std::vector<int32_t>{35, 0, 4, 0, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 11}));
    ExpectTimelinesCurrent();

    EXPECT_FALSE(ShiftPatternUp(song, melodies, voice, 2));
    EXPECT_FALSE(ShiftPatternDown(song, melodies, voice, 0));
}

TEST_F(PatternOperations, RotateLeftMovesAHeldNoteWholeToTheEnd) {
    std::vector<int32_t> notes(16);
    for (int32_t s = 1; s <= 16; ++s)
        notes[s - 1] = s;
    SetNotes(1, notes);
    SetHeldNote(1, 1, 3, 12);
    const TPkSong start = song;

    ASSERT_TRUE(RotatePatternLeft(song, melodies, voice, 1));
    for (int32_t s = 1; s <= 13; ++s)
        EXPECT_EQ(song.Notes[1][s], s + 3);
    for (int32_t s = 14; s <= 16; ++s) {
        EXPECT_EQ(song.Notes[1][s], 12);
        EXPECT_EQ(song.Lengths[1][s], 3);
    }
    EXPECT_EQ(song.Gates[1][14], gtStart);
    EXPECT_EQ(song.Gates[1][15], gtHold);
    EXPECT_EQ(song.Gates[1][16], gtEnd);
    ExpectTimelinesCurrent();
    EXPECT_EQ(melodies.Event(0, 26).Time, 13u * 200) << "the held note starts at step 14";
    EXPECT_EQ(melodies.Event(0, 26).Message, voice.BuildMessage(12, 0x90, 127));

    ASSERT_TRUE(RotatePatternRight(song, melodies, voice, 1));
    EXPECT_EQ(song, start) << "the note on the last step comes back whole";
    ExpectTimelinesCurrent();
}

TEST_F(PatternOperations, RotateStaysWithinTheSongsSteps) {
    song.Steps = 4;
    SetNotes(1, {1, 2, 3, 4});
    song.Notes[1][5] = 99;
    ASSERT_TRUE(RotatePatternRight(song, melodies, voice, 1));
    EXPECT_EQ(Notes(1), (std::vector<int32_t>{4, 1, 2, 3}));
    EXPECT_EQ(song.Notes[1][5], 99);
    EXPECT_EQ(song.Notes[1][0], 0);

    song.Lengths[1][1] = 0; // never stored by the editors: no rotation
    const TPkSong before = song;
    EXPECT_TRUE(RotatePatternLeft(song, melodies, voice, 1));
    EXPECT_EQ(song, before);
    EXPECT_FALSE(RotatePatternLeft(song, melodies, voice, 2));
    EXPECT_FALSE(RotatePatternRight(song, melodies, voice, -3));
}

TEST_F(PatternOperations, SetAllVelocitiesReachesEveryPattern) {
    AddPattern(song, melodies, voice, 3, Volume, 0);
    song.Steps = 12;
    ASSERT_TRUE(SetAllVelocities(song, melodies, voice, 64));
    for (int32_t p = 1; p <= 2; ++p) {
        for (int32_t s = 1; s <= 12; ++s)
            EXPECT_EQ(song.Velocities[p][s], 64);
        EXPECT_NE(song.Velocities[p][13], 64) << "beyond the steps";
    }
    ExpectTimelinesCurrent();
    const TPkSong before = song;
    EXPECT_FALSE(SetAllVelocities(song, melodies, voice, 128));
    EXPECT_EQ(song, before);
}

TEST_F(PatternOperations, PatternsWithShortStepArraysAreRefused) {
    AddPattern(song, melodies, voice, 3, Volume, 0);
    song.Notes[2].resize(5); // a pattern that does not cover the song's steps
    EXPECT_FALSE(IsPatternNumber(song, 2));
    const TPkSong before = song;
    EXPECT_FALSE(FillPattern(song, melodies, voice, 2, 1, Volume));
    EXPECT_FALSE(RotatePatternLeft(song, melodies, voice, 2));
    EXPECT_FALSE(ShiftPatternUp(song, melodies, voice, 2));
    EXPECT_EQ(CopyPattern(song, melodies, voice, 2, 0), NoPattern);
    EXPECT_EQ(RecordPatternHighestNote(song, 2), 0);
    EXPECT_EQ(PatternLowestNote(song, 2), 127);
    EXPECT_TRUE(SetAllVelocities(song, melodies, voice, 1)) << "the other patterns still change";
    EXPECT_EQ(song.Velocities[2], before.Velocities[2]);
    EXPECT_EQ(song.Velocities[1][1], 1);
}
