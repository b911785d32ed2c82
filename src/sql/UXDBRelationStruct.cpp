#include "sql/UXDBRelationStruct.h"

std::string DBUpper(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return r;
}

TXDBRelationStruct::TXDBRelationStruct(TXDBTable* table, std::string_view name)
    : mTable(table), mName(DBUpper(name)) {}

void TXDBRelationStruct::SetName(std::string_view name) {
    mName = DBUpper(name);
}

bool TXDBRelationStruct::HasField(std::string_view name) const {
    const std::string wanted = DBUpper(TXDBIndex::ColumnName(name));
    for (const std::string& f : mFields)
        if (TXDBIndex::ColumnName(f) == wanted)
            return true;
    return false;
}

void TXDBRelationStruct::AddField(std::string_view name) {
    const bool desc = TXDBIndex::IsDescending(name);
    std::string upper = DBUpper(TXDBIndex::ColumnName(name));
    mFields.push_back(desc ? "-" + upper : upper);
}

void TXDBForeignKey::SetReferencedTable(std::string_view name) {
    mReferenced = DBUpper(name);
}
