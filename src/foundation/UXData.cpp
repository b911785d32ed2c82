#include "foundation/UXData.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr int32_t kInitialSize = 1000;
constexpr int64_t kMaxSize = std::numeric_limits<int32_t>::max();

// m >> shift rounded to nearest, ties to even; shift may exceed 63.
uint64_t RoundShift(uint64_t m, int shift) {
    if (shift <= 0) {
        return m;
    }
    if (shift > 64) {
        return 0;
    }
    uint64_t q = shift == 64 ? 0 : m >> shift;
    uint64_t rem = shift == 64 ? m : m & ((uint64_t(1) << shift) - 1);
    uint64_t half = uint64_t(1) << (shift - 1);
    if (rem > half || (rem == half && (q & 1))) {
        ++q;
    }
    return q;
}

// Days from 0000-03-01 based civil calendar (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

const int64_t kDay0 = DaysFromCivil(1899, 12, 30);
constexpr int64_t kMsPerDay = 86400000;

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

} // namespace

namespace txdata_detail {

char* GrowRoom(TXData& d, size_t n) {
    if (d.Pos < 1) {
        throw EXDataError("Put error - position out of pack");
    }
    const int64_t pos = d.Pos;
    const int64_t need = pos + static_cast<int64_t>(n);
    int64_t size = d.Size < 0 ? 0 : d.Size;
    if (size < need) {
        size = size + static_cast<int64_t>(n) + size / 2;
        if (size < need - 1) {
            size = need - 1; // Pos was set beyond Size by hand
        }
    }
    if (size > kMaxSize || need > kMaxSize) { // the next Pos must fit as well
        throw EXDataError("Put error - pack too large");
    }
    if (static_cast<int64_t>(d.Data.size()) < size) {
        d.Data.resize(static_cast<size_t>(size));
    }
    d.Size = static_cast<int32_t>(size);
    d.Pos = static_cast<int32_t>(need);
    return d.Data.data() + (pos - 1);
}

const char* TakeChecked(TXData& d, size_t n, const char* what) {
    const int64_t valid = std::min<int64_t>(d.Size, static_cast<int64_t>(d.Data.size()));
    const int64_t pos = d.Pos;
    if (pos < 1 || pos - 1 + static_cast<int64_t>(n) > valid) {
        throw EXDataError(std::string(what) + " error - bigger than pack");
    }
    d.Pos = static_cast<int32_t>(pos + static_cast<int64_t>(n));
    return d.Data.data() + (pos - 1);
}

} // namespace txdata_detail

using txdata_detail::LoadLE;
using txdata_detail::Room;
using txdata_detail::StoreLE;
using txdata_detail::Take;

void Init(TXData& d) {
    d.Data.assign(kInitialSize, '\0');
    d.Size = kInitialSize;
    d.Pos = 1;
}

void Finish(TXData& d) {
    int64_t n = static_cast<int64_t>(d.Pos) - 1;
    n = std::clamp<int64_t>(n, 0, static_cast<int64_t>(d.Data.size()));
    d.Data.resize(static_cast<size_t>(n));
    d.Size = static_cast<int32_t>(n);
}

void Load(TXData& d, std::string_view bytes) {
    if (bytes.size() > static_cast<size_t>(kMaxSize)) {
        throw EXDataError("Load error - pack too large");
    }
    d.Data.assign(bytes);
    d.Size = static_cast<int32_t>(bytes.size());
    d.Pos = 1;
}

void PutS0(TXData& d, std::string_view v) {
    char* p = Room(d, v.size() + 1);
    if (!v.empty()) {
        std::memcpy(p, v.data(), v.size());
    }
    p[v.size()] = '\0';
}

void PutRaw(TXData& d, const void* bytes, size_t n) {
    char* p = Room(d, n);
    if (n != 0) {
        std::memcpy(p, bytes, n);
    }
}

