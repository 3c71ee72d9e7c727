#pragma once

#include "SongModel.h"

// Whole-pattern operations and the note-value scans that guard them. Patterns are 1-based.

// Largest note value of pattern p (0 when all are rests); widens song.MaxNote.
int32_t PatternHighestNote(TPkSong& song, int32_t p);

// Smallest non-zero note value of pattern p (127 when all are rests); narrows song.MinNote.
int32_t PatternLowestNote(TPkSong& song, int32_t p);

// Largest PatternHighestNote over all patterns.
int32_t SongHighestNote(TPkSong& song);
