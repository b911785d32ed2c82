#include "server/UXServerConfiguration.h"

#include "server/UXServerLog.h"
#include "server/engines/UXEngine.h"

TXServerConfiguration::TXState TXServerConfiguration::State(std::string* error) const {
    std::lock_guard lock(mMutex);
    if (error)
        *error = mError;
    return mState;
}

bool TXServerConfiguration::BeginOpen() {
    std::lock_guard lock(mMutex);
    if (mState == TXState::Opening || mState == TXState::Open)
        return false;
    mState = TXState::Opening;
    return true;
}

void TXServerConfiguration::OpenNow() {
    std::shared_ptr<TXEngine> engine;
    std::string error;
    try {
        engine = TXEngine::Open(mDef.engine, mDef.location);
    } catch (const std::exception& e) {
        error = e.what();
        if (error.empty())
            error = "cannot open the database";
    }
    std::lock_guard lock(mMutex);
    if (engine) {
        mEngine = std::move(engine);
        mState = TXState::Open;
        mError.clear();
        ServerLog("configuration " + mDef.name + ": " + mDef.engine + " database open");
    } else {
        mState = TXState::Failed;
        mError = error;
        ServerLog("configuration " + mDef.name + ": cannot open the " + mDef.engine + " database: " + error);
    }
}

std::shared_ptr<TXEngine> TXServerConfiguration::Engine() const {
    std::lock_guard lock(mMutex);
    return mState == TXState::Open ? mEngine : nullptr;
}

void TXServerConfiguration::Close() {
    std::lock_guard lock(mMutex);
    mEngine.reset();
    mState = TXState::Closed;
    mVersionKnown = false;
    ++mVersionGen;
}

bool TXServerConfiguration::CachedVersion(TXVersion& v) const {
    std::lock_guard lock(mMutex);
    if (mState != TXState::Open || !mVersionKnown)
        return false;
    v = mVersion;
    return true;
}

uint64_t TXServerConfiguration::BeginVersionStore() {
    std::lock_guard lock(mMutex);
    ++mVersionStores;
    mVersionKnown = false;
    return ++mVersionGen;
}

void TXServerConfiguration::EndVersionStore(uint64_t token, const TXVersion* stored) {
    std::lock_guard lock(mMutex);
    --mVersionStores;
    // Another store that began meanwhile may have committed before this one: trust neither.
    mVersionKnown = stored && mVersionStores == 0 && mVersionGen == token;
    if (mVersionKnown)
        mVersion = *stored;
    ++mVersionGen;
}

uint64_t TXServerConfiguration::VersionStamp() const {
    std::lock_guard lock(mMutex);
    return mVersionGen;
}

void TXServerConfiguration::OfferVersion(uint64_t stamp, const TXVersion& v) {
    std::lock_guard lock(mMutex);
    if (mVersionGen != stamp || mVersionStores != 0)
        return;
    mVersionKnown = true;
    mVersion = v;
}
