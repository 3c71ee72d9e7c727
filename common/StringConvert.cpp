#include "StringConvert.h"

#include <charconv>

namespace {

// Built by appending: GCC 12 warns falsely (-Wrestrict) of "'" + std::string at -O2.
std::string NotAnIntegerText(std::string_view text) {
    std::string message(1, '\'');
    message.append(text).append("' is not a valid integer value");
    return message;
}

} // namespace

std::string_view Trimmed(std::string_view text) {
    constexpr std::string_view Blanks = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

ConvertError::ConvertError(std::string_view text)
    : std::runtime_error(NotAnIntegerText(text)), text_(text) {}

std::optional<int32_t> TryStrToInt(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    if (digits.empty() || (digits.front() == '-' && text.front() == '+'))
        return std::nullopt;
    int32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

int32_t StrToInt(std::string_view text) {
    if (auto value = TryStrToInt(text))
        return *value;
    throw ConvertError(text);
}
