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
