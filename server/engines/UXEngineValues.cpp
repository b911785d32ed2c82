#include "server/engines/UXEngineValues.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "foundation/UXData.h"

namespace {

bool Digits(std::string_view s, size_t pos, size_t n, int& out) {
    if (pos + n > s.size())
        return false;
    int v = 0;
    for (size_t i = pos; i < pos + n; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        v = v * 10 + (s[i] - '0');
    }
    out = v;
    return true;
}

// HH:MM[:SS[.f...]] at pos; returns the position after it or npos.
size_t ParseTime(std::string_view s, size_t pos, int& h, int& mi, int& sec, int& ms) {
    h = mi = sec = ms = 0;
    if (!Digits(s, pos, 2, h) || pos + 2 >= s.size() || s[pos + 2] != ':' || !Digits(s, pos + 3, 2, mi))
        return std::string_view::npos;
    pos += 5;
    if (pos < s.size() && s[pos] == ':') {
        if (!Digits(s, pos + 1, 2, sec))
            return std::string_view::npos;
        pos += 3;
        if (pos < s.size() && s[pos] == '.') {
            ++pos;
            double frac = 0, scale = 0.1;
            size_t start = pos;
            while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
                frac += (s[pos] - '0') * scale;
                scale /= 10;
                ++pos;
            }
            if (pos == start)
                return std::string_view::npos;
            ms = static_cast<int>(std::lround(frac * 1000));
            if (ms > 999)
                ms = 999;
        }
    }
    if (h > 23 || mi > 59 || sec > 59)
        return std::string_view::npos;
    return pos;
}

bool ZoneOrEnd(std::string_view s, size_t pos) {
    if (pos == s.size())
        return true;
    if (s[pos] == 'Z' || s[pos] == 'z')
        return pos + 1 == s.size();
    if (s[pos] != '+' && s[pos] != '-')
        return false;
    int v;
    if (!Digits(s, pos + 1, 2, v))
        return false;
    pos += 3;
    if (pos < s.size() && s[pos] == ':')
        ++pos;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9')
        ++pos;
    return pos == s.size();
}

} // namespace

std::string DayNumberToTimestamp(double dayNumber) {
    int y, m, d, h, mi, s, ms;
    try {
        DecodeDateTime(dayNumber, y, m, d, h, mi, s, ms);
    } catch (const std::exception&) {
        throw EXEngineError("invalid date value " + DoubleToText(dayNumber));
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, m, d, h, mi, s, ms);
    return buf;
}

bool TimestampToDayNumber(std::string_view text, double& dayNumber) {
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    int y = 1899, m = 12, d = 30, h = 0, mi = 0, s = 0, ms = 0;
    size_t pos = 0;
    if (text.size() >= 10 && text[4] == '-') {
        if (!Digits(text, 0, 4, y) || text[4] != '-' || !Digits(text, 5, 2, m) || text[7] != '-' ||
            !Digits(text, 8, 2, d))
            return false;
        if (m < 1 || m > 12 || d < 1 || d > 31)
            return false;
        pos = 10;
        if (pos < text.size() && (text[pos] == ' ' || text[pos] == 'T')) {
            pos = ParseTime(text, pos + 1, h, mi, s, ms);
            if (pos == std::string_view::npos)
                return false;
        }
    } else {
        pos = ParseTime(text, 0, h, mi, s, ms);
        if (pos == std::string_view::npos)
            return false;
    }
    if (!ZoneOrEnd(text, pos))
        return false;
    try {
        dayNumber = EncodeDateTime(y, m, d, h, mi, s, ms);
    } catch (const std::exception&) {
        return false; // 2023-02-30 and the like
    }
    return true;
}

bool IsStoredTimestamp(std::string_view t) {
    static constexpr std::string_view mask = "dddd-dd-dd dd:dd:dd.ddd";
    if (t.size() != mask.size())
        return false;
    for (size_t i = 0; i < t.size(); ++i) {
        if (mask[i] == 'd' ? (t[i] < '0' || t[i] > '9') : t[i] != mask[i])
            return false;
    }
    return true;
}

std::string CurrencyToText(int64_t scaled) {
    bool neg = scaled < 0;
    // Magnitude as unsigned so INT64_MIN works.
    uint64_t mag = neg ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    std::string out = neg ? "-" : "";
    out += std::to_string(mag / 10000);
    uint64_t frac = mag % 10000;
    if (frac != 0) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%04u", static_cast<unsigned>(frac));
        std::string f = buf;
        while (f.back() == '0')
            f.pop_back();
        out += "." + f;
    }
    return out;
}

