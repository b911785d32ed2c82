#include "foundation/UPTFormat.h"

#include "foundation/UXData.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>
#include <vector>

namespace {

TXFormatSettings MakePTFormat() {
    TXFormatSettings fs;
    fs.CurrencyString = "R$";
    fs.CurrencyDecimals = 2;
    fs.ThousandSeparator = '.';
    fs.DecimalSeparator = ',';
    fs.DateSeparator = '/';
    fs.ShortDateFormat = "dd/mm/yyyy";
    fs.LongDateFormat = "dd\" de \"mmmm\" de \"yyyy";
    fs.TimeSeparator = ':';
    fs.ShortTimeFormat = "hh:nn";
    fs.LongTimeFormat = "hh:nn:ss";
    fs.TimeAMString = "am";
    fs.TimePMString = "pm";
    fs.ShortMonthNames = {"jan", "fev", "mar", "abr", "mai", "jun", "jul", "ago", "set", "out", "nov", "dez"};
    fs.LongMonthNames = {"janeiro", "fevereiro", "mar\xE7o", "abril",   "maio",     "junho",
                         "julho",   "agosto",    "setembro", "outubro", "novembro", "dezembro"};
    fs.ShortDayNames = {"dom", "seg", "ter", "qua", "qui", "sex", "sab"};
    fs.LongDayNames = {"domingo",
                       "segunda",
                       "ter\xE7"
                       "a",
                       "quarta",
                       "quinta",
                       "sexta",
                       "s\xE1"
                       "bado"};
    fs.TwoDigitYearCenturyWindow = 50;
    return fs;
}

// ---- numbers ------------------------------------------------------------------------------------

// A non-negative number as decimal digits: integer part without leading zeros ("" for zero)
// and exactly `decimals` fraction digits.
struct TXDigits {
    std::string Int;
    std::string Frac;
    bool IsZero() const {
        return Int.find_first_not_of('0') == std::string::npos &&
               Frac.find_first_not_of('0') == std::string::npos;
    }
};

// Rounds half up the digit string d (value 0.d x 10^point) to `decimals` fraction digits.
TXDigits RoundDigits(std::string d, int point, int decimals) {
    TXDigits r;
    const int keep = point + decimals;
    if (keep < 0) {
        r.Frac.assign(decimals, '0');
        return r;
    }
    if (keep < static_cast<int>(d.size())) {
        const bool up = d[keep] >= '5';
        d.resize(keep);
        if (up) {
            int i = keep - 1;
            while (i >= 0 && d[i] == '9')
                d[i--] = '0';
            if (i < 0) {
                d.insert(d.begin(), '1');
                ++point;
            } else {
                ++d[i];
            }
        }
    } else {
        d.append(keep - d.size(), '0');
    }
    if (point <= 0) {
        r.Frac = std::string(-point, '0') + d;
    } else {
        r.Int = d.substr(0, point);
        r.Frac = d.substr(point);
    }
    const size_t nz = r.Int.find_first_not_of('0');
    r.Int.erase(0, nz == std::string::npos ? r.Int.size() : nz);
    return r;
}

// 15 significant digits of a finite positive double and its decimal exponent.
void SignificantDigits(double a, std::string& digits, int& exponent) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 14);
    const std::string_view s(buf, res.ptr - buf);
    const size_t e = s.find('e');
    digits.assign(1, s[0]);
    digits.append(s.substr(2, e - 2));
    exponent = 0;
    std::string_view es = s.substr(e + 1);
    if (!es.empty() && es[0] == '+')
        es.remove_prefix(1);
    std::from_chars(es.data(), es.data() + es.size(), exponent);
}

TXDigits DoubleDigits(double a, int decimals) {
    if (a == 0)
        return TXDigits{"", std::string(decimals, '0')};
    std::string d;
    int e;
    SignificantDigits(a, d, e);
    return RoundDigits(d, e + 1, decimals);
}

TXDigits IntegerDigits(uint64_t a, int decimals) {
    TXDigits r;
    if (a != 0)
        r.Int = std::to_string(a);
    r.Frac.assign(decimals, '0');
    return r;
}

