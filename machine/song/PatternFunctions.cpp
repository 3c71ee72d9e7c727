#include "PatternFunctions.h"

#include "Melodies.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace {

constexpr int32_t MaxVelocity = 127;

bool IsNoteValue(const TPkSong& song, int32_t v) {
    return v >= 0 && v <= song.Range;
}

bool IsTransposition(const TPkSong& song, int32_t transposition) {
    return transposition >= TransposeFloor && transposition <= TransposeCeiling(song);
}

std::string PatternName(int32_t n) {
    return std::string("(").append(std::to_string(n)).append(") ");
}

// Grows the pool by one pattern of rests and its timeline; returns the new pattern number.
int32_t AppendPattern(TPkSong& song, TMelodies& melodies, int32_t transposition) {
    const int32_t n = song.PatternCount + 1;
    ResizePatternPool(song, n);
    // StepCapacity sizes new patterns; never let one be shorter than the song's step count.
    ResizePatternSteps(song, n, std::max(song.Notes[n].size(), song.Steps + size_t{1}));
    song.Transpose[n] = transposition;
    song.PatternNames[n] = PatternName(n);
    melodies.Resize(n);
    return n;
}

bool CanAppend(const TPkSong& song, int32_t transposition) {
    return song.PatternCount >= 0 && song.PatternCount < MaxPatterns &&
           IsTransposition(song, transposition);
}

struct TStep {
    int32_t Note;
    uint8_t Gate;
    uint8_t Length;
    uint8_t Velocity;
};

TStep ReadStep(const TPkSong& song, int32_t p, int32_t s) {
    return {song.Notes[p][s], song.Gates[p][s], song.Lengths[p][s], song.Velocities[p][s]};
}

void WriteStep(TPkSong& song, int32_t p, int32_t s, const TStep& step) {
    song.Notes[p][s] = step.Note;
    song.Gates[p][s] = step.Gate;
    song.Lengths[p][s] = step.Length;
    song.Velocities[p][s] = step.Velocity;
}

void RotateOneStepLeft(TPkSong& song, int32_t p) {
    const TStep first = ReadStep(song, p, 1);
    for (int32_t s = 1; s < song.Steps; ++s)
        WriteStep(song, p, s, ReadStep(song, p, s + 1));
    WriteStep(song, p, song.Steps, first);
}

void RotateOneStepRight(TPkSong& song, int32_t p) {
    const TStep last = ReadStep(song, p, song.Steps);
    for (int32_t s = song.Steps; s > 1; --s)
        WriteStep(song, p, s, ReadStep(song, p, s - 1));
    WriteStep(song, p, 1, last);
}

void ShiftSoundingNotes(TPkSong& song, int32_t p, int32_t semitones) {
    for (int32_t s = 1; s <= song.Steps; ++s)
        if (song.Notes[p][s] != 0)
            song.Notes[p][s] += semitones;
}

// The last part of a note that a lengthened note cut into: from `first` up to the cut note's end
// it becomes a note of its own with the cut note's pitch.
void KeepCutRemainder(TPkSong& song, int p, int first, int pitch) {
    auto& gates = song.Gates[p];
    int end = first;
    while (end < song.Steps && gates[end] != gtEnd)
        ++end;
    const int covered = end - first;
    gates[end] = gtEnd;
    for (int j = first + 1; j < end; ++j)
        gates[j] = gtHold;
    gates[first] = covered == 0 ? gtSingle : gtStart;
    for (int j = first; j <= end; ++j) {
        song.Lengths[p][j] = static_cast<uint8_t>(covered + 1);
        song.Notes[p][j] = pitch;
    }
}

} // namespace

int32_t AddPattern(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t fillPitch,
                   uint8_t volume, int32_t transposition) {
    if (!CanAppend(song, transposition) || !IsNoteValue(song, fillPitch) || volume > MaxVelocity)
        return NoPattern;
    const int32_t n = AppendPattern(song, melodies, transposition);
    FillPattern(song, melodies, voice, n, fillPitch, volume);
    return n;
}

int32_t CopyPattern(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p,
                    int32_t transposition) {
    if (!IsPatternNumber(song, p) || !CanAppend(song, transposition))
        return NoPattern;
    const int32_t n = AppendPattern(song, melodies, transposition);
    for (int32_t s = 1; s <= song.Steps; ++s)
        WriteStep(song, n, s, ReadStep(song, p, s));
    const std::vector<TMelodyEvent> timeline = melodies.Timeline(p - 1);
    if (timeline.size() == 2u * song.Steps)
        melodies.Publish(n - 1, timeline);
    else // the source's timeline was never built
        BuildMelody(song, melodies, voice, n);
    song.PatternNames[n] = PatternName(n) + "copy of " + std::to_string(p);
    return n;
}

