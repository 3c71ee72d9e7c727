#include "Language.h"

#include <gtest/gtest.h>

TEST(LanguageOption, TakesTheOptionOutInBothSpellingsAndTheLastCounts) {
    std::vector<std::string> args{"Plinkora", "--language", "en", "song one.pks", "--language=de"};
    const TLanguageOption option = TakeLanguageOption(args);
    EXPECT_EQ(option.Language, TLanguage::German);
    EXPECT_TRUE(option.Error.empty());
    EXPECT_EQ(args, (std::vector<std::string>{"Plinkora", "song one.pks"}));
}

TEST(LanguageOption, AMissingOrUnknownCodeIsAnErrorAndChoosesNothing) {
    std::vector<std::string> unknown{"--language", "fr", "--export-midi"};
    TLanguageOption option = TakeLanguageOption(unknown);
    EXPECT_FALSE(option.Language);
    EXPECT_NE(option.Error.find("fr"), std::string::npos);
    EXPECT_EQ(unknown, std::vector<std::string>{"--export-midi"});

    std::vector<std::string> missing{"x.pks", "--language"};
    option = TakeLanguageOption(missing);
    EXPECT_FALSE(option.Language);
    EXPECT_FALSE(option.Error.empty());
    EXPECT_EQ(LanguageFromCode("EN"), std::nullopt);
    EXPECT_EQ(LanguageFromCode(LanguageCode(TLanguage::English)), TLanguage::English);
}
