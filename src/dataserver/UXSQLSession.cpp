#include "dataserver/UXSQLSession.h"

#include "dataserver/UXDataClient.h"
#include "dataserver/UXTCPPack.h"
#include "foundation/UXData.h"
#include "foundation/UXDialogs.h"
#include "foundation/UXText.h"

#include <algorithm>
#include <stdexcept>

namespace {

// Internal inconsistencies of a reply: raised inside the packet dispatch, which logs and drops it.
[[noreturn]] void Inconsistent(const std::string& text) {
    throw std::runtime_error(text);
}

} // namespace

// ---- data client side ---------------------------------------------------------------------------

TXSQLSession& TXDataClient::CreateSession(std::string_view op, std::string_view cfg,
                                          void (*notify)(void* object, TXSQLSession& session), void* object) {
    if (!Active())
        throw std::runtime_error("TXDataClient error: Connection not active");
    if (!mSess->OnPackReceive)
        mSess->OnPackReceive = [this](TXTCPClientService&, TXTCPPack& p) { TXSQLSession::Receive(*this, p); };
    const std::string name = cfg.empty() ? DefaultCFG : std::string(cfg);
    TXSQLSession* s = nullptr;
    for (auto& slot : mSessions)
        if (!slot->Active()) {
            s = slot.get();
            break;
        }
    if (!s) {
        mSessions.push_back(std::make_unique<TXSQLSession>(*this, static_cast<int32_t>(mSessions.size())));
        s = mSessions.back().get();
    }
    s->Reset(name, op);
    if (notify)
        s->AddNotify(notify, object);
    TXData d;
    Init(d);
    PutI(d, s->CSID());
    PutS(d, s->CFG());
    PutS(d, s->OP());
    Finish(d);
    s->SendData("CREATE", d);
    return *s;
}

TXSQLSession* TXDataClient::Session(int32_t csid) const {
    if (csid < 0 || csid >= static_cast<int32_t>(mSessions.size()))
        return nullptr;
    return mSessions[static_cast<size_t>(csid)].get();
}

// ---- session ------------------------------------------------------------------------------------

bool TXSQLSession::TLess::operator()(const std::string& a, const std::string& b) const {
    return LowerCase(a) < LowerCase(b);
}

TXSQLSession::TXSQLSession(TXDataClient& client, int32_t csid)
    : TXObject("TXSQLSession"), mClient(client), mCSID(csid), mSQL(std::make_unique<TXSQL>(mNextNumber++)) {}

TXSQLSession::~TXSQLSession() = default;

void TXSQLSession::Reset(std::string_view cfg, std::string_view op) {
    mCFG = std::string(cfg);
    mOP = std::string(op);
    mSSID = -1;
    mActive = true;
    mInTransaction = false;
    mPendingSelects = 0;
    mStatements.clear();
    mNotify.clear();
    mSQL = std::make_unique<TXSQL>(mNextNumber++);
    ClearEvent();
}

void TXSQLSession::Head(TXData& d) const {
    PutI(d, mCSID);
    PutS(d, mCFG);
    PutI(d, mSSID);
}

void TXSQLSession::SendData(std::string_view command, const TXData& d) {
    mClient.SessService().SendData(0, command, d);
}

TXSQL* TXSQLSession::FindSQL(const std::string& id) const {
    const auto it = mStatements.find(id);
    return it == mStatements.end() ? nullptr : it->second.sql.get();
}

std::vector<std::string> TXSQLSession::Ids() const {
    std::vector<std::string> ids;
    for (const auto& [id, e] : mStatements)
        ids.push_back(id);
    return ids;
}

void TXSQLSession::Select(const std::string& id) {
    Send(id, true);
}

void TXSQLSession::Command(const std::string& id) {
    Send(id, false);
}

