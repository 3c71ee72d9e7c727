// Raw MIDI input bytes become whole messages: running status, real-time bytes anywhere, system
// common messages, skipped system exclusive, dropped and ignored bytes; the same whatever the
// stream is cut into. The sink that sorts them for the threads that act on them.
#include "midi/MidiInputParser.h"

#include "midi/MidiInput.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;
using TMessages = std::vector<TMidiMessage>;

TMidiMessage M(uint8_t status) {
    return {status, 0, 0, 1};
}
TMidiMessage M(uint8_t status, uint8_t data1) {
    return {status, data1, 0, 2};
}
TMidiMessage M(uint8_t status, uint8_t data1, uint8_t data2) {
    return {status, data1, data2, 3};
}

// The messages of `bytes` fed in pieces that end at the positions in `cuts`.
TMessages Read(const TBytes& bytes, const std::vector<size_t>& cuts = {}) {
    TMidiInputParser parser;
    TMessages messages;
    size_t begin = 0;
    std::vector<size_t> ends = cuts;
    ends.push_back(bytes.size());
    for (const size_t end : ends) {
        parser.Feed(std::span(bytes).subspan(begin, end - begin),
                    [&](const TMidiMessage& message) { messages.push_back(message); });
        begin = end;
    }
    return messages;
}

struct TCase {
    std::string What;
    TBytes Bytes;
    TMessages Expected;
};

TEST(MidiInputParser, ByteStreamsBecomeWholeMessages) {
    const TCase cases[] = {
        {"channel messages of two and three bytes",
         {0x90, 60, 100, 0xC9, 5, 0xB0, 74, 127, 0xD3, 9, 0xE0, 0, 64},
         {M(0x90, 60, 100), M(0xC9, 5), M(0xB0, 74, 127), M(0xD3, 9), M(0xE0, 0, 64)}},
        {"running status",
         {0x91, 60, 100, 62, 0, 0xC0, 1, 2},
         {M(0x91, 60, 100), M(0x91, 62, 0), M(0xC0, 1), M(0xC0, 2)}},
        {"real-time bytes inside a message, a sysex and between",
         {0xF8, 0x90, 0xFA, 60, 0xF8, 100, 0xFB, 61, 0xFC, 70, 0xF0, 0xFE, 1, 0xF7, 0xFF},
         {M(0xF8), M(0xFA), M(0xF8), M(0x90, 60, 100), M(0xFB), M(0xFC), M(0x90, 61, 70), M(0xFE),
          M(0xFF)}},
        {"system common: song position (LSB first), select, quarter frame, tune request",
         {0xF2, 0x08, 0x01, 0xF3, 4, 0xF1, 0x35, 0xF6},
         {M(0xF2, 0x08, 0x01), M(0xF3, 4), M(0xF1, 0x35), M(0xF6)}},
        {"system common sets no running status, and ends one",
         {0x90, 60, 1, 0xF3, 4, 5, 61, 2, 0xF6, 62, 3},
         {M(0x90, 60, 1), M(0xF3, 4), M(0xF6)}},
        {"sysex is skipped; a status byte ends it as F7 does",
         {0xF0, 0x7E, 0x90, 60, 100, 0xF0, 1, 2, 3, 0xF7, 4, 0xB0, 1, 2},
         {M(0x90, 60, 100), M(0xB0, 1, 2)}},
        {"a status byte drops the unfinished message",
         {0x90, 60, 0xB0, 7, 0xF2, 5, 0xC0, 0xE0, 1, 0x80, 60, 0},
         {M(0x80, 60, 0)}},
        {"undefined status bytes and stray data are ignored",
         {5, 6, 0xF4, 7, 0xF5, 0xF9, 0xFD, 0x90, 0xF9, 60, 0xFD, 1, 0xF7, 2, 3},
         {M(0x90, 60, 1)}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        const TMessages whole = Read(c.Bytes);
        EXPECT_EQ(whole, c.Expected);
        for (const TMidiMessage& message : whole)
            EXPECT_TRUE(IsWellFormed(message));
        for (size_t cut = 0; cut <= c.Bytes.size(); ++cut)
            EXPECT_EQ(Read(c.Bytes, {cut}), whole) << "cut at " << cut;
    }
}

TEST(MidiInputParser, ALongSysexIsSkippedWithoutKeepingIt) {
    TBytes bytes{0xF0};
    bytes.insert(bytes.end(), 1 << 20, 0x55);
    bytes.push_back(0xF8);
    bytes.insert(bytes.end(), {0xF7, 0x90, 1, 2});
    EXPECT_EQ(Read(bytes), (TMessages{M(0xF8), M(0x90, 1, 2)}));
    static_assert(sizeof(TMidiInputParser) <= 16, "fixed, small state");
}

TEST(MidiInputParser, WellFormedMeansTheRightDataBytesBelow0x80) {
    EXPECT_TRUE(IsWellFormed(M(0xF2, 0x7F, 0x7F)));
    EXPECT_FALSE(IsWellFormed(M(0x90, 60)));
    EXPECT_FALSE(IsWellFormed(M(0xC0, 1, 2)));
    EXPECT_FALSE(IsWellFormed(M(0x90, 60, 0x80)));
    EXPECT_FALSE(IsWellFormed(M(0xF8, 1)));
    EXPECT_FALSE(IsWellFormed(TMidiMessage{0xC0, 1, 9, 2}));
    for (const uint8_t status : {0x00, 0x7F, 0xF0, 0xF4, 0xF7, 0xFD})
        EXPECT_FALSE(IsWellFormed(M(status)));
}

} // namespace

// The sink sorts what a port delivers: the clock for the playback tick, notes and controllers for
// the user-interface thread, the rest dropped; a full ring drops and counts.
TEST(MidiInputSink, SortsClockFromControlAndCountsWhatAFullRingDrops) {
    TMidiInputSink sink;
    const TBytes bytes = {0x90, 60, 100, 0xF8, 61, 0, 0xF2, 8, 0, 0xC0, 5, 0xB1, 74, 127, 0xFA};
    sink.DeliverBytes(7, bytes);
    TTimedMidiMessage got;
    TMessages clock, control;
    while (sink.PopClock(got))
        clock.push_back(got.Message);
    while (sink.PopControl(got)) {
        EXPECT_EQ(got.RawNs, 7);
        control.push_back(got.Message);
    }
    EXPECT_EQ(clock, (TMessages{M(0xF8), M(0xF2, 8, 0), M(0xFA)}));
    EXPECT_EQ(control, (TMessages{M(0x90, 60, 100), M(0x90, 61, 0), M(0xB1, 74, 127)}));

    for (size_t i = 0; i < TMidiInputSink::ClockCapacity + 3; ++i)
        sink.Deliver(0, M(0xF8));
    EXPECT_EQ(sink.Dropped(), 3u);
}

TEST(MidiInputSink, InputWordsNameTheChoices) {
    using K = TMidiInputChoice::TKind;
    for (const TMidiInputChoice& choice :
         {TMidiInputChoice{}, TMidiInputChoice{K::Jack, 0}, TMidiInputChoice{K::Alsa, 12}})
        EXPECT_EQ(ParseMidiInputWord(MidiInputWord(choice)), choice);
    EXPECT_EQ(ParseMidiInputWord(" JACK "), (TMidiInputChoice{K::Jack, 0}));
    for (const char* bad : {"", "-1", "2x", "alsa", "99999999999"})
        EXPECT_FALSE(ParseMidiInputWord(bad)) << bad;
}