bool TextToCurrency(std::string_view t, int64_t& scaled) {
    while (!t.empty() && t.front() == ' ')
        t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ')
        t.remove_suffix(1);
    bool neg = false;
    size_t i = 0;
    if (i < t.size() && (t[i] == '-' || t[i] == '+'))
        neg = t[i++] == '-';
    std::string digits; // all significant digits, point removed
    int pointPos = -1;
    bool any = false;
    for (; i < t.size(); ++i) {
        char c = t[i];
        if (c >= '0' && c <= '9') {
            digits += c;
            any = true;
        } else if (c == '.' && pointPos < 0) {
            pointPos = static_cast<int>(digits.size());
        } else {
            break;
        }
    }
    if (!any)
        return false;
    int exp10 = 0;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        int e = 0;
        auto r = std::from_chars(t.data() + i + (i < t.size() && t[i] == '+'), t.data() + t.size(), e);
        if (r.ec != std::errc() || r.ptr != t.data() + t.size())
            return false;
        exp10 = e;
        i = t.size();
    }
    if (i != t.size())
        return false;
    if (pointPos < 0)
        pointPos = static_cast<int>(digits.size());
    // value = digits * 10^(exp10 - (len - pointPos)); we want value * 10^4.
    int shift = exp10 + 4 - (static_cast<int>(digits.size()) - pointPos);
    if (shift > 40 || shift < -400)
        return shift < -400 ? (scaled = 0, true) : false;
    if (shift >= 0) {
        digits.append(static_cast<size_t>(shift), '0');
        shift = 0;
    }
    size_t keep =
        digits.size() > static_cast<size_t>(-shift) ? digits.size() - static_cast<size_t>(-shift) : 0;
    bool roundUp = keep < digits.size() && digits[keep] >= '5';
    unsigned __int128 v = 0;
    for (size_t k = 0; k < keep; ++k) {
        v = v * 10 + static_cast<unsigned>(digits[k] - '0');
        if (v > (static_cast<unsigned __int128>(1) << 64))
            return false;
    }
    if (roundUp)
        ++v;
    unsigned __int128 limit =
        neg ? (static_cast<unsigned __int128>(1) << 63) : (static_cast<unsigned __int128>(1) << 63) - 1;
    if (v > limit)
        return false;
    scaled = neg ? static_cast<int64_t>(0 - static_cast<uint64_t>(v)) : static_cast<int64_t>(v);
    return true;
}

int DecimalsOf(std::string_view t) {
    size_t p = t.find('.');
    if (p == std::string_view::npos)
        return 0;
    int n = 0;
    for (size_t i = p + 1; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i)
        ++n;
    return n;
}

std::string DoubleToText(double v) {
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v > 0 ? "Infinity" : "-Infinity";
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

bool TextToDouble(std::string_view t, double& v) {
    if (t == "NaN") {
        v = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (t == "Infinity" || t == "-Infinity") {
        v = t[0] == '-' ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return true;
    }
    while (!t.empty() && t.front() == ' ')
        t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ')
        t.remove_suffix(1);
    if (!t.empty() && t.front() == '+')
        t.remove_prefix(1);
    auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    return !t.empty() && r.ec == std::errc() && r.ptr == t.data() + t.size();
}

bool TextToInt64(std::string_view t, int64_t& v) {
    while (!t.empty() && t.front() == ' ')
        t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ')
        t.remove_suffix(1);
    if (!t.empty() && t.front() == '+')
        t.remove_prefix(1);
    auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    return !t.empty() && r.ec == std::errc() && r.ptr == t.data() + t.size();
}

TXSQLStructDataType TypeForScale(int scale) {
    if (scale <= 0)
        return sftInteger;
    return scale <= 4 ? sftCurrency : sftFloat;
}

std::string UpperAscii(std::string_view s) {
    std::string r(s);
    for (auto& c : r)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return r;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

bool IsPlainIdentifier(std::string_view n) {
    if (n.empty() || n.size() > 128 || (n[0] >= '0' && n[0] <= '9'))
        return false;
    for (char c : n) {
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                  c == '$';
        if (!ok)
            return false;
    }
    return true;
}

bool MapDeclaredType(std::string_view declared, TXEngineColumn& col) {
    std::string d = UpperAscii(declared);
    // Base name: the words before "(".
    size_t paren = d.find('(');
    std::string base = d.substr(0, paren);
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    while (!base.empty() && base.front() == ' ')
        base.erase(0, 1);
    int args[2] = {-1, -1};
    if (paren != std::string::npos) {
        int n = 0;
        size_t p = paren + 1;
        while (n < 2 && p < d.size()) {
            while (p < d.size() && d[p] == ' ')
                ++p;
            int v = 0;
            auto r = std::from_chars(d.data() + p, d.data() + d.size(), v);
            if (r.ec != std::errc())
                break;
            args[n++] = v;
            p = static_cast<size_t>(r.ptr - d.data());
            while (p < d.size() && d[p] == ' ')
                ++p;
            if (p < d.size() && d[p] == ',')
                ++p;
            else
                break;
        }
    }
    col.size = 0;
    col.scale = 0;
    auto has = [&](std::string_view w) { return base.find(w) != std::string::npos; };
    if (base == "NUMBER" || base == "NUMERIC" || base == "DECIMAL") {
        if (args[0] < 0) {
            col.type = sftFloat; // no precision: any number
            return true;
        }
        col.scale = args[1] < 0 ? 0 : args[1];
        col.type = TypeForScale(col.scale);
        return true;
    }
    if (has("INT")) {
        col.type = sftInteger;
        return true;
    }
    if (has("CHAR") || has("TEXT") || has("CLOB") || base == "STRING") {
        col.type = sftString;
        col.size = args[0] > 0 ? args[0] : 0;
        return true;
    }
    if (has("DATE") || has("TIME")) {
        col.type = sftDateTime;
        return true;
    }
    if (has("BLOB") || base == "BYTEA" || base == "BINARY" || base == "VARBINARY") {
        col.type = sftBlob;
        return true;
    }
    if (has("DOUBLE") || has("FLOAT") || has("REAL")) {
        col.type = sftFloat;
        return true;
    }
    if (has("BOOL")) {
        col.type = sftInteger;
        return true;
    }
    col.type = sftUnknown;
    return false;
}
