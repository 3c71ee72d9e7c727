// The MIDI input reader on any byte stream: every message it delivers is whole (a status byte
// with the data bytes its kind takes, each below 0x80), and the stream cut into pieces (their
// lengths taken from the data) yields the same messages as the whole. The messages then drive
// the clock follower, whose positions and tempo must stay sane.
#include "FuzzSupport.h"
#include "midi/ClockFollower.h"
#include "midi/MidiInputParser.h"

#include <span>
#include <vector>

namespace {

std::vector<TMidiMessage> ReadWhole(std::span<const uint8_t> bytes) {
    std::vector<TMidiMessage> messages;
    TMidiInputParser parser;
    parser.Feed(bytes, [&](const TMidiMessage& message) { messages.push_back(message); });
    return messages;
}

std::vector<TMidiMessage> ReadInPieces(std::span<const uint8_t> bytes) {
    std::vector<TMidiMessage> messages;
    TMidiInputParser parser;
    size_t begin = 0;
    for (size_t piece = 0; begin < bytes.size(); ++piece) {
        const size_t length =
            std::min<size_t>(bytes[piece % bytes.size()] % 8 + 1, bytes.size() - begin);
        parser.Feed(bytes.subspan(begin, length),
                    [&](const TMidiMessage& message) { messages.push_back(message); });
        begin += length;
    }
    return messages;
}

// Pulses a millisecond apart plus the message's first data byte; the other messages as they are.
void Follow(const std::vector<TMidiMessage>& messages) {
    TClockFollower follower;
    int64_t clock = 0;
    for (const TMidiMessage& message : messages) {
        clock += 1'000'000 + message.Data1 * 100'000;
        switch (message.Status) {
        case MidiStatus::Clock:
            if (const auto step = follower.Pulse(clock); step && step->Position < 0)
                FuzzFailure("a step before the start of the song");
            break;
        case MidiStatus::Start:
            follower.Start(clock);
            break;
        case MidiStatus::Continue:
            follower.Continue(clock);
            break;
        case MidiStatus::Stop:
            follower.Stop();
            break;
        case MidiStatus::SongPosition:
            follower.SongPosition(message.Data1 | message.Data2 << 7);
            break;
        default:
            follower.CheckClockLost(clock);
        }
        if (const auto bpm = follower.BeatsPerMinute(); bpm && !(*bpm > 0))
            FuzzFailure("a tempo that is not above 0");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const std::vector<TMidiMessage> whole = ReadWhole(bytes);
    for (const TMidiMessage& message : whole)
        if (!IsWellFormed(message))
            FuzzFailure("a message that is not whole");
    if (ReadInPieces(bytes) != whole)
        FuzzFailure("the stream in pieces reads otherwise than whole");
    Follow(whole);
    return 0;
}
