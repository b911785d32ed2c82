#include "foundation/UXData.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int c : b) {
        s += static_cast<char>(c);
    }
    return s;
}

template <typename F>
std::string Packed(F write) {
    TXData d;
    Init(d);
    write(d);
    Finish(d);
    return d.Data;
}

TXData Loaded(const std::string& bytes) {
    TXData d;
    Load(d, bytes);
    return d;
}

TEST(TXData, InitAndFinishWithNothingWrittenIsEmpty) {
    TXData d;
    Init(d);
    EXPECT_EQ(d.Size, 1000);
    EXPECT_EQ(d.Pos, 1);
    EXPECT_EQ(d.Data.size(), 1000u);
    Finish(d);
    EXPECT_EQ(d.Size, 0);
    EXPECT_TRUE(d.Data.empty());
}

TEST(TXData, PrimitiveEncodingsAreLittleEndianWithoutPadding) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string expected;
    };
    const Case cases[] = {
        {"PutB", Packed([](TXData& d) { PutB(d, 0xAB); }), Bytes({0xAB})},
        {"PutBool", Packed([](TXData& d) { PutBool(d, true), PutBool(d, false); }), Bytes({1, 0})},
        {"PutW", Packed([](TXData& d) { PutW(d, -2); }), Bytes({0xFE, 0xFF})},
        {"PutI", Packed([](TXData& d) { PutI(d, 0x12345678); }), Bytes({0x78, 0x56, 0x34, 0x12})},
        {"PutI64", Packed([](TXData& d) { PutI64(d, -0x0102030405060708LL); }),
         Bytes({0xF8, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE})},
        {"PutCurr 1.2345", Packed([](TXData& d) { PutCurr(d, 1.2345); }),
         Bytes({0x39, 0x30, 0, 0, 0, 0, 0, 0})},
        {"PutCurr rounds", Packed([](TXData& d) { PutCurr(d, -0.00006); }),
         Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
        {"PutS", Packed([](TXData& d) { PutS(d, "ab"); }), Bytes({2, 0, 0, 0, 'a', 'b'})},
        {"PutS empty", Packed([](TXData& d) { PutS(d, ""); }), Bytes({0, 0, 0, 0})},
        {"PutS0", Packed([](TXData& d) { PutS0(d, "ab"); }), Bytes({'a', 'b', 0})},
        {"PutS keeps 1252 bytes", Packed([](TXData& d) { PutS(d, "\xE7\xE3"); }),
         Bytes({2, 0, 0, 0, 0xE7, 0xE3})},
        {"sequence", Packed([](TXData& d) { PutB(d, 1), PutI(d, 2), PutS0(d, ""), PutW(d, 3); }),
         Bytes({1, 2, 0, 0, 0, 0, 3, 0})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.bytes, c.expected) << c.what;
    }
}

TEST(TXData, PrimitivesReadBackInOrder) {
    TXData d = Loaded(Packed([](TXData& w) {
        PutB(w, 200), PutBool(w, true), PutW(w, -30000), PutI(w, INT32_MIN), PutI64(w, INT64_MAX);
        PutCurr(w, -1234.5678), PutE(w, 0.1), PutS(w, std::string("a\0b", 3)), PutS0(w, "xyz");
    }));
    EXPECT_EQ(GetB(d), 200);
    EXPECT_TRUE(GetBool(d));
    EXPECT_EQ(GetW(d), -30000);
    EXPECT_EQ(GetI(d), INT32_MIN);
    EXPECT_EQ(GetI64(d), INT64_MAX);
    EXPECT_EQ(GetCurrScaled(d), -12345678);
    EXPECT_EQ(GetE(d), 0.1);
    EXPECT_EQ(GetS(d), std::string("a\0b", 3));
    EXPECT_EQ(GetS0(d), "xyz");
    EXPECT_TRUE(d.AtEnd());
}

TEST(TXData, StringsOfEveryShortLengthRoundTrip) {
    std::string text;
    for (int i = 0; i < 40; ++i) {
        text += static_cast<char>(0x80 + i);
    }
    TXData w;
    Init(w);
    for (size_t n = 0; n <= text.size(); ++n) {
        PutS(w, std::string_view(text).substr(n % 3, n > 37 ? 37 : n));
        PutS0(w, std::string_view(text).substr(0, n));
    }
    Finish(w);
    TXData r;
    Load(r, w.Data);
    for (size_t n = 0; n <= text.size(); ++n) {
        ASSERT_EQ(GetS(r), text.substr(n % 3, n > 37 ? 37 : n)) << n;
        ASSERT_EQ(GetS0(r), text.substr(0, n)) << n;
    }
    EXPECT_TRUE(r.AtEnd());
}

