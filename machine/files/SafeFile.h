#pragma once

#include <string>
#include <string_view>

// Writes `data` to a new file beside `path`, flushes it to the disk and renames it over `path`
// (then flushes the folder), so the file is the old one or the new one, whole, also after a
// crash or power loss. Throws FileError ("Cannot create file") on any failure and leaves no
// temporary file behind.
void WriteFileAtomically(const std::string& path, std::string_view data);

// Reads a whole file; throws FileError ("Cannot open file") when it cannot be read.
std::string ReadWholeFile(const std::string& path);
