#include "GetPureFilename.h"
#include "StringConvert.h"

#include <gtest/gtest.h>

TEST(FileNamePart, TakesWhatFollowsTheLastSlash) {
    EXPECT_EQ(FileNamePart("/home/ann/songs/Intro.pks"), "Intro.pks");
    EXPECT_EQ(FileNamePart("songs/a/b"), "b");
    EXPECT_EQ(FileNamePart("Intro.pks"), "Intro.pks");
    EXPECT_EQ(FileNamePart("/songs/"), "");
    EXPECT_EQ(FileNamePart(""), "");
}

TEST(StripExtension, DropsOnlyThreeLetterExtensions) {
    EXPECT_EQ(StripExtension("Intro.pks"), "Intro");
    EXPECT_EQ(StripExtension("/a/b/Song 1.mid"), "/a/b/Song 1");
    EXPECT_EQ(StripExtension("Intro.midi"), "Intro.midi");
    EXPECT_EQ(StripExtension("Intro.pk"), "Intro.pk");
    EXPECT_EQ(StripExtension(".pks"), "");
    EXPECT_EQ(StripExtension("pks"), "pks");
    EXPECT_EQ(StripExtension("a.b.pks"), "a.b");
}

TEST(StrToInt, AcceptsDecimalIntegersOnly) {
    EXPECT_EQ(StrToInt("0"), 0);
    EXPECT_EQ(StrToInt("-17"), -17);
    EXPECT_EQ(StrToInt("+5"), 5);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    for (const char* bad :
         {"", "-", "+", "12a", " 1", "1 ", "0x10", "$1F", "2147483648", "+-1", "1.5"})
        EXPECT_FALSE(TryStrToInt(bad).has_value()) << "'" << bad << "'";
}

TEST(StrToInt, NamesTheOffendingTextInItsError) {
    try {
        StrToInt("1O");
        FAIL() << "no error";
    } catch (const ConvertError& error) {
        EXPECT_STREQ(error.what(), "'1O' is not a valid integer value");
    }
}
