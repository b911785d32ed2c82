#include "foundation/UXText.h"

#include "foundation/UPTFormat.h"

#include <climits>
#include <unistd.h>

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

unsigned char AnsiUpper(unsigned char c) {
    if (c >= 'a' && c <= 'z')
        return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return c - 32;
    switch (c) {
    case 0x9A:
        return 0x8A; // š
    case 0x9C:
        return 0x8C; // œ
    case 0x9E:
        return 0x8E; // ž
    case 0xFF:
        return 0x9F; // ÿ
    default:
        return c;
    }
}

unsigned char AnsiLower(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    switch (c) {
    case 0x8A:
        return 0x9A;
    case 0x8C:
        return 0x9C;
    case 0x8E:
        return 0x9E;
    case 0x9F:
        return 0xFF;
    default:
        return c;
    }
}

// Digits with an optional leading minus and, when allowed, one decimal separator.
bool IsNumeric(std::string_view text, bool allowSeparator, char separator) {
    std::string_view s = text;
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    if (!s.empty() && s.front() == '-')
        s.remove_prefix(1);
    bool digit = false, point = false;
    for (char c : s) {
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (allowSeparator && c == separator && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digit;
}

} // namespace

std::string NowText() {
    return FormatDateTime("yyyy-mm-dd hh:nn:ss", NowDateTime());
}

std::string ExeFolder() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "./";
    std::string path(buf, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

int ParamIndex(std::string_view name, const std::vector<std::string>& args) {
    for (size_t i = 1; i < args.size(); ++i)
        if (SameText(args[i], name))
            return static_cast<int>(i);
    return 0;
}

std::string CutToken(std::string& text, std::string_view separator) {
    const size_t p = separator.empty() ? std::string::npos : text.find(separator);
    std::string token;
    if (p == std::string::npos) {
        token.swap(text);
    } else {
        token = text.substr(0, p);
        text.erase(0, p + separator.size());
    }
    return token;
}

std::string PadLeft(std::string_view text, int length, char c) {
    std::string out;
    if (static_cast<int>(text.size()) < length)
        out.assign(length - text.size(), c);
    out.append(text);
    return out;
}

std::string PadRight(std::string_view text, int length, char c) {
    std::string out(text);
    if (static_cast<int>(out.size()) < length)
        out.append(length - out.size(), c);
    return out;
}

std::string IntToStrZero(int64_t number, int width) {
    const uint64_t a = number < 0 ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
    std::string digits = std::to_string(a);
    const int wanted = width - (number < 0 ? 1 : 0);
    if (static_cast<int>(digits.size()) < wanted)
        digits.insert(0, wanted - digits.size(), '0');
    return number < 0 ? "-" + digits : digits;
}

bool IsInteger(std::string_view text) {
    return IsNumeric(text, false, 0);
}

bool IsNumber(std::string_view text, char decimalSeparator) {
    return IsNumeric(text, true, decimalSeparator);
}

std::string IfEmpty(std::string_view text, std::string_view def) {
    return std::string(text.empty() ? def : text);
}

TXVariant IfNull(const TXVariant& value, const TXVariant& def) {
    return value.IsEmptyOrNull() ? def : value;
}

std::string Trim(std::string_view text) {
    return TrimRight(TrimLeft(text));
}

std::string TrimLeft(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    return std::string(text.substr(i));
}

std::string TrimRight(std::string_view text) {
    size_t n = text.size();
    while (n > 0 && IsBlank(text[n - 1]))
        --n;
    return std::string(text.substr(0, n));
}

std::string UpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = AsciiUpper(c);
    return out;
}

std::string LowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = AsciiLower(c);
    return out;
}

std::string AnsiUpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(AnsiUpper(static_cast<unsigned char>(c)));
    return out;
}

std::string AnsiLowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(AnsiLower(static_cast<unsigned char>(c)));
    return out;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    return true;
}
