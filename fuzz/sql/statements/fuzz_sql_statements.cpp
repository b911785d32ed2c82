// Statement, structure, record and page readers fed arbitrary bytes. The first byte picks the reader;
// a bad payload must end in an exception, never in a read outside the buffer.
#include "sql/UXSQL.h"
#include "sql/UXSQLWire.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void CheckStructureRoundTrip(const std::vector<TXSQLWireField>& fields) {
    TXData w;
    Init(w);
    WriteStructure(w, fields);
    Finish(w);
    TXData r;
    Load(r, w.Data);
    auto back = ReadStructure(r);
    if (back.size() != fields.size() || !r.AtEnd()) {
        std::abort();
    }
    for (size_t i = 0; i < back.size(); ++i) {
        if (back[i].name != fields[i].name || back[i].type != fields[i].type ||
            back[i].size != fields[i].size) {
            std::abort();
        }
    }
}

void Run(uint8_t selector, std::string_view bytes) {
    TXData d;
    Load(d, bytes);
    switch (selector % 4) {
    case 0: {
        TXSQLWireStatement s = ReadStatement(d);
        TXData w;
        Init(w);
        WriteStatement(w, s);
        break;
    }
    case 1:
        CheckStructureRoundTrip(ReadStructure(d));
        break;
    case 2: {
        // Field types from the leading bytes, then one record.
        if (bytes.empty()) {
            return;
        }
        size_t n = static_cast<uint8_t>(bytes[0]) % 9;
        std::vector<TXSQLStructDataType> types;
        for (size_t i = 0; i < n && i + 1 < bytes.size(); ++i) {
            types.push_back(static_cast<TXSQLStructDataType>(static_cast<uint8_t>(bytes[i + 1]) % 7));
        }
        TXData r;
        Load(r, bytes.substr(1 + types.size()));
        auto values = ReadRecordTypes(r, types);
        if (values.size() != types.size()) {
            std::abort();
        }
        break;
    }
    case 3: {
        // As a session receives them: a structure with the total count, then pages until the bytes end.
        int32_t total = GetI(d) & 0x3FF;
        TXSQL sql;
        sql.Records().Complete = false;
        sql.FetchStructIn(d, total);
        while (!d.AtEnd()) {
            TXSQLFetchResult page = sql.FetchIn(d);
            (void)page;
            if (sql.Records().LoadedCount > sql.RecordCount()) {
                std::abort();
            }
        }
        for (sql.First(); !sql.Eof(); sql.Next()) {
            for (int f = 0; f < sql.Struct().FieldCount(); ++f) {
                (void)sql.FieldValue(sql.Struct().Field(f).Name).AsString();
            }
        }
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    try {
        Run(data[0], std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    } catch (const std::runtime_error&) {
        // EXDataError and EXSQLError: the expected end of a malformed payload
    }
    return 0;
}
