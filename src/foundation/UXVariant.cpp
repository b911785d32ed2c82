#include "foundation/UXVariant.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view TrimView(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

const char* TypeName(uint16_t t) {
    switch (t) {
    case varEmpty:
        return "Empty";
    case varNull:
        return "Null";
    case varSmallint:
        return "Smallint";
    case varInteger:
        return "Integer";
    case varSingle:
        return "Single";
    case varDouble:
        return "Double";
    case varCurrency:
        return "Currency";
    case varDate:
        return "Date";
    case varOleStr:
        return "OleStr";
    case varBoolean:
        return "Boolean";
    case varShortInt:
        return "ShortInt";
    case varByte:
        return "Byte";
    case varWord:
        return "Word";
    case varLongWord:
        return "LongWord";
    case varInt64:
        return "Int64";
    case varStrArg:
        return "StrArg";
    case varString:
        return "String";
    default:
        return "Unknown";
    }
}

[[noreturn]] void CastError(uint16_t from, const char* to) {
    throw EXVariantError(std::string("Could not convert variant of type (") + TypeName(from) +
                         ") into type (" + to + ")");
}

[[noreturn]] void OverflowError(uint16_t from, const char* to) {
    throw EXVariantError(std::string("Overflow while converting variant of type (") + TypeName(from) +
                         ") into type (" + to + ")");
}

bool IsIntegerCode(uint16_t t) {
    switch (t) {
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
    case varBoolean:
        return true;
    default:
        return false;
    }
}

bool IsFloatCode(uint16_t t) {
    return t == varSingle || t == varDouble || t == varDate;
}

