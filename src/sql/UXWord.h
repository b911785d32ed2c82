#pragma once
// One token of a schema script.

#include <cstdint>
#include <string>

enum TXWordKind : uint8_t {
    wkInvalid,
    wkInteger,
    wkNumber, // decimal number
    wkString, // quoted; the text is without the quotes
    wkIdentifier,
    wkSymbol,
    wkLineEnd,
};

struct TXWord {
    TXWordKind Kind = wkInvalid;
    std::string Text;
    int32_t Line = 0; // 1-based
    bool FirstInLine = false;
};
