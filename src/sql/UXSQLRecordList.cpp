#include "sql/UXSQLRecordList.h"

#include "sql/UXSQLWire.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace {

enum class Kind { None, Bool, Int, Curr, Real, Str, Other };

Kind KindOf(const TXVariant& v) {
    switch (v.Type()) {
    case varEmpty:
    case varNull:
        return Kind::None;
    case varBoolean:
        return Kind::Bool;
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
        return Kind::Int;
    case varCurrency:
        return Kind::Curr;
    case varSingle:
    case varDouble:
    case varDate:
        return Kind::Real;
    case varOleStr:
    case varStrArg:
    case varString:
        return Kind::Str;
    default:
        return Kind::Other;
    }
}

// A number read from the whole text (surrounding blanks allowed), as int64 when it has no fraction.
struct Parsed {
    bool ok = false;
    bool isInt = false;
    int64_t i = 0;
    double d = 0;
};

Parsed ParseNumber(const std::string& text) {
    Parsed p;
    size_t b = text.find_first_not_of(" \t");
    size_t e = text.find_last_not_of(" \t");
    if (b == std::string::npos) {
        return p;
    }
    const char* first = text.data() + b;
    const char* last = text.data() + e + 1;
    auto ri = std::from_chars(first, last, p.i);
    if (ri.ec == std::errc() && ri.ptr == last) {
        p.ok = p.isInt = true;
        p.d = static_cast<double>(p.i);
        return p;
    }
    auto rd = std::from_chars(first, last, p.d);
    p.ok = rd.ec == std::errc() && rd.ptr == last;
    return p;
}

bool NumbersEqual(const TXVariant& a, Kind ka, const TXVariant& b, Kind kb) {
    if (ka == Kind::Int && kb == Kind::Int) {
        return a.AsInt64() == b.AsInt64();
    }
    if (ka == Kind::Curr && kb == Kind::Curr) {
        return a.AsCurrencyScaled() == b.AsCurrencyScaled();
    }
    if ((ka == Kind::Curr && kb == Kind::Int) || (ka == Kind::Int && kb == Kind::Curr)) {
        const TXVariant& c = ka == Kind::Curr ? a : b;
        const TXVariant& n = ka == Kind::Curr ? b : a;
        int64_t scaled = c.AsCurrencyScaled();
        return scaled % 10000 == 0 && scaled / 10000 == n.AsInt64();
    }
    auto real = [](const TXVariant& v, Kind k) {
        return k == Kind::Curr ? static_cast<double>(v.AsCurrencyScaled()) / 10000.0 : v.AsDouble();
    };
    return real(a, ka) == real(b, kb);
}

bool IsNumberKind(Kind k) {
    return k == Kind::Int || k == Kind::Curr || k == Kind::Real;
}

} // namespace

bool SQLValuesEqual(const TXVariant& a, const TXVariant& b) {
    Kind ka = KindOf(a);
    Kind kb = KindOf(b);
    if (ka == Kind::None || kb == Kind::None) {
        return ka == kb;
    }
    if (ka == Kind::Str && kb == Kind::Str) {
        return a.AsString() == b.AsString();
    }
    if (ka == Kind::Bool || kb == Kind::Bool) {
        return ka == kb && a.AsBool() == b.AsBool();
    }
    if (IsNumberKind(ka) && IsNumberKind(kb)) {
        return NumbersEqual(a, ka, b, kb);
    }
    if ((ka == Kind::Str && IsNumberKind(kb)) || (kb == Kind::Str && IsNumberKind(ka))) {
        const TXVariant& s = ka == Kind::Str ? a : b;
        const TXVariant& n = ka == Kind::Str ? b : a;
        Kind kn = ka == Kind::Str ? kb : ka;
        Parsed p = ParseNumber(s.AsString());
        if (!p.ok) {
            return false;
        }
        if (p.isInt) {
            return NumbersEqual(TXVariant::FromInt64(p.i), Kind::Int, n, kn);
        }
        return NumbersEqual(TXVariant::FromDouble(p.d), Kind::Real, n, kn);
    }
    return a == b;
}

