#pragma once
// Field types of result structures, shared by the client's record lists and the data server's engines.

#include <cstdint>
#include <string_view>

enum TXSQLStructDataType : int32_t {
    sftUnknown = 0,
    sftString = 1,
    sftInteger = 2,
    sftCurrency = 3,
    sftFloat = 4,
    sftDateTime = 5,
    sftBlob = 6,
};

std::string_view SQLStructDataTypeName(TXSQLStructDataType t);        // "sftString", ...
TXSQLStructDataType SQLStructDataTypeFromName(std::string_view name); // sftUnknown when not known
