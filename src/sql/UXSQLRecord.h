#pragma once
// One record of a result: values in structure order, the values before the first edit, state and mark.

#include "foundation/UXData.h"
#include "foundation/UXVariant.h"
#include "sql/UXSQLTypes.h"

#include <cstdint>
#include <memory>
#include <vector>

enum TXSQLRecordState : uint8_t {
    rsPlaceholder = 0, // not yet loaded from a page
    rsInserted = 1,    // inserted locally
    rsLoaded = 2,      // loaded from the server
};

struct TXSQLRecord {
    // Placeholders keep Values empty until loaded, so a large result costs little before its pages
    // arrive; a missing value reads as null.
    std::vector<TXVariant> Values;
    std::vector<TXVariant> OldValues; // copy of Values before the first edit
    bool Edited = false;
    uint8_t State = rsPlaceholder;
    uint8_t Mark = 0;
    std::shared_ptr<void> Object; // attached object, released with the record

    const TXVariant& Value(size_t i) const;
    const TXVariant& OldValue(size_t i) const; // the value before the first edit, else the value
    void SetValue(size_t i, size_t fieldCount, const TXVariant& v);
    // The record format; the record becomes loaded and forgets its edit. Unchanged on error.
    void LoadFromData(TXData& d, const std::vector<TXSQLStructDataType>& types);
};
