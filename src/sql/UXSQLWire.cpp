#include "sql/UXSQLWire.h"

#include "sql/UXSQLWireRows.h"

#include <algorithm>
#include <array>

namespace {

constexpr int32_t kFormatVersion = 1;

constexpr std::array<std::string_view, 5> kMarkNames = {"tsNone", "tsStart", "tsRunning", "tsCommit",
                                                        "tsRollBack"};

std::vector<TXSQLStructDataType> TypesOf(const std::vector<TXSQLWireField>& fields) {
    std::vector<TXSQLStructDataType> types;
    types.reserve(fields.size());
    for (const auto& f : fields) {
        types.push_back(f.type);
    }
    return types;
}

} // namespace

std::string_view TransactionStatusName(TXSQLTransactionStatus s) {
    auto i = static_cast<size_t>(s);
    return i < kMarkNames.size() ? kMarkNames[i] : kMarkNames[0];
}

bool TransactionStatusFromName(std::string_view name, TXSQLTransactionStatus& s) {
    for (size_t i = 0; i < kMarkNames.size(); ++i) {
        if (kMarkNames[i] == name) {
            s = static_cast<TXSQLTransactionStatus>(i);
            return true;
        }
    }
    return false;
}

// ---- statement ----------------------------------------------------------------------------------

TXSQLWireStatement ReadStatement(TXData& d) {
    int32_t version = GetI(d);
    if (version != kFormatVersion) {
        throw EXDataError(std::string(kStatementVersionError) + std::to_string(version));
    }
    TXSQLWireStatement s;
    s.text = GetS(d);
    s.transactionMark = GetS(d);
    int32_t n = GetI(d);
    for (int32_t i = 0; i < n; ++i) {
        TXSQLWireParam p;
        std::string full = GetS(d);
        p.value = GetV(d);
        if (!full.empty()) {
            p.prefix = full[0];
            p.name = full.substr(1);
        }
        s.params.push_back(std::move(p));
    }
    return s;
}

void WriteStatement(TXData& d, const TXSQLWireStatement& s) {
    PutI(d, kFormatVersion);
    PutS(d, s.text);
    PutS(d, s.transactionMark);
    PutI(d, static_cast<int32_t>(s.params.size()));
    for (const auto& p : s.params) {
        std::string full;
        if (p.prefix != 0) {
            full.push_back(p.prefix);
        }
        full += p.name;
        PutS(d, full);
        PutV(d, p.value);
    }
}

// ---- structure ----------------------------------------------------------------------------------

void WriteStructure(TXData& d, const std::vector<TXSQLWireField>& fields) {
    PutI(d, kFormatVersion);
    PutI(d, static_cast<int32_t>(fields.size()));
    for (const auto& f : fields) {
        PutI(d, kFormatVersion);
        PutS(d, f.name);
        PutS(d, SQLStructDataTypeName(f.type));
        PutI(d, f.size);
    }
}

std::vector<TXSQLWireField> ReadStructure(TXData& d) {
    if (GetI(d) != kFormatVersion) {
        throw EXDataError(std::string(kStructVersionError));
    }
    int32_t n = GetI(d);
    std::vector<TXSQLWireField> fields;
    for (int32_t i = 0; i < n; ++i) {
        if (GetI(d) != kFormatVersion) {
            throw EXDataError(std::string(kStructVersionError));
        }
        TXSQLWireField f;
        f.name = GetS(d);
        f.type = SQLStructDataTypeFromName(GetS(d));
        f.size = GetI(d);
        fields.push_back(std::move(f));
    }
    return fields;
}

// ---- record -------------------------------------------------------------------------------------

void WriteRecordTypes(TXData& d, const std::vector<TXSQLStructDataType>& types,
                      const std::vector<TXVariant>& values) {
    PutI(d, kFormatVersion);
    for (size_t i = 0; i < types.size(); ++i) {
        const TXVariant* v = i < values.size() ? &values[i] : nullptr;
        bool isNull = v == nullptr || v->IsEmptyOrNull();
        PutB(d, isNull ? 1 : 0);
        if (isNull) {
            continue;
        }
        switch (types[i]) {
        case sftString:
        case sftBlob:
            if (v->IsString())
                PutS(d, v->StringRef()); // no copy of every text of a page
            else
                PutS(d, v->AsString());
            break;
        case sftInteger:
            PutI64(d, v->AsInt64());
            break;
        case sftCurrency:
            PutCurrScaled(d, v->AsCurrencyScaled());
            break;
        case sftFloat:
        case sftDateTime:
            PutE(d, v->AsDouble());
            break;
        case sftUnknown:
            break;
        }
    }
}

