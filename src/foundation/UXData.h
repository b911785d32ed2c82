#pragma once
// The packed data record: values written one after another, read back in the same order.

#include "foundation/UXVariant.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

// Raised by every failed read (never reading outside the valid bytes), by a record that would pass 2 GiB and
// by impossible dates; the two string messages "GetS error - bigger than pack" and "GetS0 error - bigger than
// pack" are fixed texts, the other reads say "<GetX> error - bigger than pack".
class EXDataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TXData {
    std::string Data; // while writing: the buffer; after Finish/Load: exactly the valid bytes
    int32_t Size = 0; // allocated length while writing, valid length after Finish/Load
    int32_t Pos = 1;  // 1-based index of the next byte

    bool AtEnd() const { return Pos > Size; }
    int32_t Remaining() const { return Size - Pos + 1; }
};

void Init(TXData& d);
void Finish(TXData& d);
void Load(TXData& d, std::string_view bytes);

void PutB(TXData& d, uint8_t v);
void PutBool(TXData& d, bool v);
void PutW(TXData& d, int16_t v);
void PutI(TXData& d, int32_t v);
void PutI64(TXData& d, int64_t v);
void PutCurr(TXData& d, double v);             // value x 10000, rounded to nearest
void PutCurrScaled(TXData& d, int64_t scaled); // already x 10000
void PutE(TXData& d, double v);                // 80-bit x87 extended, exact on any host
void PutS(TXData& d, std::string_view v);
void PutS0(TXData& d, std::string_view v);
void PutV(TXData& d, const TXVariant& v);
void PutRaw(TXData& d, const void* bytes, size_t n);

uint8_t GetB(TXData& d);
bool GetBool(TXData& d);
int16_t GetW(TXData& d);
int32_t GetI(TXData& d);
int64_t GetI64(TXData& d);
double GetCurr(TXData& d);
int64_t GetCurrScaled(TXData& d);
double GetE(TXData& d);
std::string GetS0(TXData& d);
TXVariant GetV(TXData& d);

// 80-bit extended conversion on 10 bytes (little-endian x87 layout).
void DoubleToExtended(double v, uint8_t out[10]);
double ExtendedToDouble(const uint8_t in[10]);

// Day numbers: whole days since 30 December 1899, fraction = time of day. Before that day the whole part is
// negative and the fraction still counts the time of day forward (-1.25 = 29 December 1899, 06:00).
// Years 1..9999; anything else raises EXDataError. Decoding rounds to the millisecond.
double EncodeDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                      int msec = 0);
void DecodeDateTime(double dayNumber, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& msec);

// The fixed-size writers and readers are inline: a record is packed value by value in tight loops.
namespace txdata_detail {

// Checks, grows by the rule, advances Pos.
char* GrowRoom(TXData& d, size_t n);
const char* TakeChecked(TXData& d, size_t n, const char* what); // raises "<what> error - bigger than pack"
TXVariant GetVAny(TXData& d);
std::string GetSChecked(TXData& d); // GetS with every check and its error

// Room for n bytes at Pos; the buffer grows to Size + n + Size div 2 whenever Size < Pos + n.
inline char* Room(TXData& d, size_t n) {
    const int64_t pos = d.Pos;
    if (pos >= 1 && pos + static_cast<int64_t>(n) <= d.Size && static_cast<size_t>(d.Size) <= d.Data.size())
        [[likely]] {
        d.Pos = static_cast<int32_t>(pos + static_cast<int64_t>(n));
        return d.Data.data() + (pos - 1);
    }
    return GrowRoom(d, n);
}

// Writes n bytes at Pos through put(p), growing the buffer first by the same rule, then advances Pos.
// Pos is stored after the bytes: as far as the compiler knows a store into the buffer may alias the
// record, so storing Pos last lets the next writer keep it in a register instead of reloading it.
template <typename F>
inline void Emit(TXData& d, size_t n, F&& put) {
    const int64_t pos = d.Pos;
    char* p;
    if (pos >= 1 && pos + static_cast<int64_t>(n) <= d.Size && static_cast<size_t>(d.Size) <= d.Data.size())
        [[likely]] {
        p = d.Data.data() + (pos - 1);
    } else {
        p = GrowRoom(d, n);
    }
    put(p);
    d.Pos = static_cast<int32_t>(pos + static_cast<int64_t>(n));
}

// The n bytes at Pos, within the valid bytes only.
inline const char* Take(TXData& d, size_t n, const char* what) {
    const int64_t pos = d.Pos;
    if (pos >= 1 && pos - 1 + static_cast<int64_t>(n) <= d.Size &&
        static_cast<size_t>(d.Size) <= d.Data.size()) [[likely]] {
        d.Pos = static_cast<int32_t>(pos + static_cast<int64_t>(n));
        return d.Data.data() + (pos - 1);
    }
    return TakeChecked(d, n, what);
}

// Reads n bytes at Pos through get(p) and advances Pos, storing Pos after the slow path has joined, so
// that the next reader keeps it in a register.
template <typename F>
inline auto Fetch(TXData& d, size_t n, const char* what, F&& get) {
    const int64_t pos = d.Pos;
    const char* p;
    if (pos >= 1 && pos - 1 + static_cast<int64_t>(n) <= d.Size &&
        static_cast<size_t>(d.Size) <= d.Data.size()) [[likely]] {
        p = d.Data.data() + (pos - 1);
    } else {
        p = TakeChecked(d, n, what);
    }
    auto v = get(p);
    d.Pos = static_cast<int32_t>(pos + static_cast<int64_t>(n));
    return v;
}

template <typename T>
inline void StoreLE(char* p, T v) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, sizeof v);
    } else {
        auto u = static_cast<std::make_unsigned_t<T>>(v);
        for (size_t i = 0; i < sizeof v; ++i) {
            p[i] = static_cast<char>(u >> (8 * i));
        }
    }
}

