#include "sql/UXSQLWireRows.h"

#include "sql/UXSQLWire.h"

#include <utility>

TXSQLWireRows::TXSQLWireRows(std::vector<TXSQLStructDataType> types, size_t pageBytes, size_t firstPosition)
    : mTypes(std::move(types)), mPageBytes(pageBytes), mFirst(firstPosition) {}

void TXSQLWireRows::Add(const std::vector<TXVariant>& values) {
    if (mPages.empty() || mPages.back().count >= static_cast<size_t>(std::numeric_limits<int32_t>::max()) ||
        static_cast<size_t>(mPages.back().bytes.Pos - 1) >= mPageBytes) {
        TXPage& p = mPages.emplace_back();
        p.first = mFirst + mCount;
        Init(p.bytes);
    }
    TXPage& p = mPages.back();
    // A page that gets past a few rows gets room for all of it at once, not a regrowth every half
    // again; a small result stays small.
    constexpr int32_t kSmall = 4096;
    if (p.bytes.Pos > kSmall && p.bytes.Data.capacity() < mPageBytes && mPageBytes < (size_t(1) << 20))
        p.bytes.Data.reserve(mPageBytes + mPageBytes / 4);
    PutB(p.bytes, 1);
    WriteRecordTypes(p.bytes, mTypes, values);
    ++p.count;
    ++mCount;
}

size_t TXSQLWireRows::TakePage(TXData& d) {
    if (mNext >= mPages.size()) {
        WritePageBytes(d, 0, 0, {});
        return 0;
    }
    TXPage page = std::move(mPages[mNext++]);
    WritePageBytes(d, static_cast<int32_t>(page.first), static_cast<int32_t>(page.count),
                   std::string_view(page.bytes.Data.data(), static_cast<size_t>(page.bytes.Pos - 1)));
    return page.count;
}
