#pragma once

#include "UserMessage.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// Raised when a text is not a decimal integer; what() is the message in English, Message() the
// message for wording in the user's language.
class ConvertError : public std::runtime_error {
public:
    explicit ConvertError(std::string_view text);
    TUserMessage Message() const { return ::Message(TMessageKind::NotInteger, {Plain(text_)}); }

private:
    std::string text_;
};

// `text` without the blanks (spaces, tabs, line ends) at either end.
std::string_view Trimmed(std::string_view text);

// A decimal integer with an optional sign and nothing else, within 32 bits.
std::optional<int32_t> TryStrToInt(std::string_view text);

// As TryStrToInt; throws ConvertError ("'<text>' is not a valid integer value") otherwise.
int32_t StrToInt(std::string_view text);