void TXSQLSession::Send(const std::string& id, bool isSelect) {
    if (mStatements.count(id))
        throw std::runtime_error("id " + id + " already in use");
    const TXSQLTransactionStatus mark = mSQL->TransactionMark;
    mSQL->IsSelect = isSelect;
    TXData d;
    Init(d);
    Head(d);
    PutS(d, id);
    if (isSelect)
        PutI(d, mSQL->Number);
    mSQL->SaveToData(d);
    Finish(d);
    if (isSelect)
        mSQL->Records().Complete = false;
    SendData(isSelect ? "SELECT" : "COMMAND", d);

    TEntry& e = mStatements[id];
    e.sql = std::move(mSQL);
    e.pendingSelect = isSelect;
    mSQL = std::make_unique<TXSQL>(mNextNumber++);
    if (mark == tsStart || mark == tsRunning)
        mSQL->TransactionMark = tsRunning;
    if (isSelect)
        ++mPendingSelects;
}

void TXSQLSession::FreeSQL(const std::string& id) {
    const auto it = mStatements.find(id);
    if (it == mStatements.end())
        return;
    TEntry& e = it->second;
    if (e.sql) {
        TXData d;
        Init(d);
        Head(d);
        PutS(d, it->first);
        PutI(d, e.sql->Number);
        Finish(d);
        // Before the server's id is known there is nothing on its side to free.
        if (mSSID >= 0)
            SendData("FREESQL", d);
    }
    if (e.pendingSelect)
        --mPendingSelects;
    mStatements.erase(it);
}

void TXSQLSession::FreeSQL(TXSQL* statement) {
    if (!statement)
        return;
    for (const auto& [id, e] : mStatements)
        if (e.sql.get() == statement) {
            const std::string key = id;
            FreeSQL(key);
            return;
        }
}

void TXSQLSession::Sequence(const std::string& id, const std::string& table, const std::string& field,
                            int32_t quantity) {
    if (mStatements.count(id))
        throw std::runtime_error("id " + id + " already in use");
    TXData d;
    Init(d);
    Head(d);
    PutS(d, id);
    PutS(d, table);
    PutS(d, field);
    PutI(d, quantity);
    Finish(d);
    SendData("SEQUENCE", d);
    mStatements[id];
}

void TXSQLSession::FreeSequence(const std::string& table, const std::string& field, int64_t value,
                                int32_t quantity) {
    TXData d;
    Init(d);
    PutS(d, mCFG);
    PutS(d, table);
    PutS(d, field);
    PutI64(d, value);
    PutI(d, quantity);
    Finish(d);
    SendData("FREESEQUENCE", d);
}

void TXSQLSession::SemaphoreAcquire(const std::string& semaphore, const std::string& data,
                                    const std::string& key, bool firstOption, bool secondOption) {
    TXData d;
    Init(d);
    Head(d);
    PutS(d, semaphore);
    PutS(d, data);
    PutS(d, key);
    PutBool(d, firstOption);
    PutBool(d, secondOption);
    Finish(d);
    SendData("SEMAPHOREACQUIRE", d);
}

void TXSQLSession::SemaphoreRelease(const std::string& semaphore, const std::string& key) {
    TXData d;
    Init(d);
    Head(d);
    PutS(d, semaphore);
    PutS(d, key);
    Finish(d);
    SendData("SEMAPHORERELEASE", d);
}

void TXSQLSession::StartTransaction() {
    if (mInTransaction)
        throw std::runtime_error("Session already in transaction");
    mInTransaction = true;
    mSQL->TransactionMark = tsStart;
}

void TXSQLSession::Commit(const std::string& id) {
    if (!mInTransaction)
        throw std::runtime_error("Session not in transaction");
    // A taken id must not leave the transaction half ended.
    if (mSQL->TransactionMark == tsRunning && mStatements.count(id))
        throw std::runtime_error("id " + id + " already in use");
    mInTransaction = false;
    if (mSQL->TransactionMark == tsRunning) {
        mSQL->TransactionMark = tsCommit;
        Command(id);
        mSQL->TransactionMark = tsNone;
        return;
    }
    mSQL->TransactionMark = tsNone;
    ClearEvent();
    EventId = id;
    Notify(seCommand);
}

void TXSQLSession::Rollback() {
    if (!mInTransaction)
        throw std::runtime_error("Session not in transaction");
    mInTransaction = false;
    if (mSQL->TransactionMark == tsRunning) {
        mSQL->ClearParams();
        mSQL->ClearSQL();
    }
    mSQL->TransactionMark = tsNone;
}

void TXSQLSession::AddNotify(TXSQLSessionNotifyProc proc, void* object) {
    mNotify.push_back({proc, object});
}

