#include "server/engines/UXEngineSQLite.h"

#include <algorithm>
#include <cmath>
#include <sqlite3.h>

#include "foundation/UCp1252.h"
#include "server/engines/UXEngineValues.h"

namespace {

constexpr int kBusyTimeoutMs = 30000; // a writer waits this long for another's lock
constexpr size_t kMaxConnections = 32;

// ASCII reads the same in UTF-8 and Windows-1252.
bool IsAscii(std::string_view s) {
    unsigned char any = 0;
    for (char ch : s)
        any |= static_cast<unsigned char>(ch);
    return any < 0x80;
}

std::string ErrorText(sqlite3* db) {
    return Utf8ToCp1252(sqlite3_errmsg(db));
}

// One cell as SQLite stored it, kept until the column's type is known.
struct TXCell {
    int cls = SQLITE_NULL;
    int64_t i = 0;
    double d = 0;
    std::string s; // TEXT as UTF-8, BLOB as bytes
};

class TXStmt {
public:
    explicit TXStmt(sqlite3_stmt* s) : mS(s) {}
    ~TXStmt() { sqlite3_finalize(mS); }
    TXStmt(const TXStmt&) = delete;
    TXStmt& operator=(const TXStmt&) = delete;
    sqlite3_stmt* get() const { return mS; }
    sqlite3_stmt* release() {
        sqlite3_stmt* s = mS;
        mS = nullptr;
        return s;
    }

private:
    sqlite3_stmt* mS;
};

// One value as SQLite gives it: TEXT as UTF-8, BLOB as bytes.
struct TXCellView {
    int cls = SQLITE_NULL;
    int64_t i = 0;
    double d = 0;
    std::string_view s;
};

TXCellView ViewOf(const TXCell& c) {
    return {c.cls, c.i, c.d, c.s};
}

// Column k of the statement's current row.
TXCellView ReadCell(sqlite3_stmt* st, int k) {
    TXCellView c;
    c.cls = sqlite3_column_type(st, k);
    if (c.cls == SQLITE_INTEGER) {
        c.i = sqlite3_column_int64(st, k);
    } else if (c.cls == SQLITE_FLOAT) {
        c.d = sqlite3_column_double(st, k);
    } else if (c.cls == SQLITE_TEXT) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, k));
        c.s = std::string_view(t ? t : "", static_cast<size_t>(sqlite3_column_bytes(st, k)));
    } else if (c.cls == SQLITE_BLOB) {
        const auto* b = static_cast<const char*>(sqlite3_column_blob(st, k));
        c.s = std::string_view(b ? b : "", static_cast<size_t>(sqlite3_column_bytes(st, k)));
    }
    return c;
}

[[noreturn]] void BadValue(const TXEngineColumn& col, const TXCellView& c) {
    throw EXEngineError("column " + col.name + ": value '" + Utf8ToCp1252(c.s) + "' is not a valid " +
                        std::string(SQLStructDataTypeName(col.type)).substr(3));
}

// The value in the column's type, into out (whose string room is reused).
void Convert(const TXEngineColumn& col, const TXCellView& c, TXVariant& out) {
    if (c.cls == SQLITE_NULL) {
        out = TXVariant::Null();
        return;
    }
    switch (col.type) {
    case sftInteger:
        if (c.cls == SQLITE_INTEGER) {
            out = TXVariant::FromInt64(c.i);
            return;
        }
        if (c.cls == SQLITE_FLOAT) {
            out = TXVariant::FromInt64(std::llround(c.d));
            return;
        }
        if (c.cls == SQLITE_TEXT) {
            int64_t v;
            double d;
            if (TextToInt64(c.s, v)) {
                out = TXVariant::FromInt64(v);
                return;
            }
            if (TextToDouble(c.s, d)) {
                out = TXVariant::FromInt64(std::llround(d));
                return;
            }
        }
        BadValue(col, c);
    case sftCurrency:
        if (c.cls == SQLITE_INTEGER) {
            out = TXVariant::FromCurrencyScaled(c.i * 10000);
            return;
        }
        if (c.cls == SQLITE_FLOAT) {
            out = TXVariant::FromCurrencyScaled(std::llround(c.d * 10000.0));
            return;
        }
        if (c.cls == SQLITE_TEXT) {
            int64_t v;
            if (TextToCurrency(c.s, v)) {
                out = TXVariant::FromCurrencyScaled(v);
                return;
            }
        }
        BadValue(col, c);
    case sftFloat:
        if (c.cls == SQLITE_INTEGER) {
            out = TXVariant::FromDouble(static_cast<double>(c.i));
            return;
        }
        if (c.cls == SQLITE_FLOAT) {
            out = TXVariant::FromDouble(c.d);
            return;
        }
        if (c.cls == SQLITE_TEXT) {
            double d;
            if (TextToDouble(c.s, d)) {
                out = TXVariant::FromDouble(d);
                return;
            }
        }
        BadValue(col, c);
    case sftDateTime:
        if (c.cls == SQLITE_INTEGER) {
            out = TXVariant::FromDate(static_cast<double>(c.i));
            return;
        }
        if (c.cls == SQLITE_FLOAT) {
            out = TXVariant::FromDate(c.d);
            return;
        }
        if (c.cls == SQLITE_TEXT) {
            double d;
            if (TimestampToDayNumber(c.s, d)) {
                out = TXVariant::FromDate(d);
                return;
            }
        }
        BadValue(col, c);
    default: // string, blob
        if (c.cls == SQLITE_BLOB || (c.cls == SQLITE_TEXT && IsAscii(c.s)))
            out.SetString(c.s);
        else if (c.cls == SQLITE_TEXT)
            out.SetString(Utf8ToCp1252(c.s));
        else if (c.cls == SQLITE_INTEGER)
            out.SetString(std::to_string(c.i));
        else
            out.SetString(DoubleToText(c.d));
        return;
    }
}