bool ParseInt64(std::string_view s, int64_t& out) {
    s = TrimView(s);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    if (s.empty()) {
        return false;
    }
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

// Accepts '.' or ',' as the decimal separator (texts typed in the Portuguese format carry a comma).
bool ParseDouble(std::string_view s, double& out) {
    s = TrimView(s);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    if (s.empty() || s.size() > 400) {
        return false;
    }
    std::string buf(s);
    if (buf.find('.') == std::string::npos) {
        auto comma = buf.find(',');
        if (comma != std::string::npos) {
            buf[comma] = '.';
        }
    }
    auto [p, ec] = std::from_chars(buf.data(), buf.data() + buf.size(), out, std::chars_format::general);
    return ec == std::errc() && p == buf.data() + buf.size();
}

bool DoubleToInt64(double v, int64_t& out) {
    return RoundToInt64(v, out);
}

// Round scaled / 10000 to nearest, ties to even (the currency-to-integer rule).
int64_t CurrencyToInt64(int64_t scaled) {
    int64_t q = scaled / 10000;
    int64_t r = scaled % 10000;
    if (r > 5000 || (r == 5000 && (q & 1))) {
        ++q;
    } else if (r < -5000 || (r == -5000 && (q & 1))) {
        --q;
    }
    return q;
}

std::string CurrencyText(int64_t scaled) {
    std::string out;
    uint64_t mag = scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    if (scaled < 0) {
        out += '-';
    }
    out += std::to_string(mag / 10000);
    unsigned frac = static_cast<unsigned>(mag % 10000);
    if (frac != 0) {
        char digits[5] = {char('0' + frac / 1000), char('0' + frac / 100 % 10), char('0' + frac / 10 % 10),
                          char('0' + frac % 10), 0};
        int n = 4;
        while (digits[n - 1] == '0') {
            --n;
        }
        out += '.';
        out.append(digits, n);
    }
    return out;
}

template <typename T>
std::string ShortestText(T v) {
    char buf[64];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
    (void)ec;
    return std::string(buf, p);
}

bool IEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') {
            x = char(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = char(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

} // namespace

TXVariant TXVariant::Null() {
    return WithCode(varNull);
}

TXVariant TXVariant::WithCode(uint16_t code) {
    TXVariant r;
    r.mType = code;
    return r;
}

// The integer constructors all keep the value in the 64-bit slot.
#define SV_VARIANT_INT(fn, type, code)                                                                       \
    TXVariant TXVariant::fn(type v) {                                                                        \
        TXVariant r;                                                                                         \
        r.mType = code;                                                                                      \
        r.mV.i64 = static_cast<int64_t>(v);                                                                  \
        return r;                                                                                            \
    }
SV_VARIANT_INT(FromSmallint, int16_t, varSmallint)
SV_VARIANT_INT(FromShortInt, int8_t, varShortInt)
SV_VARIANT_INT(FromByte, uint8_t, varByte)
SV_VARIANT_INT(FromWord, uint16_t, varWord)
SV_VARIANT_INT(FromLongWord, uint32_t, varLongWord)
#undef SV_VARIANT_INT

TXVariant TXVariant::FromBool(bool v) {
    TXVariant r;
    r.mType = varBoolean;
    r.mV.i64 = v ? 1 : 0;
    return r;
}

TXVariant TXVariant::FromSingle(float v) {
    TXVariant r;
    r.mType = varSingle;
    r.mV.d = static_cast<double>(v);
    return r;
}

TXVariant TXVariant::FromDate(double dayNumber) {
    TXVariant r;
    r.mType = varDate;
    r.mV.d = dayNumber;
    return r;
}

TXVariant TXVariant::FromCurrency(double v) {
    int64_t scaled = 0;
    if (!DoubleToCurrencyScaled(v, scaled)) {
        OverflowError(varDouble, "Currency");
    }
    return FromCurrencyScaled(scaled);
}

TXVariant TXVariant::FromString(std::string v) {
    TXVariant r;
    r.mType = varString;
    r.mS = std::move(v);
    return r;
}

TXVariant TXVariant::FromOleStr(std::string v) {
    TXVariant r;
    r.mType = varOleStr;
    r.mS = std::move(v);
    return r;
}

bool TXVariant::IsNumeric() const {
    return IsIntegerCode(mType) || IsFloatCode(mType) || mType == varCurrency;
}

int64_t TXVariant::AsInt64() const {
    if (mType == varEmpty || mType == varNull) {
        return 0;
    }
    if (IsIntegerCode(mType)) {
        return mV.i64;
    }
    if (mType == varCurrency) {
        return CurrencyToInt64(mV.i64);
    }
    int64_t out = 0;
    if (IsFloatCode(mType)) {
        if (!DoubleToInt64(mV.d, out)) {
            OverflowError(mType, "Int64");
        }
        return out;
    }
    if (IsString()) {
        if (ParseInt64(mS, out)) {
            return out;
        }
        double d = 0;
        if (ParseDouble(mS, d)) {
            if (!DoubleToInt64(d, out)) {
                OverflowError(mType, "Int64");
            }
            return out;
        }
    }
    CastError(mType, "Int64");
}

int32_t TXVariant::AsIntSlow() const {
    int64_t v = AsInt64();
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
        OverflowError(mType, "Integer");
    }
    return static_cast<int32_t>(v);
}

double TXVariant::AsDouble() const {
    if (mType == varEmpty || mType == varNull) {
        return 0.0;
    }
    if (IsIntegerCode(mType)) {
        return static_cast<double>(mV.i64);
    }
    if (IsFloatCode(mType)) {
        return mV.d;
    }
    if (mType == varCurrency) {
        return static_cast<double>(mV.i64) / 10000.0;
    }
    double d = 0;
    if (IsString() && ParseDouble(mS, d)) {
        return d;
    }
    CastError(mType, "Double");
}

int64_t TXVariant::AsCurrencyScaled() const {
    if (mType == varEmpty || mType == varNull) {
        return 0;
    }
    if (mType == varCurrency) {
        return mV.i64;
    }
    if (IsIntegerCode(mType)) {
        if (mV.i64 > std::numeric_limits<int64_t>::max() / 10000 ||
            mV.i64 < std::numeric_limits<int64_t>::min() / 10000) {
            OverflowError(mType, "Currency");
        }
        return mV.i64 * 10000;
    }
    int64_t out = 0;
    if (!DoubleToCurrencyScaled(AsDouble(), out)) {
        OverflowError(mType, "Currency");
    }
    return out;
}

bool TXVariant::AsBool() const {
    if (mType == varEmpty || mType == varNull) {
        return false;
    }
    if (IsIntegerCode(mType) || mType == varCurrency) {
        return mV.i64 != 0;
    }
    if (IsFloatCode(mType)) {
        return mV.d != 0.0;
    }
    if (IsString()) {
        std::string_view t = TrimView(mS);
        if (IEquals(t, "true")) {
            return true;
        }
        if (IEquals(t, "false")) {
            return false;
        }
        double d = 0;
        if (ParseDouble(t, d)) {
            return d != 0.0;
        }
    }
    CastError(mType, "Boolean");
}

std::string TXVariant::AsString() const {
    if (mType == varEmpty || mType == varNull) {
        return {};
    }
    if (IsString()) {
        return mS;
    }
    if (mType == varBoolean) {
        return mV.i64 ? "True" : "False";
    }
    if (mType == varCurrency) {
        return CurrencyText(mV.i64);
    }
    if (IsIntegerCode(mType)) {
        return std::to_string(mV.i64);
    }
    if (mType == varSingle) {
        return ShortestText(static_cast<float>(mV.d));
    }
    if (IsFloatCode(mType)) {
        // Dates too: their day number; display formatting belongs to the format helpers.
        return ShortestText(mV.d);
    }
    CastError(mType, "String");
}

bool TXVariant::operator==(const TXVariant& other) const {
    if (mType != other.mType) {
        return false;
    }
    if (IsString()) {
        return mS == other.mS;
    }
    if (IsFloatCode(mType)) {
        return mV.d == other.mV.d;
    }
    if (IsIntegerCode(mType) || mType == varCurrency) {
        return mV.i64 == other.mV.i64;
    }
    return true; // empty, null and the codes without a value
}
