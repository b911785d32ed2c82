#include "sql/UXSQLWireRows.h"

#include "sql/UXSQLWire.h"

#include <algorithm>
#include <utility>

TXSQLWireRows::TXSQLWireRows(std::vector<TXSQLStructDataType> types) : mTypes(std::move(types)) {
    Clear();
}

void TXSQLWireRows::Clear() {
    mData = TXData{};
    Init(mData);
    mStarts.assign(1, 0);
    mStarts.shrink_to_fit();
}

void TXSQLWireRows::Add(const std::vector<TXVariant>& values) {
    PutB(mData, 1);
    WriteRecordTypes(mData, mTypes, values);
    mStarts.push_back(static_cast<size_t>(mData.Pos - 1));
}

size_t TXSQLWireRows::WritePage(TXData& d, size_t first, size_t maxBytes) const {
    constexpr int32_t kFormatVersion = 1;
    PutI(d, kFormatVersion);
    if (first >= Count()) {
        PutI(d, 0);
        return 0;
    }
    // Rows up to the one that reaches maxBytes, as many as a count can say.
    const size_t from = mStarts[first];
    const size_t limit =
        std::min<size_t>(Count(), first + static_cast<size_t>(std::numeric_limits<int32_t>::max()));
    auto end = std::lower_bound(mStarts.begin() + static_cast<std::ptrdiff_t>(first) + 1,
                                mStarts.begin() + static_cast<std::ptrdiff_t>(limit) + 1,
                                maxBytes > std::numeric_limits<size_t>::max() - from
                                    ? std::numeric_limits<size_t>::max()
                                    : from + maxBytes);
    if (end == mStarts.begin() + static_cast<std::ptrdiff_t>(limit) + 1)
        --end;
    const size_t written = static_cast<size_t>(end - mStarts.begin()) - first;
    PutI(d, static_cast<int32_t>(written));
    PutI(d, static_cast<int32_t>(first));
    PutRaw(d, mData.Data.data() + from, *end - from);
    return written;
}
