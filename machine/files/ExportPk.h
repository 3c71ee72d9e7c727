#pragma once

#include <string>

struct TPkSong;
struct TTempoInfo;

// The song file text: CR LF line ends, each list value followed by one space, the pattern names
// (UTF-8 in the song) in Windows-1252.
std::string FormatSong(const TPkSong& song, const TTempoInfo& tempo);

// Writes the song file at `path` atomically and clears SongModified. Throws FileError
// ("Cannot create file <path>") when it cannot be written; the old file then stays as it was.
void WriteSong(const std::string& path, TPkSong& song, const TTempoInfo& tempo);