// Integer codes keep their value in the 64-bit slot and float codes in the double, as written by the
// constructors, so only strings and the codes without a value need more than a store.
void txdata_detail::PutVAny(TXData& d, const TXVariant& v) {
    const uint16_t code = v.mType;
    switch (code) {
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varLongWord: {
        char* p = Room(d, 6);
        StoreLE(p, static_cast<uint16_t>(code));
        StoreLE(p + 2, static_cast<uint32_t>(v.mV.i64));
        break;
    }
    case varSingle:
    case varDouble:
    case varDate:
        PutW(d, static_cast<int16_t>(code));
        PutE(d, v.mV.d);
        break;
    case varCurrency:
    case varInt64: {
        char* p = Room(d, 10);
        StoreLE(p, static_cast<uint16_t>(code));
        StoreLE(p + 2, v.mV.i64);
        break;
    }
    case varOleStr:
    case varStrArg:
    case varString:
        PutW(d, static_cast<int16_t>(code));
        PutS(d, v.mS);
        break;
    case varBoolean:
    case varByte: {
        char* p = Room(d, 3);
        StoreLE(p, static_cast<uint16_t>(code));
        p[2] =
            static_cast<char>(code == varBoolean ? (v.mV.i64 != 0 ? 1 : 0) : static_cast<uint8_t>(v.mV.i64));
        break;
    }
    case varWord: {
        char* p = Room(d, 4);
        StoreLE(p, static_cast<uint16_t>(code));
        StoreLE(p + 2, static_cast<uint16_t>(v.mV.i64));
        break;
    }
    default:
        PutW(d, static_cast<int16_t>(code)); // empty, null and unknown codes carry no value
        break;
    }
}

std::string txdata_detail::GetSChecked(TXData& d) {
    const int32_t n = LoadLE<int32_t>(Take(d, 4, "GetS"));
    const int64_t valid = std::min<int64_t>(d.Size, static_cast<int64_t>(d.Data.size()));
    // A negative length is as malformed as an over-long one.
    if (n < 0 || static_cast<int64_t>(n) > valid - d.Pos + 1) {
        throw EXDataError("GetS error - bigger than pack");
    }
    std::string s(d.Data.data() + (d.Pos - 1), static_cast<size_t>(n));
    d.Pos += n;
    return s;
}

std::string GetS0(TXData& d) {
    const int64_t valid = std::min<int64_t>(d.Size, static_cast<int64_t>(d.Data.size()));
    if (d.Pos < 1 || d.Pos > valid) {
        throw EXDataError("GetS0 error - bigger than pack");
    }
    const char* start = d.Data.data() + (d.Pos - 1);
    const size_t left = static_cast<size_t>(valid - d.Pos + 1);
    const void* zero = std::memchr(start, 0, left);
    if (zero == nullptr) {
        throw EXDataError("GetS0 error - bigger than pack");
    }
    const size_t n = static_cast<size_t>(static_cast<const char*>(zero) - start);
    std::string s(start, n);
    d.Pos += static_cast<int32_t>(n + 1);
    return s;
}

TXVariant txdata_detail::GetVAny(TXData& d) {
    const uint16_t code = static_cast<uint16_t>(GetW(d));
    switch (code) {
    case varNull:
        return TXVariant::Null();
    case varSmallint:
    case varInteger:
    case varShortInt:
        return TXVariant::FromInt(GetI(d));
    case varSingle:
    case varDouble:
    case varDate:
        return TXVariant::FromDouble(GetE(d));
    case varCurrency:
        return TXVariant::FromCurrencyScaled(GetCurrScaled(d));
    case varOleStr:
    case varStrArg:
    case varString:
        return TXVariant::FromString(GetS(d));
    case varBoolean:
        return TXVariant::FromBool(GetB(d) != 0);
    case varByte:
        return TXVariant::FromByte(GetB(d));
    case varWord:
        return TXVariant::FromWord(static_cast<uint16_t>(GetW(d)));
    case varLongWord:
        return TXVariant::FromLongWord(static_cast<uint32_t>(GetI(d)));
    case varInt64:
        return TXVariant::FromInt64(GetI64(d));
    default:
        return TXVariant(); // empty and unknown codes
    }
}

