#pragma once

#include "TempoBar.h"

#include <cstdint>
#include <string>
#include <vector>

struct TTempoInfo;

// Gate of a step: how it belongs to a note.
constexpr uint8_t gtSingle = 0; // a one-step note, or a rest when the note value is 0
constexpr uint8_t gtStart = 1;  // first step of a held note
constexpr uint8_t gtHold = 2;   // inner step of a held note
constexpr uint8_t gtEnd = 3;    // last step of a held note

constexpr int32_t NoteCeiling = 61; // transposition may not exceed NoteCeiling - Range
constexpr int32_t TransposeFloor = -32;
constexpr int32_t DefaultNote = 10;
constexpr uint8_t DefaultVelocity = 127;
constexpr int32_t DefaultRange = 37;
constexpr int32_t DefaultStepTime = 200;
constexpr int32_t MinStepTime = TempoBar::MinStepTime; // what the tempo bar can show
constexpr int32_t MaxStepTime = TempoBar::MaxStepTime;
constexpr int32_t MaxSteps = 16;
constexpr int32_t MaxPatterns = 255; // the pattern editor addresses patterns with one byte
constexpr int32_t OctaveRanges[] = {13, 25, 37, 49, 61};

bool IsValidRange(int32_t range);

// The one song of the machine. Index 0 of every outer array and of every step array is
// allocated and never used: patterns run 1..PatternCount, steps 1..Steps, song lines
// 1..SonglineCount. Every step array holds at least Steps + 1 entries.
struct TPkSong {
    std::string Name;
    int32_t StepTime = DefaultStepTime;
    uint8_t StepCapacity = MaxSteps;
    uint8_t Steps = MaxSteps;
    int32_t PatternCount = 0;
    int32_t SonglineCount = 0;
    int32_t Channel = 1;
    int32_t Device = -1;
    int32_t Patch = 0;
    int32_t Range = DefaultRange;
    int32_t MaxNote = 0;
    int32_t MinNote = 256;
    std::vector<std::vector<int32_t>> Notes;
    std::vector<int32_t> Songlines;
    std::vector<int32_t> Transpose;
    std::vector<std::vector<uint8_t>> Gates;
    std::vector<std::vector<uint8_t>> Lengths;
    std::vector<std::vector<uint8_t>> Velocities;
    std::vector<std::string> PatternNames;
    int32_t Bank = 0;

    // Kept beside the stored fields: the song is complete and may be rebuilt by controls,
    // and something the song file stores changed since the last load or save.
    bool SongReady = false;
    bool SongModified = false;

    bool operator==(const TPkSong&) const = default;
};

// Stores a value that the song file keeps; a different value marks the song modified.
template <typename T, typename V> void SetSongValue(TPkSong& song, T& field, V value) {
    if (field == static_cast<T>(value))
        return;
    field = static_cast<T>(value);
    song.SongModified = true;
}

// Sizes the outer arrays for patternCount patterns (entry 0 unused); new patterns get step
// arrays of StepCapacity + 1 entries holding rests.
void ResizePatternPool(TPkSong& song, int32_t patternCount);

// Gives pattern p step arrays of exactly `entries` entries; new steps are one-step rests at
// full velocity.
void ResizePatternSteps(TPkSong& song, int32_t p, size_t entries);

// Every step of pattern p becomes a one-step note of value `note` at `velocity`.
void FillPatternSteps(TPkSong& song, int32_t p, int32_t note, uint8_t velocity);

// A fresh one-pattern song at start-up: every step holds `note`; device and patch come from
// the main window's current choice.
void InitSong(TPkSong& song, TTempoInfo& tempo, int32_t note, int32_t device, int32_t patch,
              const std::string& newSongName);

// The track becomes one song line playing pattern 1, and the song takes the new-song name.
// The pattern pool is untouched.
void ResetTrackLines(TPkSong& song, const std::string& newSongName);

// Model side of "New > Project": one pattern of `steps` steps filled with DefaultNote at
// `volume`, a one-line track, channel 1, no transposition, three octaves.
void NewProject(TPkSong& song, int32_t steps, uint8_t volume, const std::string& newSongName);

// Model side of "New > Drumsession": NewProject, then channel 10, transposition -1, four octaves.
void NewDrumSession(TPkSong& song, int32_t steps, uint8_t volume, const std::string& newSongName);

// Model side of "New > Song (Keep Patterns)".
void NewSongKeepPatterns(TPkSong& song, const std::string& newSongName);

// True when p names a pattern of the pool whose step arrays cover Steps.
bool IsPatternNumber(const TPkSong& song, int32_t p);

// The largest note value of pattern p (0 when all are rests, or p is no pattern), recorded in
// song.MaxNote when it is above it.
int32_t RecordPatternHighestNote(TPkSong& song, int32_t p);

// Largest RecordPatternHighestNote over all patterns (each recorded as that does).
int32_t SongHighestNote(TPkSong& song);

// Sets the note range unless a pattern holds a note value that is not below it; returns
// whether the range was changed.
bool ChangeRange(TPkSong& song, int32_t range);

// Highest transposition the current range allows.
int32_t TransposeCeiling(const TPkSong& song);