TEST(TXData, BooleanReadsTrueWhenNonZero) {
    TXData d = Loaded(Bytes({2, 0}));
    EXPECT_TRUE(GetBool(d));
    EXPECT_FALSE(GetBool(d));
}

TEST(TXData, ExtendedFloatMatchesX87Layout) {
    struct Case {
        double v;
        std::string bytes;
    };
    const Case cases[] = {
        {0.0, Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {-0.0, Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80})},
        {1.0, Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F})},
        {-2.5, Bytes({0, 0, 0, 0, 0, 0, 0, 0xA0, 0x00, 0xC0})},
        {12.5, Bytes({0, 0, 0, 0, 0, 0, 0, 0xC8, 0x02, 0x40})},
        // 15 January 2024, 12:00
        {45306.5, Bytes({0, 0, 0, 0, 0, 0x80, 0xFA, 0xB0, 0x0E, 0x40})},
        {DBL_MAX, Bytes({0, 0xF8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0x43})},
        {DBL_MIN, Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0x01, 0x3C})},
        {std::numeric_limits<double>::denorm_min(), Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0xCD, 0x3B})},
        {0x0.Cp-1022, Bytes({0, 0, 0, 0, 0, 0, 0, 0xC0, 0x00, 0x3C})},
        {INFINITY, Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F})},
        {-INFINITY, Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xFF})},
    };
    for (const Case& c : cases) {
        std::string packed = Packed([&](TXData& d) { PutE(d, c.v); });
        EXPECT_EQ(packed, c.bytes) << c.v;
        TXData r = Loaded(packed);
        double back = GetE(r);
        EXPECT_EQ(std::memcmp(&back, &c.v, sizeof back), 0) << c.v;
    }
    TXData nan = Loaded(Packed([](TXData& d) { PutE(d, std::nan("")); }));
    EXPECT_TRUE(std::isnan(GetE(nan)));
}

TEST(TXData, ExtendedToDoubleRoundsToNearestEven) {
    struct Case {
        uint64_t mant;
        uint16_t exp;
        double expected;
    };
    const Case cases[] = {
        {0x8000000000000400ULL, 0x3FFF, 1.0},           // half an ulp above 1: tie to even
        {0x8000000000000C00ULL, 0x3FFF, 1.0 + 0x1p-51}, // tie, odd: up
        {0x8000000000000401ULL, 0x3FFF, 1.0 + 0x1p-52}, // above half: up
        {0xFFFFFFFFFFFFFC00ULL, 0x3FFF, 2.0},           // carries into the exponent
        {0xFFFFFFFFFFFFFFFFULL, 0x43FE, INFINITY},      // rounds past the largest double
        {0x8000000000000000ULL, 0x7FFE, INFINITY},      // beyond the double range
        {0x8000000000000000ULL, 0x3BCC, 0.0},           // half the smallest denormal: tie to 0
        {0xC000000000000000ULL, 0x3BCC, 0x1p-1074},     // 0.75 of it: up
        {0x8000000000000000ULL, 0x0001, 0.0},           // far below
        {0xFFFFFFFFFFFFFFFFULL, 0x3C00, DBL_MIN},       // denormal rounding up to the smallest normal
        {0x0000000000000001ULL, 0x0000, 0.0},           // extended denormal
        {0x4000000000000000ULL, 0x3FFF, 0.5},           // unnormal: value taken as written
    };
    for (const Case& c : cases) {
        uint8_t b[10];
        for (int i = 0; i < 8; ++i) {
            b[i] = static_cast<uint8_t>(c.mant >> (8 * i));
        }
        b[8] = static_cast<uint8_t>(c.exp);
        b[9] = static_cast<uint8_t>(c.exp >> 8);
        EXPECT_EQ(ExtendedToDouble(b), c.expected) << std::hex << c.mant << " " << c.exp;
    }
}

