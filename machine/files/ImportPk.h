#pragma once

#include <string>

struct TPkSong;
struct TTempoInfo;

inline const char* SongFileHeaderText() {
    return "Plinkora Song";
}

// Reads the song file at `path` into `song` and its time signature into `tempo`.
// Accepts the full layout and every older, shorter one, filling what is missing with defaults.
// The pattern names are Windows-1252 in the file and UTF-8 in the song; the song's name comes
// from the file name as the file system has it.
// Returns false, changing nothing, when the first line is not the song-file header.
// Throws FileError or ConvertError, changing nothing, when the file cannot be read or its
// content is malformed. On success the song is replaced whole, SongModified is cleared and the
// tempo values are derived from the new step time.
bool ReadSong(const std::string& path, TPkSong& song, TTempoInfo& tempo);
