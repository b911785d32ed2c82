#pragma once
// Result structure of a statement: the table that generated commands write and its fields.

#include "foundation/UXData.h"
#include "sql/UXSQLTypes.h"
#include "sql/UXSQLWire.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Raised by statement and record-list operations (cursor, field, filter, parameter errors).
class EXSQLError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TXSQLStructField {
    std::string Name;
    TXSQLStructDataType Type = sftUnknown;
    int32_t Size = 0;
    bool Key = false;       // part of the row key
    std::string FatherLink; // field of the father table, or empty
    bool Save = true;       // written by generated INSERT/UPDATE
};

class TXSQLStruct {
public:
    std::string TableName;
    std::string FatherTable;

    int FieldCount() const { return static_cast<int>(mFields.size()); }
    TXSQLStructField& Field(int i) { return mFields[static_cast<size_t>(i)]; }
    const TXSQLStructField& Field(int i) const { return mFields[static_cast<size_t>(i)]; }
    const std::vector<TXSQLStructField>& Fields() const { return mFields; }

    int IndexOf(std::string_view name) const; // -1 when absent; letter case ignored
    TXSQLStructField* FindField(std::string_view name);
    const TXSQLStructField* FindField(std::string_view name) const;
    // Index of the field, or EXSQLError with the "Field [..] not found" text.
    int FieldIndex(std::string_view name) const;
    std::string FieldNotFoundText(std::string_view name) const;

    TXSQLStructField& AddField(std::string name, TXSQLStructDataType type, int32_t size = 0);
    void ClearFields() { mFields.clear(); }

    // Wire structure; loading replaces the fields (names, types, sizes) and keeps the table names.
    void LoadFromData(TXData& d);
    void SaveToData(TXData& d) const;

    std::vector<TXSQLStructDataType> Types() const;
    std::vector<TXSQLWireField> WireFields() const;

private:
    std::vector<TXSQLStructField> mFields;
};

bool SameTextAscii(std::string_view a, std::string_view b);
