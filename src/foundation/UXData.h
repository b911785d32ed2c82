#pragma once
// The packed data record: values written one after another, read back in the same order.

#include "foundation/UXVariant.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// Raised by every failed read; the two string messages are fixed texts.
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
std::string GetS(TXData& d);
std::string GetS0(TXData& d);
TXVariant GetV(TXData& d);

// 80-bit extended conversion on 10 bytes (little-endian x87 layout).
void DoubleToExtended(double v, uint8_t out[10]);
double ExtendedToDouble(const uint8_t in[10]);

// Day numbers: whole days since 30 December 1899, fraction = time of day.
double EncodeDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                      int msec = 0);
void DecodeDateTime(double dayNumber, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& msec);
