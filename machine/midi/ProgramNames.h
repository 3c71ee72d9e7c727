#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// The program name table: entries 0..127 are the General MIDI program names, entries
// 128..174 the General MIDI percussion key names for keys 35..81.
constexpr int32_t ProgramNameCount = 175;
constexpr int32_t FirstPercussionKey = 35;

extern const std::array<std::string_view, ProgramNameCount> ProgramNames;

// Entry `index` of the table; empty outside 0..174.
std::string_view ProgramName(int32_t index);

// The name of percussion key `key` (35..81); empty for other keys.
std::string_view PercussionName(int32_t key);

// The MIDI channel (1..16) on which the program chooses a drum kit.
constexpr int32_t DrumKitChannel = 10;

// The name of the drum kit that program `program` chooses: one of the standard kits, or
// "Drum Kit" for any other number.
std::string_view DrumKitName(int32_t program);

// The name of program `program` on MIDI channel `channel`: a drum kit on the drum channel, the
// General MIDI program elsewhere.
std::string_view ChannelProgramName(int32_t channel, int32_t program);
