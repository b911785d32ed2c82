#include "foundation/UCp1252.h"

#include <gtest/gtest.h>

TEST(Cp1252, AllBytesRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = Cp1252ToUtf8(all);
    EXPECT_EQ(Utf8ToCp1252(utf8), all);
    for (int b = 0; b < 256; ++b) {
        const char32_t cp = Cp1252ToUnicode(static_cast<unsigned char>(b));
        EXPECT_EQ(UnicodeToCp1252(cp), b) << b;
    }
}

TEST(Cp1252, KnownCharacters) {
    struct Case {
        std::string cp1252;
        std::string utf8;
    };
    const Case cases[] = {
        {"\x80", "\u20AC"},   // euro
        {"\x81", "\xC2\x81"}, // undefined byte keeps its C1 code point
        {"\x8A\x9A", "\u0160\u0161"},
        {"\x93x\x94", "\u201Cx\u201D"},
        {"\x9F", "\u0178"},
        {"\xE7\xE3o", "\u00E7\u00E3o"},
        {"S\xE1"
         "bado",
         "S\u00E1bado"},
        {"\xFF", "\u00FF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Cp1252ToUtf8(c.cp1252), c.utf8);
        EXPECT_EQ(Utf8ToCp1252(c.utf8), c.cp1252);
    }
}

TEST(Cp1252, Utf8WithoutWindows1252Byte) {
    EXPECT_EQ(Utf8ToCp1252("a\u4E2Db"), "a?b"); // CJK
    EXPECT_EQ(Utf8ToCp1252("\U0001F600"), "?"); // outside the BMP, one character
    EXPECT_EQ(Utf8ToCp1252("\xC2\x80"), "?");   // U+0080 has no byte (0x80 is the euro)
    EXPECT_EQ(UnicodeToCp1252(0x0080), -1);
}

TEST(Cp1252, MalformedUtf8TakenAsLatin1) {
    EXPECT_EQ(Utf8ToCp1252("a\xE9z"), "a\xE9z");          // lone Latin-1 byte
    EXPECT_EQ(Utf8ToCp1252("\xC3"), "\xC3");              // truncated sequence
    EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "\xC0\xAF");      // overlong
    EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "\xED\xA0?"); // surrogate: bytes one by one
}
