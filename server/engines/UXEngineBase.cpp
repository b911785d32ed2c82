#include "server/engines/UXEngineBase.h"

#include <chrono>

#include "server/engines/UXEngineValues.h"

namespace {
constexpr auto kAcquireWait = std::chrono::seconds(60);

TXEngineParam P(std::string name, TXVariant v) {
    return TXEngineParam{std::move(name), std::move(v), false};
}
} // namespace

// A pooled connection for the engine's own work, rolled back and returned at every end.
class TXEngineBase::Lease {
public:
    explicit Lease(TXEngineBase& e, bool generator = false)
        : mEngine(e), mGenerator(generator), mConn(generator ? e.AcquireGenerator() : e.Acquire()) {}
    ~Lease() {
        if (mGenerator)
            mEngine.ReleaseGenerator(std::move(mConn));
        else
            mEngine.Release(std::move(mConn));
    }
    TXEngineConnection* operator->() { return mConn.get(); }
    TXEngineConnection& operator*() { return *mConn; }

private:
    TXEngineBase& mEngine;
    bool mGenerator;
    std::unique_ptr<TXEngineConnection> mConn;
};

TXEngineBase::TXEngineBase(size_t maxConnections) : mMax(maxConnections) {}

void TXEngineBase::DropPool() {
    std::lock_guard lock(mMutex);
    mOpen -= mIdle.size();
    mIdle.clear();
}

std::unique_ptr<TXEngineConnection> TXEngineBase::Acquire() {
    std::unique_lock lock(mMutex);
    for (;;) {
        if (!mFree.wait_for(lock, kAcquireWait, [&] { return !mIdle.empty() || mOpen < mMax; }))
            throw EXEngineError("no free database connection");
        if (mIdle.empty())
            break;
        auto c = std::move(mIdle.back());
        mIdle.pop_back();
        lock.unlock();
        if (Usable(*c))
            return c;
        c.reset(); // lost while idle (server restarted): open a fresh one instead
        lock.lock();
        --mOpen;
    }
    ++mOpen;
    lock.unlock();
    try {
        return Connect();
    } catch (...) {
        lock.lock();
        --mOpen;
        mFree.notify_one();
        throw;
    }
}

void TXEngineBase::Release(std::unique_ptr<TXEngineConnection> c) {
    if (!c)
        return;
    bool keep = true;
    try {
        if (c->InTransaction())
            c->Rollback();
        keep = Usable(*c) && !c->InTransaction();
    } catch (...) {
        keep = false;
    }
    if (!keep)
        c.reset(); // closed outside the lock
    std::lock_guard lock(mMutex);
    if (keep)
        mIdle.push_back(std::move(c));
    else
        --mOpen;
    mFree.notify_one();
}

void TXEngineBase::CreateOwnTables() {
    {
        Lease c(*this);
        c->Begin();
        LockForCreate(*c);
        c->Execute("CREATE TABLE IF NOT EXISTS XDS_VERSION (VERSION_TEXT VARCHAR(40) NOT NULL)", {});
        c->Commit();
    }
    Lease g(*this, true);
    BeginGenerator(*g);
    LockForCreate(*g);
    g->Execute(
        "CREATE TABLE IF NOT EXISTS " + SequenceTable() +
            " (TABLE_NAME VARCHAR(128) NOT NULL, COLUMN_NAME VARCHAR(128) NOT NULL, "
            "NEXT_VALUE BIGINT NOT NULL, CONSTRAINT XPKXDS_SEQUENCE PRIMARY KEY (TABLE_NAME, COLUMN_NAME))",
        {});
    g->Commit();
}

TXVersion TXEngineBase::StoredVersion() {
    Lease c(*this);
    auto r = c->Execute("SELECT VERSION_TEXT FROM XDS_VERSION", {});
    if (r.rows.empty() || r.rows[0].empty() || r.rows[0][0].IsEmptyOrNull()) {
        TXVersion none;
        none.Invalid = true;
        return none;
    }
    return StrToVersion(r.rows[0][0].AsString());
}

