#include "MidiInputParser.h"

namespace {

constexpr uint8_t FirstStatus = 0x80;
constexpr uint8_t FirstSystem = 0xF0;
constexpr uint8_t FirstRealTime = 0xF8;

bool IsChannelStatus(uint8_t status) {
    return status >= FirstStatus && status < FirstSystem;
}

TMidiMessage Whole(uint8_t status, uint8_t data1 = 0, uint8_t data2 = 0, int dataLength = 0) {
    return {status, data1, data2, static_cast<uint8_t>(1 + dataLength)};
}

} // namespace

std::optional<int> MidiDataLength(uint8_t status) noexcept {
    if (status < FirstStatus)
        return std::nullopt;
    if (IsChannelStatus(status)) {
        const uint8_t kind = status & 0xF0;
        return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
    }
    switch (status) {
    case 0xF1: // time code quarter frame
    case 0xF3: // song select
        return 1;
    case MidiStatus::SongPosition:
        return 2;
    case 0xF6: // tune request
        return 0;
    case MidiStatus::SystemExclusive:
    case MidiStatus::EndOfExclusive:
    case 0xF4:
    case 0xF5:
    case 0xF9:
    case 0xFD:
        return std::nullopt;
    default:
        return 0; // the real-time bytes
    }
}

std::optional<TMidiMessage> TMidiInputParser::Push(uint8_t byte) noexcept {
    if (byte >= FirstRealTime) {
        // Real-time bytes leave the message around them untouched.
        if (MidiDataLength(byte))
            return Whole(byte);
        return std::nullopt;
    }
    if (byte >= FirstStatus)
        return PushStatus(byte);
    return PushData(byte);
}

std::optional<TMidiMessage> TMidiInputParser::PushStatus(uint8_t status) noexcept {
    // Any other status byte ends an exclusive message and an unfinished one, and the running
    // status unless it starts a channel message of its own.
    Reset();
    inExclusive_ = status == MidiStatus::SystemExclusive;
    const std::optional<int> length = MidiDataLength(status);
    if (!length)
        return std::nullopt;
    if (*length == 0)
        return Whole(status);
    status_ = status;
    needed_ = static_cast<uint8_t>(*length);
    return std::nullopt;
}

std::optional<TMidiMessage> TMidiInputParser::PushData(uint8_t data) noexcept {
    if (inExclusive_ || status_ == 0)
        return std::nullopt;
    data_[received_++] = data;
    if (received_ < needed_)
        return std::nullopt;
    const TMidiMessage message = Whole(status_, data_[0], needed_ == 2 ? data_[1] : 0, needed_);
    received_ = 0;
    if (!IsChannelStatus(status_))
        status_ = 0; // system common messages set no running status
    return message;
}

void TMidiInputParser::Reset() noexcept {
    status_ = 0;
    received_ = 0;
    needed_ = 0;
    inExclusive_ = false;
}

bool IsWellFormed(const TMidiMessage& message) noexcept {
    const std::optional<int> length = MidiDataLength(message.Status);
    if (!length || message.Size != 1 + *length)
        return false;
    const uint8_t data[] = {message.Data1, message.Data2};
    for (int i = 0; i < 2; ++i)
        if (data[i] >= (i < *length ? FirstStatus : 1))
            return false;
    return true;
}