#if defined(__x86_64__) || defined(__i386__)
// Where the host has the x87 format, its own conversions are the reference.
TEST(TXData, ExtendedAgreesWithTheHostsX87) {
    static_assert(LDBL_MANT_DIG == 64);
    std::mt19937_64 rng(20240115);
    for (int i = 0; i < 200000; ++i) {
        uint64_t bits = rng();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (std::isnan(v)) {
            continue;
        }
        uint8_t mine[10];
        DoubleToExtended(v, mine);
        long double host = v;
        ASSERT_EQ(std::memcmp(mine, &host, 10), 0) << v;

        uint8_t raw[16] = {};
        uint64_t mant = rng() | (uint64_t(1) << 63);
        uint16_t se = static_cast<uint16_t>(rng());
        if (i % 2) {
            se = static_cast<uint16_t>((se & 0x8000) | (16383 - 1100 + rng() % 2200));
        }
        std::memcpy(raw, &mant, 8);
        std::memcpy(raw + 8, &se, 2);
        long double x;
        std::memcpy(&x, raw, sizeof x);
        double expected = static_cast<double>(x);
        double got = ExtendedToDouble(raw);
        if (!std::isnan(expected)) {
            ASSERT_EQ(std::memcmp(&got, &expected, 8), 0) << std::hex << mant << " " << se;
        }
    }
}
#endif

TEST(TXData, GrowthFollowsTheRule) {
    TXData d;
    Init(d);
    for (int i = 0; i < 999; ++i) {
        PutB(d, 1);
    }
    EXPECT_EQ(d.Size, 1000);
    PutB(d, 1); // Pos 1000: 1000 < 1001
    EXPECT_EQ(d.Size, 1501);
    EXPECT_EQ(d.Data.size(), 1501u);
    PutB(d, 1);
    EXPECT_EQ(d.Size, 1501);
    EXPECT_EQ(d.Pos, 1002);

    TXData big;
    Init(big);
    PutS(big, std::string(2000, 'x'));
    EXPECT_EQ(big.Size, 1000 + 2004 + 500);
    Finish(big);
    EXPECT_EQ(big.Size, 2004);
    EXPECT_EQ(big.Data.size(), 2004u);
}

TEST(TXData, WritingWithoutInitStillGrows) {
    TXData d;
    PutI(d, 7);
    EXPECT_EQ(d.Size, 4);
    PutB(d, 1);
    EXPECT_EQ(d.Size, 4 + 1 + 2);
    Finish(d);
    EXPECT_EQ(d.Data, Bytes({7, 0, 0, 0, 1}));
}

TEST(TXData, ReadersWorkOnACopy) {
    TXData d = Loaded(Packed([](TXData& w) { PutI(w, 5), PutS(w, "x"); }));
    TXData copy = d;
    EXPECT_EQ(GetI(copy), 5);
    EXPECT_EQ(GetS(copy), "x");
    EXPECT_EQ(d.Pos, 1);
    EXPECT_EQ(GetI(d), 5);
}

TEST(TXData, GetSLongerThanWhatIsLeftRaises) {
    TXData d = Loaded(Bytes({5, 0, 0, 0, 'a', 'b', 'c'}));
    try {
        GetS(d);
        FAIL() << "no error";
    } catch (const EXDataError& e) {
        EXPECT_STREQ(e.what(), "GetS error - bigger than pack");
    }
    EXPECT_EQ(d.Pos, 5); // past the length, not past the bytes

    TXData exact = Loaded(Bytes({3, 0, 0, 0, 'a', 'b', 'c'}));
    EXPECT_EQ(GetS(exact), "abc");

    TXData negative = Loaded(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 'a'}));
    EXPECT_THROW(GetS(negative), EXDataError);
    EXPECT_EQ(negative.Pos, 5);
}

TEST(TXData, GetS0WithoutTerminatorRaises) {
    TXData d = Loaded("abc");
    try {
        GetS0(d);
        FAIL() << "no error";
    } catch (const EXDataError& e) {
        EXPECT_STREQ(e.what(), "GetS0 error - bigger than pack");
    }
    EXPECT_EQ(d.Pos, 1);

    // The terminator must lie within the valid bytes, not in spare capacity.
    TXData w;
    Init(w);
    PutB(w, 'a');
    w.Size = w.Pos - 1;
    w.Pos = 1;
    EXPECT_THROW(GetS0(w), EXDataError);
    TXData empty = Loaded("");
    EXPECT_THROW(GetS0(empty), EXDataError);
}

