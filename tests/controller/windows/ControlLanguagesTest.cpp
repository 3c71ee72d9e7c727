// The window's texts come in both languages.

#include "ControlLanguages.h"

#include <gtest/gtest.h>

namespace {

bool BothOrNeither(const TBothLanguages& text) {
    return !text.German == !text.English;
}

TEST(ControlLanguages, EveryGermanTextHasAnEnglishOneAndTheOtherWayRound) {
    for (const auto table : {WindowTexts(), FrameHints()})
        for (const TControlText& text : table) {
            EXPECT_TRUE(BothOrNeither(text.Caption)) << text.Name;
            EXPECT_TRUE(BothOrNeither(text.Hint)) << text.Name;
            EXPECT_TRUE(text.Caption.German || text.Hint.German) << text.Name << " says nothing";
        }
    const QStringList german = ControlTexts(TLanguage::German).All();
    const QStringList english = ControlTexts(TLanguage::English).All();
    ASSERT_EQ(german.size(), english.size());
    for (qsizetype i = 0; i < german.size(); ++i) {
        EXPECT_FALSE(german[i].isEmpty()) << i;
        EXPECT_FALSE(english[i].isEmpty()) << i;
    }
}

} // namespace
