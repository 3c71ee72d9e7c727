// The song file reader on any bytes: it reads the file or refuses it with FileError, and a song
// it reads has the shape the rest of the machine relies on.
#include "SongReading.h"

namespace {

void CheckShape(const TPkSong& song) {
    const auto patterns = static_cast<size_t>(song.PatternCount) + 1;
    if (song.PatternCount < 1 || song.PatternCount > MaxPatterns || song.Steps < 1 ||
        song.Steps > MaxSteps || song.StepCapacity < song.Steps)
        FuzzFailure("pattern or step count out of range");
    if (song.Notes.size() != patterns || song.Gates.size() != patterns ||
        song.Lengths.size() != patterns || song.Velocities.size() != patterns ||
        song.PatternNames.size() != patterns || song.Transpose.size() != patterns)
        FuzzFailure("a pattern array does not hold every pattern");
    for (int32_t p = 1; p <= song.PatternCount; ++p) {
        const size_t steps = song.Steps + 1u;
        if (song.Notes[p].size() < steps || song.Gates[p].size() < steps ||
            song.Lengths[p].size() < steps || song.Velocities[p].size() < steps)
            FuzzFailure("a step array is shorter than the step count");
        for (int32_t s = 1; s <= song.Steps; ++s)
            if (song.Notes[p][s] < 0 || song.Notes[p][s] > 127 || song.Gates[p][s] > gtEnd ||
                song.Lengths[p][s] > MaxSteps)
                FuzzFailure("a step value out of range");
    }
    if (song.SonglineCount < 0 || song.Songlines.size() != song.SonglineCount + 1u)
        FuzzFailure("the song-line list does not match its count");
    for (int32_t line = 1; line <= song.SonglineCount; ++line)
        if (song.Songlines[line] < 1 || song.Songlines[line] > song.PatternCount)
            FuzzFailure("a song line names no pattern");
    if (song.Channel < 1 || song.Channel > 16 || song.Patch < 0 || song.Patch > 127 ||
        song.Bank < 0 || song.Bank > 127 || !IsValidRange(song.Range))
        FuzzFailure("a setting out of range");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = SongFileOf(data, size);
    TPkSong song;
    TTempoInfo tempo;
    if (SongAccepted(path, song, tempo))
        CheckShape(song);
    return 0;
}
