#pragma once
// One SQL session held open on the data server: statements sent under ids, results filled in page by
// page, generators, semaphores and the session's transaction. Owned by the data client's session list.

#include "foundation/UXObject.h"
#include "sql/UXSQL.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TXDataClient;
class TXSQLSession;
struct TXTCPPack;

// Codes of the last event; a notify call may set 0 during a fetch event to abandon the fetch.
enum TXSQLSessionEvent : int32_t {
    seNone = 0,
    seCommand = 1,
    seCreateError = 2,
    seFetch = 3,
    seFetchStruct = 4,
    seSelect = 5,
    seSequence = 6,
    seSequenceError = 7,
    seSemaphoreAcquired = 8,
    seSemaphoreInUse = 9,
    seSQLError = 10,
    seReady = 11,
};

using TXSQLSessionNotifyProc = void (*)(void* object, TXSQLSession& session);

struct TXSQLSessionNotifyCall {
    TXSQLSessionNotifyProc Proc = nullptr;
    void* Object = nullptr;
    bool operator==(const TXSQLSessionNotifyCall&) const = default;
};

class TXSQLSession : public TXObject {
public:
    TXSQLSession(TXDataClient& client, int32_t csid);
    ~TXSQLSession() override;
    TXSQLSession(const TXSQLSession&) = delete;
    TXSQLSession& operator=(const TXSQLSession&) = delete;

    TXDataClient& Client() const { return mClient; }
    int32_t CSID() const { return mCSID; }
    const std::string& CFG() const { return mCFG; }
    const std::string& OP() const { return mOP; }
    int32_t SSID() const { return mSSID; }
    bool Active() const { return mActive; }
    bool InTransaction() const { return mInTransaction; }
    int32_t PendingSelects() const { return mPendingSelects; }
    bool Ready() const { return mActive && mSSID >= 0; }

    // The statement being built; replaced by a fresh one each time one is sent.
    TXSQL& SQL() { return *mSQL; }

    void Select(const std::string& id);
    void Command(const std::string& id);
    TXSQL* FindSQL(const std::string& id) const;
    void FreeSQL(const std::string& id);
    void FreeSQL(TXSQL* statement);
    // Ids in use (statements and pending generator requests), sorted without regard to case.
    std::vector<std::string> Ids() const;

    void Sequence(const std::string& id, const std::string& table, const std::string& field,
                  int32_t quantity);
    void FreeSequence(const std::string& table, const std::string& field, int64_t value, int32_t quantity);
    void SemaphoreAcquire(const std::string& semaphore, const std::string& data, const std::string& key,
                          bool firstOption, bool secondOption);
    void SemaphoreRelease(const std::string& semaphore, const std::string& key);

    void StartTransaction();
    void Commit(const std::string& id);
    void Rollback();

    void AddNotify(TXSQLSessionNotifyProc proc, void* object);
    void RemoveNotify(TXSQLSessionNotifyProc proc, void* object); // the last registration of it

    // Rolls back, frees the statements and the server's session, frees the slot; does nothing while the
    // data client is not connected (the slot then stays in use).
    void Release();

    // The last event, read by the notify calls.
    int32_t EventCode = seNone;
    std::string EventId;
    int32_t EventStart = 0;
    int32_t EventCount = 0;
    std::string EventTable;
    std::string EventField;
    int64_t EventValue = 0;
    int32_t EventQuantity = 0;
    std::string EventError;
    std::string EventSemaphore;
    std::string EventSemaphoreData;
    std::string EventSemaphoreId;

    // A "SESS" packet from the server, for the sessions of client.
    static void Receive(TXDataClient& client, TXTCPPack& pack);

private:
    friend class TXDataClient;

    struct TEntry {
        std::unique_ptr<TXSQL> sql; // empty for a generator request
        bool pendingSelect = false; // counted in PendingSelects
    };
    struct TLess {
        bool operator()(const std::string& a, const std::string& b) const;
    };

    void Reset(std::string_view cfg, std::string_view op);
    void Send(const std::string& id, bool isSelect);
    void Head(TXData& d) const; // I CSID, S cfg, I SSID
    void SendData(std::string_view command, const TXData& d);
    void Notify(int32_t code);
    void SelectDone(TEntry& e);
    void RequestPage(const std::string& id); // FETCH: the next page of a SELECT
    TEntry* Entry(const std::string& id, int32_t number);
    void ClearEvent();

    void OnCreate(TXData& d);
    void OnFetchStruct(TXData& d);
    void OnFetch(TXData& d);
    void OnSQLError(TXData& d);
    void OnSequence(TXData& d, bool error);
    void OnSemaphore(TXData& d, int32_t code);

    TXDataClient& mClient;
    const int32_t mCSID;
    std::string mCFG;
    std::string mOP;
    int32_t mSSID = -1;
    bool mActive = false;
    bool mInTransaction = false;
    int32_t mPendingSelects = 0;
    int32_t mNextNumber = 0;
    std::unique_ptr<TXSQL> mSQL;
    std::map<std::string, TEntry, TLess> mStatements;
    std::vector<TXSQLSessionNotifyCall> mNotify;
};
