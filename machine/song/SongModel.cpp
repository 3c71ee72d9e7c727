#include "SongModel.h"

#include "song/TempoInfo.h"

#include <algorithm>

bool IsValidRange(int32_t range) {
    return std::find(std::begin(OctaveRanges), std::end(OctaveRanges), range) !=
           std::end(OctaveRanges);
}

void ResizePatternPool(TPkSong& song, int32_t patternCount) {
    const size_t oldEntries = song.Notes.size();
    const size_t entries = static_cast<size_t>(patternCount) + 1;
    song.Notes.resize(entries);
    song.Gates.resize(entries);
    song.Lengths.resize(entries);
    song.Velocities.resize(entries);
    song.Transpose.resize(entries, 0);
    song.PatternNames.resize(entries);
    for (size_t p = std::max<size_t>(oldEntries, 1); p < entries; ++p)
        ResizePatternSteps(song, static_cast<int32_t>(p), song.StepCapacity + 1u);
    song.PatternCount = patternCount;
}

void ResizePatternSteps(TPkSong& song, int32_t p, size_t entries) {
    song.Notes[p].resize(entries, 0);
    song.Gates[p].resize(entries, gtSingle);
    song.Lengths[p].resize(entries, 1);
    song.Velocities[p].resize(entries, DefaultVelocity);
    song.Notes[p][0] = song.Gates[p][0] = song.Lengths[p][0] = song.Velocities[p][0] = 0;
}

void FillPatternSteps(TPkSong& song, int32_t p, int32_t note, uint8_t velocity) {
    for (int32_t s = 1; s <= song.Steps; ++s) {
        song.Notes[p][s] = note;
        song.Gates[p][s] = gtSingle;
        song.Lengths[p][s] = 1;
        song.Velocities[p][s] = velocity;
    }
}

void InitSong(TPkSong& song, TTempoInfo& tempo, int32_t note, int32_t device, int32_t patch,
              const std::string& newSongName) {
    song = TPkSong{};
    song.Name = newSongName;
    song.StepTime = DefaultStepTime;
    song.Device = device;
    song.Patch = patch;
    song.StepCapacity = MaxSteps;
    song.Steps = MaxSteps;
    ResizePatternPool(song, 1);
    FillPatternSteps(song, 1, note, DefaultVelocity);
    song.SonglineCount = 1;
    song.Songlines = {0, 1};
    song.MaxNote = song.MinNote = DefaultNote;
    SetTempo(tempo, song.StepTime);
    song.SongReady = true;
}

void ResetTrackLines(TPkSong& song, const std::string& newSongName) {
    song.SonglineCount = 1;
    song.Songlines = {0, 1};
    song.Name = newSongName;
}

void NewProject(TPkSong& song, int32_t steps, uint8_t volume, const std::string& newSongName) {
    steps = std::clamp(steps, 1, MaxSteps);
    song.Steps = static_cast<uint8_t>(steps);
    // Patterns added later are sized by StepCapacity, so it must cover the new step count.
    song.StepCapacity = std::max(song.StepCapacity, song.Steps);
    ResetTrackLines(song, newSongName);
    ResizePatternPool(song, 1);
    ResizePatternSteps(song, 1, std::max<size_t>(song.Notes[1].size(), song.Steps + 1u));
    FillPatternSteps(song, 1, DefaultNote, volume);
    song.Channel = 1;
    song.Transpose[1] = 0;
    song.Range = DefaultRange;
}

void NewDrumSession(TPkSong& song, int32_t steps, uint8_t volume, const std::string& newSongName) {
    NewProject(song, steps, volume, newSongName);
    song.Channel = 10;
    song.Transpose[1] = -1;
    song.Range = 49;
}

void NewSongKeepPatterns(TPkSong& song, const std::string& newSongName) {
    ResetTrackLines(song, newSongName);
}

namespace {

bool StepsCovered(const TPkSong& song, int32_t p) {
    const size_t needed = static_cast<size_t>(song.Steps) + 1;
    return song.Notes[p].size() >= needed && song.Gates[p].size() >= needed &&
           song.Lengths[p].size() >= needed && song.Velocities[p].size() >= needed;
}

} // namespace

bool IsPatternNumber(const TPkSong& song, int32_t p) {
    if (p < 1 || p > song.PatternCount)
        return false;
    const size_t entries = static_cast<size_t>(p) + 1;
    if (song.Notes.size() < entries || song.Gates.size() < entries ||
        song.Lengths.size() < entries || song.Velocities.size() < entries)
        return false;
    return StepsCovered(song, p);
}

int32_t RecordPatternHighestNote(TPkSong& song, int32_t p) {
    if (!IsPatternNumber(song, p))
        return 0;
    int32_t highest = 0;
    for (int32_t s = 1; s <= song.Steps; ++s)
        highest = std::max(highest, song.Notes[p][s]);
    song.MaxNote = std::max(song.MaxNote, highest);
    return highest;
}

int32_t SongHighestNote(TPkSong& song) {
    int32_t highest = 0;
    for (int32_t p = 1; p <= song.PatternCount; ++p)
        highest = std::max(highest, RecordPatternHighestNote(song, p));
    return highest;
}

bool ChangeRange(TPkSong& song, int32_t range) {
    if (!IsValidRange(range) || SongHighestNote(song) >= range)
        return false;
    SetSongValue(song, song.Range, range);
    return true;
}

int32_t TransposeCeiling(const TPkSong& song) {
    return NoteCeiling - song.Range;
}
