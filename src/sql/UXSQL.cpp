#include "sql/UXSQL.h"

#include "sql/UXSQLCommandSink.h"

#include <algorithm>
#include <limits>

namespace {

void AddListPart(std::string& part, std::string_view keyword, std::string_view s) {
    if (part.empty()) {
        part = std::string(keyword) + std::string(s);
    } else {
        part += ",";
        part += s;
    }
}

void AddConditionPart(std::string& part, std::string_view keyword, std::string_view s) {
    if (s.empty()) {
        return;
    }
    if (s == ")") {
        part += ")";
        return;
    }
    if (part.empty()) {
        part = keyword;
    } else if (part.back() != '(') {
        part += " AND";
    }
    if (s == "(") {
        part += " (";
    } else {
        part += " (";
        part += s;
        part += ")";
    }
}

std::string Trimmed(std::string_view s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string_view::npos) {
        return {};
    }
    size_t e = s.find_last_not_of(' ');
    return std::string(s.substr(b, e - b + 1));
}

} // namespace

TXSQL::~TXSQL() {
    SetMaster(nullptr);
    for (TXSQL* d : mDetails) {
        d->mMaster = nullptr;
    }
}

// ---- text ---------------------------------------------------------------------------------------

void TXSQL::AddSelect(std::string_view s) {
    AddListPart(SQLSelect, "SELECT ", s);
}
void TXSQL::AddFrom(std::string_view s) {
    AddListPart(SQLFrom, "FROM ", s);
}
void TXSQL::AddGroupBy(std::string_view s) {
    AddListPart(SQLGroupBy, "GROUP BY ", s);
}
void TXSQL::AddOrderBy(std::string_view s) {
    AddListPart(SQLOrderBy, "ORDER BY ", s);
}
void TXSQL::AddWhere(std::string_view s) {
    AddConditionPart(SQLWhere, "WHERE", s);
}
void TXSQL::AddHaving(std::string_view s) {
    AddConditionPart(SQLHaving, "HAVING", s);
}

void TXSQL::ClearSQL() {
    SQLSelect.clear();
    SQLFrom.clear();
    SQLWhere.clear();
    SQLGroupBy.clear();
    SQLHaving.clear();
    SQLOrderBy.clear();
    SQLText.clear();
}

std::string TXSQL::EffectiveText() const {
    if (!SQLText.empty()) {
        return SQLText;
    }
    return SQLSelect + " " + SQLFrom + " " + SQLWhere + " " + SQLGroupBy + " " + SQLHaving + " " + SQLOrderBy;
}

// ---- parameters ---------------------------------------------------------------------------------

void TXSQL::SetParam(char prefix, std::string_view name, const TXVariant& v) {
    std::string bare = Trimmed(name);
    bool isNull = v.IsEmptyOrNull();
    std::string full = std::string(1, isNull ? '*' : prefix) + bare;
    // The same parameter under another prefix would reach the server twice with two values.
    bool clash = false;
    for (int i = 0; i < Params.Count(); ++i) {
        const std::string& n = Params.Name(i);
        if (!n.empty() && SameTextAscii(std::string_view(n).substr(1), bare) && !SameTextAscii(n, full)) {
            clash = true;
            break;
        }
    }
    if (clash) {
        std::vector<std::pair<std::string, TXVariant>> keep;
        for (int i = 0; i < Params.Count(); ++i) {
            const std::string& n = Params.Name(i);
            if (n.empty() || !SameTextAscii(std::string_view(n).substr(1), bare)) {
                keep.emplace_back(n, Params.Value(i).AsVariant());
            }
        }
        Params.Clear();
        for (auto& [n, value] : keep) {
            Params.ValueOf(n).SetVariant(value);
        }
    }
    Params.ValueOf(full).SetVariant(isNull ? TXVariant::Null() : v);
}

void TXSQL::ParamString(std::string_view name, const TXVariant& v) {
    SetParam('S', name, v.IsEmptyOrNull() ? v : TXVariant::FromString(v.AsString()));
}

