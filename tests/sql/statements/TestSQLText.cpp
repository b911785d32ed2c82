// Building the statement text from parts and typed parameters.
#include "SQLTestSupport.h"

#include <gtest/gtest.h>

TEST(SQLText, WhereConditionsAreParenthesisedAndJoinedWithAnd) {
    struct Case {
        std::vector<std::string> calls;
        std::string where;
    };
    const std::vector<Case> cases = {
        {{"a=1"}, "WHERE (a=1)"},
        {{"a=1", "b=2"}, "WHERE (a=1) AND (b=2)"},
        {{"a=1", "b=2", "(", "c=3", "d=4", ")"}, "WHERE (a=1) AND (b=2) AND ( (c=3) AND (d=4))"},
        {{"(", "c=3", ")"}, "WHERE ( (c=3))"},
        {{"", "a=1", ""}, "WHERE (a=1)"},
        {{""}, ""},
        {{"(", "(", "x=1", ")", ")"}, "WHERE ( ( (x=1)))"},
    };
    for (const auto& c : cases) {
        TXSQL sql;
        TXSQL having;
        for (const auto& s : c.calls) {
            sql.AddWhere(s);
            having.AddHaving(s);
        }
        EXPECT_EQ(sql.SQLWhere, c.where) << c.calls.size();
        std::string h = c.where.empty() ? "" : "HAVING" + c.where.substr(5);
        EXPECT_EQ(having.SQLHaving, h);
    }
}

TEST(SQLText, ListPartsStartWithTheirKeywordOnce) {
    TXSQL sql;
    sql.AddSelect("a");
    sql.AddSelect("b");
    sql.AddFrom("t");
    sql.AddFrom("u");
    sql.AddGroupBy("a");
    sql.AddGroupBy("b");
    sql.AddOrderBy("b");
    sql.AddOrderBy("a DESC");
    sql.AddWhere("a>0");
    sql.AddHaving("COUNT(*)>1");
    EXPECT_EQ(sql.EffectiveText(),
              "SELECT a,b FROM t,u WHERE (a>0) GROUP BY a,b HAVING (COUNT(*)>1) ORDER BY b,a DESC");
}

TEST(SQLText, EffectiveTextKeepsTheBlanksOfEmptyParts) {
    TXSQL sql;
    sql.AddSelect("x");
    sql.AddFrom("t");
    EXPECT_EQ(sql.EffectiveText(), "SELECT x FROM t    ");
    sql.SQLText = "DELETE FROM t";
    EXPECT_EQ(sql.EffectiveText(), "DELETE FROM t");
    sql.ParamInteger("id", 1);
    sql.ClearSQL();
    EXPECT_EQ(sql.EffectiveText(), "     ");
    EXPECT_EQ(sql.Params.Count(), 1); // ClearSQL keeps the parameters
    sql.ClearParams();
    EXPECT_EQ(sql.Params.Count(), 0);
}

TEST(SQLParams, EachSetterStoresItsPrefixAndType) {
    struct Case {
        void (TXSQL::*setter)(std::string_view, const TXVariant&);
        TXVariant given;
        std::string entry;
        TXVariant stored;
    };
    const std::vector<Case> cases = {
        {&TXSQL::ParamString, I(12), "Sv", S("12")},
        {&TXSQL::ParamInteger, I(5), "Iv", TXVariant::FromInt(5)},
        {&TXSQL::ParamInteger, I(int64_t(1) << 40), "Iv", I(int64_t(1) << 40)},
        {&TXSQL::ParamCurrency, TXVariant::FromDouble(1.23456), "Cv", TXVariant::FromCurrencyScaled(12346)},
        {&TXSQL::ParamFloat, TXVariant::FromInt(3), "Ev", TXVariant::FromDouble(3.0)},
        {&TXSQL::ParamDateTime, TXVariant::FromDouble(45000.25), "Dv", TXVariant::FromDate(45000.25)},
        {&TXSQL::ParamBlob, S(std::string("\0\1", 2)), "Bv", S(std::string("\0\1", 2))},
        {&TXSQL::ParamString, TXVariant::Null(), "*v", TXVariant::Null()},
        {&TXSQL::ParamInteger, TXVariant(), "*v", TXVariant::Null()},
        {&TXSQL::ParamBlob, TXVariant::Null(), "*v", TXVariant::Null()},
    };
    for (const auto& c : cases) {
        TXSQL sql;
        (sql.*c.setter)("v", c.given);
        ASSERT_EQ(sql.Params.Count(), 1) << c.entry;
        EXPECT_EQ(sql.Params.Name(0), c.entry);
        EXPECT_EQ(sql.Params.Value(0).AsVariant(), c.stored) << c.entry;
    }
}

TEST(SQLParams, SettingAgainUnderAnotherPrefixReplacesTheEntry) {
    TXSQL sql;
    sql.ParamString("codigo", TXVariant::Null());
    sql.ParamInteger("id", 1);
    sql.ParamString("codigo", "ABC");
    ASSERT_EQ(sql.Params.Count(), 2);
    EXPECT_EQ(sql.Params.Name(0), "Iid");
    EXPECT_EQ(sql.Params.Name(1), "Scodigo");
    EXPECT_EQ(sql.Params.Value(1).AsVariant(), S("ABC"));
    sql.ParamString("CODIGO", TXVariant::Null());
    ASSERT_EQ(sql.Params.Count(), 2);
    EXPECT_TRUE(sql.Params.Exists("*codigo"));
    EXPECT_FALSE(sql.Params.Exists("Scodigo"));
}
