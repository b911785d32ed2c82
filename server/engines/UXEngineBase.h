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
    // Connections for the generators (by default the pool's own).
    virtual std::unique_ptr<TXEngineConnection> AcquireGenerator() { return Acquire(); }
    virtual void ReleaseGenerator(std::unique_ptr<TXEngineConnection> c) { Release(std::move(c)); }
    // Generators run in a transaction of their own, begun here (SQLite: deferred, see there).
    virtual void BeginGenerator(TXEngineConnection& c) { c.Begin(); }
    // Where XDS_SEQUENCE is created (plain DML finds it by its name alone).
    virtual std::string SequenceTable() const { return "XDS_SEQUENCE"; }
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
