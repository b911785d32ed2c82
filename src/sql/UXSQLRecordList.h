#pragma once
// The records of a statement: visible, deleted (kept for DELETE generation) and hidden by the filter.

#include "foundation/UXData.h"
#include "foundation/UXDataList.h"
#include "sql/UXSQLRecord.h"
#include "sql/UXSQLStruct.h"

#include <cstdint>
#include <vector>

// Where a page landed: its first absolute position and its number of entries.
struct TXSQLFetchResult {
    int32_t First = 0;
    int32_t Count = 0;
};

// Value comparison of Locate and of the filter:
// - empty and null are the same "no value"; it equals only itself;
// - numbers compare by value whatever their codes (32/64-bit integers, currency, floats, day numbers);
// - byte strings compare byte for byte (letter case counts);
// - a string and a number are equal when the whole string reads as that number;
// - a Boolean equals only a Boolean of the same value.
bool SQLValuesEqual(const TXVariant& a, const TXVariant& b);

class TXSQLRecordList {
public:
    TXSQLStruct Struct;
    TXDataList FilterValues; // field names and the values to keep
    int32_t LoadedCount = 0; // records filled from pages
    bool Complete = true;    // every placeholder loaded; false from the moment a SELECT is sent

    int Count() const { return static_cast<int>(mRecords.size()); }
    TXSQLRecord& Record(int i) { return mRecords[static_cast<size_t>(i)]; }
    const TXSQLRecord& Record(int i) const { return mRecords[static_cast<size_t>(i)]; }
    const std::vector<TXSQLRecord>& Records() const { return mRecords; }
    const std::vector<TXSQLRecord>& Deleted() const { return mDeleted; }
    const std::vector<TXSQLRecord>& Hidden() const { return mHidden; }

    // "Error accessing BOF" below 0, "Error accessing EOF" at or beyond Count.
    void CheckIndex(int index) const;

    // Empties visible, deleted and hidden records; LoadedCount 0.
    void Clear();
    // FETCHSTRUCT: empties the list, loads the structure, creates totalCount placeholders.
    void LoadStructure(TXData& d, int32_t totalCount);
    // FETCH page: loads the present records into their placeholders. A malformed page changes nothing.
    TXSQLFetchResult FetchIn(TXData& d);

    int InsertRecord(int index, uint8_t state); // -1 = at the end; returns the index used
    void DeleteRecord(int index);               // a loaded record goes to the deleted records

    bool Filtered() const { return mFiltered; }
    void SetFiltered(bool on);

private:
    std::vector<TXSQLRecord> mRecords;
    std::vector<TXSQLRecord> mDeleted;
    std::vector<TXSQLRecord> mHidden;
    bool mFiltered = false;
};
