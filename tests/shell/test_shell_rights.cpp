#include "shell/UXUserRights.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Row {
    std::string screen;
    std::string codes;
};
struct Check {
    std::string screen;
    std::string code;
    bool expected;
};
struct Case {
    std::string name;
    std::vector<Row> rows;
    std::vector<Check> checks;
};

const std::vector<Case> kCases = {
    {"NothingLoaded", {}, {{"-", "INC", true}, {"-", "", true}, {"LCULTURA", "MEN", false}, {"", "", false}}},
    {"TwoGroupsOnOneScreenAddUp",
     {{"LCULTURA", "INC"}, {"LCULTURA", "ALT"}},
     {{"LCULTURA", "INC", true},
      {"LCULTURA", "ALT", true},
      {"LCULTURA", "EXC", false},
      {"LSAFRA", "INC", false}}},
    {"StarGrantsEveryScreen",
     {{"*", "CON"}, {"LSAFRA", "INC"}},
     {{"LCULTURA", "CON", true},
      {"ANY_FRAME", "CON", true},
      {"LCULTURA", "INC", false},
      {"LSAFRA", "INC", true}}},
    {"CodesAndScreensIgnoreCase",
     {{"lcultura", "inc;Alt"}, {"*", "adm"}},
     {{"LCULTURA", "INC", true}, {"LCultura", "ALT", true}, {"X", "ADM", true}, {"LCULTURA", "EXC", false}}},
    {"SplittingKeepsInnerEmptyCodes",
     {{"S", "A;;B"}},
     {{"S", "A", true}, {"S", "B", true}, {"S", "", true}, {"S", "A;", false}}},
    {"TrailingSeparatorGrantsTheCodeOnly",
     {{"S", "MEN;INC;"}},
     {{"S", "MEN", true}, {"S", "INC", true}, {"S", "ALT", false}}},
    {"EmptyListAddsNothingButNamesTheScreen",
     {{"S", ""}, {"*", ""}},
     {{"S", "", false}, {"T", "", false}, {"S", "MEN", false}}},
    {"ScreenNamesAreWholeNames",
     {{"LCULTURA", "MEN"}},
     {{"LCULT", "MEN", false}, {"LCULTURAS", "MEN", false}, {"LCULTURA", "ME", false}}},
};

class RightsCase : public ::testing::TestWithParam<Case> {};

TEST_P(RightsCase, HasRightAnswers) {
    TXUserRights rights;
    for (const auto& r : GetParam().rows)
        rights.AddGroupRow(r.screen, r.codes);
    for (const auto& c : GetParam().checks)
        EXPECT_EQ(rights.HasRight(c.screen, c.code), c.expected)
            << "screen '" << c.screen << "' code '" << c.code << "'";
}

INSTANTIATE_TEST_SUITE_P(Rights, RightsCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });

TEST(Rights, SplitFollowsTheSeparators) {
    using V = std::vector<std::string>;
    EXPECT_EQ(TXUserRights::SplitCodes(""), V{});
    EXPECT_EQ(TXUserRights::SplitCodes("MEN"), V{"MEN"});
    EXPECT_EQ(TXUserRights::SplitCodes("A;;B"), (V{"A", "", "B"}));
    EXPECT_EQ(TXUserRights::SplitCodes(";A"), (V{"", "A"}));
    EXPECT_EQ(TXUserRights::SplitCodes("A;"), V{"A"});
}

TEST(Rights, ClearRightsForgetsEverythingAndReloads) {
    TXUserRights& rights = UserRights();
    EXPECT_EQ(&rights, &UserRights());
    rights.AddGroupRow("*", "ADM");
    rights.AddGroupRow("LCULTURA", "MEN");
    ASSERT_TRUE(rights.HasRight("LSAFRA", "ADM"));
    rights.ClearRights();
    EXPECT_FALSE(rights.HasRight("LSAFRA", "ADM"));
    EXPECT_FALSE(rights.HasRight("LCULTURA", "MEN"));
    EXPECT_EQ(rights.ScreenCodes("LCULTURA"), nullptr);
    EXPECT_TRUE(rights.HasRight("-", "MEN"));
    rights.AddScreenRights("LCULTURA", "INC");
    rights.AddScreenRights("LCULTURA", "INC");
    ASSERT_NE(rights.ScreenCodes("lcultura"), nullptr);
    EXPECT_EQ(rights.ScreenCodes("lcultura")->size(), 2u);
    EXPECT_TRUE(rights.HasRight("LCULTURA", "inc"));
    EXPECT_EQ(LiveObjectCount("TXUserRights"), 1u);
    FreeUserRights();
    EXPECT_EQ(LiveObjectCount("TXUserRights"), 0u);
    EXPECT_FALSE(UserRights().HasRight("LCULTURA", "INC"));
    FreeUserRights();
}

} // namespace
