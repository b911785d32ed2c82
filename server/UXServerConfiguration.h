#pragma once
// One configuration as the running server holds it: its definition, its database (opened on a
// worker, never on the I/O thread) and the queue of connections asking for its exclusive use.

#include "foundation/UXVersion.h"
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

    // The stored version as last read or written, so VERSION is answered without a database call.
    // Whoever may store a version calls BeginVersionStore before (on the I/O thread, when accepting
    // the request, so a VERSION queued behind it never sees the old one) and EndVersionStore after,
    // with the version stored or nullptr on failure. Overlapping stores leave nothing cached.
    bool CachedVersion(TXVersion& v) const; // false unless open and known
    uint64_t BeginVersionStore();
    void EndVersionStore(uint64_t token, const TXVersion* stored);
    // A reader takes the stamp before reading the database; the value is kept only if no store
    // began or ended in between.
    uint64_t VersionStamp() const;
    void OfferVersion(uint64_t stamp, const TXVersion& v);

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
    uint64_t mVersionGen = 0;
    int mVersionStores = 0;
    bool mVersionKnown = false;
    TXVersion mVersion;
};