std::vector<std::string_view> SplitSections(std::string_view pattern) {
    std::vector<std::string_view> out;
    size_t start = 0;
    char quote = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';' && out.size() < 2) {
            out.push_back(pattern.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(pattern.substr(start));
    return out;
}

struct TXSectionInfo {
    int IntCount = 0;    // digit placeholders before the decimal point
    int FirstZero = -1;  // index of the first '0' among them
    int DecCount = 0;    // digit placeholders after the decimal point
    int DecRequired = 0; // up to and including the last '0' after the point
    bool Thousands = false;
    bool HasPoint = false;
};

TXSectionInfo Analyse(std::string_view sec) {
    TXSectionInfo s;
    char quote = 0;
    for (char c : sec) {
        if (quote) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '0' || c == '#') {
            if (s.HasPoint) {
                ++s.DecCount;
                if (c == '0')
                    s.DecRequired = s.DecCount;
            } else {
                if (c == '0' && s.FirstZero < 0)
                    s.FirstZero = s.IntCount;
                ++s.IntCount;
            }
        } else if (c == '.') {
            s.HasPoint = true;
        } else if (c == ',') {
            s.Thousands = true;
        }
    }
    return s;
}

std::string ApplySection(std::string_view sec, const TXSectionInfo& info, TXDigits digits, bool minus,
                         const TXFormatSettings& fs) {
    std::string out;
    if (minus)
        out += '-';
    const int minInt = info.FirstZero < 0 ? 0 : info.IntCount - info.FirstZero;
    const int n = static_cast<int>(digits.Int.size());
    const int w = std::max(n, minInt);
    const std::string s = std::string(w - n, '0') + digits.Int;
    std::string frac = digits.Frac;
    while (static_cast<int>(frac.size()) > info.DecRequired && frac.back() == '0')
        frac.pop_back();

    auto emitDigit = [&](int j) {
        out += s[j];
        const int fromRight = w - 1 - j;
        if (info.Thousands && fromRight > 0 && fromRight % 3 == 0)
            out += fs.ThousandSeparator;
    };
    auto emitLeading = [&](int upTo) {
        for (int j = 0; j < upTo; ++j)
            emitDigit(j);
    };

    int intSeen = 0, decSeen = 0;
    bool pointDone = false;
    char quote = 0;
    for (char c : sec) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                out += c;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
        } else if ((c == '0' || c == '#') && !pointDone) {
            if (intSeen == 0)
                emitLeading(w - info.IntCount);
            const int j = w - info.IntCount + intSeen;
            if (j >= 0)
                emitDigit(j);
            ++intSeen;
        } else if (c == '0' || c == '#') {
            if (decSeen < static_cast<int>(frac.size()))
                out += frac[decSeen];
            ++decSeen;
        } else if (c == '.') {
            if (pointDone)
                continue;
            pointDone = true;
            if (info.IntCount == 0)
                emitLeading(w);
            if (!frac.empty())
                out += fs.DecimalSeparator;
        } else if (c == ',') {
            // grouping only
        } else {
            out += c;
        }
    }
    return out;
}

bool AllBlank(std::string_view s) {
    return s.empty();
}

template <typename DigitsOf>
std::string FormatNumber(std::string_view pattern, bool negative, DigitsOf digitsOf,
                         const TXFormatSettings& fs) {
    const auto sections = SplitSections(pattern);
    std::string_view sec = sections[0];
    bool minus = negative;
    if (negative && sections.size() >= 2 && !AllBlank(sections[1])) {
        sec = sections[1];
        minus = false;
    }
    TXSectionInfo info = Analyse(sec);
    TXDigits digits = digitsOf(info.DecCount);
    if (digits.IsZero()) {
        // A value that shows as zero never carries a sign.
        if (sections.size() >= 3 && !AllBlank(sections[2]))
            sec = sections[2];
        else
            sec = sections[0];
        minus = false;
        info = Analyse(sec);
        digits = TXDigits{"", std::string(info.DecCount, '0')};
    }
    return ApplySection(sec, info, digits, minus, fs);
}

// ---- dates --------------------------------------------------------------------------------------

