#pragma once

#include <array>
#include <cstdint>

// How the machine's note values become MIDI message words: the output channel, the program of
// every channel slot, the note base and the transposition added to every note. The timelines,
// the tone previews and the MIDI output build their messages with it. User-interface thread
// only: the playback tick sends finished words and never builds one.
struct TMidiVoice {
    static constexpr int32_t NoteBaseValue = 35;

    uint8_t OutChannel = 0;                            // 0..15
    std::array<uint8_t, 16> Programs{};                // program number minus 35
    std::array<int32_t, 16> NoteBase = MakeNoteBase(); // all 35
    int32_t GlobalTranspose = 0; // semitones added to every note but program changes

    // status + data1 * 256 + data2 * 65536, where data1 = value + 35 (+ GlobalTranspose unless
    // the status is a program change on the output channel).
    uint32_t BuildMessage(int32_t value, int32_t status, int32_t data2) const;

    // The program change of the output channel's slot.
    uint32_t ProgramChange() const {
        return BuildMessage(Programs[OutChannel & 15], 0xC0 + OutChannel, 0);
    }
    uint32_t NoteOn(int32_t value, int32_t velocity) const {
        return BuildMessage(value, 0x90 + OutChannel, velocity);
    }
    uint32_t NoteOff(int32_t value, int32_t velocity) const {
        return BuildMessage(value, 0x80 + OutChannel, velocity);
    }

private:
    static std::array<int32_t, 16> MakeNoteBase() {
        std::array<int32_t, 16> base{};
        base.fill(NoteBaseValue);
        return base;
    }
};