void TXEngineBase::StoreVersion(const TXVersion& v) {
    Lease c(*this);
    c->Begin();
    c->Execute("DELETE FROM XDS_VERSION", {});
    c->Execute("INSERT INTO XDS_VERSION (VERSION_TEXT) VALUES (:v)",
               {P("v", TXVariant::FromString(VersionToStr(v)))});
    c->Commit();
}

int64_t TXEngineBase::SequenceReserve(std::string_view table, std::string_view column, int32_t count) {
    if (!IsPlainIdentifier(table))
        throw EXEngineError("invalid table name '" + std::string(table) + "'");
    if (!IsPlainIdentifier(column))
        throw EXEngineError("invalid column name '" + std::string(column) + "'");
    if (count < 0)
        throw EXEngineError("invalid sequence quantity " + std::to_string(count));
    const std::string t = UpperAscii(table), col = UpperAscii(column);
    const std::vector<TXEngineParam> key{P("t", TXVariant::FromString(t)),
                                         P("c", TXVariant::FromString(col))};

    auto upParams = key;
    upParams.push_back(P("q", TXVariant::FromInt64(count)));
    static constexpr std::string_view bump =
        "UPDATE XDS_SEQUENCE SET NEXT_VALUE = NEXT_VALUE + :q "
        "WHERE TABLE_NAME = :t AND COLUMN_NAME = :c RETURNING NEXT_VALUE";

    // Its own connection and transaction: a client's rollback never hands the same values out twice.
    // The write comes first so the generator row is locked before anything is read.
    Lease c(*this, true);
    BeginGenerator(*c);
    auto u = c->Execute(bump, upParams);
    if (u.rows.empty()) {
        auto cols = ColumnsOf(*c, t);
        if (cols.empty())
            throw EXEngineError("sequence " + t + "." + col + ": table " + t + " does not exist");
        bool found = false;
        for (auto& name : cols)
            found = found || name == col;
        if (!found)
            throw EXEngineError("sequence " + t + "." + col + ": column " + col +
                                " does not exist in table " + t);
        auto m = c->Execute("SELECT MAX(" + col + ") FROM " + t, {});
        int64_t seed = 1;
        if (!m.rows.empty() && !m.rows[0][0].IsEmptyOrNull()) {
            auto type = m.columns[0].type;
            if (type == sftString || type == sftBlob || type == sftDateTime)
                throw EXEngineError("sequence " + t + "." + col + ": column " + col + " is not numeric");
            seed = m.rows[0][0].AsInt64() + 1;
        }
        auto seedParams = key;
        seedParams.push_back(P("n", TXVariant::FromInt64(seed)));
        c->Execute("INSERT INTO XDS_SEQUENCE (TABLE_NAME, COLUMN_NAME, NEXT_VALUE) VALUES (:t, :c, :n) "
                   "ON CONFLICT (TABLE_NAME, COLUMN_NAME) DO NOTHING",
                   seedParams);
        u = c->Execute(bump, upParams);
        if (u.rows.empty())
            throw EXEngineError("sequence " + t + "." + col + ": no generator row");
    }
    int64_t next = u.rows[0][0].AsInt64();
    c->Commit();
    return next - count;
}

void TXEngineBase::SequenceFree(std::string_view table, std::string_view column, int64_t first,
                                int32_t count) {
    if (count <= 0)
        return;
    Lease c(*this, true);
    // Only when nothing was handed out after this run.
    c->Execute("UPDATE XDS_SEQUENCE SET NEXT_VALUE = :f WHERE TABLE_NAME = :t AND COLUMN_NAME = :c "
               "AND NEXT_VALUE = :e",
               {P("t", TXVariant::FromString(UpperAscii(table))),
                P("c", TXVariant::FromString(UpperAscii(column))), P("f", TXVariant::FromInt64(first)),
                P("e", TXVariant::FromInt64(first + count))});
}