void TXSQL::ParamInteger(std::string_view name, const TXVariant& v) {
    if (v.IsEmptyOrNull()) {
        SetParam('I', name, v);
        return;
    }
    int64_t i = v.AsInt64();
    bool fits = i >= std::numeric_limits<int32_t>::min() && i <= std::numeric_limits<int32_t>::max();
    SetParam('I', name, fits ? TXVariant::FromInt(static_cast<int32_t>(i)) : TXVariant::FromInt64(i));
}

void TXSQL::ParamCurrency(std::string_view name, const TXVariant& v) {
    SetParam('C', name, v.IsEmptyOrNull() ? v : TXVariant::FromCurrencyScaled(v.AsCurrencyScaled()));
}

void TXSQL::ParamFloat(std::string_view name, const TXVariant& v) {
    SetParam('E', name, v.IsEmptyOrNull() ? v : TXVariant::FromDouble(v.AsDouble()));
}

void TXSQL::ParamDateTime(std::string_view name, const TXVariant& v) {
    SetParam('D', name, v.IsEmptyOrNull() ? v : TXVariant::FromDate(v.AsDouble()));
}

void TXSQL::ParamBlob(std::string_view name, const TXVariant& v) {
    SetParam('B', name, v.IsEmptyOrNull() ? v : TXVariant::FromString(v.AsString()));
}

// ---- cursor -------------------------------------------------------------------------------------

void TXSQL::Next() {
    if (!Eof()) {
        SetRecNo(mRecNo + 1);
    }
}

void TXSQL::SetRecNo(int32_t recNo) {
    mRecNo = std::clamp(recNo, -1, static_cast<int32_t>(RecordCount()));
}

void TXSQL::ClampRecNo() {
    SetRecNo(mRecNo);
}

int TXSQL::CurrentIndex() const {
    if (Eof()) {
        throw EXSQLError("Error accessing EOF");
    }
    if (Bof()) {
        throw EXSQLError("Error accessing BOF");
    }
    return mRecNo;
}

const TXVariant& TXSQL::FieldValue(std::string_view name) const {
    int field = Struct().FieldIndex(name);
    return mRecords.Record(CurrentIndex()).Value(static_cast<size_t>(field));
}

const TXVariant& TXSQL::FieldValueAt(int index, std::string_view name) const {
    static const TXVariant null = TXVariant::Null();
    mRecords.CheckIndex(index);
    int field = Struct().FieldIndex(name);
    if (!mRecords.Complete && index >= mRecords.LoadedCount) {
        return null;
    }
    return mRecords.Record(index).Value(static_cast<size_t>(field));
}

const TXVariant& TXSQL::OldFieldValue(std::string_view name) const {
    int field = Struct().FieldIndex(name);
    return mRecords.Record(CurrentIndex()).OldValue(static_cast<size_t>(field));
}

uint8_t TXSQL::RecordState() const {
    return mRecords.Record(CurrentIndex()).State;
}

uint8_t TXSQL::RecordState(int index) const {
    mRecords.CheckIndex(index);
    return mRecords.Record(index).State;
}

void TXSQL::SetRecordState(uint8_t state) {
    mRecords.Record(CurrentIndex()).State = state;
}

void TXSQL::SetRecordState(int index, uint8_t state) {
    mRecords.CheckIndex(index);
    mRecords.Record(index).State = state;
}

uint8_t TXSQL::RecordMark() const {
    return mRecords.Record(CurrentIndex()).Mark;
}

uint8_t TXSQL::RecordMark(int index) const {
    mRecords.CheckIndex(index);
    return mRecords.Record(index).Mark;
}

void TXSQL::SetRecordMark(uint8_t mark) {
    mRecords.Record(CurrentIndex()).Mark = mark;
}

void TXSQL::SetRecordMark(int index, uint8_t mark) {
    mRecords.CheckIndex(index);
    mRecords.Record(index).Mark = mark;
}

// ---- editing ------------------------------------------------------------------------------------