template <typename T>
inline T LoadLE(const char* p) {
    if constexpr (std::endian::native == std::endian::little) {
        T v;
        std::memcpy(&v, p, sizeof v);
        return v;
    } else {
        std::make_unsigned_t<T> u = 0;
        for (size_t i = 0; i < sizeof(T); ++i) {
            u |= static_cast<std::make_unsigned_t<T>>(static_cast<unsigned char>(p[i])) << (8 * i);
        }
        return static_cast<T>(u);
    }
}

// Short texts (codes, names) dominate records; a call to memcpy costs more than copying them.
inline void CopyBytes(char* dst, const char* src, size_t n) {
    if (n > 32) {
        std::memcpy(dst, src, n);
    } else if (n >= 16) {
        char a[16], b[16];
        std::memcpy(a, src, 16);
        std::memcpy(b, src + n - 16, 16);
        std::memcpy(dst, a, 16);
        std::memcpy(dst + n - 16, b, 16);
    } else if (n >= 8) {
        uint64_t a, b;
        std::memcpy(&a, src, 8);
        std::memcpy(&b, src + n - 8, 8);
        std::memcpy(dst, &a, 8);
        std::memcpy(dst + n - 8, &b, 8);
    } else if (n >= 4) {
        uint32_t a, b;
        std::memcpy(&a, src, 4);
        std::memcpy(&b, src + n - 4, 4);
        std::memcpy(dst, &a, 4);
        std::memcpy(dst + n - 4, &b, 4);
    } else if (n > 0) {
        dst[0] = src[0];
        dst[n / 2] = src[n / 2];
        dst[n - 1] = src[n - 1];
    }
}

} // namespace txdata_detail

inline void PutB(TXData& d, uint8_t v) {
    txdata_detail::Emit(d, 1, [v](char* p) { *p = static_cast<char>(v); });
}
inline void PutBool(TXData& d, bool v) {
    PutB(d, v ? 1 : 0);
}
inline void PutW(TXData& d, int16_t v) {
    txdata_detail::Emit(d, 2, [v](char* p) { txdata_detail::StoreLE(p, v); });
}
inline void PutI(TXData& d, int32_t v) {
    txdata_detail::Emit(d, 4, [v](char* p) { txdata_detail::StoreLE(p, v); });
}
inline void PutI64(TXData& d, int64_t v) {
    txdata_detail::Emit(d, 8, [v](char* p) { txdata_detail::StoreLE(p, v); });
}
inline void PutCurrScaled(TXData& d, int64_t scaled) {
    txdata_detail::Emit(d, 8, [scaled](char* p) { txdata_detail::StoreLE(p, scaled); });
}

inline void PutE(TXData& d, double v) {
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    const int e = static_cast<int>((bits >> 52) & 0x7FF);
    txdata_detail::Emit(d, 10, [v, bits, e](char* p) {
        if (e != 0 && e != 0x7FF) [[likely]] { // normal: rebias the exponent, make the integer bit explicit
            txdata_detail::StoreLE(p, (uint64_t(1) << 63) | (bits << 11));
            txdata_detail::StoreLE(p + 8,
                                   static_cast<uint16_t>((e + 16383 - 1023) | ((bits >> 48) & 0x8000)));
        } else {
            DoubleToExtended(v, reinterpret_cast<uint8_t*>(p));
        }
    });
}

inline void PutS(TXData& d, std::string_view v) {
    if (v.size() > 0x7FFFFFFFu) [[unlikely]] {
        throw EXDataError("PutS error - string too large");
    }
    txdata_detail::Emit(d, 4 + v.size(), [v](char* p) {
        txdata_detail::StoreLE(p, static_cast<int32_t>(v.size()));
        txdata_detail::CopyBytes(p + 4, v.data(), v.size());
    });
}

