#include "sql/UXDBTable.h"

#include <stdexcept>

namespace {

std::string TrimUpper(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return DBUpper(s);
}

template <class T>
T* FindByName(const std::vector<std::unique_ptr<T>>& list, std::string_view name) {
    const std::string wanted = DBUpper(name);
    for (const auto& item : list)
        if (item->Name() == wanted)
            return item.get();
    return nullptr;
}

} // namespace

TXDBTable::TXDBTable(std::string_view name)
    : TXObject("TXDBTable"), mName(DBUpper(name)), mPrimaryKey(this, "PK" + DBUpper(name)) {}

TXDBField* TXDBTable::FieldByName(std::string_view name) const {
    const std::string wanted = TrimUpper(name);
    for (const auto& f : mFields)
        if (f->Name == wanted)
            return f.get();
    return nullptr;
}

TXDBField& TXDBTable::AddField(std::string_view name) {
    std::string upper = TrimUpper(name);
    if (FieldByName(upper))
        throw std::runtime_error("TXDBTable: Already added field " + upper);
    auto f = std::make_unique<TXDBField>();
    f->Name = std::move(upper);
    mFields.push_back(std::move(f));
    return *mFields.back();
}

TXDBUniqueKey* TXDBTable::UniqueKeyByName(std::string_view name) const {
    return FindByName(mUniqueKeys, name);
}

TXDBForeignKey* TXDBTable::ForeignKeyByName(std::string_view name) const {
    return FindByName(mForeignKeys, name);
}

TXDBUniqueKey& TXDBTable::AddUniqueKey(std::string_view name) {
    mUniqueKeys.push_back(std::make_unique<TXDBUniqueKey>(this, name));
    return *mUniqueKeys.back();
}

TXDBForeignKey& TXDBTable::AddForeignKey(std::string_view name) {
    mForeignKeys.push_back(std::make_unique<TXDBForeignKey>(this, name));
    return *mForeignKeys.back();
}

TXDBIndex& TXDBTable::AddIndex(std::string_view name, bool unique) {
    mIndexes.push_back(std::make_unique<TXDBIndex>(this, name));
    mIndexes.back()->Unique = unique;
    return *mIndexes.back();
}