void TXSQLSession::RemoveNotify(TXSQLSessionNotifyProc proc, void* object) {
    const TXSQLSessionNotifyCall call{proc, object};
    for (auto it = mNotify.rbegin(); it != mNotify.rend(); ++it)
        if (*it == call) {
            mNotify.erase(std::next(it).base());
            return;
        }
}

void TXSQLSession::Release() {
    if (!mActive)
        return;
    if (mInTransaction)
        Rollback();
    if (!mClient.Active())
        return;
    mActive = false;
    while (!mStatements.empty()) {
        const std::string id = mStatements.begin()->first;
        FreeSQL(id);
    }
    mNotify.clear();
    // Without a server id the CREATE reply is still to come; it is answered with FREE when it arrives.
    if (mSSID >= 0) {
        TXData d;
        Init(d);
        Head(d);
        Finish(d);
        SendData("FREE", d);
    }
    mPendingSelects = 0;
}

void TXSQLSession::ClearEvent() {
    EventCode = seNone;
    EventId.clear();
    EventStart = 0;
    EventCount = 0;
    EventTable.clear();
    EventField.clear();
    EventValue = 0;
    EventQuantity = 0;
    EventError.clear();
    EventSemaphore.clear();
    EventSemaphoreData.clear();
    EventSemaphoreId.clear();
}

// From the last registered to the first. A call may remove others or release the session: each is
// checked to be still registered before it runs.
void TXSQLSession::Notify(int32_t code) {
    EventCode = code;
    const std::vector<TXSQLSessionNotifyCall> calls = mNotify;
    for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
        if (std::find(mNotify.begin(), mNotify.end(), *it) == mNotify.end())
            continue;
        it->Proc(it->Object, *this);
    }
}

TXSQLSession::TEntry* TXSQLSession::Entry(const std::string& id, int32_t number) {
    const auto it = mStatements.find(id);
    if (it == mStatements.end() || !it->second.sql)
        return nullptr;
    if (number != -1 && number != it->second.sql->Number)
        return nullptr;
    return &it->second;
}

void TXSQLSession::SelectDone(TEntry& e) {
    if (e.pendingSelect) {
        e.pendingSelect = false;
        --mPendingSelects;
    }
}

// ---- replies ------------------------------------------------------------------------------------

void TXSQLSession::Receive(TXDataClient& client, TXTCPPack& pack) {
    const std::string& c = pack.Command;
    if (c == "UNKNOWNCFG") {
        ShowError("unknown cfg");
        return;
    }
    if (c == "UNKNOWNOP") {
        TXData d;
        Load(d, pack.Payload);
        GetI(d);
        ShowError("unknown op: " + GetS(d));
        return;
    }
    if (c == "UNKNOWNSESS") {
        ShowError("unknown sess");
        return;
    }
    if (c == "UNKNOWNSQLID")
        return;

    TXData d;
    Load(d, pack.Payload);
    const int32_t csid = GetI(d);
    TXSQLSession* s = client.Session(csid);
    if (c == "CREATE") {
        if (s)
            s->OnCreate(d);
        return;
    }
    if (!s || !s->Active()) {
        std::string id;
        if (!d.AtEnd())
            id = GetS(d);
        Inconsistent("csid não encontrado para " + id);
    }
    if (c == "FETCHSTRUCT")
        s->OnFetchStruct(d);
    else if (c == "FETCH")
        s->OnFetch(d);
    else if (c == "SQLERROR")
        s->OnSQLError(d);
    else if (c == "SEQUENCE")
        s->OnSequence(d, false);
    else if (c == "SEQUENCEERROR")
        s->OnSequence(d, true);
    else if (c == "SEMAPHOREACQUIRED")
        s->OnSemaphore(d, seSemaphoreAcquired);
    else if (c == "SEMAPHOREINUSE")
        s->OnSemaphore(d, seSemaphoreInUse);
}