// Columns without a declared type (expressions) take the type of their values.
void TypeFromValues(TXEngineColumn& col, const std::vector<std::vector<TXCell>>& rows, size_t k) {
    bool anyInt = false, anyReal = false, anyText = false, anyBlob = false, allStamps = true;
    for (auto& row : rows) {
        const TXCell& c = row[k];
        switch (c.cls) {
        case SQLITE_INTEGER:
            anyInt = true;
            break;
        case SQLITE_FLOAT:
            anyReal = true;
            break;
        case SQLITE_TEXT:
            anyText = true;
            allStamps = allStamps && IsStoredTimestamp(c.s);
            break;
        case SQLITE_BLOB:
            anyBlob = true;
            break;
        }
    }
    if (anyBlob && !anyInt && !anyReal && !anyText)
        col.type = sftBlob;
    else if (anyText || anyBlob)
        col.type = (allStamps && !anyInt && !anyReal && !anyBlob) ? sftDateTime : sftString;
    else if (anyReal)
        col.type = sftFloat;
    else if (anyInt)
        col.type = sftInteger;
    else
        col.type = sftString; // only NULLs
}

class TXSQLiteConnection : public TXEngineConnection {
public:
    TXSQLiteConnection(const std::string& path, bool generators) {
        int rc = sqlite3_open_v2(path.c_str(), &mDb,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) {
            std::string msg = mDb ? ErrorText(mDb) : "out of memory";
            sqlite3_close(mDb);
            throw EXEngineError(msg + ": " + path);
        }
        sqlite3_busy_timeout(mDb, kBusyTimeoutMs);
        try {
            Exec("PRAGMA journal_mode=WAL");
            if (generators) {
                std::string quoted;
                for (char ch : path + ".xds")
                    quoted += ch == '\'' ? std::string("''") : std::string(1, ch);
                Exec(("ATTACH DATABASE '" + quoted + "' AS xds").c_str());
                Exec("PRAGMA xds.journal_mode=WAL");
            }
            Exec("PRAGMA foreign_keys=ON");
            Exec("PRAGMA case_sensitive_like=ON");
            Exec("PRAGMA synchronous=NORMAL");
        } catch (...) {
            sqlite3_close(mDb);
            throw;
        }
    }
    ~TXSQLiteConnection() override {
        for (auto& c : mCache)
            sqlite3_finalize(c.stmt);
        sqlite3_close(mDb);
    }

