#include "server/UXServerSession.h"

#include "foundation/UXData.h"
#include "server/UXSemaphoreTable.h"
#include "server/UXSerialQueue.h"
#include "server/UXServerConfiguration.h"
#include "server/UXServerLog.h"
#include "server/engines/UXEngine.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

bool Blank(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isspace(c); });
}

// The text the client is told for every statement of a transaction that was already rolled back.
constexpr const char* kRolledBack = "ROLLBACK";

// A SELECT's rows, encoded for the pages as the engine reads them; a COMMAND's are dropped.
class TXPageRowSink : public TXEngineRowSink {
public:
    explicit TXPageRowSink(bool keep) : mKeep(keep) {}
    void Columns(const std::vector<TXEngineColumn>& columns) override {
        std::vector<TXSQLStructDataType> types;
        for (const auto& c : columns) {
            fields.push_back({c.name, c.type, c.size});
            types.push_back(c.type);
        }
        rows = TXSQLWireRows(std::move(types), TXServerSession::kPageBytes);
    }
    void Row(std::vector<TXVariant>& values) override {
        if (mKeep)
            rows.Add(values);
    }

    std::vector<TXSQLWireField> fields;
    TXSQLWireRows rows;

private:
    bool mKeep;
};

} // namespace

TXServerSession::TXServerSession(uint64_t owner, int32_t csid, int32_t ssid,
                                 std::shared_ptr<TXServerConfiguration> cfg, TXSemaphoreTable& semaphores,
                                 TXWorkerPool& pool, TXSend send)
    : mOwner(owner), mCsid(csid), mSsid(ssid), mCfg(std::move(cfg)), mSemaphores(semaphores),
      mQueue(TXSerialQueue::Create(pool)), mSend(std::move(send)) {}

TXServerSession::~TXServerSession() {
    // Normally DoClose ran already; this covers a session dropped without it.
    try {
        RollbackOpen();
    } catch (...) {
    }
    mSemaphores.ReleaseAll(mOwner);
}

void TXServerSession::Enqueue(TXSessRequest request) {
    if (request.kind == TXSessKind::Select || request.kind == TXSessKind::FreeSql) {
        const std::string key = Upper(request.id);
        std::lock_guard lock(mIdsMutex);
        if (request.kind == TXSessKind::Select)
            ++mQueuedSelects[key];
        else if (!mQueuedSelects.count(key) && !mHeld.count(key))
            return;
    }
    // A release takes effect before the next request of any connection is read, unless an acquire
    // of this session is still queued before it.
    if (request.kind == TXSessKind::SemaphoreAcquire || request.kind == TXSessKind::SemaphoreRelease) {
        std::lock_guard lock(mIdsMutex);
        if (request.kind == TXSessKind::SemaphoreAcquire) {
            ++mQueuedAcquires;
        } else if (mQueuedAcquires == 0) {
            SemaphoreRelease(request);
            return;
        }
    }
    mQueue->Post([self = shared_from_this(), r = std::move(request)] { self->Handle(r); });
}

void TXServerSession::Close() {
    mSemaphores.ReleaseAll(mOwner); // at once; the queued close releases what is acquired before it
    mQueue->Post([self = shared_from_this()] { self->DoClose(); });
}

void TXServerSession::Handle(const TXSessRequest& r) {
    if (r.kind == TXSessKind::SemaphoreAcquire) {
        SemaphoreAcquire(r);
        return;
    }
    if (mClosed) {
        if (r.kind == TXSessKind::Select)
            NoteSelectDone(Upper(r.id));
        return;
    }
    switch (r.kind) {
    case TXSessKind::Select:
        RunStatement(r, true);
        NoteSelectDone(Upper(r.id));
        break;
    case TXSessKind::Command:
        RunStatement(r, false);
        break;
    case TXSessKind::Fetch:
        Fetch(r);
        break;
    case TXSessKind::FreeSql:
        FreeSql(r);
        break;
    case TXSessKind::Sequence:
        Sequence(r);
        break;
    case TXSessKind::SemaphoreAcquire:
        SemaphoreAcquire(r);
        break;
    case TXSessKind::SemaphoreRelease:
        SemaphoreRelease(r);
        break;
    default:
        break;
    }
}

