#include "foundation/UPTFormat.h"
#include "foundation/UXData.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

struct FloatCase {
    const char* pattern;
    double value;
    const char* out;
};

int ThisYear() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm.tm_year + 1900;
}

} // namespace

TEST(Format, PTFormatSettings) {
    const TXFormatSettings& fs = PTFormat();
    EXPECT_EQ(fs.CurrencyString, "R$");
    EXPECT_EQ(fs.CurrencyDecimals, 2);
    EXPECT_EQ(fs.ThousandSeparator, '.');
    EXPECT_EQ(fs.DecimalSeparator, ',');
    EXPECT_EQ(fs.ShortDateFormat, "dd/mm/yyyy");
    EXPECT_EQ(fs.LongMonthNames[2], "mar\xE7o");
    EXPECT_EQ(fs.ShortDayNames[6], "sab");
    EXPECT_EQ(fs.LongDayNames[6], "s\xE1"
                                  "bado");
}

TEST(Format, FormatFloatPatterns) {
    const FloatCase cases[] = {
        // grouping
        {"###,###,##0", 1234567, "1.234.567"},
        {"###,###,##0", 0, "0"},
        {"###,###,##0", 12, "12"},
        {"###,###,##0", -1234.6, "-1.235"},
        {"###,###,##0", 999.5, "1.000"},
        {"###,###,###,###,###,###,##0", 1e15, "1.000.000.000.000.000"},
        {",0", 1234567, "1.234.567"},
        {"#,##0.00", 1234567.891, "1.234.567,89"},
        {"#,##0.00", -0.5, "-0,50"},
        {"##,000", 5, "005"},
        {"##,000", 1234, "1.234"},
        {"##,000", 0, "000"},
        // sections
        {",0.00;(,0.00)", 1234.5, "1.234,50"},
        {",0.00;(,0.00)", -1234.5, "(1.234,50)"},
        {",0.00;(,0.00)", 0, "0,00"},
        {",0.00;(,0.00)", -0.001, "0,00"}, // shows as zero: the positive section, no sign
        {"0;-0", 5, "5"},
        {"0;-0", -5, "-5"},
        {"0;-0", -0.4, "0"},
        {"0;(0);'zero'", 0, "zero"},
        {"0;(0);'zero'", -0.2, "zero"},
        {"0.0;;z", -1.5, "-1,5"}, // empty negative section: the first, with a sign
        // rounding half up on the shown digits
        {"0.00", 2.675, "2,68"},
        {"0.00", 1.005, "1,01"},
        {"0.00", 0.005, "0,01"},
        {"0.00", 0.004, "0,00"},
        {"0", 0.5, "1"},
        {"0", 9.5, "10"},
        // optional digits
        {"#.##", 0.5, ",5"},
        {"#.##", 1, "1"},
        {"0.0#", 1.5, "1,5"},
        {"0.0#", 1.25, "1,25"},
        {"0.0#", 1, "1,0"},
        {"#", 0, ""},
        {"0", 123, "123"},
        {"0", 1e20, "100000000000000000000"},
        // literals between and around the digits
        {"\"R$ \"#,##0.00", 1234.5, "R$ 1.234,50"},
        {"0' kg'", 3, "3 kg"},
        {"00-00", 1234, "12-34"},
        {"00-00", 5, "00-05"},
        {"'a;b' 0", 7, "a;b 7"},
        {"", 1234.5, "1234,5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatFloat(c.pattern, c.value), c.out) << c.pattern << " " << c.value;
}

TEST(Format, FormatIntegerIsExact) {
    EXPECT_EQ(FormatInteger("###,###,###,###,###,###,##0", INT64_MAX), "9.223.372.036.854.775.807");
    EXPECT_EQ(FormatInteger("###,###,###,###,###,###,##0", INT64_MIN), "-9.223.372.036.854.775.808");
    EXPECT_EQ(FormatInteger("0;(0)", -42), "(42)");
    EXPECT_EQ(FormatInteger(",0.00", 1234), "1.234,00");
    EXPECT_EQ(FormatInteger("", -7), "-7");
}

TEST(Format, FloatToStrGeneralForm) {
    const FloatCase cases[] = {
        {"", 0, "0"},
        {"", 1234.5, "1234,5"},
        {"", -0.1, "-0,1"},
        {"", 0.1 + 0.2, "0,3"},
        {"", 1.0 / 3, "0,333333333333333"},
        {"", 123456789012345, "123456789012345"},
        {"", 1e15, "1E15"},
        {"", 1e20, "1E20"},
        {"", 1.5e-7, "1,5E-7"},
        {"", 0.0001, "0,0001"},
        {"", 0.00001, "1E-5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FloatToStr(c.value), c.out) << c.value;
}

TEST(Format, TryStrToFloat) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"1,5", true, 1.5}, {" -2,25 ", true, -2.25}, {"+3", true, 3},   {"1e3", true, 1000},
        {"7", true, 7},     {",5", true, 0.5},        {"1.5", false, 0}, {"", false, 0},
        {"abc", false, 0},  {"1,5,6", false, 0},      {"1e", false, 0},  {"1.000,5", false, 0},
    };
    for (const auto& c : cases) {
        double v = -99;
        EXPECT_EQ(TryStrToFloat(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
        }
    }
}

TEST(Format, FormatDateTimePatterns) {
    const double t = EncodeDateTime(2024, 3, 5, 14, 7, 9, 45); // a Tuesday
    struct Case {
        const char* pattern;
        std::string out;
    };
    const Case cases[] = {
        {"dd/mm/yyyy", "05/03/2024"},
        {"d/m/yy", "5/3/24"},
        {"yyyy-mm-dd hh:nn:ss", "2024-03-05 14:07:09"},
        {"ddd dddd", "ter ter\xE7"
                     "a"},
        {"mmm mmmm", "mar mar\xE7o"},
        {"hh:mm", "14:07"}, // m right after h means minutes
        {"h:n:s.z zzz", "14:7:9.45 045"},
        {"hh:nn am/pm", "02:07 pm"},
        {"hh:nn AM/PM", "02:07 PM"},
        {"h a/p", "2 p"},
        {"hh ampm", "02 pm"},
        {"ddddd", "05/03/2024"},
        {"dddddd", "05 de mar\xE7o de 2024"},
        {"c", "05/03/2024 14:07:09"},
        {"t tt", "14:07 14:07:09"},
        {"\"dia\" dd", "dia 05"},
        {"'h' hh", "h 14"},
        {"DD/MM/YYYY", "05/03/2024"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatDateTime(c.pattern, t), c.out) << c.pattern;

    EXPECT_EQ(FormatDateTime("dddd", EncodeDateTime(2024, 3, 3)), "domingo");
    EXPECT_EQ(FormatDateTime("dddd", EncodeDateTime(2024, 3, 9)), "s\xE1"
                                                                  "bado");
    EXPECT_EQ(FormatDateTime("mmmm mmm", EncodeDateTime(2023, 12, 31)), "dezembro dez");
    EXPECT_EQ(FormatDateTime("h am/pm", EncodeDateTime(2024, 1, 1)), "12 am");
    EXPECT_EQ(FormatDateTime("c", EncodeDateTime(2024, 1, 1)), "01/01/2024");
    EXPECT_EQ(DateToStr(t), "05/03/2024");
    EXPECT_EQ(TimeToStr(t), "14:07:09");
    EXPECT_EQ(DateTimeToStr(t), "05/03/2024 14:07:09");
}

TEST(Format, SeparatorsComeFromTheSettings) {
    TXFormatSettings fs = PTFormat();
    fs.DateSeparator = '.';
    fs.TimeSeparator = 'h';
    fs.ThousandSeparator = ' ';
    fs.DecimalSeparator = '.';
    EXPECT_EQ(FormatDateTime("dd/mm hh:nn", EncodeDateTime(2024, 3, 5, 14, 7), fs), "05.03 14h07");
    EXPECT_EQ(FormatFloat("#,##0.00", 1234.5, fs), "1 234.50");
}

TEST(Format, ExpandTwoDigitYearTable) {
    struct Case {
        int yy, current, window, year;
    };
    const Case cases[] = {
        {24, 2025, 50, 2024}, {74, 2025, 50, 2074}, {75, 2025, 50, 1975}, {99, 2025, 50, 1999},
        {0, 2025, 50, 2000},  {50, 2000, 50, 1950}, {49, 2000, 50, 2049},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandTwoDigitYear(c.yy, c.current, c.window), c.year) << c.yy << " " << c.current;
}

TEST(Format, TryStrToDateTable) {
    struct Case {
        const char* text;
        bool ok;
        int y, m, d;
    };
    const int thisYear = ThisYear();
    const int y24 = ExpandTwoDigitYear(24, thisYear, 50);
    const Case cases[] = {
        {"05/03/2024", true, 2024, 3, 5},
        {" 5/3/2024 ", true, 2024, 3, 5},
        {"29/02/2024", true, 2024, 2, 29},
        {"05/03/24", true, y24, 3, 5},
        {"05/03", true, thisYear, 3, 5},
        {"31/12/9999", true, 9999, 12, 31},
        {"29/02/2023", false, 0, 0, 0},
        {"31/04/2024", false, 0, 0, 0},
        {"00/01/2024", false, 0, 0, 0},
        {"01/13/2024", false, 0, 0, 0},
        {"05-03-2024", false, 0, 0, 0},
        {"aa/bb/cccc", false, 0, 0, 0},
        {"05/03/2024/1", false, 0, 0, 0},
        {"05//2024", false, 0, 0, 0},
        {"", false, 0, 0, 0},
        {"5", false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        double d = -1;
        ASSERT_EQ(TryStrToDate(c.text, d), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(d, EncodeDateTime(c.y, c.m, c.d)) << c.text;
        }
    }
}

TEST(Format, TryStrToDateTime) {
    double d = 0;
    ASSERT_TRUE(TryStrToDateTime("05/03/2024 14:07", d));
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", d), "2024-03-05 14:07:00");
    ASSERT_TRUE(TryStrToDateTime("05/03/2024 14:07:09", d));
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", d), "2024-03-05 14:07:09");
    ASSERT_TRUE(TryStrToDateTime("05/03/2024", d));
    EXPECT_EQ(d, EncodeDateTime(2024, 3, 5));
    EXPECT_FALSE(TryStrToDateTime("05/03/2024 24:00", d));
    EXPECT_FALSE(TryStrToDateTime("05/03/2024 12", d));
    EXPECT_FALSE(TryStrToDateTime("05/03/2024 12:60", d));
}

TEST(Format, DateRoundTripThroughText) {
    for (double day = EncodeDateTime(1950, 1, 1); day < EncodeDateTime(2060, 1, 1); day += 97) {
        double back = 0;
        ASSERT_TRUE(TryStrToDate(DateToStr(day), back)) << DateToStr(day);
        EXPECT_EQ(back, day);
    }
}
