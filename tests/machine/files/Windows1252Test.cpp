#include "files/Windows1252.h"

#include <gtest/gtest.h>

TEST(Windows1252, EveryByteReadsAndWritesBackUnchanged) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string text = Windows1252ToUtf8(all);
    EXPECT_EQ(Utf8ToWindows1252(text), all);
    EXPECT_EQ(Windows1252ToUtf8("\x80\x8A\x9F\xA0\xDC\xFF"), "€Š\u0178\u00A0Üÿ");
    EXPECT_EQ(Windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D")
        << "the bytes the table leaves free keep their number";
}

TEST(Windows1252, WhatTheCodePageCannotHoldBecomesOneQuestionMarkEach) {
    EXPECT_EQ(Utf8ToWindows1252("Ω ♪ 😀 \u0080 \u0100"), "? ? ? ? ?");
    // Broken UTF-8: cut off, overlong, a surrogate, above U+10FFFF, stray continuation bytes.
    EXPECT_EQ(Utf8ToWindows1252("a\xC3"), "a?");
    EXPECT_EQ(Utf8ToWindows1252("\xE2\x82 \xF0\x9F\x98"), "? ?");
    EXPECT_EQ(Utf8ToWindows1252("\xC0\xAF|\xE0\x80\xAF"), "??|???");
    EXPECT_EQ(Utf8ToWindows1252("\xED\xA0\x80|\xF4\x90\x80\x80"), "???|????");
    EXPECT_EQ(Utf8ToWindows1252("\x80\xBF\xFE\xFF"), "????");
    EXPECT_EQ(Utf8ToWindows1252("\xE2\x82\xAC\xF4\x8F\xBF\xBF"), "\x80?");
}
