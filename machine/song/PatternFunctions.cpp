#include "PatternFunctions.h"

#include <algorithm>

int32_t PatternHighestNote(TPkSong& song, int32_t p) {
    int32_t highest = 0;
    for (int32_t s = 1; s <= song.Steps; ++s)
        highest = std::max(highest, song.Notes[p][s]);
    song.MaxNote = std::max(song.MaxNote, highest);
    return highest;
}

int32_t PatternLowestNote(TPkSong& song, int32_t p) {
    int32_t lowest = 127;
    for (int32_t s = 1; s <= song.Steps; ++s)
        if (song.Notes[p][s] != 0)
            lowest = std::min(lowest, song.Notes[p][s]);
    song.MinNote = std::min(song.MinNote, lowest);
    return lowest;
}

int32_t SongHighestNote(TPkSong& song) {
    int32_t highest = 0;
    for (int32_t p = 1; p <= song.PatternCount; ++p)
        highest = std::max(highest, PatternHighestNote(song, p));
    return highest;
}