// After a SELECT ran (or was skipped): it is no longer coming, and its result is kept or not.
void TXServerSession::NoteSelectDone(const std::string& key) {
    std::lock_guard lock(mIdsMutex);
    auto q = mQueuedSelects.find(key);
    if (q != mQueuedSelects.end() && --q->second <= 0)
        mQueuedSelects.erase(q);
    if (mResults.count(key))
        mHeld.insert(key);
    else
        mHeld.erase(key);
}

void TXServerSession::SqlError(const std::string& id, const std::string& text) {
    TXData d;
    Init(d);
    PutI(d, mCsid);
    PutS(d, id);
    PutS(d, text);
    Finish(d);
    mSend("SQLERROR", std::move(d.Data));
}

void TXServerSession::CommandDone(const std::string& id) {
    TXData d;
    Init(d);
    PutI(d, mCsid);
    PutS(d, id);
    PutI(d, -1);
    Finish(d);
    mSend("FETCH", std::move(d.Data));
}

void TXServerSession::RollbackOpen() {
    if (!mTransaction)
        return;
    auto engine = std::move(mTxEngine);
    auto conn = std::move(mTransaction);
    try {
        conn->Rollback();
    } catch (const std::exception& e) {
        ServerLog(std::string("session rollback failed: ") + e.what());
    }
    engine->Release(std::move(conn));
}

// The statement's transaction mark drives the session's one transaction: tsStart begins (rolling
// back one still open), tsRunning continues, tsCommit commits. Once a statement of the transaction
// fails, the transaction is rolled back and its remaining statements, commit included, are refused
// with "ROLLBACK" instead of running outside it.
void TXServerSession::RunStatement(const TXSessRequest& r, bool isSelect) {
    const std::string& id = r.id;
    TXSQLTransactionStatus mark = tsNone;
    if (!TransactionStatusFromName(r.statement.transactionMark, mark)) {
        SqlError(id, "unknown transaction mark " + r.statement.transactionMark);
        return;
    }
    switch (mark) {
    case tsNone:
    case tsStart:
    case tsRollBack:
        RollbackOpen();
        mFailed = false;
        break;
    case tsRunning:
    case tsCommit:
        if (mFailed || !mTransaction) {
            if (mark == tsCommit)
                mFailed = false; // the commit ends the refused transaction
            SqlError(id, kRolledBack);
            return;
        }
        break;
    }
    const bool hasText = !Blank(r.statement.text);
    if (mark == tsRollBack && !hasText) {
        CommandDone(id);
        return;
    }

    std::shared_ptr<TXEngine> engine = mTransaction ? mTxEngine : mCfg->Engine();
    if (!engine) {
        if (mark == tsStart)
            mFailed = true;
        SqlError(id, "configuration " + mCfg->Name() + " is not open");
        return;
    }
    std::unique_ptr<TXEngineConnection> single; // for a statement outside a transaction
    TXPageRowSink rows(isSelect);
    try {
        if (mark == tsStart) {
            mTransaction = engine->Acquire();
            mTxEngine = engine;
            mTransaction->Begin();
        }
        TXEngineConnection* conn = mTransaction.get();
        if (!conn) {
            single = engine->Acquire();
            conn = single.get();
        }
        if (hasText)
            conn->Execute(r.statement.text, EngineParams(r.statement.params), rows);
        if (single)
            engine->Release(std::move(single));
        if (mark == tsCommit) {
            mTransaction->Commit();
            auto c = std::move(mTransaction);
            mTxEngine.reset();
            engine->Release(std::move(c));
        }
    } catch (const std::exception& e) {
        std::string text = e.what();
        if (text.empty())
            text = "SQL error";
        if (single)
            engine->Release(std::move(single));
        if (mTransaction) {
            RollbackOpen();
        }
        if (mark == tsStart || mark == tsRunning)
            mFailed = true;
        SqlError(id, text);
        return;
    }

    if (!isSelect) {
        CommandDone(id);
        return;
    }
    TXResult res;
    res.number = r.number;
    res.fields = std::move(rows.fields);
    res.rows = std::move(rows.rows);
    TXData d;
    Init(d);
    PutI(d, mCsid);
    PutS(d, id);
    PutI(d, r.number);
    PutI(d, static_cast<int32_t>(res.rows.Count()));
    WriteStructure(d, res.fields);
    Finish(d);
    mResults[Upper(id)] = std::move(res);
    mSend("FETCHSTRUCT", std::move(d.Data));
}

