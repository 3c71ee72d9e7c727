#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The languages both programs speak. German is what they speak when no choice was made.
enum class TLanguage { German, English };

inline constexpr TLanguage DefaultLanguage = TLanguage::German;

// "de" or "en": the code on the command line and in the settings files.
std::string_view LanguageCode(TLanguage language);
std::optional<TLanguage> LanguageFromCode(std::string_view code);

// A language chosen on the command line, taken out of the arguments.
struct TLanguageOption {
    std::optional<TLanguage> Language; // none: no --language was given
    std::string Error;                 // not empty: the option's value is missing or unknown
};

// Removes every "--language CODE" and "--language=CODE" from `arguments`; the last one given
// counts.
TLanguageOption TakeLanguageOption(std::vector<std::string>& arguments);
