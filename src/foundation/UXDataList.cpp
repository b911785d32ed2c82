#include "foundation/UXDataList.h"

#include "foundation/UXData.h"
#include "foundation/UXObject.h"

#include <algorithm>
#include <cstdint>
#include <unordered_set>

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') {
        s.remove_suffix(1);
    }
    return s;
}

// Case folding of Windows-1252 letters: ASCII and the accented capitals of the upper half.
unsigned char FoldChar(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return static_cast<unsigned char>(c + 0x20);
    }
    switch (c) {
    case 0x8A: // S caron
    case 0x8C: // OE
    case 0x8E: // Z caron
        return static_cast<unsigned char>(c + 0x10);
    case 0x9F: // Y diaeresis
        return 0xFF;
    default:
        return c;
    }
}

std::string Fold(std::string_view s) {
    std::string k(s);
    for (char& c : k) {
        c = static_cast<char>(FoldChar(static_cast<unsigned char>(c)));
    }
    return k;
}

bool KeyLess(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

} // namespace

void TXDataListValue::SetObject(TXObject* obj) {
    // The wire form keeps the low 32 bits, as the original 32-bit reference did; the pointer stays beside it.
    const auto raw = reinterpret_cast<uintptr_t>(obj);
    mValue = TXVariant::FromInt(static_cast<int32_t>(static_cast<uint32_t>(raw)));
    mObject = obj;
}

TXDataList::~TXDataList() {
    Clear(false);
}

size_t TXDataList::LowerBound(std::string_view key) const {
    auto it = std::lower_bound(mItems.begin(), mItems.end(), key,
                               [](const Item& item, std::string_view k) { return KeyLess(item.key, k); });
    return static_cast<size_t>(it - mItems.begin());
}

TXDataListValue& TXDataList::ValueOf(std::string_view name) {
    const std::string_view trimmed = Trim(name);
    std::string key = Fold(trimmed);
    const size_t i = LowerBound(key);
    if (i < mItems.size() && mItems[i].key == key) {
        return *mItems[i].value;
    }
    Item item{std::string(trimmed), std::move(key), std::make_unique<TXDataListValue>()};
    auto it = mItems.insert(mItems.begin() + static_cast<std::ptrdiff_t>(i), std::move(item));
    return *it->value;
}

const TXDataListValue* TXDataList::Find(std::string_view name) const {
    const std::string key = Fold(Trim(name));
    const size_t i = LowerBound(key);
    if (i < mItems.size() && mItems[i].key == key) {
        return mItems[i].value.get();
    }
    return nullptr;
}

bool TXDataList::Exists(std::string_view name) const {
    return Find(name) != nullptr;
}

void TXDataList::Clear(bool freeObjects) {
    if (freeObjects) {
        // Only values that really hold a reference are freed, and an object held twice only once.
        std::unordered_set<TXObject*> freed;
        for (Item& item : mItems) {
            TXObject* obj = item.value->AsObject();
            if (obj != nullptr && freed.insert(obj).second) {
                delete obj;
            }
        }
    }
    mItems.clear();
}

void TXDataList::SaveToData(TXData& d) const {
    PutI(d, Count());
    for (const Item& item : mItems) {
        PutS(d, item.name);
        PutV(d, item.value->AsVariant());
    }
}

void TXDataList::LoadFromData(TXData& d) {
    const int32_t n = GetI(d);
    for (int32_t i = 0; i < n; ++i) {
        std::string name = GetS(d);
        TXVariant value = GetV(d);
        ValueOf(name).SetVariant(value);
    }
}

void TXDataList::Assign(const TXDataList& source) {
    if (&source == this) {
        return;
    }
    TXData d;
    Init(d);
    source.SaveToData(d);
    Finish(d);
    TXData r;
    Load(r, d.Data);
    LoadFromData(r);
    // A 64-bit reference does not survive the 32-bit wire form: carry it over beside the value.
    for (const Item& item : source.mItems) {
        if (TXObject* obj = item.value->AsObject()) {
            ValueOf(item.name).SetObject(obj);
        }
    }
}
