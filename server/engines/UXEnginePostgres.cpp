#include "server/engines/UXEnginePostgres.h"

#include <cstring>
#include <libpq-fe.h>

#include "server/engines/UXEngineValues.h"
#include "server/engines/UXParamRewrite.h"

namespace {

constexpr size_t kMaxConnections = 16;

// Type oids of the built-in types (pg_type.h).
enum : Oid {
    oidBool = 16,
    oidBytea = 17,
    oidChar = 18,
    oidName = 19,
    oidInt8 = 20,
    oidInt2 = 21,
    oidInt4 = 23,
    oidText = 25,
    oidOid = 26,
    oidFloat4 = 700,
    oidFloat8 = 701,
    oidBpchar = 1042,
    oidVarchar = 1043,
    oidDate = 1082,
    oidTime = 1083,
    oidTimestamp = 1114,
    oidTimestamptz = 1184,
    oidNumeric = 1700,
};

std::string Trimmed(const char* s) {
    std::string r = s ? s : "";
    while (!r.empty() && (r.back() == '\n' || r.back() == '\r' || r.back() == ' '))
        r.pop_back();
    return r.empty() ? "unknown database error" : r;
}

struct TXPgResult {
    PGresult* r;
    explicit TXPgResult(PGresult* p) : r(p) {}
    ~TXPgResult() { PQclear(r); }
    TXPgResult(const TXPgResult&) = delete;
    TXPgResult& operator=(const TXPgResult&) = delete;
    bool Ok() const {
        auto s = PQresultStatus(r);
        return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
    }
    std::string Error(PGconn* c) const { return Trimmed(r ? PQresultErrorMessage(r) : PQerrorMessage(c)); }
    std::string State() const {
        const char* s = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
        return s ? s : "";
    }
};

// Parameters as libpq takes them.
struct TXPgParams {
    std::vector<std::string> texts;
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
    std::vector<Oid> types, typedOids; // unknown-typed, and typed by value (for the retry)
};

TXPgParams BuildParams(const TXParamRewrite& rw, const std::vector<TXEngineParam>& params) {
    TXPgParams p;
    size_t n = rw.names.size();
    p.texts.resize(n);
    p.values.resize(n);
    p.lengths.resize(n);
    p.formats.resize(n);
    p.types.assign(n, 0);
    p.typedOids.assign(n, oidText);
    for (size_t k = 0; k < n; ++k) {
        const TXEngineParam* found = nullptr;
        for (auto& prm : params)
            if (EqualsNoCase(prm.name, rw.names[k])) {
                found = &prm;
                break;
            }
        if (!found)
            throw EXEngineError("no value for parameter " + rw.names[k]);
        const TXVariant& v = found->value;
        if (found->blob) {
            p.types[k] = p.typedOids[k] = oidBytea;
            p.formats[k] = 1;
        }
        if (v.IsEmptyOrNull()) {
            p.values[k] = nullptr;
            continue;
        }
        std::string& t = p.texts[k];
        if (found->blob) {
            t = v.AsString();
        } else {
            switch (v.Type()) {
            case varDouble:
            case varSingle:
                t = DoubleToText(v.AsDouble());
                p.typedOids[k] = oidFloat8;
                break;
            case varCurrency:
                t = CurrencyToText(v.AsCurrencyScaled());
                p.typedOids[k] = oidNumeric;
                break;
            case varDate:
                t = DayNumberToTimestamp(v.AsDouble());
                p.typedOids[k] = oidTimestamp;
                break;
            case varBoolean:
                t.assign(1, v.AsBool() ? '1' : '0'); // not a literal: GCC 12 -O3 warns falsely
                p.typedOids[k] = oidInt4;
                break;
            case varString:
            case varOleStr:
            case varStrArg:
                t = v.AsString();
                break;
            default:
                if (v.IsNumeric()) {
                    t = std::to_string(v.AsInt64());
                    p.typedOids[k] = oidInt8;
                } else {
                    t = v.AsString();
                }
            }
        }
        p.values[k] = t.data();
        p.lengths[k] = static_cast<int>(t.size());
    }
    return p;
}

TXSQLStructDataType TypeOf(Oid oid, int mod, int& size, int& scale, bool& byValues) {
    size = scale = 0;
    byValues = false;
    switch (oid) {
    case oidBool:
    case oidInt2:
    case oidInt4:
    case oidInt8:
    case oidOid:
        return sftInteger;
    case oidNumeric:
        if (mod < 4) {
            byValues = true; // unconstrained: the values tell
            return sftInteger;
        }
        scale = (mod - 4) & 0xffff;
        return TypeForScale(scale);
    case oidFloat4:
    case oidFloat8:
        return sftFloat;
    case oidDate:
    case oidTime:
    case oidTimestamp:
    case oidTimestamptz:
        return sftDateTime;
    case oidBytea:
        return sftBlob;
    case oidVarchar:
    case oidBpchar:
        size = mod >= 4 ? mod - 4 : 0;
        return sftString;
    default:
        return sftString;
    }
}

[[noreturn]] void BadValue(const TXEngineColumn& col, const char* text) {
    throw EXEngineError("column " + col.name + ": value '" + text + "' is not a valid " +
                        std::string(SQLStructDataTypeName(col.type)).substr(3));
}

TXVariant Convert(const TXEngineColumn& col, Oid oid, const char* s, int len) {
    std::string_view t(s, static_cast<size_t>(len));
    switch (col.type) {
    case sftInteger: {
        if (oid == oidBool)
            return TXVariant::FromInt64(t == "t" ? 1 : 0);
        int64_t v;
        if (TextToInt64(t, v))
            return TXVariant::FromInt64(v);
        BadValue(col, s);
    }
    case sftCurrency: {
        int64_t v;
        if (TextToCurrency(t, v))
            return TXVariant::FromCurrencyScaled(v);
        BadValue(col, s);
    }
    case sftFloat: {
        double d;
        if (TextToDouble(t, d))
            return TXVariant::FromDouble(d);
        BadValue(col, s);
    }
    case sftDateTime: {
        double d;
        if (TimestampToDayNumber(t, d))
            return TXVariant::FromDate(d);
        BadValue(col, s);
    }
    case sftBlob: {
        size_t n = 0;
        unsigned char* raw = PQunescapeBytea(reinterpret_cast<const unsigned char*>(s), &n);
        if (!raw)
            throw EXEngineError("out of memory");
        std::string bytes(reinterpret_cast<char*>(raw), n);
        PQfreemem(raw);
        return TXVariant::FromString(std::move(bytes));
    }
    default:
        return TXVariant::FromString(std::string(t));
    }
}

class TXPgConnection : public TXEngineConnection {
public:
    explicit TXPgConnection(const std::string& conninfo) {
        mConn = PQconnectdb(conninfo.c_str());
        if (!mConn)
            throw EXEngineError("out of memory");
        if (PQstatus(mConn) != CONNECTION_OK) {
            std::string msg = Trimmed(PQerrorMessage(mConn));
            PQfinish(mConn);
            throw EXEngineError(msg);
        }
        PQsetNoticeProcessor(
            mConn, [](void*, const char*) {}, nullptr);
        if (PQsetClientEncoding(mConn, "WIN1252") != 0) {
            std::string msg = Trimmed(PQerrorMessage(mConn));
            PQfinish(mConn);
            throw EXEngineError(msg);
        }
        try {
            Exec("SET DateStyle TO ISO, YMD; SET extra_float_digits TO 3");
        } catch (...) {
            PQfinish(mConn);
            throw;
        }
    }
    ~TXPgConnection() override { PQfinish(mConn); }