void TXSQLSession::OnCreate(TXData& d) {
    const std::string cfg = GetS(d);
    const std::string op = GetS(d);
    const bool ok = GetBool(d);
    const int32_t ssid = ok ? GetI(d) : -1;
    auto freeOrphan = [&] {
        TXData f;
        Init(f);
        PutI(f, mCSID);
        PutS(f, cfg);
        PutI(f, ssid);
        Finish(f);
        SendData("FREE", f);
    };
    // A reply for an earlier occupant of the slot: the server's session is not wanted.
    if (!mActive || (ok && mSSID >= 0)) {
        if (ok)
            freeOrphan();
        return;
    }
    std::string error;
    if (!SameText(cfg, mCFG))
        error = "wrong CFG";
    else if (op != mOP)
        error = "wrong OP";
    else if (!ok)
        error = "can't create session";
    ClearEvent();
    if (!error.empty()) {
        if (ok)
            freeOrphan();
        EventError = error;
        Notify(seCreateError);
        return;
    }
    mSSID = ssid;
    Notify(seReady);
}

void TXSQLSession::RequestPage(const std::string& id) {
    TXData f;
    Init(f);
    Head(f);
    PutS(f, id);
    PutB(f, 1);
    Finish(f);
    SendData("FETCH", f);
}

void TXSQLSession::OnFetchStruct(TXData& d) {
    const std::string id = GetS(d);
    const int32_t number = GetI(d);
    const int32_t total = GetI(d);
    TEntry* e = Entry(id, number);
    if (!e)
        Inconsistent("sql " + id + " não encontrado");
    TXSQL* sql = e->sql.get();
    sql->FetchStructIn(d, total);
    sql->Records().Complete = false; // until the page that fills the last placeholder
    ClearEvent();
    EventId = id;
    EventCount = total;
    Notify(seFetchStruct);
    if (EventCode == seNone || !mActive || Entry(id, number) != e || e->sql.get() != sql)
        return;
    RequestPage(id);
}

void TXSQLSession::OnFetch(TXData& d) {
    const std::string id = GetS(d);
    const int32_t number = GetI(d);
    TEntry* e = Entry(id, number);
    if (!e)
        Inconsistent("sql " + id + " não encontrado");
    TXSQL* sql = e->sql.get();
    if (!sql->IsSelect) {
        ClearEvent();
        EventId = id;
        Notify(seCommand);
        FreeSQL(id);
        return;
    }
    const TXSQLFetchResult r = sql->FetchIn(d);
    ClearEvent();
    EventId = id;
    EventStart = r.First;
    EventCount = r.Count;
    Notify(seFetch);
    if (!mActive || Entry(id, number) != e || e->sql.get() != sql)
        return; // freed or released by a handler
    const bool complete = sql->Records().Complete;
    // An empty page before the end would make the fetch loop forever: the result ends there.
    const bool abandoned = EventCode == seNone || (r.Count == 0 && !complete);
    if (abandoned)
        SelectDone(*e);
    if (complete) {
        SelectDone(*e);
        ClearEvent();
        EventId = id;
        Notify(seSelect);
        return;
    }
    if (abandoned)
        return;
    RequestPage(id);
}

void TXSQLSession::OnSQLError(TXData& d) {
    const std::string id = GetS(d);
    const std::string text = GetS(d);
    ClearEvent();
    EventId = id;
    EventError = text;
    Notify(seSQLError);
    if (!mActive)
        return;
    const auto it = mStatements.find(id);
    if (it != mStatements.end() && it->second.sql)
        FreeSQL(id);
}

void TXSQLSession::OnSequence(TXData& d, bool error) {
    const std::string id = GetS(d);
    const std::string table = GetS(d);
    const std::string field = GetS(d);
    const auto it = mStatements.find(id);
    if (it == mStatements.end())
        Inconsistent(error ? "sql id não encontrado :" + id : "sql " + id + " não encontrado");
    if (it->second.sql)
        Inconsistent("id " + id + ": object isn't nil");
    ClearEvent();
    EventId = id;
    EventTable = table;
    EventField = field;
    if (error) {
        EventError = GetS(d);
    } else {
        EventValue = GetI64(d);
        EventQuantity = GetI(d);
    }
    mStatements.erase(it);
    Notify(error ? seSequenceError : seSequence);
}

void TXSQLSession::OnSemaphore(TXData& d, int32_t code) {
    ClearEvent();
    EventSemaphore = GetS(d);
    EventSemaphoreData = GetS(d);
    EventSemaphoreId = GetS(d);
    Notify(code);
}
