#pragma once
// Keys and indexes of a table: named, ordered lists of column names.

#include <string>
#include <string_view>
#include <vector>

class TXDBTable;

class TXDBRelationStruct {
public:
    TXDBRelationStruct(TXDBTable* table, std::string_view name);
    virtual ~TXDBRelationStruct() = default;

    const std::string& Name() const { return mName; }
    void SetName(std::string_view name); // upper-cased
    TXDBTable* Table() const { return mTable; }

    // Column names in key order; an index keeps a descending column as "-" + name.
    const std::vector<std::string>& Fields() const { return mFields; }
    size_t FieldCount() const { return mFields.size(); }
    bool HasField(std::string_view name) const; // without regard to case and to the "-" mark
    void AddField(std::string_view name);

private:
    TXDBTable* mTable;
    std::string mName;
    std::vector<std::string> mFields;
};

class TXDBPrimaryKey : public TXDBRelationStruct {
public:
    using TXDBRelationStruct::TXDBRelationStruct;
};

class TXDBUniqueKey : public TXDBRelationStruct {
public:
    using TXDBRelationStruct::TXDBRelationStruct;
};

class TXDBForeignKey : public TXDBRelationStruct {
public:
    using TXDBRelationStruct::TXDBRelationStruct;
    const std::string& ReferencedTable() const { return mReferenced; }
    void SetReferencedTable(std::string_view name); // upper-cased

private:
    std::string mReferenced;
};

class TXDBIndex : public TXDBRelationStruct {
public:
    using TXDBRelationStruct::TXDBRelationStruct;
    bool Unique = false;
    static bool IsDescending(std::string_view stored) { return !stored.empty() && stored.front() == '-'; }
    static std::string_view ColumnName(std::string_view stored) {
        return IsDescending(stored) ? stored.substr(1) : stored;
    }
};

// Upper-cases ASCII letters (names in the script are ASCII identifiers).
std::string DBUpper(std::string_view s);