    bool Healthy() const { return PQstatus(mConn) == CONNECTION_OK; }

    void Begin() override {
        if (InTransaction())
            throw EXEngineError("transaction already active");
        Exec("BEGIN");
    }
    void Commit() override {
        if (InTransaction())
            Exec("COMMIT");
    }
    void Rollback() override {
        if (InTransaction())
            Exec("ROLLBACK");
    }
    bool InTransaction() const override {
        auto s = PQtransactionStatus(mConn);
        return s == PQTRANS_INTRANS || s == PQTRANS_INERROR || s == PQTRANS_ACTIVE;
    }

    using TXEngineConnection::Execute;
    TXEngineResult Execute(std::string_view sql, const std::vector<TXEngineParam>& params,
                           TXEngineRowSink& sink) override {
        const TXParamRewrite rw = RewriteNamedParams(sql);
        TXPgParams p = BuildParams(rw, params);
        const bool inTx = InTransaction();
        bool typed = false;
        for (;;) {
            // A failing statement must not poison the open transaction, so it runs under a savepoint.
            if (inTx)
                Exec("SAVEPOINT xds_statement");
            TXPgResult res(PQexecParams(mConn, rw.text.c_str(), static_cast<int>(p.values.size()),
                                        typed ? p.typedOids.data() : p.types.data(), p.values.data(),
                                        p.lengths.data(), p.formats.data(), 0));
            if (res.Ok()) {
                if (inTx)
                    Exec("RELEASE SAVEPOINT xds_statement");
                return Collect(res.r, sink);
            }
            std::string err = res.Error(mConn), state = res.State();
            if (inTx && Healthy())
                Exec("ROLLBACK TO SAVEPOINT xds_statement; RELEASE SAVEPOINT xds_statement");
            // "could not determine data type of parameter": once more with types taken from the values.
            if ((state == "42P18" || state == "42P08") && !typed) {
                typed = true;
                continue;
            }
            throw EXEngineError(err);
        }
    }