void WriteRecord(TXData& d, const std::vector<TXSQLWireField>& fields, const std::vector<TXVariant>& values) {
    WriteRecordTypes(d, TypesOf(fields), values);
}

std::vector<TXVariant> ReadRecordTypes(TXData& d, const std::vector<TXSQLStructDataType>& types) {
    int32_t version = GetI(d);
    if (version != kFormatVersion) {
        throw EXDataError(std::string(kRecordVersionError) + std::to_string(version) + " " +
                          std::to_string(d.Size));
    }
    // Built in place, value by value: no null first and assignment after for every cell of a page.
    std::vector<TXVariant> values;
    values.reserve(types.size());
    for (size_t i = 0; i < types.size(); ++i) {
        if (GetB(d) != 0) { // null flag
            values.push_back(TXVariant::Null());
            continue;
        }
        switch (types[i]) {
        case sftString:
        case sftBlob:
            values.push_back(TXVariant::FromString(GetS(d)));
            break;
        case sftInteger:
            values.push_back(TXVariant::FromInt64(GetI64(d)));
            break;
        case sftCurrency:
            values.push_back(TXVariant::FromCurrencyScaled(GetCurrScaled(d)));
            break;
        case sftFloat:
            values.push_back(TXVariant::FromDouble(GetE(d)));
            break;
        case sftDateTime:
            values.push_back(TXVariant::FromDate(GetE(d)));
            break;
        case sftUnknown:
            values.emplace_back();
            break;
        default:
            values.push_back(TXVariant::Null());
            break;
        }
    }
    return values;
}

std::vector<TXVariant> ReadRecord(TXData& d, const std::vector<TXSQLWireField>& fields) {
    return ReadRecordTypes(d, TypesOf(fields));
}

// ---- page ---------------------------------------------------------------------------------------

TXSQLWirePage ReadPageTypes(TXData& d, const std::vector<TXSQLStructDataType>& types) {
    if (GetI(d) != kFormatVersion) {
        throw EXDataError(std::string(kPageVersionError));
    }
    TXSQLWirePage page;
    int32_t n = GetI(d);
    if (n > 0) {
        page.firstPosition = GetI(d);
        // Every entry takes at least its presence byte, so a bad count cannot reserve more than the data.
        page.entries.reserve(static_cast<size_t>(std::min<int64_t>(n, std::max<int32_t>(d.Remaining(), 0))));
        for (int32_t i = 0; i < n; ++i) {
            if (GetB(d) == 0) {
                page.entries.emplace_back(std::nullopt);
            } else {
                page.entries.emplace_back(ReadRecordTypes(d, types));
            }
        }
    }
    return page;
}

TXSQLWirePage ReadPage(TXData& d, const std::vector<TXSQLWireField>& fields) {
    return ReadPageTypes(d, TypesOf(fields));
}

size_t WritePage(TXData& d, const std::vector<TXSQLWireField>& fields,
                 const std::vector<std::vector<TXVariant>>& rows, size_t first, size_t maxBytes) {
    TXSQLWireRows encoded(TypesOf(fields), maxBytes, first);
    for (size_t i = first; i < rows.size(); ++i)
        encoded.Add(rows[i]);
    return encoded.TakePage(d);
}

void WritePageBytes(TXData& d, int32_t firstPosition, int32_t count, std::string_view entries) {
    PutI(d, kFormatVersion);
    PutI(d, count);
    if (count > 0) {
        PutI(d, firstPosition);
        PutRaw(d, entries.data(), entries.size());
    }
}

void WritePageEntries(TXData& d, const std::vector<TXSQLWireField>& fields, int32_t firstPosition,
                      const std::vector<const std::vector<TXVariant>*>& entries) {
    PutI(d, kFormatVersion);
    PutI(d, static_cast<int32_t>(entries.size()));
    if (entries.empty()) {
        return;
    }
    PutI(d, firstPosition);
    auto types = TypesOf(fields);
    for (const auto* e : entries) {
        PutB(d, e != nullptr ? 1 : 0);
        if (e != nullptr) {
            WriteRecordTypes(d, types, *e);
        }
    }
}
