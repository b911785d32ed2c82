#include "foundation/UXConfiguration.h"
#include "foundation/UXText.h"
#include "foundation/UXVersion.h"

#include <gtest/gtest.h>

#include <regex>
#include <unistd.h>

TEST(Text, CutTokenTable) {
    struct Case {
        std::string text, sep, token, rest;
    };
    const Case cases[] = {
        {"a;b;c", ";", "a", "b;c"}, {"abc", ";", "abc", ""}, {";x", ";", "", "x"},
        {"x;", ";", "x", ""},       {"", ";", "", ""},       {"k=>v=>w", "=>", "k", "v=>w"},
        {"abc", "", "abc", ""},
    };
    for (const auto& c : cases) {
        std::string t = c.text;
        EXPECT_EQ(CutToken(t, c.sep), c.token) << c.text;
        EXPECT_EQ(t, c.rest) << c.text;
    }
}

TEST(Text, CutTokenWalksAList) {
    std::string list = "id;ID;50;R;N.3";
    std::vector<std::string> parts;
    while (!list.empty())
        parts.push_back(CutToken(list, ";"));
    EXPECT_EQ(parts, (std::vector<std::string>{"id", "ID", "50", "R", "N.3"}));
}

TEST(Text, PaddingTable) {
    EXPECT_EQ(PadLeft("12", 5, '0'), "00012");
    EXPECT_EQ(PadRight("ab", 4, '-'), "ab--");
    EXPECT_EQ(PadRight("", 3), "   ");
    EXPECT_EQ(PadLeft("abcdef", 3, '*'), "abcdef");
    EXPECT_EQ(PadRight("abcdef", 3, '*'), "abcdef");
    EXPECT_EQ(PadLeft("x", -2), "x");
}

TEST(Text, IntToStrZeroTable) {
    struct Case {
        int64_t n;
        int width;
        std::string out;
    };
    const Case cases[] = {
        {7, 3, "007"}, {-7, 4, "-007"}, {-7, 1, "-7"},     {12345, 3, "12345"},
        {0, 2, "00"},  {0, 0, "0"},     {-123, 4, "-123"}, {INT64_MIN, 1, "-9223372036854775808"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IntToStrZero(c.n, c.width), c.out) << c.n << " " << c.width;
}

TEST(Text, IsIntegerAndIsNumberTable) {
    struct Case {
        std::string text;
        bool integer, number;
    };
    const Case cases[] = {
        {"123", true, true},    {" -45 ", true, true},   {"", false, false},    {"   ", false, false},
        {"-", false, false},    {"+5", false, false},    {"1-2", false, false}, {"12,5", false, true},
        {"-0,25", false, true}, {"1,2,3", false, false}, {",5", false, true},   {"5,", false, true},
        {",", false, false},    {"1.5", false, false},   {"1 2", false, false}, {"--1", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsInteger(c.text), c.integer) << "[" << c.text << "]";
        EXPECT_EQ(IsNumber(c.text), c.number) << "[" << c.text << "]";
    }
    EXPECT_TRUE(IsNumber("1.5", '.'));
}

TEST(Text, ParamIndexIgnoresCaseAndProgramName) {
    const std::vector<std::string> args{"/usr/bin/config", "x", "WAIT", "Config"};
    EXPECT_EQ(ParamIndex("wait", args), 2);
    EXPECT_EQ(ParamIndex("CONFIG", args), 3); // args[0] is the program, never a parameter
    EXPECT_EQ(ParamIndex("absent", args), 0);
    EXPECT_EQ(ParamIndex("x", {}), 0);
}

TEST(Text, IfEmptyAndIfNull) {
    EXPECT_EQ(IfEmpty("", "d"), "d");
    EXPECT_EQ(IfEmpty(" ", "d"), " ");
    EXPECT_EQ(IfNull(TXVariant::Null(), TXVariant::FromInt(3)), TXVariant::FromInt(3));
    EXPECT_EQ(IfNull(TXVariant(), TXVariant::FromInt(3)), TXVariant::FromInt(3));
    EXPECT_EQ(IfNull(TXVariant::FromInt(0), TXVariant::FromInt(3)), TXVariant::FromInt(0));
    EXPECT_EQ(IfNull(TXVariant::FromString(""), TXVariant::FromInt(3)), TXVariant::FromString(""));
}

TEST(Text, TrimAndCase) {
    EXPECT_EQ(Trim("\t a b \r\n"), "a b");
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a "), "  a");
    EXPECT_EQ(UpperCase("arquivo.mdb \xE7"), "ARQUIVO.MDB \xE7");
    EXPECT_EQ(AnsiUpperCase("a\xE7\xE3o \x9A\xFF\xF7"), "A\xC7\xC3O \x8A\x9F\xF7");
    EXPECT_EQ(AnsiLowerCase("A\xC7\xC3O \x8A\x9F\xD7"), "a\xE7\xE3o \x9A\xFF\xD7");
    EXPECT_TRUE(SameText("SESS", "sess"));
    EXPECT_FALSE(SameText("SESS", "sesx"));
}

TEST(Text, NowTextHasTimeStampForm) {
    const std::string now = NowText();
    EXPECT_TRUE(std::regex_match(now, std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})"))) << now;
}

TEST(Text, ExeFolderIsThisProgramsFolder) {
    const std::string folder = ExeFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(access((folder + "test_foundation_text").c_str(), X_OK), 0) << folder;
}

TEST(Text, ConfigurationIdentity) {
    TXConfiguration cfg;
    EXPECT_EQ(cfg.Application, "SARVOLENTIS");
    EXPECT_EQ(VersionToStr(cfg.ApplicationVersion), "1.0.59");
    EXPECT_FALSE(cfg.ApplicationVersion.Invalid);
}
