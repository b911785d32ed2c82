#pragma once
// Tagged variant carrying the OLE Automation type codes that travel in packed records.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

enum TXVarType : uint16_t {
    varEmpty = 0x0000,
    varNull = 0x0001,
    varSmallint = 0x0002,
    varInteger = 0x0003,
    varSingle = 0x0004,
    varDouble = 0x0005,
    varCurrency = 0x0006,
    varDate = 0x0007,
    varOleStr = 0x0008,
    varBoolean = 0x000B,
    varShortInt = 0x0010,
    varByte = 0x0011,
    varWord = 0x0012,
    varLongWord = 0x0013,
    varInt64 = 0x0014,
    varStrArg = 0x0048,
    varString = 0x0100,
};

// Raised by a conversion that cannot be made (a text that is not a number, a value out of range).
class EXVariantError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// v rounded to an integer, ties to even; false when not finite or outside the signed 64-bit range.
inline bool RoundToInt64(double v, int64_t& out) {
    constexpr double kTwo52 = 4503599627370496.0, kTwo63 = 9223372036854775808.0;
    double a = v < 0 ? -v : v;
    if (a < kTwo52) {
        a = (a + kTwo52) - kTwo52; // rounds in the default (nearest-even) mode, no library call
    } else if (!(a < kTwo63)) {
        if (v == -kTwo63) {
            out = INT64_MIN;
            return true;
        }
        return false; // also NaN
    }
    out = static_cast<int64_t>(v < 0 ? -a : a);
    return true;
}

// value x 10000 rounded to nearest (ties to even); false when not finite or out of the 64-bit range.
inline bool DoubleToCurrencyScaled(double v, int64_t& scaled) {
    return RoundToInt64(v * 10000.0, scaled);
}

struct TXData;
class TXVariant;
namespace txdata_detail {
void PutVAny(TXData& d, const TXVariant& v);
}

// Value semantics; strings are Windows-1252 bytes. Currency is kept as the
// scaled 64-bit integer (value x 10000) so it round-trips exactly.
class TXVariant {
public:
    TXVariant() = default; // empty
    static TXVariant Null();
    static TXVariant FromInt(int32_t v);            // varInteger
    static TXVariant FromSmallint(int16_t v);       // varSmallint
    static TXVariant FromShortInt(int8_t v);        // varShortInt
    static TXVariant FromInt64(int64_t v);          // varInt64
    static TXVariant FromByte(uint8_t v);           // varByte
    static TXVariant FromWord(uint16_t v);          // varWord
    static TXVariant FromLongWord(uint32_t v);      // varLongWord
    static TXVariant FromBool(bool v);              // varBoolean
    static TXVariant FromDouble(double v);          // varDouble
    static TXVariant FromSingle(float v);           // varSingle
    static TXVariant FromDate(double dayNumber);    // varDate
    static TXVariant FromCurrency(double v);        // varCurrency, rounded to 4 decimals
    static TXVariant FromCurrencyScaled(int64_t v); // varCurrency from value x 10000
    static TXVariant FromString(std::string v);     // varString (byte string)
    static TXVariant FromOleStr(std::string v);     // varOleStr (same bytes, other code)
    static TXVariant WithCode(uint16_t code);       // any other code, no value
    // Makes this a varString of v, reusing the room of a string held before (rows read in a loop).
    void SetString(std::string_view v) {
        mType = varString;
        mV.i64 = 0;
        mS.assign(v);
    }

    uint16_t Type() const { return mType; }
    bool IsEmpty() const { return mType == varEmpty; }
    bool IsNull() const { return mType == varNull; }
    bool IsEmptyOrNull() const { return mType == varEmpty || mType == varNull; }
    bool IsString() const { return mType == varString || mType == varOleStr || mType == varStrArg; }
    bool IsNumeric() const; // any integer, float, currency, date or boolean code

    // Conversions in the manner of the original variant: strings are parsed (blanks trimmed, '.' or ','
    // as decimal separator, "True"/"False"), numbers formatted as plain round-trippable decimals with '.'
    // (a date as its day number; display formats belong to the format helpers),
    // floats rounded to integers ties-to-even, Boolean true is 1 and reads "True". Empty and null convert
    // to 0 / "" / false. A text that is no number or a value out of range raises EXVariantError.
    int32_t AsInt() const { return mType == varInteger ? static_cast<int32_t>(mV.i64) : AsIntSlow(); }
    int64_t AsInt64() const;
    double AsDouble() const;
    int64_t AsCurrencyScaled() const;
    bool AsBool() const;
    std::string AsString() const;
    // The bytes of a string variant without a copy (empty for every other type).
    std::string_view StringRef() const { return mS; }

    bool operator==(const TXVariant& other) const; // same type and same value
    bool operator!=(const TXVariant& other) const { return !(*this == other); }

private:
    friend void txdata_detail::PutVAny(TXData& d, const TXVariant& v); // writes the stored value as it is
    int32_t AsIntSlow() const;

    uint16_t mType = varEmpty;
    union {
        int64_t i64;
        uint64_t u64;
        double d;
    } mV{0};
    std::string mS;
};

// The common constructors are inline: records are read value by value in tight loops.
inline TXVariant TXVariant::FromInt(int32_t v) {
    TXVariant r;
    r.mType = varInteger;
    r.mV.i64 = v;
    return r;
}

inline TXVariant TXVariant::FromInt64(int64_t v) {
    TXVariant r;
    r.mType = varInt64;
    r.mV.i64 = v;
    return r;
}

inline TXVariant TXVariant::FromCurrencyScaled(int64_t v) {
    TXVariant r;
    r.mType = varCurrency;
    r.mV.i64 = v;
    return r;
}

inline TXVariant TXVariant::FromDouble(double v) {
    TXVariant r;
    r.mType = varDouble;
    r.mV.d = v;
    return r;
}
