#include "MidiInput.h"

#include <cctype>
#include <charconv>

std::string MidiInputWord(const TMidiInputChoice& choice) {
    switch (choice.Kind) {
    case TMidiInputChoice::TKind::Alsa:
        return std::to_string(choice.Device);
    case TMidiInputChoice::TKind::Jack:
        return "jack";
    case TMidiInputChoice::TKind::None:
        break;
    }
    return "none";
}

std::optional<TMidiInputChoice> ParseMidiInputWord(std::string_view word) {
    while (!word.empty() && std::isspace(static_cast<unsigned char>(word.front())))
        word.remove_prefix(1);
    while (!word.empty() && std::isspace(static_cast<unsigned char>(word.back())))
        word.remove_suffix(1);
    std::string lower;
    for (const char c : word)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "none")
        return TMidiInputChoice{};
    if (lower == "jack")
        return TMidiInputChoice{TMidiInputChoice::TKind::Jack, 0};
    int32_t device = -1;
    const auto [end, error] = std::from_chars(lower.data(), lower.data() + lower.size(), device);
    if (error != std::errc{} || end != lower.data() + lower.size() || device < 0 || lower.empty())
        return std::nullopt;
    return TMidiInputChoice{TMidiInputChoice::TKind::Alsa, device};
}

bool IsClockMessage(const TMidiMessage& message) noexcept {
    switch (message.Status) {
    case MidiStatus::Clock:
    case MidiStatus::Start:
    case MidiStatus::Continue:
    case MidiStatus::Stop:
    case MidiStatus::SongPosition:
        return true;
    default:
        return false;
    }
}

bool IsControlMessage(const TMidiMessage& message) noexcept {
    const uint8_t kind = message.Status & 0xF0;
    return kind == 0x80 || kind == 0x90 || kind == 0xB0;
}

void TMidiInputSink::Deliver(int64_t rawNs, const TMidiMessage& message) noexcept {
    const TTimedMidiMessage timed{rawNs, message};
    bool taken = true;
    if (IsClockMessage(message))
        taken = clock_.Push(timed);
    else if (IsControlMessage(message))
        taken = control_.Push(timed);
    if (!taken)
        dropped_.fetch_add(1, std::memory_order_relaxed);
}

void TMidiInputSink::DeliverBytes(int64_t rawNs, std::span<const uint8_t> bytes) noexcept {
    parser_.Feed(bytes, [&](const TMidiMessage& message) { Deliver(rawNs, message); });
}
