#pragma once

#include "MidiInputParser.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// What the machine hears: the MIDI input it reads (none, an ALSA input port, or the midi_in
// port of its own JACK client) and the hand-over of every message it receives to the threads
// that act on it.

struct TMidiInputChoice {
    enum class TKind : uint8_t { None, Alsa, Jack };
    TKind Kind = TKind::None;
    int32_t Device = 0; // the ALSA input port, 0..n-1 (Alsa only)

    bool operator==(const TMidiInputChoice&) const = default;
};

// The word that names a choice on the command line and in the settings: "none", "jack" or the
// ALSA port's number.
std::string MidiInputWord(const TMidiInputChoice& choice);
// The choice a word names; nothing for a word that names none (any case, blanks around).
std::optional<TMidiInputChoice> ParseMidiInputWord(std::string_view word);

// A received message and when it arrived (CLOCK_MONOTONIC_RAW, nanoseconds: the clock of JACK's
// frames; an ALSA input stamps the moment its thread took the message).
struct TTimedMidiMessage {
    int64_t RawNs = 0;
    TMidiMessage Message;
};

// A fixed ring for one producer thread and one consumer thread: no allocation, no lock, no
// system call on either side.
template <typename T, size_t Capacity> class TSingleProducerRing {
    static_assert((Capacity & (Capacity - 1)) == 0, "a power of two");

public:
    bool Push(const T& item) noexcept {
        const uint64_t head = head_.load(std::memory_order_relaxed);
        if (head - tail_.load(std::memory_order_acquire) >= Capacity)
            return false;
        items_[head % Capacity] = item;
        head_.store(head + 1, std::memory_order_release);
        return true;
    }
    bool Pop(T& item) noexcept {
        const uint64_t tail = tail_.load(std::memory_order_relaxed);
        if (tail == head_.load(std::memory_order_acquire))
            return false;
        item = items_[tail % Capacity];
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

private:
    std::array<T, Capacity> items_{};
    std::atomic<uint64_t> head_{0};
    std::atomic<uint64_t> tail_{0};
};

// Where an open input delivers. The producer (the JACK process callback or the ALSA input
// thread; one at a time, the port switches them) hands in raw bytes or whole messages; they are
// sorted at once:
// - the leader's clock (F8 clock, FA start, FB continue, FC stop) and its song position pointer
//   (F2) go to the playback tick (PopClock);
// - note-on, note-off and controller messages go to the user-interface thread (PopControl),
//   which plays the machine with them (MIDI control, transposing from a keyboard);
// - everything else is dropped.
// A full ring drops the message and counts it. Both sides are real-time safe.
class TMidiInputSink {
public:
    static constexpr size_t ClockCapacity = 1024;
    static constexpr size_t ControlCapacity = 1024;

    // Producer side.
    void Deliver(int64_t rawNs, const TMidiMessage& message) noexcept;
    // Bytes as a port delivers them (cut anywhere; running status, real-time bytes inside other
    // messages): every message they complete, stamped `rawNs`.
    void DeliverBytes(int64_t rawNs, std::span<const uint8_t> bytes) noexcept;
    // The producer changes (an input opened): forgets a message in progress.
    void ResetParser() noexcept { parser_.Reset(); }

    // Consumer sides.
    bool PopClock(TTimedMidiMessage& message) noexcept { return clock_.Pop(message); }
    bool PopControl(TTimedMidiMessage& message) noexcept { return control_.Pop(message); }

    uint64_t Dropped() const noexcept { return dropped_.load(std::memory_order_relaxed); }

private:
    TMidiInputParser parser_; // producer only
    TSingleProducerRing<TTimedMidiMessage, ClockCapacity> clock_;
    TSingleProducerRing<TTimedMidiMessage, ControlCapacity> control_;
    std::atomic<uint64_t> dropped_{0};
};

// Whether the playback tick takes `message` (clock, start, continue, stop, song position).
bool IsClockMessage(const TMidiMessage& message) noexcept;
// Whether the user-interface thread takes it (note-on, note-off, controller).
bool IsControlMessage(const TMidiMessage& message) noexcept;
