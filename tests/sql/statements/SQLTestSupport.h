#pragma once
// Small builders shared by the statement tests: bytes as hex, statements filled through the real wire.

#include "sql/UXSQL.h"
#include "sql/UXSQLWire.h"

#include <cstdio>
#include <string>
#include <vector>

inline std::string Hex(const std::string& bytes) {
    std::string out;
    char buf[3];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02x", c);
        out += buf;
    }
    return out;
}

inline std::string Finished(TXData& d) {
    Finish(d);
    return d.Data;
}

inline TXData Loaded(const std::string& bytes) {
    TXData d;
    Load(d, bytes);
    return d;
}

// Fills sql as a session would: FETCHSTRUCT with the total, then one page with every row.
inline void FillFromServer(TXSQL& sql, const std::vector<TXSQLWireField>& fields,
                           const std::vector<std::vector<TXVariant>>& rows) {
    TXData s;
    Init(s);
    WriteStructure(s, fields);
    TXData structure = Loaded(Finished(s));
    sql.Records().Complete = false;
    sql.FetchStructIn(structure, static_cast<int32_t>(rows.size()));
    TXData p;
    Init(p);
    WritePage(p, fields, rows, 0);
    TXData page = Loaded(Finished(p));
    sql.FetchIn(page);
}

inline TXVariant I(int64_t v) {
    return TXVariant::FromInt64(v);
}
inline TXVariant S(std::string v) {
    return TXVariant::FromString(std::move(v));
}