struct TXDateParts {
    int Year, Month, Day, Hour, Minute, Second, Msec, DayOfWeek; // DayOfWeek 0 = Sunday
};

TXDateParts Decode(double dayNumber) {
    TXDateParts p{};
    DecodeDateTime(dayNumber, p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second, p.Msec);
    const long long days = static_cast<long long>(std::floor(dayNumber));
    p.DayOfWeek = static_cast<int>(((days + 6) % 7 + 7) % 7);
    return p;
}

std::string Num(int v, int width) {
    std::string s = std::to_string(v);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, width - s.size(), '0');
    return s;
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool StartsWithNoCase(std::string_view s, size_t i, std::string_view what) {
    if (s.size() - i < what.size())
        return false;
    for (size_t k = 0; k < what.size(); ++k)
        if (Upper(s[i + k]) != Upper(what[k]))
            return false;
    return true;
}

bool HasAmPm(std::string_view pattern, size_t from) {
    char quote = 0;
    for (size_t i = from; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (StartsWithNoCase(pattern, i, "am/pm") || StartsWithNoCase(pattern, i, "a/p") ||
                   StartsWithNoCase(pattern, i, "ampm")) {
            return true;
        }
    }
    return false;
}

void AppendDate(std::string& out, std::string_view pattern, const TXDateParts& p, const TXFormatSettings& fs,
                int depth) {
    if (depth > 2)
        return;
    char lastToken = 0;
    size_t i = 0;
    const size_t len = pattern.size();
    auto count = [&](char token) {
        size_t n = 1;
        while (i + n < len && Upper(pattern[i + n]) == token)
            ++n;
        return n;
    };
    auto hour12 = [&]() {
        const int h = p.Hour % 12;
        return h == 0 ? 12 : h;
    };
    while (i < len) {
        const char c = pattern[i];
        char token = Upper(c);
        if (token >= 'A' && token <= 'Z') {
            if (token == 'M' && lastToken == 'H')
                token = 'N';
            lastToken = token;
        }
        switch (token) {
        case '"':
        case '\'': {
            size_t j = i + 1;
            while (j < len && pattern[j] != c)
                ++j;
            out.append(pattern.substr(i + 1, j - i - 1));
            i = j < len ? j + 1 : len;
            continue;
        }
        case '/':
            out += fs.DateSeparator;
            ++i;
            continue;
        case ':':
            out += fs.TimeSeparator;
            ++i;
            continue;
        case 'Y': {
            const size_t n = count('Y');
            out += n <= 2 ? Num(p.Year % 100, 2) : Num(p.Year, 4);
            i += n;
            continue;
        }
        case 'M': {
            const size_t n = count('M');
            if (n <= 2)
                out += Num(p.Month, static_cast<int>(n));
            else if (n == 3)
                out += fs.ShortMonthNames[p.Month - 1];
            else
                out += fs.LongMonthNames[p.Month - 1];
            i += n;
            continue;
        }
        case 'D': {
            const size_t n = count('D');
            if (n <= 2)
                out += Num(p.Day, static_cast<int>(n));
            else if (n == 3)
                out += fs.ShortDayNames[p.DayOfWeek];
            else if (n == 4)
                out += fs.LongDayNames[p.DayOfWeek];
            else if (n == 5)
                AppendDate(out, fs.ShortDateFormat, p, fs, depth + 1);
            else
                AppendDate(out, fs.LongDateFormat, p, fs, depth + 1);
            i += n;
            continue;
        }
        case 'H': {
            const size_t n = std::min<size_t>(count('H'), 2);
            const int h = HasAmPm(pattern, i) ? hour12() : p.Hour;
            out += Num(h, static_cast<int>(n));
            i += n;
            continue;
        }
        case 'N': {
            const size_t n = std::min<size_t>(count(Upper(c)), 2);
            out += Num(p.Minute, static_cast<int>(n));
            i += n;
            continue;
        }
        case 'S': {
            const size_t n = std::min<size_t>(count('S'), 2);
            out += Num(p.Second, static_cast<int>(n));
            i += n;
            continue;
        }
        case 'Z': {
            const size_t n = count('Z');
            out += Num(p.Msec, n >= 3 ? 3 : 1);
            i += n;
            continue;
        }
        case 'T': {
            const size_t n = count('T');
            AppendDate(out, n == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, p, fs, depth + 1);
            i += n;
            continue;
        }
        case 'C': {
            AppendDate(out, fs.ShortDateFormat, p, fs, depth + 1);
            if (p.Hour != 0 || p.Minute != 0 || p.Second != 0 || p.Msec != 0) {
                out += ' ';
                AppendDate(out, fs.LongTimeFormat, p, fs, depth + 1);
            }
            ++i;
            continue;
        }
        case 'A': {
            const bool pm = p.Hour >= 12;
            if (StartsWithNoCase(pattern, i, "am/pm")) {
                const std::string_view src = pattern.substr(i + (pm ? 3 : 0), 2);
                out.append(src);
                i += 5;
                continue;
            }
            if (StartsWithNoCase(pattern, i, "a/p")) {
                out += pattern[i + (pm ? 2 : 0)];
                i += 3;
                continue;
            }
            if (StartsWithNoCase(pattern, i, "ampm")) {
                out += pm ? fs.TimePMString : fs.TimeAMString;
                i += 4;
                continue;
            }
            out += c;
            ++i;
            continue;
        }
        default:
            out += c;
            ++i;
            continue;
        }
    }
}

