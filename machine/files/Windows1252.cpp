#include "Windows1252.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// Characters of the bytes 0x80..0x9F.
constexpr std::array<char32_t, 32> HighBytes = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98
};

constexpr char Replacement = '?';

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else { // every character of the code page lies below U+10000
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char EncodeCharacter(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    const auto at = std::find(HighBytes.begin(), HighBytes.end(), c);
    if (at == HighBytes.end())
        return Replacement;
    return static_cast<char>(0x80 + (at - HighBytes.begin()));
}

// The character starting at text[i] and its length in bytes. Length 0: no character starts
// there, and Skip bytes (the lead byte and the continuation bytes that fit it) are passed over
// as one broken sequence.
struct TDecoded {
    char32_t Character = 0;
    size_t Length = 0;
    size_t Skip = 1;
};

TDecoded DecodeUtf8(std::string_view text, size_t i) {
    const auto lead = static_cast<uint8_t>(text[i]);
    size_t length = 0;
    char32_t c = 0;
    uint8_t low = 0x80, high = 0xBF; // range of the second byte
    if (lead < 0x80)
        return {lead, 1, 1};
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else {
        return {};
    }
    for (size_t k = 1; k < length; ++k) {
        if (i + k >= text.size())
            return {0, 0, k};
        const auto byte = static_cast<uint8_t>(text[i + k]);
        if (byte < (k == 1 ? low : 0x80) || byte > (k == 1 ? high : 0xBF))
            return {0, 0, k};
        c = (c << 6) | (byte & 0x3F);
    }
    return {c, length, length};
}

} // namespace

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (char byte : bytes) {
        const auto b = static_cast<uint8_t>(byte);
        AppendUtf8(text, b >= 0x80 && b <= 0x9F ? HighBytes[b - 0x80] : char32_t(b));
    }
    return text;
}

std::string Utf8ToWindows1252(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const TDecoded decoded = DecodeUtf8(text, i);
        bytes += decoded.Length == 0 ? Replacement : EncodeCharacter(decoded.Character);
        i += decoded.Skip;
    }
    return bytes;
}
