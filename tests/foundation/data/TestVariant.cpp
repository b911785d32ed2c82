#include "foundation/UXVariant.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(TXVariant, EmptyAndNullConvertToZeroValues) {
    for (const TXVariant& v : {TXVariant(), TXVariant::Null()}) {
        EXPECT_EQ(v.AsInt(), 0);
        EXPECT_EQ(v.AsDouble(), 0.0);
        EXPECT_EQ(v.AsString(), "");
        EXPECT_FALSE(v.AsBool());
        EXPECT_TRUE(v.IsEmptyOrNull());
        EXPECT_FALSE(v.IsNumeric());
    }
    EXPECT_TRUE(TXVariant().IsEmpty());
    EXPECT_TRUE(TXVariant::Null().IsNull());
    EXPECT_NE(TXVariant(), TXVariant::Null());
}

TEST(TXVariant, AsStringIsPlainRoundTrippableDecimal) {
    struct Case {
        TXVariant v;
        const char* text;
    };
    const Case cases[] = {
        {TXVariant::FromDouble(12.5), "12.5"},
        {TXVariant::FromDouble(0.1), "0.1"},
        {TXVariant::FromDouble(-3), "-3"},
        {TXVariant::FromDouble(1e300), "1e+300"},
        {TXVariant::FromSingle(0.1f), "0.1"},
        {TXVariant::FromDate(45306.5), "45306.5"},
        {TXVariant::FromCurrencyScaled(12345), "1.2345"},
        {TXVariant::FromCurrencyScaled(-15000), "-1.5"},
        {TXVariant::FromCurrencyScaled(120000), "12"},
        {TXVariant::FromCurrencyScaled(INT64_MIN), "-922337203685477.5808"},
        {TXVariant::FromInt(-42), "-42"},
        {TXVariant::FromLongWord(4000000000u), "4000000000"},
        {TXVariant::FromInt64(INT64_MAX), "9223372036854775807"},
        {TXVariant::FromBool(true), "True"},
        {TXVariant::FromBool(false), "False"},
        {TXVariant::FromString("abc"), "abc"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.v.AsString(), c.text);
    }
    EXPECT_EQ(std::stod(TXVariant::FromDouble(M_PI).AsString()), M_PI);
}

TEST(TXVariant, NumericConversions) {
    EXPECT_EQ(TXVariant::FromDouble(2.5).AsInt(), 2); // ties to even
    EXPECT_EQ(TXVariant::FromDouble(3.5).AsInt(), 4);
    EXPECT_EQ(TXVariant::FromDouble(-2.6).AsInt(), -3);
    EXPECT_EQ(TXVariant::FromCurrencyScaled(25000).AsInt(), 2);
    EXPECT_EQ(TXVariant::FromCurrencyScaled(-35000).AsInt(), -4);
    EXPECT_EQ(TXVariant::FromCurrencyScaled(12345).AsDouble(), 1.2345);
    EXPECT_EQ(TXVariant::FromInt(3).AsCurrencyScaled(), 30000);
    EXPECT_EQ(TXVariant::FromDouble(1.2345).AsCurrencyScaled(), 12345);
    EXPECT_EQ(TXVariant::FromCurrency(-0.00005).AsCurrencyScaled(), 0); // tie to even
    EXPECT_EQ(TXVariant::FromBool(true).AsInt(), 1);
    EXPECT_TRUE(TXVariant::FromDouble(0.5).AsBool());
    EXPECT_EQ(TXVariant::FromWord(65535).AsInt(), 65535);
    EXPECT_EQ(TXVariant::FromInt64(5000000000LL).AsInt64(), 5000000000LL);
    EXPECT_THROW(TXVariant::FromInt64(5000000000LL).AsInt(), EXVariantError);
    EXPECT_THROW(TXVariant::FromDouble(1e20).AsInt64(), EXVariantError);
    EXPECT_THROW(TXVariant::FromDouble(NAN).AsInt(), EXVariantError);
    EXPECT_THROW(TXVariant::FromCurrency(1e16), EXVariantError);
    EXPECT_THROW(TXVariant::FromInt64(INT64_MAX).AsCurrencyScaled(), EXVariantError);
}

TEST(TXVariant, StringsAreParsed) {
    EXPECT_EQ(TXVariant::FromString(" 42 ").AsInt(), 42);
    EXPECT_EQ(TXVariant::FromString("+7").AsInt(), 7);
    EXPECT_EQ(TXVariant::FromString("-7").AsInt64(), -7);
    EXPECT_EQ(TXVariant::FromString("2.5").AsDouble(), 2.5);
    EXPECT_EQ(TXVariant::FromString("2,5").AsDouble(), 2.5);
    EXPECT_EQ(TXVariant::FromString("1.2345").AsCurrencyScaled(), 12345);
    EXPECT_EQ(TXVariant::FromString("3.7").AsInt(), 4);
    EXPECT_TRUE(TXVariant::FromString("TRUE").AsBool());
    EXPECT_FALSE(TXVariant::FromString("false").AsBool());
    EXPECT_TRUE(TXVariant::FromString("-1").AsBool());
    EXPECT_THROW(TXVariant::FromString("").AsInt(), EXVariantError);
    EXPECT_THROW(TXVariant::FromString("12a").AsInt(), EXVariantError);
    EXPECT_THROW(TXVariant::FromString("1.2.3").AsDouble(), EXVariantError);
    EXPECT_THROW(TXVariant::FromString("yes").AsBool(), EXVariantError);
    try {
        TXVariant::FromString("x").AsInt();
    } catch (const EXVariantError& e) {
        EXPECT_STREQ(e.what(), "Could not convert variant of type (String) into type (Int64)");
    }
}

TEST(TXVariant, EqualityNeedsSameTypeAndValue) {
    EXPECT_EQ(TXVariant::FromInt(1), TXVariant::FromInt(1));
    EXPECT_NE(TXVariant::FromInt(1), TXVariant::FromInt(2));
    EXPECT_NE(TXVariant::FromInt(1), TXVariant::FromInt64(1));
    EXPECT_NE(TXVariant::FromDouble(1), TXVariant::FromDate(1));
    EXPECT_NE(TXVariant::FromString("a"), TXVariant::FromOleStr("a"));
    EXPECT_NE(TXVariant::FromString("a"), TXVariant::FromString("A"));
    EXPECT_EQ(TXVariant::WithCode(0x2003), TXVariant::WithCode(0x2003));
    EXPECT_NE(TXVariant::FromDouble(NAN), TXVariant::FromDouble(NAN));
}

TEST(TXVariant, TypeQueries) {
    EXPECT_TRUE(TXVariant::FromOleStr("").IsString());
    EXPECT_TRUE(TXVariant::WithCode(varStrArg).IsString());
    EXPECT_FALSE(TXVariant::FromInt(1).IsString());
    for (const TXVariant& v : {TXVariant::FromBool(true), TXVariant::FromByte(1), TXVariant::FromDate(1),
                               TXVariant::FromCurrencyScaled(1), TXVariant::FromSingle(1)}) {
        EXPECT_TRUE(v.IsNumeric()) << v.Type();
    }
    EXPECT_FALSE(TXVariant::FromString("1").IsNumeric());
    EXPECT_EQ(TXVariant::FromString("abc").StringRef(), "abc");
    EXPECT_EQ(TXVariant::FromInt(5).StringRef(), "");
}

} // namespace
