#pragma once
// The component through which a screen runs SQL: one session of the data client, its events as
// handlers, generated statement ids and the write-back commands of the statements.

#include "dataserver/UXSQLSession.h"
#include "sql/UXSQLCommandSink.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TXDataClient;

class TXSQLSessionGUI : public QObject, public TXSQLCommandSink {
    Q_OBJECT
public:
    explicit TXSQLSessionGUI(QObject* parent = nullptr);
    ~TXSQLSessionGUI() override; // releases the session

    std::string CFG; // empty: the data client's DefaultCFG
    std::string OP;
    QPointer<TXDataClient> DC; // empty: the process-wide default data client
    std::string IdPrefix;
    bool Designing = false; // a component being designed never opens a session

    // Opens the session once the properties are set ("TXDataClient error: Connection not active" when the
    // data client is not connected).
    void Loaded();
    TXSQLSession* Session() const;

    TXSQL& SQL() override;
    void Select(const std::string& id = {});
    void Command(const std::string& id) override;
    void Command() { Command(std::string()); }
    void StartTransaction();
    void Commit(const std::string& id = {});
    void Rollback();
    TXSQL* FindSQL(const std::string& id);
    void FreeSQL(const std::string& id);
    void FreeSQL(TXSQL* statement);
    void Sequence(const std::string& id, const std::string& table, const std::string& field,
                  int32_t quantity);
    void FreeSequence(const std::string& table, const std::string& field, int64_t value, int32_t quantity);
    void SemaphoreAcquire(const std::string& semaphore, const std::string& data, const std::string& key,
                          bool firstOption, bool secondOption);
    void SemaphoreRelease(const std::string& semaphore, const std::string& key);
    int32_t PendingSelects();
    bool InTransaction();
    bool Ready() const;
    // Before the session exists the calls wait here and move to it when it is created.
    void AddNotify(TXSQLSessionNotifyProc proc, void* object);
    void RemoveNotify(TXSQLSessionNotifyProc proc, void* object);
    // Releases the session now (as destruction does).
    void Release();

    std::function<void(TXSQLSessionGUI& sender, const std::string& pid)> OnCommand;
    std::function<void(TXSQLSessionGUI& sender, const std::string& perror)> OnCreateError;
    std::function<void(TXSQLSessionGUI& sender, const std::string& pid, TXSQL& psql, int32_t pstart,
                       int32_t pcount, bool& AbortFetch)>
        OnFetch;
    std::function<void(TXSQLSessionGUI& sender, const std::string& pid, TXSQL& psql, int32_t pcount,
                       bool& AbortFetch)>
        OnFetchStruct;
    std::function<void(TXSQLSessionGUI& sender)> OnReady;
    std::function<void(TXSQLSessionGUI& sender, const std::string& pid, TXSQL& psql)> OnSelect;
    std::function<void(TXSQLSessionGUI& sender, const std::string& smf, const std::string& smfdata,
                       const std::string& smfid)>
        OnSemaphoreAcquired;
    std::function<void(TXSQLSessionGUI& sender, const std::string& smf, const std::string& smfdata,
                       const std::string& smfid)>
        OnSemaphoreInUse;
    std::function<void(TXSQLSessionGUI& sender, const std::string& pid, const std::string& ptable,
                       const std::string& pfield, int64_t value, int32_t qtd)>
        OnSequence;
    std::function<void(TXSQLSessionGUI& sender, const std::string& pid, const std::string& ptable,
                       const std::string& pfield, const std::string& perror)>
        OnSequenceError;
    std::function<void(TXSQLSessionGUI& sender, const std::string& pid, const std::string& perror)>
        OnSQLError;

private:
    static void Dispatch(void* object, TXSQLSession& session);
    void Dispatch(TXSQLSession& session);
    TXSQLSession& Checked() const; // "Sessão não inicializada"
    std::string IdOrNext(const std::string& id);

    TXSQLSession* mSession = nullptr;
    QPointer<TXDataClient> mClient; // the one the session belongs to
    int64_t mNextId = 0;
    std::vector<TXSQLSessionNotifyCall> mPending;
};