TEST(TXData, FixedSizeReadPastTheEndRaisesAndStays) {
    using Reader = void (*)(TXData&);
    struct Case {
        const char* what;
        Reader read;
        size_t size;
    };
    const Case cases[] = {
        {"GetB", [](TXData& d) { GetB(d); }, 1},       {"GetW", [](TXData& d) { GetW(d); }, 2},
        {"GetI", [](TXData& d) { GetI(d); }, 4},       {"GetI64", [](TXData& d) { GetI64(d); }, 8},
        {"GetCurr", [](TXData& d) { GetCurr(d); }, 8}, {"GetE", [](TXData& d) { GetE(d); }, 10},
        {"GetS", [](TXData& d) { GetS(d); }, 4},       {"GetV", [](TXData& d) { GetV(d); }, 2},
    };
    for (const Case& c : cases) {
        for (size_t have = 0; have < c.size; ++have) {
            TXData d = Loaded(std::string(have + 1, '\0'));
            GetB(d); // one byte consumed, `have` left
            EXPECT_THROW(c.read(d), EXDataError) << c.what << " with " << have;
            EXPECT_EQ(d.Pos, 2) << c.what;
        }
    }
    // Size smaller than the buffer: reads stop at Size.
    TXData d = Loaded(Bytes({1, 2, 3, 4}));
    d.Size = 2;
    EXPECT_THROW(GetI(d), EXDataError);
    // Size larger than the buffer (a hand-made record) is not trusted either.
    d = Loaded(Bytes({1, 2}));
    d.Size = 100;
    EXPECT_THROW(GetI(d), EXDataError);
    d.Pos = 0;
    EXPECT_THROW(GetB(d), EXDataError);
}

