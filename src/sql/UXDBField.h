#pragma once
// A column of a table of the schema script.

#include "foundation/UXObject.h"

#include <cstdint>
#include <string>
#include <string_view>

enum TXDBFieldType : uint8_t {
    dftChar = 0,
    dftVarchar = 1, // VARCHAR / VARCHAR2
    dftNumber = 2,  // NUMBER / NUMERIC
    dftDate = 3,
    dftDateTime = 4,
    dftTime = 5,
    dftBlob = 6,
};

std::string_view DBFieldTypeName(TXDBFieldType t); // "CHAR", "VARCHAR", "NUMBER", ...

struct TXDBField : TXObject {
    TXDBField() : TXObject("TXDBField") {}

    std::string Name; // upper-cased, trimmed
    TXDBFieldType Type = dftChar;
    int32_t Size = 1; // length or precision
    int32_t Decimals = 0;
    bool Nullable = true;
    int32_t PrimaryKeyPosition = 0; // 1-based; 0 when not in the primary key
};