    // IMMEDIATE takes the write lock at once (waiting on the busy timeout), so a transaction never meets
    // a stale snapshot half way through.
    void Begin() override {
        if (InTransaction())
            throw EXEngineError("transaction already active");
        Exec("BEGIN IMMEDIATE");
    }
    // Deferred: takes a write lock only on the file it writes (the generators' companion file).
    void BeginDeferred() {
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
    bool InTransaction() const override { return sqlite3_get_autocommit(mDb) == 0; }

    using TXEngineConnection::Execute;
    TXEngineResult Execute(std::string_view sql, const std::vector<TXEngineParam>& params,
                           TXEngineRowSink& sink) override {
        sqlite3_stmt* raw = Prepared(sql);
        // Back to the cache reset and unbound, whatever happens below.
        struct TXReset {
            sqlite3_stmt* s;
            ~TXReset() {
                sqlite3_reset(s);
                sqlite3_clear_bindings(s);
            }
        } reset{raw};
        std::vector<std::string> texts; // converted text kept alive while the statement runs
        texts.reserve(static_cast<size_t>(sqlite3_bind_parameter_count(raw)));
        Bind(raw, params, texts);

        TXEngineResult r;
        const int nCols = sqlite3_column_count(raw);
        const size_t n = static_cast<size_t>(nCols);
        r.hasRows = nCols > 0;
        // Declared column types are known before the first step; when every column has one, each row
        // goes to the sink as it is read instead of being kept as cells until the types are known.
        r.columns.resize(n);
        std::vector<bool> mapped(n, false);
        bool allMapped = true;
        for (int k = 0; k < nCols; ++k) {
            auto& col = r.columns[static_cast<size_t>(k)];
            const char* name = sqlite3_column_name(raw, k);
            col.name = Utf8ToCp1252(name ? name : "");
            const char* decl = sqlite3_column_decltype(raw, k);
            mapped[static_cast<size_t>(k)] = decl && MapDeclaredType(decl, col);
            allMapped = allMapped && mapped[static_cast<size_t>(k)];
        }
        if (r.hasRows && allMapped)
            sink.Columns(r.columns);
        // Without declared types every cell is kept (owning its bytes) until the column types are known.
        std::vector<std::vector<TXCell>> cells;
        std::vector<TXVariant> values(n);
        const int64_t before = sqlite3_total_changes64(mDb);
        for (;;) {
            int rc = sqlite3_step(raw);
            if (rc == SQLITE_DONE)
                break;
            if (rc != SQLITE_ROW)
                throw EXEngineError(ErrorText(mDb));
            if (allMapped) {
                values.resize(n); // a sink may have taken the vector
                for (int k = 0; k < nCols; ++k)
                    Convert(r.columns[static_cast<size_t>(k)], ReadCell(raw, k),
                            values[static_cast<size_t>(k)]);
                sink.Row(values);
                continue;
            }
            auto& row = cells.emplace_back(n);
            for (int k = 0; k < nCols; ++k) {
                const TXCellView v = ReadCell(raw, k);
                TXCell& c = row[static_cast<size_t>(k)];
                c.cls = v.cls;
                c.i = v.i;
                c.d = v.d;
                c.s.assign(v.s);
            }
        }
        if (!sqlite3_stmt_readonly(raw) && sqlite3_total_changes64(mDb) != before)
            r.affected = sqlite3_changes64(mDb);
        if (allMapped || !r.hasRows)
            return r;

        for (size_t k = 0; k < n; ++k)
            if (!mapped[k])
                TypeFromValues(r.columns[k], cells, k);
        sink.Columns(r.columns);
        for (auto& row : cells) {
            values.resize(n);
            for (size_t k = 0; k < n; ++k)
                Convert(r.columns[k], ViewOf(row[k]), values[k]);
            sink.Row(values);
        }
        return r;
    }

private:
    // Screens send the same few statements over and over (a chain of INSERTs, the same lookup): they
    // are compiled once per connection and kept, most recently used first.
    struct TXCached {
        std::string sql;
        sqlite3_stmt* stmt;
    };
    static constexpr size_t kCacheSize = 16;

    sqlite3_stmt* Prepared(std::string_view sql) {
        for (size_t i = 0; i < mCache.size(); ++i) {
            if (mCache[i].sql == sql) {
                if (i > 0)
                    std::rotate(mCache.begin(), mCache.begin() + static_cast<std::ptrdiff_t>(i),
                                mCache.begin() + static_cast<std::ptrdiff_t>(i) + 1);
                return mCache.front().stmt;
            }
        }
        const std::string text = Cp1252ToUtf8(sql);
        const char* p = text.c_str();
        const char* end = p + text.size();
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        // Leading blanks and comments give no statement.
        while (p < end) {
            if (sqlite3_prepare_v3(mDb, p, static_cast<int>(end - p), SQLITE_PREPARE_PERSISTENT, &raw,
                                   &tail) != SQLITE_OK)
                throw EXEngineError(ErrorText(mDb));
            p = tail;
            if (raw)
                break;
        }
        if (!raw)
            throw EXEngineError("empty statement");
        TXStmt st(raw);
        for (const char* q = p; q < end;) {
            sqlite3_stmt* more = nullptr;
            if (sqlite3_prepare_v2(mDb, q, static_cast<int>(end - q), &more, &tail) != SQLITE_OK)
                throw EXEngineError(ErrorText(mDb));
            sqlite3_finalize(more);
            if (more)
                throw EXEngineError("only one statement per command");
            q = tail;
        }
        if (mCache.size() >= kCacheSize) {
            sqlite3_finalize(mCache.back().stmt);
            mCache.pop_back();
        }
        mCache.insert(mCache.begin(), TXCached{std::string(sql), st.release()});
        return raw;
    }

    void Exec(const char* sql) {
        char* err = nullptr;
        if (sqlite3_exec(mDb, sql, nullptr, nullptr, &err) != SQLITE_OK) {
            std::string msg = Utf8ToCp1252(err ? err : sqlite3_errmsg(mDb));
            sqlite3_free(err);
            throw EXEngineError(msg);
        }
    }

    void Bind(sqlite3_stmt* st, const std::vector<TXEngineParam>& params, std::vector<std::string>& texts) {
        const int n = sqlite3_bind_parameter_count(st);
        for (int i = 1; i <= n; ++i) {
            const char* rawName = sqlite3_bind_parameter_name(st, i);
            if (!rawName)
                throw EXEngineError("unnamed parameter " + std::to_string(i));
            std::string_view name = rawName + 1; // past ':', '@' or '$'
            const TXEngineParam* found = nullptr;
            for (auto& prm : params)
                if (EqualsNoCase(prm.name, name)) {
                    found = &prm;
                    break;
                }
            if (!found)
                throw EXEngineError("no value for parameter " + Utf8ToCp1252(name));
            int rc = BindOne(st, i, *found, texts);
            if (rc != SQLITE_OK)
                throw EXEngineError(ErrorText(mDb));
        }
    }

    static int BindOne(sqlite3_stmt* st, int i, const TXEngineParam& prm, std::vector<std::string>& texts) {
        const TXVariant& v = prm.value;
        if (v.IsEmptyOrNull())
            return sqlite3_bind_null(st, i);
        if (prm.blob) {
            texts.push_back(v.AsString());
            return sqlite3_bind_blob64(st, i, texts.back().data(), texts.back().size(), SQLITE_STATIC);
        }
        switch (v.Type()) {
        case varString:
        case varOleStr:
        case varStrArg:
            if (const std::string& text = v.AsString(); IsAscii(text))
                return sqlite3_bind_text64(st, i, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
            texts.push_back(Cp1252ToUtf8(v.AsString()));
            return sqlite3_bind_text64(st, i, texts.back().data(), texts.back().size(), SQLITE_STATIC,
                                       SQLITE_UTF8);
        case varDouble:
        case varSingle:
            return sqlite3_bind_double(st, i, v.AsDouble());
        case varCurrency:
            // Exact decimal text: the column's NUMERIC affinity makes it an integer or a real when that
            // loses nothing, and keeps the text otherwise.
            texts.push_back(CurrencyToText(v.AsCurrencyScaled()));
            return sqlite3_bind_text64(st, i, texts.back().data(), texts.back().size(), SQLITE_STATIC,
                                       SQLITE_UTF8);
        case varDate:
            texts.push_back(DayNumberToTimestamp(v.AsDouble()));
            return sqlite3_bind_text64(st, i, texts.back().data(), texts.back().size(), SQLITE_STATIC,
                                       SQLITE_UTF8);
        default:
            if (v.IsNumeric())
                return sqlite3_bind_int64(st, i, v.AsInt64());
            texts.push_back(Cp1252ToUtf8(v.AsString()));
            return sqlite3_bind_text64(st, i, texts.back().data(), texts.back().size(), SQLITE_STATIC,
                                       SQLITE_UTF8);
        }
    }

    sqlite3* mDb = nullptr;
    std::vector<TXCached> mCache;
};

} // namespace

TXEngineSQLite::TXEngineSQLite(std::string path) : TXEngineBase(kMaxConnections), mPath(std::move(path)) {
    CreateOwnTables();
}

TXEngineSQLite::~TXEngineSQLite() {
    DropPool();
    std::lock_guard lock(mGenMutex);
    mGenIdle.clear();
}

std::unique_ptr<TXEngineConnection> TXEngineSQLite::Connect() {
    return std::make_unique<TXSQLiteConnection>(mPath, false);
}

std::unique_ptr<TXEngineConnection> TXEngineSQLite::AcquireGenerator() {
    {
        std::lock_guard lock(mGenMutex);
        if (!mGenIdle.empty()) {
            auto c = std::move(mGenIdle.back());
            mGenIdle.pop_back();
            return c;
        }
    }
    return std::make_unique<TXSQLiteConnection>(mPath, true);
}

void TXEngineSQLite::ReleaseGenerator(std::unique_ptr<TXEngineConnection> c) {
    if (!c)
        return;
    try {
        c->Rollback();
    } catch (...) {
        return; // dropped
    }
    std::lock_guard lock(mGenMutex);
    mGenIdle.push_back(std::move(c));
}

void TXEngineSQLite::BeginGenerator(TXEngineConnection& c) {
    static_cast<TXSQLiteConnection&>(c).BeginDeferred();
}

std::vector<std::string> TXEngineSQLite::ColumnsOf(TXEngineConnection& c, const std::string& table) {
    auto r = c.Execute("SELECT name FROM pragma_table_info(:t, 'main')",
                       {TXEngineParam{"t", TXVariant::FromString(table)}});
    std::vector<std::string> out;
    for (auto& row : r.rows)
        out.push_back(UpperAscii(row[0].AsString()));
    return out;
}
