#include "song/Melodies.h"

#include "song/MidiVoice.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

class Timelines : public ::testing::Test {
protected:
    void SetUp() override {
        TTempoInfo tempo;
        InitSong(song, tempo, DefaultNote, -1, 0, "New Song");
    }
    std::vector<TMelodyEvent> Build(int32_t p = 1) {
        BuildAllMelodies(song, melodies, voice);
        return melodies.Timeline(p - 1);
    }
    static uint32_t Note(uint32_t status, uint32_t key, uint32_t velocity) {
        return status + key * 256 + velocity * 65536;
    }
    TPkSong song;
    TMelodies melodies;
    TMidiVoice voice;
};

} // namespace

TEST_F(Timelines, OneStepNotesGiveAPairOfEventsPerStep) {
    const auto events = Build();
    ASSERT_EQ(events.size(), 32u);
    for (int32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(events[2 * i], (TMelodyEvent{Note(0x90, 45, 127), uint32_t(200 * i)}));
        EXPECT_EQ(events[2 * i + 1], (TMelodyEvent{Note(0x80, 45, 127), uint32_t(200 * i + 200)}));
    }
    EXPECT_EQ(events.back().Time, 3200u);
}

TEST_F(Timelines, RestsAndHeldNotes) {
    song.Notes[1][1] = 0; // a rest
    for (int s = 2; s <= 4; ++s) {
        song.Notes[1][s] = 12;
        song.Lengths[1][s] = 3;
    }
    song.Gates[1][2] = gtStart;
    song.Gates[1][3] = gtHold;
    song.Gates[1][4] = gtEnd;
    song.Velocities[1][4] = 90; // the end step's velocity goes into the note-off
    const auto events = Build();
    EXPECT_EQ(events[0], (TMelodyEvent{0, 0}));
    EXPECT_EQ(events[1], (TMelodyEvent{0, 200}));
    EXPECT_EQ(events[2], (TMelodyEvent{Note(0x90, 47, 127), 200}));
    for (int e = 3; e <= 6; ++e)
        EXPECT_EQ(events[e].Message, 0u) << e;
    EXPECT_EQ(events[7], (TMelodyEvent{Note(0x80, 47, 90), 800}));
}

TEST_F(Timelines, AnEndStepWithoutNoteOrStartSendsNothing) {
    song.Gates[1][1] = gtEnd; // no note was started in this pattern
    song.Notes[1][3] = 0;
    song.Gates[1][3] = gtEnd;
    const auto events = Build();
    EXPECT_EQ(events[1].Message, 0u);
    EXPECT_EQ(events[5].Message, 0u);
}

TEST_F(Timelines, ChannelAndTranspositionAreBakedIn) {
    voice.OutChannel = 9;
    voice.GlobalTranspose = -1;
    const auto events = Build();
    EXPECT_EQ(events[0].Message, Note(0x99, 44, 127));
    EXPECT_EQ(events[1].Message, Note(0x89, 44, 127));
}

TEST_F(Timelines, ShortSongsAndTheUnknownGate) {
    song.Steps = 4;
    song.Gates[1][2] = 7;
    const auto events = Build();
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(events[2].Time, 200u) << "the unknown step adds no events and no time";
    EXPECT_EQ(events[6], (TMelodyEvent{0, 0}));
    EXPECT_EQ(events[7], (TMelodyEvent{0, 0}));
}

TEST_F(Timelines, RescalingKeepsMessagesAndMovesTimes) {
    ResizePatternPool(song, 2);
    FillPatternSteps(song, 2, 5, 100);
    const auto before = Build(2);
    SetStepTime(song, melodies, 100);
    EXPECT_EQ(song.StepTime, 100);
    const auto after = melodies.Timeline(1);
    ASSERT_EQ(after.size(), before.size());
    for (size_t e = 0; e < after.size(); ++e) {
        EXPECT_EQ(after[e].Message, before[e].Message);
        EXPECT_EQ(after[e].Time, (e + 1) / 2 * 100);
    }
    EXPECT_EQ(after.back().Time, 1600u);
}

TEST_F(Timelines, PoolGrowthKeepsExistingTimelines) {
    const auto first = Build();
    ResizePatternPool(song, MaxPatterns);
    BuildAllMelodies(song, melodies, voice);
    EXPECT_EQ(melodies.Count(), MaxPatterns);
    EXPECT_EQ(melodies.Timeline(0), first);
    EXPECT_EQ(melodies.Event(MaxPatterns, 0), TMelodyEvent{}) << "beyond the pool";
    EXPECT_EQ(melodies.Event(0, MaxMelodyEvents), TMelodyEvent{});
}

// A reader on another thread only ever sees whole timelines: every pair it reads belongs to one
// of the two versions being published in turn.
TEST_F(Timelines, AReaderNeverSeesAHalfWrittenTimeline) {
    std::vector<TMelodyEvent> slow(32), fast(32);
    for (uint32_t e = 0; e < 32; ++e) {
        slow[e] = {0x90 + e, e * 1000};
        fast[e] = {0x80 + e, e * 10};
    }
    melodies.Resize(1);
    melodies.Publish(0, slow);
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done.load()) {
            for (int32_t e = 0; e < 32; ++e) {
                const TMelodyEvent event = melodies.Event(0, e);
                if (event != slow[e] && event != fast[e])
                    torn.fetch_add(1);
            }
        }
    });
    for (int i = 0; i < 20000; ++i)
        melodies.Publish(0, i % 2 ? slow : fast);
    done = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
}
