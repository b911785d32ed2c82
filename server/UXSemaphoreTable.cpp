#include "server/UXSemaphoreTable.h"

bool TXSemaphoreTable::Acquire(const std::string& cfg, const std::string& name, const std::string& key,
                               uint64_t owner) {
    std::lock_guard lock(mMutex);
    auto [it, inserted] = mHeld.try_emplace({cfg, name, key}, owner);
    return inserted || it->second == owner;
}

bool TXSemaphoreTable::Release(const std::string& cfg, const std::string& name, const std::string& key,
                               uint64_t owner) {
    std::lock_guard lock(mMutex);
    auto it = mHeld.find({cfg, name, key});
    if (it == mHeld.end() || it->second != owner)
        return false;
    mHeld.erase(it);
    return true;
}

void TXSemaphoreTable::ReleaseAll(uint64_t owner) {
    std::lock_guard lock(mMutex);
    for (auto it = mHeld.begin(); it != mHeld.end();)
        it = it->second == owner ? mHeld.erase(it) : std::next(it);
}

size_t TXSemaphoreTable::Count() const {
    std::lock_guard lock(mMutex);
    return mHeld.size();
}
