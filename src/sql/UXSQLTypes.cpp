#include "sql/UXSQLTypes.h"

#include <array>

namespace {
constexpr std::array<std::string_view, 7> kNames = {"sftUnknown", "sftString",   "sftInteger", "sftCurrency",
                                                    "sftFloat",   "sftDateTime", "sftBlob"};
}

std::string_view SQLStructDataTypeName(TXSQLStructDataType t) {
    auto i = static_cast<size_t>(t);
    return i < kNames.size() ? kNames[i] : kNames[0];
}

TXSQLStructDataType SQLStructDataTypeFromName(std::string_view name) {
    for (size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == name) {
            return static_cast<TXSQLStructDataType>(i);
        }
    }
    return sftUnknown;
}