inline std::string GetS(TXData& d) {
    const int64_t pos = d.Pos;
    const int64_t size = d.Size;
    if (pos >= 1 && pos + 3 <= size && static_cast<size_t>(size) <= d.Data.size()) [[likely]] {
        const char* p = d.Data.data() + (pos - 1);
        const int32_t n = txdata_detail::LoadLE<int32_t>(p);
        if (n >= 0 && n <= size - pos - 3) [[likely]] {
            // Short texts fit the string's own buffer; copying a fixed 15 bytes and cutting back is cheaper
            // than a copy of variable length, when the record's buffer holds them.
            // Pos is stored after the copy, whose allocation the compiler cannot see through.
            if (n <= 15 && static_cast<size_t>(pos + 18) <= d.Data.size()) {
                std::string s(p + 4, 15);
                s.resize(static_cast<size_t>(n));
                d.Pos = static_cast<int32_t>(pos + 4 + n);
                return s;
            }
            std::string s(p + 4, static_cast<size_t>(n));
            d.Pos = static_cast<int32_t>(pos + 4 + n);
            return s;
        }
    }
    return txdata_detail::GetSChecked(d);
}

inline uint8_t GetB(TXData& d) {
    return txdata_detail::Fetch(d, 1, "GetB", [](const char* p) { return static_cast<uint8_t>(*p); });
}
inline bool GetBool(TXData& d) {
    return txdata_detail::Fetch(d, 1, "GetB", [](const char* p) { return *p != 0; });
}
inline int16_t GetW(TXData& d) {
    return txdata_detail::Fetch(d, 2, "GetW",
                                [](const char* p) { return txdata_detail::LoadLE<int16_t>(p); });
}
inline int32_t GetI(TXData& d) {
    return txdata_detail::Fetch(d, 4, "GetI",
                                [](const char* p) { return txdata_detail::LoadLE<int32_t>(p); });
}
inline int64_t GetI64(TXData& d) {
    return txdata_detail::Fetch(d, 8, "GetI64",
                                [](const char* p) { return txdata_detail::LoadLE<int64_t>(p); });
}
inline int64_t GetCurrScaled(TXData& d) {
    return txdata_detail::Fetch(d, 8, "GetCurr",
                                [](const char* p) { return txdata_detail::LoadLE<int64_t>(p); });
}
inline double GetCurr(TXData& d) {
    return static_cast<double>(GetCurrScaled(d)) / 10000.0;
}

inline void PutCurr(TXData& d, double v) {
    int64_t scaled = 0;
    if (!DoubleToCurrencyScaled(v, scaled)) [[unlikely]] {
        throw EXDataError("PutCurr error - value out of range");
    }
    PutCurrScaled(d, scaled);
}

namespace txdata_detail {
inline double ExtendedAt(const char* p) {
    const uint64_t mant = LoadLE<uint64_t>(p);
    const uint16_t se = LoadLE<uint16_t>(p + 8);
    const int e = se & 0x7FFF;
    // Exactly a normal double: the integer bit set, the exponent in range, nothing below 53 bits.
    if ((mant >> 63) != 0 && e >= 16383 - 1022 && e <= 16383 + 1023 && (mant & 0x7FF) == 0) [[likely]] {
        return std::bit_cast<double>((static_cast<uint64_t>(se >> 15) << 63) |
                                     (static_cast<uint64_t>(e - 16383 + 1023) << 52) | ((mant << 1) >> 12));
    }
    return ExtendedToDouble(reinterpret_cast<const uint8_t*>(p));
}
} // namespace txdata_detail

inline double GetE(TXData& d) {
    return txdata_detail::Fetch(d, 10, "GetE", [](const char* p) { return txdata_detail::ExtendedAt(p); });
}

// 32-bit integers are by far the most common variants (keys, counts, codes).
inline void PutV(TXData& d, const TXVariant& v) {
    if (v.Type() == varInteger) {
        const int32_t x = v.AsInt(); // before the stores, which might alias v
        txdata_detail::Emit(d, 6, [x](char* p) {
            txdata_detail::StoreLE(p, static_cast<uint16_t>(varInteger));
            txdata_detail::StoreLE(p + 2, x);
        });
    } else {
        txdata_detail::PutVAny(d, v);
    }
}

inline TXVariant GetV(TXData& d) {
    const int64_t pos = d.Pos;
    if (pos >= 1 && pos + 5 <= d.Size && static_cast<size_t>(d.Size) <= d.Data.size()) {
        const char* p = d.Data.data() + (pos - 1);
        if (txdata_detail::LoadLE<uint16_t>(p) == varInteger) {
            d.Pos = static_cast<int32_t>(pos + 6);
            return TXVariant::FromInt(txdata_detail::LoadLE<int32_t>(p + 2));
        }
    }
    return txdata_detail::GetVAny(d);
}
