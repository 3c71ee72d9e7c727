#pragma once

#include "UserMessage.h"

#include <stdexcept>
#include <string>

// A song or MIDI file could not be read or written. Message() says why, without words: the
// session words it in the user's language (what() only names the fault, for diagnosis).
class FileError : public std::runtime_error {
public:
    explicit FileError(TUserMessage message);
    const TUserMessage& Message() const { return message_; }

private:
    TUserMessage message_;
};

TUserMessage CannotOpenMessage(const std::string& path);   // "Cannot open file <path>"
TUserMessage CannotCreateMessage(const std::string& path); // "Cannot create file <path>"
