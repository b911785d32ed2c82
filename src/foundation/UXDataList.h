#pragma once
// Named variant values sorted by name without regard to case; SQL parameters and call data.

#include "foundation/UXVariant.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct TXData;
class TXObject;

class TXDataListValue {
public:
    TXDataListValue() : mValue(TXVariant::Null()) {}

    const TXVariant& AsVariant() const { return mValue; }
    bool AsBoolean() const { return mValue.AsBool(); }
    int32_t AsInteger() const { return mValue.AsInt(); }
    double AsFloat() const { return mValue.AsDouble(); }
    std::string AsString() const { return mValue.AsString(); }
    TXObject* AsObject() const { return mObject; }

    void SetVariant(const TXVariant& v) {
        mValue = v;
        mObject = nullptr;
    }
    void SetBoolean(bool v) { SetVariant(TXVariant::FromBool(v)); }
    void SetInteger(int32_t v) { SetVariant(TXVariant::FromInt(v)); }
    void SetFloat(double v) { SetVariant(TXVariant::FromDouble(v)); }
    void SetCurrency(double v) { SetVariant(TXVariant::FromCurrency(v)); }
    void SetDateTime(double dayNumber) { SetVariant(TXVariant::FromDate(dayNumber)); }
    void SetString(std::string v) { SetVariant(TXVariant::FromString(std::move(v))); }
    // The reference is kept beside a 32-bit integer variant (the low bits); only the
    // list that holds it may free it (Clear(true)).
    void SetObject(TXObject* obj);

private:
    TXVariant mValue;
    TXObject* mObject = nullptr;
};

class TXDataList {
public:
    TXDataList() = default;
    TXDataList(const TXDataList&) = delete;
    TXDataList& operator=(const TXDataList&) = delete;
    ~TXDataList();

    TXDataListValue& ValueOf(std::string_view name); // inserts a null holder when absent
    bool Exists(std::string_view name) const;
    const TXDataListValue* Find(std::string_view name) const; // nullptr when absent
    int Count() const { return static_cast<int>(mItems.size()); }
    const std::string& Name(int i) const { return mItems[i].name; }
    TXDataListValue& Value(int i) { return *mItems[i].value; }
    const TXDataListValue& Value(int i) const { return *mItems[i].value; }
    void Clear(bool freeObjects = false);

    void SaveToData(TXData& d) const;
    void LoadFromData(TXData& d); // merges
    void Assign(const TXDataList& source);

private:
    struct Item {
        std::string name; // trimmed, as first given
        std::string key;  // name folded to lower case: the sort key
        std::unique_ptr<TXDataListValue> value;
    };
    // Index of the first item whose key is not less than key.
    size_t LowerBound(std::string_view key) const;
    std::vector<Item> mItems;
};
