// MIDI clock from the playback tick: Start with the first step, six pulses per step at exact due
// times (early within their tick, never late), every note-on sharing its due time with a pulse,
// Stop at the stop, and a tempo change that holds from the next pulse on.

#include "PlaybackParts.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t Ms = 1000000;

struct Stamped {
    int tick; // the tick that sent it
    uint32_t message;
    int64_t due; // its stamp, nanoseconds; SentNow for a send of the user-interface thread
};

class Clock : public ::testing::Test, protected TPlaybackParts {
protected:
    void SetUp() override {
        InitSong(song, tempo, DefaultNote, -1, 0, "New Song"); // 16 steps of 200 ms
        BuildAllMelodies(song, melodies, out.Voice);
        song.SongReady = true;
        playback.SetSendClock(true);
        ASSERT_EQ(playback.PlayPattern(), TStartResult::Playing);
        port.Clear();
    }

    // Ticks by hand, each standing for the millisecond of its number.
    void Ticks(int count) {
        for (int i = 0; i < count; ++i, ++tick) {
            support.HandDeadline = tick * Ms;
            const size_t before = port.Size();
            playback.OnTick();
            for (size_t c = before; c < port.Size(); ++c)
                sent.push_back({tick, static_cast<uint32_t>(port.Call(c).Value), port.Due(c)});
        }
    }

    std::vector<Stamped> Only(uint32_t status) const {
        std::vector<Stamped> only;
        for (const Stamped& s : sent)
            if ((s.message & 0xFF) == status || ((s.message & 0xF0) == status && status < 0xF0))
                only.push_back(s);
        return only;
    }

    int tick = 0;
    std::vector<Stamped> sent;
};

} // namespace

TEST_F(Clock, SixPulsesPerStepAtExactTimesWithStartAndStop) {
    Ticks(3201 + 200); // one pass (a pass lasts one tick more than its steps) and a step
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0].message, 0xFAu) << "Start first, due with the first step";
    EXPECT_EQ(sent[0].due, 0);
    EXPECT_EQ(sent[1].message, 0xF8u);
    EXPECT_EQ(sent[1].due, 0);

    const std::vector<Stamped> pulses = Only(0xF8);
    ASSERT_EQ(pulses.size(), 16u * 6 + 6);
    for (size_t k = 0; k < 96; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(pulses[k].due, static_cast<int64_t>(k) * 200 * Ms / 6); // 33.333 ms apart
        EXPECT_LE(pulses[k].tick * Ms, pulses[k].due) << "never sent late";
        EXPECT_GT(pulses[k].tick * Ms + Ms, pulses[k].due) << "at most one tick early";
    }
    EXPECT_EQ(pulses[96].due, 3201 * Ms) << "the next pass's pulses start with its first step";

    const std::vector<Stamped> noteOns = Only(0x90);
    ASSERT_EQ(noteOns.size(), 17u);
    for (const Stamped& on : noteOns) {
        EXPECT_EQ(on.due, on.tick * Ms);
        EXPECT_TRUE(std::any_of(pulses.begin(), pulses.end(),
                                [&](const Stamped& p) { return p.due == on.due; }))
            << "a note-on at " << on.due << " shares its time with a pulse";
    }

    sent.clear();
    const size_t before = port.Size();
    playback.Stop();
    ASSERT_GT(port.Size(), before);
    EXPECT_EQ(port.Call(before).Value, 0xFC) << "Stop before the notes are silenced";
    EXPECT_EQ(port.Due(before), TRecordingMidiPort::SentNow);
}

TEST_F(Clock, ATempoChangeHoldsFromTheNextPulse) {
    Ticks(1050); // into step 6 (its note-on at 1000 ms)
    const size_t pulsesBefore = Only(0xF8).size();
    ASSERT_TRUE(playback.ReleaseTempo(100));
    Ticks(1000);
    const std::vector<Stamped> pulses = Only(0xF8);
    ASSERT_GT(pulses.size(), pulsesBefore + 12);
    // The next event (step 6's end) plays at once on the new grid; its pulse and those after it
    // are 100 / 6 ms apart.
    const int64_t resumed = pulses[pulsesBefore].due;
    EXPECT_EQ(resumed, 1050 * Ms);
    for (size_t k = pulsesBefore; k < pulsesBefore + 12; ++k)
        EXPECT_EQ(pulses[k].due, resumed + static_cast<int64_t>(k - pulsesBefore) * 100 * Ms / 6);
    for (const Stamped& on : Only(0x90))
        if (on.tick >= 1050) {
            EXPECT_TRUE(std::any_of(pulses.begin(), pulses.end(),
                                    [&](const Stamped& p) { return p.due == on.due; }));
        }
}

TEST_F(Clock, NoClockMessagesWhenTheClockIsOff) {
    playback.SetSendClock(false);
    Ticks(700);
    playback.Stop();
    for (uint32_t message : port.ShortMessages())
        EXPECT_LT(message & 0xFF, 0xF8u) << std::hex << message;
}
