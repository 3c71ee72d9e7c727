#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// One whole MIDI message as it arrived: a status byte and the data bytes its kind takes (each
// below 0x80); the unused data bytes are 0.
struct TMidiMessage {
    uint8_t Status = 0;
    uint8_t Data1 = 0;
    uint8_t Data2 = 0;
    uint8_t Size = 0; // bytes in all: 1, 2 or 3

    bool operator==(const TMidiMessage&) const = default;
};

// System real-time and system common status bytes the clock follower and the remote read.
namespace MidiStatus {
inline constexpr uint8_t SystemExclusive = 0xF0;
inline constexpr uint8_t SongPosition = 0xF2;
inline constexpr uint8_t EndOfExclusive = 0xF7;
inline constexpr uint8_t Clock = 0xF8;
inline constexpr uint8_t Start = 0xFA;
inline constexpr uint8_t Continue = 0xFB;
inline constexpr uint8_t Stop = 0xFC;
} // namespace MidiStatus

// The data bytes a message with `status` takes (0 for real-time bytes and the tune request);
// nothing for a byte that starts no message of its own: a data byte, the exclusive bytes F0 and
// F7, and the undefined F4, F5, F9 and FD.
std::optional<int> MidiDataLength(uint8_t status) noexcept;

// Reads a raw MIDI byte stream (as a sequencer port or a JACK input buffer delivers it, cut
// anywhere) into whole messages:
// - running status: data bytes after a complete channel message start another of its kind;
// - real-time bytes are delivered at once wherever they stand, also inside another message,
//   which then goes on around them;
// - a status byte before a message is complete drops the unfinished one;
// - system exclusive (F0 .. F7) is skipped without being kept, however long it runs;
// - undefined status bytes and data bytes without a status to belong to are ignored.
// Fixed-size state, no allocation, nothing that blocks: usable on a real-time thread.
class TMidiInputParser {
public:
    // Takes the next byte; the message it completes, if any.
    std::optional<TMidiMessage> Push(uint8_t byte) noexcept;

    // Pushes every byte of `bytes`, handing each message to `deliver` in order.
    template <typename Deliver> void Feed(std::span<const uint8_t> bytes, Deliver&& deliver) {
        for (const uint8_t byte : bytes)
            if (const std::optional<TMidiMessage> message = Push(byte))
                deliver(*message);
    }

    // Forgets a message in progress and the running status (a port reopened).
    void Reset() noexcept;

private:
    std::optional<TMidiMessage> PushStatus(uint8_t status) noexcept;
    std::optional<TMidiMessage> PushData(uint8_t data) noexcept;

    uint8_t status_ = 0; // the message in progress or the running status; 0 = none
    uint8_t data_[2] = {0, 0};
    uint8_t received_ = 0; // data bytes of the message in progress
    uint8_t needed_ = 0;   // data bytes its kind takes
    bool inExclusive_ = false;
};

// Whether `message` is whole: a status byte (not F0, F7 nor an undefined one) followed by
// exactly the data bytes its kind takes, each below 0x80, and zeros in the unused places.
bool IsWellFormed(const TMidiMessage& message) noexcept;
