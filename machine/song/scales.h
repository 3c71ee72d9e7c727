#pragma once

#include <array>
#include <cstdint>

// Key grid: note values restricted to one major or minor scale in one of twelve keys.
//
// A note set holds 128 bits as four 32-bit words: note value v is bit (v mod 32) of word
// (v div 32). Set k of a table contains the rest (0) and every note value 1..72 + k whose key at
// transposition 0 (v + 35) lies in the scale built on key k; nothing above its leading note six
// octaves up (72 + k).

using TNoteSet = std::array<uint32_t, 4>;

constexpr int32_t ScaleKeyCount = 12;
constexpr int32_t ScaleModeCount = 2;
constexpr int32_t ModeMajor = 0; // "Dur"
constexpr int32_t ModeMinor = 1; // "Moll"

// Entries of the pattern editor's key list and mode list, in index order.
constexpr std::array<const char*, ScaleKeyCount> KeyNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                             "F#", "G",  "G#", "A",  "A#", "B"};
constexpr std::array<const char*, ScaleModeCount> ModeNames = {"Dur", "Moll"};

// Semitones above the root. The minor scale has the minor third, major sixth and major seventh.
constexpr std::array<int32_t, 7> MajorScale = {0, 2, 4, 5, 7, 9, 11};
constexpr std::array<int32_t, 7> MinorScale = {0, 2, 3, 5, 7, 9, 11};

// The pattern editor's key-grid selection: the check box and the two lists.
struct TKeyGrid {
    bool Ticked = false;
    int32_t Key = 0;  // index into KeyNames
    int32_t Mode = 0; // index into ModeNames
};

// Note set of key `key` in table `mode`; an empty set for indices outside the lists.
const TNoteSet& ScaleSet(int32_t mode, int32_t key);

// True when v is a member of set `key` of table `mode`; never for v outside 0..127.
bool ScaleContains(int32_t mode, int32_t key, int32_t v);

// A member comes back unchanged; any other value is moved one step, down or up, without a
// further check (within the note values the editors use, both neighbours of a non-member are
// members). With no scale selected (key or mode outside the lists) v comes back unchanged.
int32_t SnapToScale(int32_t v, bool down, int32_t mode, int32_t key);