void TXSQL::SetFieldValue(std::string_view name, const TXVariant& v) {
    int field = Struct().FieldIndex(name);
    TXSQLRecord& r = mRecords.Record(CurrentIndex());
    size_t n = static_cast<size_t>(Struct().FieldCount());
    if (!r.Edited) {
        r.OldValues = r.Values;
        r.OldValues.resize(n, TXVariant::Null());
        r.Edited = true;
    }
    r.SetValue(static_cast<size_t>(field), n, v);
}

void TXSQL::SetFieldValueAt(int index, std::string_view name, const TXVariant& v) {
    mRecords.CheckIndex(index);
    int field = Struct().FieldIndex(name);
    mRecords.Record(index).SetValue(static_cast<size_t>(field), static_cast<size_t>(Struct().FieldCount()),
                                    v);
}

void TXSQL::InsertRecord(int index, uint8_t state) {
    mRecNo = mRecords.InsertRecord(index, state);
}

void TXSQL::DeleteRecord(int index) {
    if (index == -1) {
        index = CurrentIndex();
    }
    mRecords.DeleteRecord(index);
    if (mRecNo >= index) {
        --mRecNo;
        if (mRecNo == index - 1) {
            ++mRecNo; // the successor becomes current
        }
    }
    ClampRecNo();
}

// ---- searching and positioning ------------------------------------------------------------------

bool TXSQL::Locate(const TXDataList& values) {
    std::vector<std::pair<size_t, const TXVariant*>> wanted;
    for (int i = 0; i < values.Count(); ++i) {
        int field = Struct().IndexOf(values.Name(i));
        if (field >= 0) {
            wanted.emplace_back(static_cast<size_t>(field), &values.Value(i).AsVariant());
        }
    }
    if (wanted.empty()) {
        return true;
    }
    if (mRecNo < 0) {
        mRecNo = 0;
    }
    for (; mRecNo < RecordCount(); ++mRecNo) {
        const TXSQLRecord& r = mRecords.Record(mRecNo);
        bool all = std::all_of(wanted.begin(), wanted.end(),
                               [&](const auto& w) { return SQLValuesEqual(r.Value(w.first), *w.second); });
        if (all) {
            return true;
        }
    }
    return false;
}

bool TXSQL::Contains(const TXDataList& values) {
    int32_t saved = mRecNo;
    First();
    bool found = Locate(values);
    SetRecNo(saved);
    return found;
}

void TXSQL::PushPosition(bool suspendFilter) {
    SavedPosition p{mRecNo, false};
    if (suspendFilter && Filtered()) {
        SetFiltered(false);
        p.filterSuspended = true;
    }
    mPositions.push_back(p);
}

void TXSQL::PopPosition() {
    if (mPositions.empty()) {
        return;
    }
    SavedPosition p = mPositions.back();
    mPositions.pop_back();
    if (p.filterSuspended && !Filtered()) {
        SetFiltered(true);
    }
    SetRecNo(p.recNo); // after the filter, so the cursor stays inside the visible records
}

void TXSQL::SetFiltered(bool on) {
    mRecords.SetFiltered(on);
    ClampRecNo();
}

// ---- masters and details ------------------------------------------------------------------------

void TXSQL::SetMaster(TXSQL* other) {
    if (other == mMaster) {
        return;
    }
    for (TXSQL* p = other; p != nullptr; p = p->mMaster) {
        if (p == this) {
            return;
        }
    }
    if (mMaster != nullptr) {
        auto& list = mMaster->mDetails;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    mMaster = other;
    if (other != nullptr) {
        other->mDetails.push_back(this);
    }
}

// ---- serialisation ------------------------------------------------------------------------------

void TXSQL::SaveToData(TXData& d) const {
    PutI(d, 1);
    PutS(d, EffectiveText());
    PutS(d, TransactionStatusName(TransactionMark));
    Params.SaveToData(d);
}

void TXSQL::FetchStructIn(TXData& d, int32_t totalCount) {
    mRecords.LoadStructure(d, totalCount);
    mRecNo = -1;
}

TXSQLFetchResult TXSQL::FetchIn(TXData& d) {
    TXSQLFetchResult r = mRecords.FetchIn(d);
    if (r.First == 0 && r.Count > 0) {
        SetRecNo(0);
    }
    return r;
}
