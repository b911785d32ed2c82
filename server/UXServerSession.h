#pragma once
// One SQL session of a connection. Everything it does runs on its own serial queue on the worker
// pool: its statements never overlap, and a statement that waits on the database holds back
// nobody else.

#include "server/UXSessRequest.h"
#include "sql/UXSQLWireRows.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class TXEngine;
class TXEngineConnection;
class TXSemaphoreTable;
class TXSerialQueue;
class TXServerConfiguration;
class TXWorkerPool;

class TXServerSession : public std::enable_shared_from_this<TXServerSession> {
public:
    // Sends one reply on the session service to the session's connection (from any thread).
    using TXSend = std::function<void(std::string_view command, std::string payload)>;

    TXServerSession(uint64_t owner, int32_t csid, int32_t ssid, std::shared_ptr<TXServerConfiguration> cfg,
                    TXSemaphoreTable& semaphores, TXWorkerPool& pool, TXSend send);
    ~TXServerSession();

    int32_t Csid() const { return mCsid; }
    int32_t Ssid() const { return mSsid; }
    const TXServerConfiguration& Configuration() const { return *mCfg; }

    // Queue a request behind the session's earlier ones. A FREESQL of an id that has no result kept
    // or coming (every COMMAND's) changes nothing and is dropped here, without waking a worker.
    void Enqueue(TXSessRequest request);
    // Queue the end: the open transaction is rolled back, statements and semaphores freed.
    void Close();

    static constexpr size_t kPageBytes = 64 * 1024;

private:
    struct TXResult {
        int32_t number = -1;
        std::vector<TXSQLWireField> fields;
        TXSQLWireRows rows; // encoded and cut into pages as the engine reads them
    };

    void Handle(const TXSessRequest& r);
    void RunStatement(const TXSessRequest& r, bool isSelect);
    void Fetch(const TXSessRequest& r);
    void FreeSql(const TXSessRequest& r);
    void Sequence(const TXSessRequest& r);
    void SemaphoreAcquire(const TXSessRequest& r);
    void SemaphoreRelease(const TXSessRequest& r);
    void DoClose();
    void NoteSelectDone(const std::string& key);
    void RollbackOpen();
    void SqlError(const std::string& id, const std::string& text);
    void CommandDone(const std::string& id);

    uint64_t mOwner;
    int32_t mCsid;
    int32_t mSsid;
    std::shared_ptr<TXServerConfiguration> mCfg;
    TXSemaphoreTable& mSemaphores;
    std::shared_ptr<TXSerialQueue> mQueue;
    TXSend mSend;

    // Worker-side state, touched only by tasks of mQueue.
    std::shared_ptr<TXEngine> mTxEngine;              // engine of the open transaction
    std::unique_ptr<TXEngineConnection> mTransaction; // held only while a transaction is open
    bool mFailed = false; // a statement of the current transaction failed; the rest is refused
    bool mClosed = false;
    std::map<std::string, TXResult> mResults; // by upper-cased id

    // Upper-cased ids of SELECTs queued and not yet run, and the keys of mResults; shared with the
    // thread that enqueues.
    std::mutex mIdsMutex;
    std::map<std::string, int> mQueuedSelects;
    std::set<std::string> mHeld;
    int mQueuedAcquires = 0; // SEMAPHOREACQUIREs queued and not yet run
};