std::string_view TrimView(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

// Splits "a<sep>b<sep>c" into up to `most` unsigned numbers; false on anything else.
bool SplitNumbers(std::string_view s, char sep, std::vector<std::pair<int, int>>& parts, size_t most) {
    parts.clear();
    size_t i = 0;
    while (true) {
        size_t j = i;
        int v = 0;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9' && j - i < 9)
            v = v * 10 + (s[j++] - '0');
        if (j == i)
            return false;
        parts.emplace_back(v, static_cast<int>(j - i));
        if (j == s.size())
            return parts.size() <= most;
        if (s[j] != sep || parts.size() == most)
            return false;
        i = j + 1;
    }
}

int DaysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

int CurrentYear() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm.tm_year + 1900;
}

// Order of day, month and year in the short date pattern: a string such as "DMY".
std::string DateOrder(std::string_view pattern) {
    std::string order;
    for (char c : pattern) {
        const char u = Upper(c);
        if ((u == 'D' || u == 'M' || u == 'Y') && order.find(u) == std::string::npos)
            order += u;
    }
    return order.size() == 3 ? order : "DMY";
}

} // namespace

const TXFormatSettings& PTFormat() {
    static const TXFormatSettings fs = MakePTFormat();
    return fs;
}

std::string FormatFloat(std::string_view pattern, double value, const TXFormatSettings& fs) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (pattern.empty())
        return FloatToStr(value, fs);
    const double a = std::fabs(value);
    return FormatNumber(
        pattern, value < 0, [a](int decimals) { return DoubleDigits(a, decimals); }, fs);
}

std::string FormatInteger(std::string_view pattern, int64_t value, const TXFormatSettings& fs) {
    const uint64_t a = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    if (pattern.empty())
        return std::to_string(value);
    return FormatNumber(
        pattern, value < 0, [a](int decimals) { return IntegerDigits(a, decimals); }, fs);
}

std::string FloatToStr(double value, const TXFormatSettings& fs) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";
    std::string d;
    int e;
    SignificantDigits(std::fabs(value), d, e);
    while (d.size() > 1 && d.back() == '0')
        d.pop_back();
    std::string out = value < 0 ? "-" : "";
    if (e >= 15 || e < -4) {
        out += d[0];
        if (d.size() > 1) {
            out += fs.DecimalSeparator;
            out.append(d, 1);
        }
        out += 'E';
        out += std::to_string(e);
        return out;
    }
    const TXDigits r = RoundDigits(d, e + 1, std::max(0, static_cast<int>(d.size()) - (e + 1)));
    out += r.Int.empty() ? "0" : r.Int;
    if (!r.Frac.empty()) {
        out += fs.DecimalSeparator;
        out += r.Frac;
    }
    return out;
}

