#include "dataserver/UXSQLSessionGUI.h"

#include "dataserver/UXDataClient.h"
#include "foundation/UCp1252.h"

#include <stdexcept>

TXSQLSessionGUI::TXSQLSessionGUI(QObject* parent) : QObject(parent) {}

TXSQLSessionGUI::~TXSQLSessionGUI() {
    try {
        Release();
    } catch (...) {
        // a destructor never throws; the server drops the session with the connection
    }
}

void TXSQLSessionGUI::Loaded() {
    if (Designing || Session())
        return;
    TXDataClient* dc = DC ? DC.data() : TXDataClient::Default();
    if (!dc)
        throw std::runtime_error("TXDataClient error: Connection not active");
    TXSQLSession& s = dc->CreateSession(OP, CFG, &TXSQLSessionGUI::Dispatch, this);
    mSession = &s;
    mClient = dc;
    for (auto it = mPending.rbegin(); it != mPending.rend(); ++it)
        s.AddNotify(it->Proc, it->Object);
    mPending.clear();
}

TXSQLSession* TXSQLSessionGUI::Session() const {
    // The data client owns the session: once it is gone, so is the session.
    return mClient ? mSession : nullptr;
}

TXSQLSession& TXSQLSessionGUI::Checked() const {
    TXSQLSession* s = Session();
    if (!s)
        throw std::runtime_error(Utf8ToCp1252("Sessão não inicializada")); // shown by the dialogs
    return *s;
}

std::string TXSQLSessionGUI::IdOrNext(const std::string& id) {
    if (!id.empty())
        return id;
    return IdPrefix + std::to_string(mNextId++);
}

TXSQL& TXSQLSessionGUI::SQL() {
    return Checked().SQL();
}

void TXSQLSessionGUI::Select(const std::string& id) {
    TXSQLSession& s = Checked();
    s.Select(IdOrNext(id));
}

void TXSQLSessionGUI::Command(const std::string& id) {
    TXSQLSession& s = Checked();
    s.Command(IdOrNext(id));
}

void TXSQLSessionGUI::StartTransaction() {
    Checked().StartTransaction();
}

void TXSQLSessionGUI::Commit(const std::string& id) {
    TXSQLSession& s = Checked();
    s.Commit(IdOrNext(id));
}

void TXSQLSessionGUI::Rollback() {
    Checked().Rollback();
}

TXSQL* TXSQLSessionGUI::FindSQL(const std::string& id) {
    return Checked().FindSQL(id);
}

void TXSQLSessionGUI::FreeSQL(const std::string& id) {
    Checked().FreeSQL(id);
}

void TXSQLSessionGUI::FreeSQL(TXSQL* statement) {
    Checked().FreeSQL(statement);
}

void TXSQLSessionGUI::Sequence(const std::string& id, const std::string& table, const std::string& field,
                               int32_t quantity) {
    TXSQLSession& s = Checked();
    s.Sequence(IdOrNext(id), table, field, quantity);
}

void TXSQLSessionGUI::FreeSequence(const std::string& table, const std::string& field, int64_t value,
                                   int32_t quantity) {
    Checked().FreeSequence(table, field, value, quantity);
}

void TXSQLSessionGUI::SemaphoreAcquire(const std::string& semaphore, const std::string& data,
                                       const std::string& key, bool firstOption, bool secondOption) {
    Checked().SemaphoreAcquire(semaphore, data, key, firstOption, secondOption);
}

void TXSQLSessionGUI::SemaphoreRelease(const std::string& semaphore, const std::string& key) {
    Checked().SemaphoreRelease(semaphore, key);
}

int32_t TXSQLSessionGUI::PendingSelects() {
    return Checked().PendingSelects();
}

bool TXSQLSessionGUI::InTransaction() {
    return Checked().InTransaction();
}

bool TXSQLSessionGUI::Ready() const {
    const TXSQLSession* s = Session();
    return s && s->Ready();
}

void TXSQLSessionGUI::AddNotify(TXSQLSessionNotifyProc proc, void* object) {
    if (TXSQLSession* s = Session())
        s->AddNotify(proc, object);
    else
        mPending.push_back({proc, object});
}

void TXSQLSessionGUI::RemoveNotify(TXSQLSessionNotifyProc proc, void* object) {
    if (TXSQLSession* s = Session()) {
        s->RemoveNotify(proc, object);
        return;
    }
    const TXSQLSessionNotifyCall call{proc, object};
    for (auto it = mPending.rbegin(); it != mPending.rend(); ++it)
        if (*it == call) {
            mPending.erase(std::next(it).base());
            return;
        }
}

void TXSQLSessionGUI::Release() {
    TXSQLSession* s = Session();
    if (!s)
        return;
    s->Release();
    // Released, or left in use while disconnected: either way it is no longer this component's.
    s->RemoveNotify(&TXSQLSessionGUI::Dispatch, this);
    mSession = nullptr;
    mClient.clear();
}

void TXSQLSessionGUI::Dispatch(void* object, TXSQLSession& session) {
    static_cast<TXSQLSessionGUI*>(object)->Dispatch(session);
}

void TXSQLSessionGUI::Dispatch(TXSQLSession& s) {
    const std::string id = s.EventId;
    switch (s.EventCode) {
    case seCommand:
        if (OnCommand)
            OnCommand(*this, id);
        break;
    case seCreateError:
        if (OnCreateError)
            OnCreateError(*this, s.EventError);
        break;
    case seFetch:
    case seFetchStruct: {
        TXSQL* sql = s.FindSQL(id);
        bool abort = false;
        if (sql) {
            if (s.EventCode == seFetch) {
                if (OnFetch)
                    OnFetch(*this, id, *sql, s.EventStart, s.EventCount, abort);
            } else if (OnFetchStruct) {
                OnFetchStruct(*this, id, *sql, s.EventCount, abort);
            }
        }
        if (!sql || abort)
            s.EventCode = seNone;
        break;
    }
    case seSelect:
        if (TXSQL* sql = s.FindSQL(id); sql && OnSelect)
            OnSelect(*this, id, *sql);
        break;
    case seSequence:
        if (OnSequence)
            OnSequence(*this, id, s.EventTable, s.EventField, s.EventValue, s.EventQuantity);
        break;
    case seSequenceError:
        if (OnSequenceError)
            OnSequenceError(*this, id, s.EventTable, s.EventField, s.EventError);
        break;
    case seSemaphoreAcquired:
        if (OnSemaphoreAcquired)
            OnSemaphoreAcquired(*this, s.EventSemaphore, s.EventSemaphoreData, s.EventSemaphoreId);
        break;
    case seSemaphoreInUse:
        if (OnSemaphoreInUse)
            OnSemaphoreInUse(*this, s.EventSemaphore, s.EventSemaphoreData, s.EventSemaphoreId);
        break;
    case seSQLError:
        if (OnSQLError)
            OnSQLError(*this, id, s.EventError);
        break;
    case seReady:
        if (OnReady)
            OnReady(*this);
        break;
    default:
        break;
    }
}
