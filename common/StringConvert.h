#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// Raised when a text is not a decimal integer; what() is the user-facing message.
class ConvertError : public std::runtime_error {
public:
    explicit ConvertError(std::string_view text);
};

// A decimal integer with an optional sign and nothing else, within 32 bits.
std::optional<int32_t> TryStrToInt(std::string_view text);

// As TryStrToInt; throws ConvertError ("'<text>' is not a valid integer value") otherwise.
int32_t StrToInt(std::string_view text);