bool FillPattern(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p, int32_t v,
                 uint8_t volume) {
    if (!IsPatternNumber(song, p) || !IsNoteValue(song, v) || volume > MaxVelocity)
        return false;
    FillPatternSteps(song, p, v, volume);
    BuildMelody(song, melodies, voice, p);
    return true;
}

bool RandomizePattern(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p,
                      const TKeyGrid& grid) {
    const auto now = std::chrono::system_clock::now().time_since_epoch().count();
    std::mt19937 random(static_cast<std::mt19937::result_type>(now));
    return RandomizePattern(song, melodies, voice, p, grid, random);
}

bool RandomizePattern(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p,
                      const TKeyGrid& grid, std::mt19937& random) {
    if (!IsPatternNumber(song, p) || song.Range < 1)
        return false;
    std::uniform_int_distribution<int32_t> draw(0, song.Range - 1);
    for (int32_t s = 1; s <= song.Steps; ++s) {
        int32_t v = draw(random);
        if (grid.Ticked)
            v = SnapToScale(v, true, grid.Mode, grid.Key);
        song.Notes[p][s] = v;
        song.Gates[p][s] = gtSingle;
        song.Lengths[p][s] = 1;
    }
    BuildMelody(song, melodies, voice, p);
    return true;
}

bool ShiftPatternUp(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p) {
    if (!IsPatternNumber(song, p) || RecordPatternHighestNote(song, p) >= song.Range)
        return false;
    ShiftSoundingNotes(song, p, +1);
    BuildMelody(song, melodies, voice, p);
    return true;
}

bool ShiftPatternDown(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p) {
    if (!IsPatternNumber(song, p) || PatternLowestNote(song, p) < 2)
        return false;
    ShiftSoundingNotes(song, p, -1);
    BuildMelody(song, melodies, voice, p);
    return true;
}

bool RotatePatternLeft(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p) {
    if (!IsPatternNumber(song, p))
        return false;
    for (int32_t turn = song.Lengths[p][1]; turn > 0; --turn)
        RotateOneStepLeft(song, p);
    BuildMelody(song, melodies, voice, p);
    return true;
}

bool RotatePatternRight(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p) {
    if (!IsPatternNumber(song, p))
        return false;
    for (int32_t turn = song.Lengths[p][song.Steps]; turn > 0; --turn)
        RotateOneStepRight(song, p);
    BuildMelody(song, melodies, voice, p);
    return true;
}

bool SetAllVelocities(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, uint8_t v) {
    if (v > MaxVelocity)
        return false;
    for (int32_t p = 1; p <= song.PatternCount; ++p) {
        if (!IsPatternNumber(song, p))
            continue;
        for (int32_t s = 1; s <= song.Steps; ++s)
            song.Velocities[p][s] = v;
        BuildMelody(song, melodies, voice, p);
    }
    return true;
}

int32_t PatternLowestNote(TPkSong& song, int32_t p) {
    if (!IsPatternNumber(song, p))
        return 127;
    int32_t lowest = 127;
    for (int32_t s = 1; s <= song.Steps; ++s)
        if (song.Notes[p][s] != 0)
            lowest = std::min(lowest, song.Notes[p][s]);
    song.MinNote = std::min(song.MinNote, lowest);
    return lowest;
}

bool SetNoteLength(TPkSong& song, int32_t p, int32_t s, int32_t n) {
    if (!IsPatternNumber(song, p) || s < 1 || s > song.Steps || n < 1 || n > song.Steps - s + 1)
        return false;
    auto& notes = song.Notes[p];
    auto& gates = song.Gates[p];
    auto& lengths = song.Lengths[p];
    const std::vector<int32_t> oldNotes = notes;
    const std::vector<uint8_t> oldGates = gates;
    const int oldLength = lengths[s];
    const int pitch = notes[s];

    gates[s] = n == 1 ? gtSingle : gtStart;
    lengths[s] = static_cast<uint8_t>(n);
    uint8_t oldEndGate = gtSingle;
    const int e = s + n - 1;
    if (n > 1) {
        // The covered steps carry the pitch too, so that a later cut or shortening keeps it.
        for (int j = s + 1; j <= e; ++j) {
            gates[j] = gtHold;
            lengths[j] = static_cast<uint8_t>(n);
            notes[j] = pitch;
        }
        oldEndGate = oldGates[e];
        gates[e] = gtEnd;
    }
    if (n < oldLength) {
        for (int j = s + n; j <= std::min(s + oldLength - 1, int(song.Steps)); ++j) {
            gates[j] = gtSingle;
            lengths[j] = 1;
            notes[j] = pitch;
        }
    } else if ((oldEndGate == gtStart || oldEndGate == gtHold) && e < song.Steps) {
        int cutStart = e;
        while (cutStart > 1 && oldGates[cutStart] == gtHold)
            --cutStart;
        KeepCutRemainder(song, p, e + 1, oldNotes[cutStart]);
    }
    return true;
}
