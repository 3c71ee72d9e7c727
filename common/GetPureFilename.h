#pragma once

#include <string>

// File-name helpers shared by the machine and the controller. Paths use '/'.

// The characters after the last '/'; the whole text when there is none.
std::string FileNamePart(const std::string& path);

// Drops a final three-letter extension: when the text is longer than three characters and its
// fourth-last character is '.', the last four characters go; otherwise the text is unchanged.
std::string StripExtension(const std::string& path);

// A MIDI file's name as the command lines take it: it ends in ".mid", so the file written is the
// one the user named (a name with another ending would be changed, and could replace a file the
// user did not name).
bool NamesMidiFile(const std::string& path);
