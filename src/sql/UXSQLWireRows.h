#pragma once
// A result's rows encoded once, as page entries (presence byte and record), already cut into pages:
// a large result is held in its wire size rather than as values, a page goes out as a copy of its
// bytes, and each page's memory is freed once it has gone.

#include "foundation/UXData.h"
#include "foundation/UXVariant.h"
#include "sql/UXSQLTypes.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

class TXSQLWireRows {
public:
    // Rows are added to a page until its bytes reach pageBytes (so at least one row a page); the
    // first row added sits at firstPosition.
    explicit TXSQLWireRows(std::vector<TXSQLStructDataType> types = {},
                           size_t pageBytes = std::numeric_limits<size_t>::max(), size_t firstPosition = 0);

    // Values are converted to the column types as WriteRecordTypes does.
    void Add(const std::vector<TXVariant>& values);
    size_t Count() const { return mCount; } // rows added

    // Writes the next page, or an empty one when none is left, and frees it. Returns its rows.
    size_t TakePage(TXData& d);

private:
    struct TXPage {
        size_t first = 0;
        size_t count = 0;
        TXData bytes; // entries, written up to bytes.Pos
    };
    std::vector<TXSQLStructDataType> mTypes;
    size_t mPageBytes;
    size_t mFirst;
    size_t mCount = 0;
    std::vector<TXPage> mPages;
    size_t mNext = 0; // the next page to take
};
