#pragma once
// A result's rows encoded once, as page entries (presence byte and record) back to back, and cut
// into pages later by copying bytes: a large result is held in its wire size, not as values.

#include "foundation/UXData.h"
#include "foundation/UXVariant.h"
#include "sql/UXSQLTypes.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

class TXSQLWireRows {
public:
    explicit TXSQLWireRows(std::vector<TXSQLStructDataType> types = {});

    // Values are converted to the column types as WriteRecordTypes does. Throws EXDataError when
    // the rows outgrow a pack.
    void Add(const std::vector<TXVariant>& values);
    size_t Count() const { return mStarts.size() - 1; }
    size_t Bytes() const { return mStarts.back(); }
    void Clear(); // frees the bytes

    // The page of rows [first, ...): rows are added until their bytes reach maxBytes (so at least
    // one when any remain). Returns the rows written; first at or beyond the end writes an empty page.
    size_t WritePage(TXData& d, size_t first, size_t maxBytes = std::numeric_limits<size_t>::max()) const;

private:
    std::vector<TXSQLStructDataType> mTypes;
    TXData mData;
    std::vector<size_t> mStarts; // byte offset of each row in mData, then the end
};
