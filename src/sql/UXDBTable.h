#pragma once
// A table of the schema script: columns in script order, primary key, unique and foreign keys, indexes.

#include "foundation/UXObject.h"
#include "sql/UXDBField.h"
#include "sql/UXDBRelationStruct.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TXDBTable : public TXObject {
public:
    explicit TXDBTable(std::string_view name); // the primary key starts as "PK" + name, empty
    TXDBTable(const TXDBTable&) = delete;
    TXDBTable& operator=(const TXDBTable&) = delete;

    const std::string& Name() const { return mName; }

    size_t FieldCount() const { return mFields.size(); }
    TXDBField& Field(size_t i) const { return *mFields[i]; }
    TXDBField* FieldByName(std::string_view name) const; // without regard to case; nullptr when absent
    // Throws std::runtime_error "TXDBTable: Already added field " + name.
    TXDBField& AddField(std::string_view name);

    TXDBPrimaryKey& PrimaryKey() { return mPrimaryKey; }
    const TXDBPrimaryKey& PrimaryKey() const { return mPrimaryKey; }

    const std::vector<std::unique_ptr<TXDBUniqueKey>>& UniqueKeys() const { return mUniqueKeys; }
    const std::vector<std::unique_ptr<TXDBForeignKey>>& ForeignKeys() const { return mForeignKeys; }
    const std::vector<std::unique_ptr<TXDBIndex>>& Indexes() const { return mIndexes; }
    TXDBUniqueKey* UniqueKeyByName(std::string_view name) const;
    TXDBForeignKey* ForeignKeyByName(std::string_view name) const;
    TXDBUniqueKey& AddUniqueKey(std::string_view name);
    TXDBForeignKey& AddForeignKey(std::string_view name);
    TXDBIndex& AddIndex(std::string_view name, bool unique);

private:
    std::string mName;
    std::vector<std::unique_ptr<TXDBField>> mFields;
    TXDBPrimaryKey mPrimaryKey;
    std::vector<std::unique_ptr<TXDBUniqueKey>> mUniqueKeys;
    std::vector<std::unique_ptr<TXDBForeignKey>> mForeignKeys;
    std::vector<std::unique_ptr<TXDBIndex>> mIndexes;
};
