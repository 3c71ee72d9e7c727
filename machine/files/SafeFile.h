#pragma once

#include <string>
#include <string_view>

// Writes `data` to a new file beside `path` and renames it over `path`, so the old file stays
// whole unless the new one was written completely. Throws FileError ("Cannot create file")
// on any failure and leaves no temporary file behind.
void WriteFileAtomically(const std::string& path, std::string_view data);

// Reads a whole file; throws FileError ("Cannot open file") when it cannot be read.
std::string ReadWholeFile(const std::string& path);