bool TryStrToFloat(std::string_view text, double& value, const TXFormatSettings& fs) {
    const std::string_view s = TrimView(text);
    std::string c;
    size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        c += s[i++];
    size_t digits = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9') {
            c += s[i];
            ++digits;
        } else if (s[i] == fs.DecimalSeparator && !point) {
            c += '.';
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        c += 'e';
        ++i;
        if (i < s.size() && (s[i] == '-' || s[i] == '+'))
            c += s[i++];
        const size_t start = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            c += s[i++];
        if (i == start)
            return false;
    }
    if (i != s.size())
        return false;
    const char* b = c.data();
    if (*b == '+')
        ++b;
    double v = 0;
    const auto res = std::from_chars(b, c.data() + c.size(), v);
    if (res.ec != std::errc() || res.ptr != c.data() + c.size())
        return false;
    value = v;
    return true;
}

std::string FormatDateTime(std::string_view pattern, double dayNumber, const TXFormatSettings& fs) {
    std::string out;
    const TXDateParts p = Decode(dayNumber);
    AppendDate(out, pattern.empty() ? std::string_view("c") : pattern, p, fs, 0);
    return out;
}

std::string DateToStr(double dayNumber, const TXFormatSettings& fs) {
    return FormatDateTime(fs.ShortDateFormat, dayNumber, fs);
}

std::string TimeToStr(double dayNumber, const TXFormatSettings& fs) {
    return FormatDateTime(fs.LongTimeFormat, dayNumber, fs);
}

std::string DateTimeToStr(double dayNumber, const TXFormatSettings& fs) {
    return FormatDateTime("c", dayNumber, fs);
}

int ExpandTwoDigitYear(int twoDigitYear, int currentYear, int window) {
    const int base = currentYear - window;
    int y = twoDigitYear + base / 100 * 100;
    if (window > 0 && y < base)
        y += 100;
    return y;
}

bool TryStrToDate(std::string_view text, double& dayNumber, const TXFormatSettings& fs) {
    std::vector<std::pair<int, int>> parts;
    if (!SplitNumbers(TrimView(text), fs.DateSeparator, parts, 3) || parts.size() < 2)
        return false;
    const std::string order = DateOrder(fs.ShortDateFormat);
    int d = 0, m = 0, y = 0, yDigits = 0;
    if (parts.size() == 2) {
        // Day and month only: this year, in the pattern's order of the two.
        const bool monthFirst = order.find('M') < order.find('D');
        m = parts[monthFirst ? 0 : 1].first;
        d = parts[monthFirst ? 1 : 0].first;
        y = CurrentYear();
        yDigits = 4;
    } else {
        for (size_t k = 0; k < 3; ++k) {
            if (order[k] == 'D')
                d = parts[k].first;
            else if (order[k] == 'M')
                m = parts[k].first;
            else
                y = parts[k].first, yDigits = parts[k].second;
        }
    }
    if (yDigits <= 2)
        y = ExpandTwoDigitYear(y, CurrentYear(), fs.TwoDigitYearCenturyWindow);
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m))
        return false;
    dayNumber = EncodeDateTime(y, m, d);
    return true;
}

bool TryStrToDateTime(std::string_view text, double& dayNumber, const TXFormatSettings& fs) {
    const std::string_view s = TrimView(text);
    const size_t blank = s.find(' ');
    double date;
    if (!TryStrToDate(s.substr(0, blank), date, fs))
        return false;
    if (blank == std::string_view::npos) {
        dayNumber = date;
        return true;
    }
    std::vector<std::pair<int, int>> parts;
    if (!SplitNumbers(TrimView(s.substr(blank)), fs.TimeSeparator, parts, 3) || parts.size() < 2)
        return false;
    const int h = parts[0].first, n = parts[1].first, sec = parts.size() > 2 ? parts[2].first : 0;
    if (h > 23 || n > 59 || sec > 59)
        return false;
    int y, m, d, dummy;
    DecodeDateTime(date, y, m, d, dummy, dummy, dummy, dummy);
    dayNumber = EncodeDateTime(y, m, d, h, n, sec);
    return true;
}

double NowDateTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    const int ms = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    return EncodeDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
}