// x87 double-extended: bytes 0..7 the significand with its explicit integer bit (bit 63), bytes 8..9 the
// 15-bit exponent (bias 16383) and the sign in bit 15. Every double is exactly representable.
void DoubleToExtended(double v, uint8_t out[10]) {
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    const bool neg = (bits >> 63) != 0;
    const int e = static_cast<int>((bits >> 52) & 0x7FF);
    const uint64_t frac = bits & ((uint64_t(1) << 52) - 1);
    uint64_t mant = 0;
    int exp = 0;
    if (e == 0x7FF) {
        exp = 0x7FFF;
        mant = frac == 0 ? uint64_t(1) << 63 : (uint64_t(3) << 62) | (frac << 11);
    } else if (e == 0) {
        if (frac != 0) { // a denormal double is a normal extended
            const int z = std::countl_zero(frac << 11);
            mant = (frac << 11) << z;
            exp = 1 - 1023 + 16383 - z;
        }
    } else {
        mant = (uint64_t(1) << 63) | (frac << 11);
        exp = e - 1023 + 16383;
    }
    const uint16_t se = static_cast<uint16_t>(exp | (neg ? 0x8000 : 0));
    for (int i = 0; i < 8; ++i) {
        out[i] = static_cast<uint8_t>(mant >> (8 * i));
    }
    out[8] = static_cast<uint8_t>(se);
    out[9] = static_cast<uint8_t>(se >> 8);
}

// Rounds to nearest, ties to even; out-of-range values become infinities or (signed) zeros.
double ExtendedToDouble(const uint8_t in[10]) {
    uint64_t mant = 0;
    for (int i = 0; i < 8; ++i) {
        mant |= static_cast<uint64_t>(in[i]) << (8 * i);
    }
    const uint16_t se = static_cast<uint16_t>(in[8] | (in[9] << 8));
    const uint64_t sign = static_cast<uint64_t>(se >> 15) << 63;
    const int exp = se & 0x7FFF;
    if (exp == 0x7FFF) {
        const uint64_t payload = (mant & ~(uint64_t(1) << 63)) >> 11;
        if ((mant & ~(uint64_t(1) << 63)) == 0) {
            return std::bit_cast<double>(sign | (uint64_t(0x7FF) << 52));
        }
        return std::bit_cast<double>(sign | (uint64_t(0x7FF) << 52) | (uint64_t(1) << 51) | payload);
    }
    if (mant == 0) {
        return std::bit_cast<double>(sign);
    }
    // value = mant * 2^(exp' - 16383 - 63), exp' = 1 for the extended denormals
    const int z = std::countl_zero(mant);
    mant <<= z;
    const int unbiased = (exp == 0 ? 1 : exp) - 16383 - z; // value = 1.xxx * 2^unbiased
    if (unbiased > 1023) {
        return std::bit_cast<double>(sign | (uint64_t(0x7FF) << 52));
    }
    uint64_t bits = 0;
    if (unbiased >= -1022) {
        const uint64_t q = RoundShift(mant, 11); // 53 bits, may carry to 2^53
        bits = (static_cast<uint64_t>(unbiased + 1023) << 52) + q - (uint64_t(1) << 52);
    } else {
        bits = RoundShift(mant, 11 + (-1022 - unbiased)); // a carry to 2^52 is the smallest normal
    }
    return std::bit_cast<double>(sign | bits);
}

// Before 30 December 1899 the whole part is negative and the fraction still counts the time of day
// forward (-1.25 is 29 December 1899, 06:00).
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
    static const int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > kMonthDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0) || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999) {
        throw EXDataError("Invalid argument to date encode");
    }
    const int64_t days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kDay0;
    const double frac = static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + msec) /
                        static_cast<double>(kMsPerDay);
    return days < 0 ? static_cast<double>(days) - frac : static_cast<double>(days) + frac;
}

void DecodeDateTime(double dayNumber, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& msec) {
    // 1 January 0001 .. 31 December 9999
    if (!(dayNumber > -693594.0 && dayNumber < 2958466.0)) {
        throw EXDataError("Invalid argument to date decode");
    }
    int64_t days = static_cast<int64_t>(std::trunc(dayNumber));
    int64_t ms =
        std::llround(std::fabs(dayNumber - static_cast<double>(days)) * static_cast<double>(kMsPerDay));
    if (ms >= kMsPerDay) { // rounded up to midnight: the next day
        ms -= kMsPerDay;
        days += 1;
    }
    CivilFromDays(days + kDay0, year, month, day);
    hour = static_cast<int>(ms / 3600000);
    minute = static_cast<int>(ms / 60000 % 60);
    second = static_cast<int>(ms / 1000 % 60);
    msec = static_cast<int>(ms % 1000);
}
