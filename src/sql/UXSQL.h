#pragma once
// One SQL statement: its text (from parts or whole), typed parameters and transaction mark, and for a
// query the fetched structure and records with a cursor, editing, filtering and write-back commands.

#include "foundation/UXData.h"
#include "foundation/UXDataList.h"
#include "foundation/UXObject.h"
#include "sql/UXSQLRecordList.h"
#include "sql/UXSQLWire.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TXSQLCommandSink;

class TXSQL : public TXObject {
public:
    explicit TXSQL(int32_t number = -1) : TXObject("TXSQL"), Number(number) {}
    ~TXSQL() override; // leaves its master and frees its details from it
    TXSQL(const TXSQL&) = delete;
    TXSQL& operator=(const TXSQL&) = delete;

    bool IsSelect = false;
    TXDataList Params; // names carry the type prefix
    std::string SQLSelect, SQLFrom, SQLWhere, SQLGroupBy, SQLHaving, SQLOrderBy;
    std::string SQLText; // sent instead of the parts when not empty
    TXSQLTransactionStatus TransactionMark = tsNone;
    int32_t Number = -1; // within its session; -1 outside one

    TXSQLRecordList& Records() { return mRecords; }
    const TXSQLRecordList& Records() const { return mRecords; }
    TXSQLStruct& Struct() { return mRecords.Struct; }
    const TXSQLStruct& Struct() const { return mRecords.Struct; }

    // ---- text
    void AddSelect(std::string_view s);
    void AddFrom(std::string_view s);
    void AddGroupBy(std::string_view s);
    void AddOrderBy(std::string_view s);
    // Conditions are parenthesised and joined with AND; "(" and ")" open and close a group.
    void AddWhere(std::string_view s);
    void AddHaving(std::string_view s);
    void ClearSQL();
    void ClearParams() { Params.Clear(); }
    std::string EffectiveText() const;

    // ---- parameters: stored under prefix + name, or "*" + name for a null (or empty) value.
    // A parameter set again under another prefix replaces the earlier entry.
    void ParamString(std::string_view name, const TXVariant& v);
    void ParamInteger(std::string_view name, const TXVariant& v); // 64-bit kept when beyond 32 bits
    void ParamCurrency(std::string_view name, const TXVariant& v);
    void ParamFloat(std::string_view name, const TXVariant& v);
    void ParamDateTime(std::string_view name, const TXVariant& v);
    void ParamBlob(std::string_view name, const TXVariant& v);
    void ParamString(std::string_view name, std::string_view v) {
        ParamString(name, TXVariant::FromString(std::string(v)));
    }
    void ParamInteger(std::string_view name, int64_t v) { ParamInteger(name, TXVariant::FromInt64(v)); }
    void ParamFloat(std::string_view name, double v) { ParamFloat(name, TXVariant::FromDouble(v)); }

    // ---- cursor
    int RecordCount() const { return mRecords.Count(); }
    bool Bof() const { return mRecNo < 0; }
    bool Eof() const { return mRecNo >= RecordCount() || RecordCount() == 0; }
    void First() { SetRecNo(0); }
    void Next();
    int32_t RecNo() const { return mRecNo; }
    void SetRecNo(int32_t recNo); // clamped to -1 .. RecordCount

    const TXVariant& FieldValue(std::string_view name) const;
    // Null for a record whose page has not arrived yet.
    const TXVariant& FieldValueAt(int index, std::string_view name) const;
    const TXVariant& OldFieldValue(std::string_view name) const;
    uint8_t RecordState() const;
    uint8_t RecordState(int index) const;
    void SetRecordState(uint8_t state);
    void SetRecordState(int index, uint8_t state);
    uint8_t RecordMark() const;
    uint8_t RecordMark(int index) const;
    void SetRecordMark(uint8_t mark);
    void SetRecordMark(int index, uint8_t mark);

    // ---- editing
    void SetFieldValue(std::string_view name, const TXVariant& v);              // keeps the old values
    void SetFieldValueAt(int index, std::string_view name, const TXVariant& v); // does not
    void InsertRecord(int index, uint8_t state);                                // -1 = at the end
    void DeleteRecord(int index = -1);                                          // -1 = current

    // ---- searching and positioning
    // From the current record (the first when before it) forward; the cursor stays on the match, or at the
    // end.
    bool Locate(const TXDataList& values);
    bool Contains(const TXDataList& values);
    void PushPosition(bool suspendFilter = false);
    void PopPosition();
    bool Filtered() const { return mRecords.Filtered(); }
    void SetFiltered(bool on);
    TXDataList& FilterValues() { return mRecords.FilterValues; }

    // ---- masters and details
    TXSQL* Master() const { return mMaster; }
    const std::vector<TXSQL*>& Details() const { return mDetails; }
    void SetMaster(TXSQL* other); // refused silently when it would make a cycle

    // ---- writing back
    void GenerateUpdates(TXSQLCommandSink& session, bool deletions);

    // ---- serialisation
    void SaveToData(TXData& d) const;
    void FetchStructIn(TXData& d, int32_t totalCount); // FETCHSTRUCT: new structure and placeholders
    TXSQLFetchResult FetchIn(TXData& d);               // a page; a page at 0 with records moves to 0

private:
    struct SavedPosition {
        int32_t recNo;
        bool filterSuspended;
    };

    int CurrentIndex() const; // raises the cursor errors
    void SetParam(char prefix, std::string_view name, const TXVariant& v);
    void GenerateDeletes(TXSQLCommandSink& session);
    void GenerateWrite(TXSQLCommandSink& session, const TXSQLRecord& r);
    void ClampRecNo();

    TXSQLRecordList mRecords;
    int32_t mRecNo = -1;
    std::vector<SavedPosition> mPositions;
    TXSQL* mMaster = nullptr;
    std::vector<TXSQL*> mDetails;
};
