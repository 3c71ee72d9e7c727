#pragma once

#include <array>
#include <atomic>
#include <cstdint>

// The machine's one MIDI output: channel, programs, message composition and the transport
// values that the playback tick shares with the user-interface thread.
//
// Threading: every operation runs on the user-interface thread. The fields marked "shared" are
// also read (and some written) by the playback tick on the timer thread; they are atomics, so
// neither side ever sees a torn value.
class TMidiOut {
public:
    static constexpr int32_t NoteBaseValue = 35;

    uint8_t OutChannel = 0;                            // 0..15
    std::array<uint8_t, 16> Programs{};                // program number minus 35
    std::array<int32_t, 16> NoteBase = MakeNoteBase(); // all 35
    int32_t DeviceId = -1;                             // -1 = "Midi Mapper"

    std::atomic<uint8_t> State{1};           // shared: 1 = stopped, 0 = playing
    std::atomic<int32_t> LastResult{0};      // shared: result code of the last reported call
    std::atomic<uint8_t> Resync{0};          // shared: set by re-timing, consumed by the tick
    std::atomic<uint8_t> PlayMode{0};        // shared: 0 = pattern mode, 1 = track mode
    std::atomic<int32_t> CurrentPattern{1};  // shared: 1-based pattern that plays and shows
    std::atomic<int32_t> TrackPosition{1};   // shared: 1-based song line
    std::atomic<int32_t> GlobalTranspose{0}; // semitones added to every note but program changes

    // status + data1 * 256 + data2 * 65536, where data1 = value + 35 (+ GlobalTranspose unless
    // the status is a program change on the output channel).
    uint32_t BuildMessage(int32_t value, int32_t status, int32_t data2) const;

private:
    static std::array<int32_t, 16> MakeNoteBase() {
        std::array<int32_t, 16> base{};
        base.fill(NoteBaseValue);
        return base;
    }
};
