#pragma once

#include <stdexcept>
#include <string>

// A song or MIDI file could not be read or written; what() is the message for the user.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string CannotOpenMessage(const std::string& path);   // "Cannot open file <path>"
std::string CannotCreateMessage(const std::string& path); // "Cannot create file <path>"
