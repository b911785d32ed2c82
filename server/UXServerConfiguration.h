#pragma once
// One configuration as the running server holds it: its definition, its database (opened on a
// worker, never on the I/O thread) and the queue of connections asking for its exclusive use.

#include "server/UXServerOptions.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

class TXEngine;

class TXServerConfiguration {
public:
    enum class TXState { Closed, Opening, Open, Failed };

    explicit TXServerConfiguration(TXConfigurationDef def) : mDef(std::move(def)) {}
    const TXConfigurationDef& Def() const { return mDef; }
    const std::string& Name() const { return mDef.name; }
    bool CheckPassword(std::string_view password) const { return password == mDef.password; }

    TXState State(std::string* error = nullptr) const;
    // Closed or Failed -> Opening. True when the caller must now run OpenNow (on a worker thread).
    bool BeginOpen();
    // Opens the database and sets Open or Failed.
    void OpenNow();
    std::shared_ptr<TXEngine> Engine() const; // null unless open
    void Close();

    // Connection keys, head first; the head holds the configuration exclusively. I/O thread only.
    std::deque<uint64_t> lockQueue;
    // Held by the worker that changes the database structure: a holder that dropped its connection
    // may still be applying when the next one is granted the lock.
    std::mutex upgradeMutex;

private:
    TXConfigurationDef mDef;
    mutable std::mutex mMutex;
    TXState mState = TXState::Closed;
    std::string mError;
    std::shared_ptr<TXEngine> mEngine;
};
