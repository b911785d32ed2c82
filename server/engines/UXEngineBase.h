#pragma once
// What both engines share: the connection pool, the stored version and the generators, all in plain
// SQL that SQLite and PostgreSQL both run.

#include <condition_variable>
#include <mutex>

#include "server/engines/UXEngine.h"

class TXEngineBase : public TXEngine {
public:
    std::unique_ptr<TXEngineConnection> Acquire() override;
    void Release(std::unique_ptr<TXEngineConnection> c) override;
    TXVersion StoredVersion() override;
    void StoreVersion(const TXVersion& v) override;
    int64_t SequenceReserve(std::string_view table, std::string_view column, int32_t count) override;
    void SequenceFree(std::string_view table, std::string_view column, int64_t first, int32_t count) override;

protected:
    explicit TXEngineBase(size_t maxConnections);
    // Derived constructors call this once their first connection works.
    void CreateOwnTables();
    void DropPool(); // derived destructors: close connections while the derived object still exists

    virtual std::unique_ptr<TXEngineConnection> Connect() = 0;
    virtual bool Usable(TXEngineConnection&) { return true; }
    // Runs first inside the transaction that creates the server's tables (PostgreSQL serialises it).
    virtual void LockForCreate(TXEngineConnection&) {}
    // Column names (upper case) of a table; empty when there is no such table.
    virtual std::vector<std::string> ColumnsOf(TXEngineConnection& c, const std::string& table) = 0;

private:
    class Lease;
    std::mutex mMutex;
    std::condition_variable mFree;
    std::vector<std::unique_ptr<TXEngineConnection>> mIdle;
    size_t mOpen = 0;
    size_t mMax;
};
