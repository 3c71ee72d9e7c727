#include "song/scales.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace {

constexpr int32_t Dur = ModeMajor;
constexpr int32_t Moll = ModeMinor;
constexpr int32_t C = 0, A = 9, GSharp = 8;

// Pitch class of note value v at transposition 0, found by name: note value 1 sounds key 36, a C.
int32_t PitchClass(int32_t v) {
    return (v - 1) % 12;
}

bool InScaleByName(int32_t mode, int32_t key, int32_t v) {
    const auto& scale = mode == Dur ? MajorScale : MinorScale;
    const int32_t distance = (PitchClass(v) - key + 12) % 12;
    return std::find(scale.begin(), scale.end(), distance) != scale.end();
}

} // namespace

TEST(ScaleTables, MajorOnCHoldsTheWhiteKeysBitByBit) {
    const TNoteSet& set = ScaleSet(Dur, C);
    // 0 and the note values 1, 3, 5, 6, 8, 10, 12, 13: bits of word 0.
    EXPECT_EQ(set[0] & 0x3fffu, 0b11'0101'0110'1011u);
    // Note value 72 (key 107, a B) is bit 8 of word 2; 73 and above are clear.
    EXPECT_EQ(set[2] >> 8, 1u);
    EXPECT_EQ(set[3], 0u);
}

TEST(ScaleTables, EverySetFollowsItsScaleUpToTheLeadingNoteSixOctavesUp) {
    for (int32_t mode : {Dur, Moll})
        for (int32_t key = 0; key < ScaleKeyCount; ++key) {
            SCOPED_TRACE(std::string(ModeNames[mode]) + " " + KeyNames[key]);
            EXPECT_TRUE(ScaleContains(mode, key, 0)) << "a rest always passes";
            for (int32_t v = 1; v <= 72 + key; ++v)
                EXPECT_EQ(ScaleContains(mode, key, v), InScaleByName(mode, key, v)) << v;
            EXPECT_TRUE(ScaleContains(mode, key, 72 + key)) << "top member: the leading note";
            for (int32_t v = 73 + key; v <= 300; ++v)
                ASSERT_FALSE(ScaleContains(mode, key, v)) << v;
        }
}

TEST(ScaleTables, MembershipExamples) {
    EXPECT_TRUE(ScaleContains(Moll, A, 7)) << "F# in A minor (major sixth)";
    EXPECT_FALSE(ScaleContains(Moll, A, 6)) << "F";
    EXPECT_TRUE(ScaleContains(Moll, C, 4)) << "D# (minor third)";
    EXPECT_FALSE(ScaleContains(Dur, C, 4));
    EXPECT_TRUE(ScaleContains(Moll, C, 12)) << "B (major seventh)";
    EXPECT_TRUE(ScaleContains(Dur, GSharp, 1)) << "C in G# major";
    EXPECT_FALSE(ScaleContains(Dur, C, -1));
    EXPECT_FALSE(ScaleContains(Dur, C, 128));
    EXPECT_FALSE(ScaleContains(Dur, 12, 1)) << "no such key";
    EXPECT_FALSE(ScaleContains(2, C, 1)) << "no such mode";
}

TEST(SnapToScale, StepsOnceInTheGivenDirection) {
    EXPECT_EQ(SnapToScale(2, true, Dur, C), 1) << "C# down to C";
    EXPECT_EQ(SnapToScale(2, false, Dur, C), 3) << "C# up to D";
    EXPECT_EQ(SnapToScale(3, true, Dur, C), 3) << "a member stays";
    EXPECT_EQ(SnapToScale(200, false, Dur, C), 201) << "beyond the sets: one step, no check";
    EXPECT_EQ(SnapToScale(255, true, Moll, A), 254);
    for (int32_t mode : {Dur, Moll})
        for (int32_t key = 0; key < ScaleKeyCount; ++key) {
            EXPECT_EQ(SnapToScale(0, true, mode, key), 0);
            EXPECT_EQ(SnapToScale(0, false, mode, key), 0);
        }
}

TEST(SnapToScale, AlwaysLandsInTheSetWithinTheEditorsRange) {
    for (int32_t mode : {Dur, Moll})
        for (int32_t key = 0; key < ScaleKeyCount; ++key)
            for (int32_t v = 0; v <= 61; ++v)
                for (bool down : {true, false})
                    ASSERT_TRUE(ScaleContains(mode, key, SnapToScale(v, down, mode, key)))
                        << ModeNames[mode] << " " << KeyNames[key] << " " << v << " " << down;
}

TEST(SnapToScale, NoScaleSelectedLeavesTheValue) {
    EXPECT_EQ(SnapToScale(2, true, Dur, -1), 2);
    EXPECT_EQ(SnapToScale(0, true, Dur, 12), 0);
    EXPECT_EQ(SnapToScale(2, false, 5, C), 2);
}
