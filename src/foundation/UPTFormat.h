#pragma once
// Brazilian Portuguese format settings and the number/date formatting that uses them.
// Texts in and out are Windows-1252 bytes.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

struct TXFormatSettings {
    std::string CurrencyString;
    int CurrencyDecimals = 2;
    char ThousandSeparator = '.';
    char DecimalSeparator = ',';
    char DateSeparator = '/';
    std::string ShortDateFormat;
    std::string LongDateFormat;
    char TimeSeparator = ':';
    std::string ShortTimeFormat;
    std::string LongTimeFormat;
    std::string TimeAMString;
    std::string TimePMString;
    std::array<std::string, 12> ShortMonthNames;
    std::array<std::string, 12> LongMonthNames;
    std::array<std::string, 7> ShortDayNames; // Sunday first
    std::array<std::string, 7> LongDayNames;
    int TwoDigitYearCenturyWindow = 50;
};

// The one instance used wherever dates and numbers are shown or read.
const TXFormatSettings& PTFormat();

// Numbers. Pattern language: up to three sections "positive;negative;zero", '0' and '#' digit
// placeholders, '.' decimal point, ',' in the integer part for thousands grouping, quoted literals
// ('..' or ".."); everything else is copied. An empty pattern gives FloatToStr. Doubles are rounded
// half up on their 15 significant digits, so 2.675 shows as "2,68".
std::string FormatFloat(std::string_view pattern, double value, const TXFormatSettings& fs = PTFormat());
// The same patterns on a 64-bit integer, exact for every digit.
std::string FormatInteger(std::string_view pattern, int64_t value, const TXFormatSettings& fs = PTFormat());
// General form with up to 15 significant digits ("1234,5", "1E20", "1,5E-7").
std::string FloatToStr(double value, const TXFormatSettings& fs = PTFormat());
// Reads an optional sign, digits with one decimal separator and an optional exponent; blanks around
// are ignored. Thousand separators are not accepted.
bool TryStrToFloat(std::string_view text, double& value, const TXFormatSettings& fs = PTFormat());

// Dates on day numbers (see EncodeDateTime). Pattern tokens, case-insensitive:
// c d dd ddd dddd ddddd dddddd m mm mmm mmmm (minutes right after h/hh) yy yyyy h hh n nn s ss
// z zzz t tt am/pm a/p ampm, '/' and ':' become the date and time separators, quoted literals.
std::string FormatDateTime(std::string_view pattern, double dayNumber,
                           const TXFormatSettings& fs = PTFormat());
std::string DateToStr(double dayNumber, const TXFormatSettings& fs = PTFormat());
std::string TimeToStr(double dayNumber, const TXFormatSettings& fs = PTFormat());
// Short date, then the long time unless it is midnight.
std::string DateTimeToStr(double dayNumber, const TXFormatSettings& fs = PTFormat());

// "dd/mm/yyyy" in the order of ShortDateFormat; one- or two-digit day and month, two- or four-digit
// year. A two-digit year falls in the window of TwoDigitYearCenturyWindow years before this year.
bool TryStrToDate(std::string_view text, double& dayNumber, const TXFormatSettings& fs = PTFormat());
// A date optionally followed by "hh:nn" or "hh:nn:ss".
bool TryStrToDateTime(std::string_view text, double& dayNumber, const TXFormatSettings& fs = PTFormat());
// The four-digit year of a two-digit one, relative to currentYear.
int ExpandTwoDigitYear(int twoDigitYear, int currentYear, int window);

// The local date and time now as a day number.
double NowDateTime();