void TXSQLRecordList::CheckIndex(int index) const {
    if (index < 0) {
        throw EXSQLError("Error accessing BOF");
    }
    if (index >= Count()) {
        throw EXSQLError("Error accessing EOF");
    }
}

void TXSQLRecordList::Clear() {
    mRecords.clear();
    mDeleted.clear();
    mHidden.clear();
    LoadedCount = 0;
}

void TXSQLRecordList::LoadStructure(TXData& d, int32_t totalCount) {
    if (totalCount < 0) {
        throw EXDataError("invalid record count " + std::to_string(totalCount));
    }
    Struct.LoadFromData(d);
    Clear();
    mRecords.resize(static_cast<size_t>(totalCount));
}

TXSQLFetchResult TXSQLRecordList::FetchIn(TXData& d) {
    TXSQLWirePage page = ReadPageTypes(d, Struct.Types());
    TXSQLFetchResult result;
    result.First = page.firstPosition;
    result.Count = static_cast<int32_t>(page.entries.size());
    // Check every position before storing anything: a page never lands outside the placeholders.
    for (size_t i = 0; i < page.entries.size(); ++i) {
        int64_t pos = static_cast<int64_t>(page.firstPosition) + static_cast<int64_t>(i);
        if (page.entries[i] && (pos < 0 || pos >= Count())) {
            throw EXDataError("invalid position in TXSQLRecordList.FetchIn");
        }
    }
    for (size_t i = 0; i < page.entries.size(); ++i) {
        if (!page.entries[i]) {
            continue;
        }
        TXSQLRecord& r = mRecords[static_cast<size_t>(page.firstPosition) + i];
        if (r.State == rsPlaceholder) {
            ++LoadedCount; // a position sent twice counts once
        }
        r.Values = std::move(*page.entries[i]);
        r.OldValues.clear();
        r.Edited = false;
        r.State = rsLoaded;
    }
    Complete = Count() == LoadedCount;
    return result;
}

int TXSQLRecordList::InsertRecord(int index, uint8_t state) {
    if (index == -1) {
        index = Count();
    } else if (index < 0) {
        throw EXSQLError("Error accessing BOF");
    } else if (index > Count()) {
        throw EXSQLError("Error accessing EOF");
    }
    TXSQLRecord r;
    r.State = state;
    r.Values.assign(static_cast<size_t>(Struct.FieldCount()), TXVariant::Null());
    mRecords.insert(mRecords.begin() + index, std::move(r));
    return index;
}

void TXSQLRecordList::DeleteRecord(int index) {
    CheckIndex(index);
    auto it = mRecords.begin() + index;
    if (it->State == rsLoaded) {
        mDeleted.push_back(std::move(*it));
    }
    mRecords.erase(it);
}

void TXSQLRecordList::SetFiltered(bool on) {
    if (on == mFiltered) {
        return;
    }
    if (!on) {
        for (auto& r : mHidden) {
            mRecords.push_back(std::move(r));
        }
        mHidden.clear();
        mFiltered = false;
        return;
    }
    // Validate every filter field before moving any record.
    std::vector<std::pair<int, const TXVariant*>> checks;
    for (int i = 0; i < FilterValues.Count(); ++i) {
        const std::string& name = FilterValues.Name(i);
        int field = Struct.IndexOf(name);
        if (field < 0) {
            throw EXSQLError("campo " + name + " inexistente para filtro");
        }
        TXSQLStructDataType t = Struct.Field(field).Type;
        if (t == sftUnknown || t == sftBlob) {
            throw EXSQLError("Invalid filter of datatype BLOB");
        }
        checks.emplace_back(field, &FilterValues.Value(i).AsVariant());
    }
    std::vector<TXSQLRecord> kept;
    std::vector<TXSQLRecord> hidden;
    for (auto& r : mRecords) {
        bool keep = std::all_of(checks.begin(), checks.end(), [&](const auto& c) {
            return SQLValuesEqual(r.Value(static_cast<size_t>(c.first)), *c.second);
        });
        (keep ? kept : hidden).push_back(std::move(r));
    }
    mRecords = std::move(kept);
    mHidden = std::move(hidden);
    mFiltered = true;
}
