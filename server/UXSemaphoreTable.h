#pragma once
// Named semaphores of the sessions: one holder per (configuration, semaphore, key) across all
// connections. They live in memory only and die with their session.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

class TXSemaphoreTable {
public:
    // Granted when free or already held by this owner.
    bool Acquire(const std::string& cfg, const std::string& name, const std::string& key, uint64_t owner);
    // Frees it only when this owner holds it; true when it did.
    bool Release(const std::string& cfg, const std::string& name, const std::string& key, uint64_t owner);
    void ReleaseAll(uint64_t owner);
    size_t Count() const;

private:
    mutable std::mutex mMutex;
    std::map<std::tuple<std::string, std::string, std::string>, uint64_t> mHeld;
};
