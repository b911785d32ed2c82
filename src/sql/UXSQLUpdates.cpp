// Write-back commands of a statement's edited, inserted and deleted records.
#include "sql/UXSQL.h"
#include "sql/UXSQLCommandSink.h"

namespace {

const std::string kKeyPrefix = "velgrathkey_";

void SetTypedParam(TXSQL& cmd, const TXSQLStructField& f, const std::string& name, const TXVariant& v) {
    switch (f.Type) {
    case sftString:
        cmd.ParamString(name, v);
        break;
    case sftInteger:
        cmd.ParamInteger(name, v);
        break;
    case sftCurrency:
        cmd.ParamCurrency(name, v);
        break;
    case sftFloat:
        cmd.ParamFloat(name, v);
        break;
    case sftDateTime:
        cmd.ParamDateTime(name, v);
        break;
    case sftBlob:
        cmd.ParamBlob(name, v);
        break;
    case sftUnknown:
        throw EXSQLError("Invalid parameter type for field " + f.Name);
    }
}

// name + "=:" + param (with its parameter), or name + "=NULL".
std::string Assignment(TXSQL& cmd, const TXSQLStructField& f, const std::string& param, const TXVariant& v) {
    if (v.IsEmptyOrNull()) {
        return f.Name + "=NULL";
    }
    SetTypedParam(cmd, f, param, v);
    return f.Name + "=:" + param;
}

void Send(TXSQLCommandSink& session, TXSQL& cmd, std::string text) {
    cmd.SQLText = std::move(text);
    session.Command("");
}

} // namespace

void TXSQL::GenerateUpdates(TXSQLCommandSink& session, bool deletions) {
    struct CursorGuard {
        TXSQL& sql;
        int32_t saved;
        ~CursorGuard() { sql.SetRecNo(saved); }
    } guard{*this, mRecNo};

    if (deletions) {
        GenerateDeletes(session);
        return;
    }
    // Records hidden by a filter are part of the data too: they are written like the visible ones.
    for (const TXSQLRecord& r : mRecords.Records()) {
        GenerateWrite(session, r);
    }
    for (const TXSQLRecord& r : mRecords.Hidden()) {
        GenerateWrite(session, r);
    }
}

void TXSQL::GenerateDeletes(TXSQLCommandSink& session) {
    const TXSQLStruct& st = Struct();
    bool hasKey = false;
    for (const auto& f : st.Fields()) {
        hasKey = hasKey || f.Key;
    }
    if (!hasKey) {
        return;
    }
    for (const TXSQLRecord& r : mRecords.Deleted()) {
        TXSQL& cmd = session.SQL();
        cmd.ClearParams();
        std::string text = "DELETE FROM " + st.TableName + " WHERE ";
        bool first = true;
        for (size_t i = 0; i < st.Fields().size(); ++i) {
            const TXSQLStructField& f = st.Fields()[i];
            if (!f.Key) {
                continue;
            }
            if (!first) {
                text += " AND ";
            }
            first = false;
            // The row is found by its key as fetched, even when it was edited before deletion.
            text += Assignment(cmd, f, f.Name, r.OldValue(i));
        }
        Send(session, cmd, std::move(text));
    }
}

void TXSQL::GenerateWrite(TXSQLCommandSink& session, const TXSQLRecord& r) {
    if (r.State != rsInserted && r.State != rsLoaded) {
        return;
    }
    const TXSQLStruct& st = Struct();
    bool hasSave = false;
    for (const auto& f : st.Fields()) {
        hasSave = hasSave || f.Save;
    }
    if (!hasSave) {
        return;
    }
    TXSQL& cmd = session.SQL();
    cmd.ClearParams();
    std::string text;
    if (r.State == rsInserted) {
        std::string names;
        std::string values;
        for (size_t i = 0; i < st.Fields().size(); ++i) {
            const TXSQLStructField& f = st.Fields()[i];
            if (!f.Save) {
                continue;
            }
            if (!names.empty()) {
                names += ",";
                values += ",";
            }
            names += f.Name;
            const TXVariant& v = r.Value(i);
            if (v.IsEmptyOrNull()) {
                values += "NULL";
            } else {
                SetTypedParam(cmd, f, f.Name, v);
                values += ":" + f.Name;
            }
        }
        text = "INSERT INTO " + st.TableName + " (" + names + ") Values (" + values + ")";
    } else {
        std::string sets;
        std::string where;
        for (size_t i = 0; i < st.Fields().size(); ++i) {
            const TXSQLStructField& f = st.Fields()[i];
            if (!f.Save) {
                continue;
            }
            if (!sets.empty()) {
                sets += ",";
            }
            sets += Assignment(cmd, f, f.Name, r.Value(i));
        }
        for (size_t i = 0; i < st.Fields().size(); ++i) {
            const TXSQLStructField& f = st.Fields()[i];
            if (!f.Save || !f.Key) {
                continue;
            }
            if (!where.empty()) {
                where += " AND ";
            }
            where += Assignment(cmd, f, kKeyPrefix + f.Name, r.OldValue(i));
        }
        text = "UPDATE " + st.TableName + " SET " + sets + " WHERE " + where;
    }
    Send(session, cmd, std::move(text));
}