    PGconn* Raw() const { return mConn; }

private:
    void Exec(const char* sql) {
        TXPgResult r(PQexec(mConn, sql));
        if (!r.Ok())
            throw EXEngineError(r.Error(mConn));
    }

    TXEngineResult Collect(PGresult* res, TXEngineRowSink& sink) {
        TXEngineResult r;
        const char* tuples = PQcmdTuples(res);
        if (tuples && *tuples)
            r.affected = std::atoll(tuples);
        if (PQresultStatus(res) != PGRES_TUPLES_OK)
            return r;
        r.hasRows = true;
        const int nCols = PQnfields(res), nRows = PQntuples(res);
        std::vector<Oid> oids(static_cast<size_t>(nCols));
        r.columns.resize(static_cast<size_t>(nCols));
        for (int k = 0; k < nCols; ++k) {
            auto& col = r.columns[static_cast<size_t>(k)];
            col.name = PQfname(res, k);
            oids[static_cast<size_t>(k)] = PQftype(res, k);
            bool byValues = false;
            col.type = TypeOf(PQftype(res, k), PQfmod(res, k), col.size, col.scale, byValues);
            if (byValues) {
                int dec = 0;
                for (int i = 0; i < nRows; ++i)
                    if (!PQgetisnull(res, i, k))
                        dec = std::max(dec, DecimalsOf(PQgetvalue(res, i, k)));
                col.type = dec == 0 ? sftInteger : dec <= 4 ? sftCurrency : sftFloat;
                col.scale = col.type == sftCurrency ? dec : 0;
                // Whole numbers too large for 64 bits go as floats.
                for (int i = 0; col.type == sftInteger && i < nRows; ++i) {
                    int64_t v;
                    if (!PQgetisnull(res, i, k) && !TextToInt64(PQgetvalue(res, i, k), v))
                        col.type = sftFloat;
                }
            }
        }
        sink.Columns(r.columns);
        std::vector<TXVariant> row;
        for (int i = 0; i < nRows; ++i) {
            row.resize(static_cast<size_t>(nCols));
            for (int k = 0; k < nCols; ++k) {
                auto& v = row[static_cast<size_t>(k)];
                if (PQgetisnull(res, i, k))
                    v = TXVariant::Null();
                else
                    v = Convert(r.columns[static_cast<size_t>(k)], oids[static_cast<size_t>(k)],
                                PQgetvalue(res, i, k), PQgetlength(res, i, k));
            }
            sink.Row(row);
        }
        return r;
    }

    PGconn* mConn = nullptr;
};

} // namespace

TXEnginePostgres::TXEnginePostgres(std::string conninfo)
    : TXEngineBase(kMaxConnections), mConninfo(std::move(conninfo)) {
    CreateOwnTables();
}

TXEnginePostgres::~TXEnginePostgres() {
    DropPool();
}

std::unique_ptr<TXEngineConnection> TXEnginePostgres::Connect() {
    return std::make_unique<TXPgConnection>(mConninfo);
}

bool TXEnginePostgres::Usable(TXEngineConnection& c) {
    return static_cast<TXPgConnection&>(c).Healthy();
}

void TXEnginePostgres::LockForCreate(TXEngineConnection& c) {
    // Concurrent CREATE TABLE IF NOT EXISTS can still collide in the catalog; take turns.
    c.Execute("SELECT pg_advisory_xact_lock(5821073)", {});
}

std::vector<std::string> TXEnginePostgres::ColumnsOf(TXEngineConnection& c, const std::string& table) {
    auto r = c.Execute("SELECT column_name FROM information_schema.columns "
                       "WHERE table_schema = ANY (current_schemas(false)) AND upper(table_name) = :t",
                       {TXEngineParam{"t", TXVariant::FromString(table)}});
    std::vector<std::string> out;
    for (auto& row : r.rows)
        out.push_back(UpperAscii(row[0].AsString()));
    return out;
}