void TXServerSession::Fetch(const TXSessRequest& r) {
    auto it = mResults.find(Upper(r.id));
    if (it == mResults.end()) {
        mSend("UNKNOWNSQLID", {});
        return;
    }
    TXResult& res = it->second;
    TXData d;
    Init(d);
    PutI(d, mCsid);
    PutS(d, r.id);
    PutI(d, res.number);
    res.rows.TakePage(d); // freed as it goes; after the last page, empty ones
    Finish(d);
    mSend("FETCH", std::move(d.Data));
}

void TXServerSession::FreeSql(const TXSessRequest& r) {
    auto it = mResults.find(Upper(r.id));
    if (it != mResults.end() &&
        (r.number == -1 || it->second.number == -1 || it->second.number == r.number)) {
        std::lock_guard lock(mIdsMutex);
        mHeld.erase(it->first);
        mResults.erase(it);
    }
}

void TXServerSession::Sequence(const TXSessRequest& r) {
    TXData d;
    Init(d);
    PutI(d, mCsid);
    PutS(d, r.id);
    PutS(d, r.table);
    PutS(d, r.field);
    std::string error;
    int64_t first = 0;
    if (r.quantity < 1) {
        error = "invalid quantity " + std::to_string(r.quantity);
    } else if (auto engine = mCfg->Engine(); !engine) {
        error = "configuration " + mCfg->Name() + " is not open";
    } else {
        try {
            first = engine->SequenceReserve(r.table, r.field, r.quantity);
        } catch (const std::exception& e) {
            error = e.what();
            if (error.empty())
                error = "sequence error";
        }
    }
    if (error.empty()) {
        PutI64(d, first);
        PutI(d, r.quantity);
        Finish(d);
        mSend("SEQUENCE", std::move(d.Data));
    } else {
        PutS(d, error);
        Finish(d);
        mSend("SEQUENCEERROR", std::move(d.Data));
    }
}

// The two options are accepted and carry no meaning here: every semaphore is exclusive per
// (configuration, semaphore, key) across all connections, is never queued (a busy one is answered
// SEMAPHOREINUSE at once) and is granted again to the session that holds it.
void TXServerSession::SemaphoreAcquire(const TXSessRequest& r) {
    bool granted = false;
    {
        // Taken and no longer counted as queued in one step, before the reply lets the client go on:
        // a release read after it is then applied at once and after it.
        std::lock_guard lock(mIdsMutex);
        --mQueuedAcquires;
        if (mClosed)
            return;
        granted = mSemaphores.Acquire(Upper(mCfg->Name()), Upper(r.semaphore), r.key, mOwner);
    }
    TXData d;
    Init(d);
    PutI(d, mCsid);
    PutS(d, r.semaphore);
    PutS(d, r.data);
    PutS(d, r.key);
    Finish(d);
    mSend(granted ? "SEMAPHOREACQUIRED" : "SEMAPHOREINUSE", std::move(d.Data));
}

void TXServerSession::SemaphoreRelease(const TXSessRequest& r) {
    mSemaphores.Release(Upper(mCfg->Name()), Upper(r.semaphore), r.key, mOwner);
}

void TXServerSession::DoClose() {
    if (mClosed)
        return;
    mClosed = true;
    RollbackOpen();
    mFailed = false;
    mResults.clear();
    {
        std::lock_guard lock(mIdsMutex);
        mHeld.clear();
    }
    mSemaphores.ReleaseAll(mOwner);
}
