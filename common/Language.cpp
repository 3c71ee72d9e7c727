#include "Language.h"

namespace {

constexpr std::string_view OptionName = "--language";

std::string UnknownCode(std::string_view code) {
    return "--language needs de or en, not '" + std::string(code) + "'";
}

} // namespace

std::string_view LanguageCode(TLanguage language) {
    return language == TLanguage::English ? "en" : "de";
}

std::optional<TLanguage> LanguageFromCode(std::string_view code) {
    if (code == "de")
        return TLanguage::German;
    if (code == "en")
        return TLanguage::English;
    return std::nullopt;
}

TLanguageOption TakeLanguageOption(std::vector<std::string>& arguments) {
    TLanguageOption option;
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        std::optional<std::string_view> code;
        if (argument == OptionName) {
            if (i + 1 == arguments.size()) {
                option.Error = "--language needs de or en";
                continue;
            }
            code = arguments[++i];
        } else if (argument.starts_with(OptionName) && argument[OptionName.size()] == '=') {
            code = argument.substr(OptionName.size() + 1);
        } else {
            kept.push_back(arguments[i]);
            continue;
        }
        if (const auto language = LanguageFromCode(*code))
            option.Language = language;
        else
            option.Error = UnknownCode(*code);
    }
    arguments = std::move(kept);
    return option;
}
