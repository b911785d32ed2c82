#include "foundation/UXVersion.h"

#include <gtest/gtest.h>

namespace {

TEST(TXVersion, StrToVersion) {
    struct Case {
        const char* text;
        bool invalid;
        int major, minor, build;
    };
    const Case cases[] = {
        {"1.4.27", false, 1, 4, 27},
        {" 1 . 2 . 3 ", false, 1, 2, 3},
        {"2.0.10", false, 2, 0, 10},
        {"1.0.59 ", false, 1, 0, 59},
        {"32767.0.2147483647", false, 32767, 0, 2147483647},
        {"1.2", true, 1, 2, -1},
        {"1.2.3.4", true, 1, 2, 3},
        {"1.2.3.", false, 1, 2, 3},
        {"a.2.3", true, -1, 2, 3},
        {"1.-2.3", true, 1, -2, 3},
        {"", true, -1, -1, -1},
        {"1..3", true, 1, -1, 3},
        {"1.2.3x", true, 1, 2, -1},
        {"32768.0.0", true, -1, 0, 0},
    };
    for (const Case& c : cases) {
        TXVersion v = StrToVersion(c.text);
        EXPECT_EQ(v.Invalid, c.invalid) << c.text;
        EXPECT_EQ(v.Major, c.major) << c.text;
        EXPECT_EQ(v.Minor, c.minor) << c.text;
        EXPECT_EQ(v.Build, c.build) << c.text;
    }
}

TEST(TXVersion, VersionToStrAndCompare) {
    EXPECT_EQ(VersionToStr(TXVersion{1, 4, 27, false}), "1.4.27");
    EXPECT_EQ(VersionToStr(StrToVersion(" 3 . 02 . 1 ")), "3.2.1");
    EXPECT_GT(CompareVersions(StrToVersion("2.0.10"), StrToVersion("2.0.9")), 0);
    EXPECT_LT(CompareVersions(StrToVersion("1.9.99"), StrToVersion("2.0.0")), 0);
    EXPECT_LT(CompareVersions(StrToVersion("2.1.0"), StrToVersion("2.10.0")), 0);
    EXPECT_EQ(CompareVersions(StrToVersion("1.0.59"), TXVersion{1, 0, 59, false}), 0);
    EXPECT_LT(CompareVersions(TXVersion{-1, 0, 0, true}, TXVersion{0, 0, 0, false}), 0); // signed
}

} // namespace