TEST(TXData, VariantEncodings) {
    struct Case {
        const char* what;
        TXVariant written;
        std::string bytes;
        TXVariant read;
    };
    const std::string e125 = Bytes({0, 0, 0, 0, 0, 0, 0, 0xC8, 0x02, 0x40});
    const Case cases[] = {
        {"empty", TXVariant(), Bytes({0, 0}), TXVariant()},
        {"null", TXVariant::Null(), Bytes({1, 0}), TXVariant::Null()},
        {"smallint", TXVariant::FromSmallint(-2), Bytes({2, 0, 0xFE, 0xFF, 0xFF, 0xFF}),
         TXVariant::FromInt(-2)},
        {"integer", TXVariant::FromInt(258), Bytes({3, 0, 2, 1, 0, 0}), TXVariant::FromInt(258)},
        {"shortint", TXVariant::FromShortInt(-5), Bytes({0x10, 0, 0xFB, 0xFF, 0xFF, 0xFF}),
         TXVariant::FromInt(-5)},
        {"single", TXVariant::FromSingle(12.5f), Bytes({4, 0}) + e125, TXVariant::FromDouble(12.5)},
        {"double", TXVariant::FromDouble(12.5), Bytes({5, 0}) + e125, TXVariant::FromDouble(12.5)},
        {"date", TXVariant::FromDate(12.5), Bytes({7, 0}) + e125, TXVariant::FromDouble(12.5)},
        {"currency", TXVariant::FromCurrency(1.2345), Bytes({6, 0, 0x39, 0x30, 0, 0, 0, 0, 0, 0}),
         TXVariant::FromCurrencyScaled(12345)},
        {"olestr", TXVariant::FromOleStr("ab"), Bytes({8, 0, 2, 0, 0, 0, 'a', 'b'}),
         TXVariant::FromString("ab")},
        {"strarg", TXVariant::WithCode(varStrArg), Bytes({0x48, 0, 0, 0, 0, 0}), TXVariant::FromString("")},
        {"string", TXVariant::FromString("\xE9"), Bytes({0, 1, 1, 0, 0, 0, 0xE9}),
         TXVariant::FromString("\xE9")},
        {"boolean", TXVariant::FromBool(true), Bytes({0x0B, 0, 1}), TXVariant::FromBool(true)},
        {"byte", TXVariant::FromByte(200), Bytes({0x11, 0, 200}), TXVariant::FromByte(200)},
        {"word", TXVariant::FromWord(65535), Bytes({0x12, 0, 0xFF, 0xFF}), TXVariant::FromWord(65535)},
        {"longword", TXVariant::FromLongWord(4000000000u), Bytes({0x13, 0, 0x00, 0x28, 0x6B, 0xEE}),
         TXVariant::FromLongWord(4000000000u)},
        {"int64", TXVariant::FromInt64(-1), Bytes({0x14, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
         TXVariant::FromInt64(-1)},
        {"array", TXVariant::WithCode(0x2003), Bytes({0x03, 0x20}), TXVariant()},
        {"by reference", TXVariant::WithCode(0x4005), Bytes({0x05, 0x40}), TXVariant()},
    };
    for (const Case& c : cases) {
        std::string packed = Packed([&](TXData& d) { PutV(d, c.written); });
        EXPECT_EQ(packed, c.bytes) << c.what;
        TXData r = Loaded(packed);
        TXVariant back = GetV(r);
        EXPECT_EQ(back, c.read) << c.what << ": type " << back.Type();
        EXPECT_TRUE(r.AtEnd()) << c.what;
    }
}

TEST(TXData, VariantOfUnknownCodeSkipsNoBytes) {
    TXData d = Loaded(Bytes({0x0E, 0, 7, 0, 0, 0}) /* decimal code, then a PutI */);
    EXPECT_TRUE(GetV(d).IsEmpty());
    EXPECT_EQ(GetI(d), 7);
}

TEST(TXData, DateTimeTravelsAsItsDayNumber) {
    const double when = EncodeDateTime(2024, 1, 15, 12);
    EXPECT_EQ(when, 45306.5);
    TXData d = Loaded(Packed([&](TXData& w) { PutV(w, TXVariant::FromDate(when)); }));
    TXVariant v = GetV(d);
    EXPECT_EQ(v.Type(), varDouble);
    EXPECT_EQ(v.AsDouble(), 45306.5);
}

TEST(TXData, DayNumbers) {
    struct Case {
        int y, mo, d, h, mi, s, ms;
        double dayNumber;
    };
    const Case cases[] = {
        {1899, 12, 30, 0, 0, 0, 0, 0.0},    {1900, 1, 1, 0, 0, 0, 0, 2.0},
        {1899, 12, 29, 6, 0, 0, 0, -1.25},  {1899, 12, 28, 18, 0, 0, 0, -2.75},
        {2000, 2, 29, 0, 0, 0, 0, 36585.0}, {2024, 1, 15, 18, 0, 0, 0, 45306.75},
        {1, 1, 1, 0, 0, 0, 0, -693593.0},   {9999, 12, 31, 0, 0, 0, 0, 2958465.0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeDateTime(c.y, c.mo, c.d, c.h, c.mi, c.s, c.ms), c.dayNumber);
        int y, mo, d, h, mi, s, ms;
        DecodeDateTime(c.dayNumber, y, mo, d, h, mi, s, ms);
        EXPECT_EQ(std::vector<int>({y, mo, d, h, mi, s, ms}),
                  std::vector<int>({c.y, c.mo, c.d, c.h, c.mi, c.s, c.ms}))
            << c.dayNumber;
    }
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(EncodeDateTime(2023, 7, 4, 23, 59, 59, 999), y, mo, d, h, mi, s, ms);
    EXPECT_EQ(std::vector<int>({y, mo, d, h, mi, s, ms}), std::vector<int>({2023, 7, 4, 23, 59, 59, 999}));
    DecodeDateTime(0.9999999999, y, mo, d, h, mi, s, ms); // rounds up to the next midnight
    EXPECT_EQ(std::vector<int>({y, mo, d, h, mi, s, ms}), std::vector<int>({1899, 12, 31, 0, 0, 0, 0}));

    EXPECT_THROW(EncodeDateTime(2023, 2, 29), EXDataError);
    EXPECT_THROW(EncodeDateTime(2023, 13, 1), EXDataError);
    EXPECT_THROW(EncodeDateTime(2023, 1, 1, 24), EXDataError);
    EXPECT_THROW(DecodeDateTime(NAN, y, mo, d, h, mi, s, ms), EXDataError);
    EXPECT_THROW(DecodeDateTime(1e300, y, mo, d, h, mi, s, ms), EXDataError);
}

TEST(TXData, CurrencyOutOfRangeIsRefused) {
    TXData d;
    Init(d);
    EXPECT_THROW(PutCurr(d, 1e16), EXDataError);
    EXPECT_THROW(PutCurr(d, NAN), EXDataError);
    EXPECT_EQ(d.Pos, 1);
}

} // namespace
