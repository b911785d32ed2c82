#pragma once
// The data server: one I/O thread (accept, read, take packets apart, write) and a worker pool for
// everything that touches a database.

#include "server/UXServerOptions.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class TXSemaphoreTable;
class TXServerConfiguration;
class TXWorkerPool;
struct TXData;
struct TXServerConnection;
struct TXServerOutlet;
struct TXTCPPack;

class TXDataServer {
public:
    explicit TXDataServer(TXServerOptions options);
    ~TXDataServer();
    TXDataServer(const TXDataServer&) = delete;
    TXDataServer& operator=(const TXDataServer&) = delete;

    // Starts opening the configurations, listens and writes the port file. Throws std::runtime_error.
    void Start();
    uint16_t Port() const { return mPort; }
    // The I/O loop; returns after Stop, once every session has been closed.
    void Run();
    // Safe from a signal handler and from any thread.
    void Stop();

    // From any thread: queue a packet for a connection (dropped when it has gone).
    void SendTo(uint64_t connKey, std::string service, std::string command, std::string payload);

private:
    using TXConnPtr = std::unique_ptr<TXServerConnection>;

    void Post(std::function<void()> fn);
    void Wake();
    void RunPosted();
    void AcceptAll();
    bool ReadFrom(TXServerConnection& c);
    void Flush(TXServerConnection& c);
    void FlushLocked(TXServerOutlet& o);
    void Send(TXServerConnection& c, std::string_view service, std::string_view command, std::string payload);
    // On the I/O thread: sent behind whatever workers have posted for sending and not yet sent.
    void SendAfterPosted(TXServerConnection& c, std::string service, std::string command,
                         std::string payload);
    // From a worker: the packet goes out at once on the calling thread when nothing is waiting before it.
    void SendDirect(TXServerOutlet& o, std::string_view service, std::string_view command,
                    std::string payload);
    void AppendLocked(TXServerOutlet& o, std::string_view service, std::string_view command,
                      std::string payload);
    void CloseConnection(uint64_t key, const std::string& reason);
    void CheckTimers();
    int NextTimeoutMs() const;
    uint16_t NewConnectionId();

    void Dispatch(TXServerConnection& c, TXTCPPack& p);
    void HandleAuth(TXServerConnection& c, const TXTCPPack& p);
    void HandleCfg(TXServerConnection& c, const TXTCPPack& p);
    void HandleSess(TXServerConnection& c, const TXTCPPack& p);
    // UPGRADEBEGIN, UPGRADEEND and SETVERSION (the configuration is known and logged in).
    void HandleUpgrade(TXServerConnection& c, const TXTCPPack& p, TXData& d, const std::string& cfgName,
                       const std::shared_ptr<TXServerConfiguration>& cfg);
    bool HoldsExclusive(const TXServerConnection& c, const TXServerConfiguration& cfg) const;

    std::shared_ptr<TXServerConfiguration> FindCfg(std::string_view name) const;
    // True when the connection passed CHECK for it; otherwise answers MUSTBELOGGED.
    bool RequireLogin(TXServerConnection& c, std::string_view cfgName);
    void StartOpen(const std::shared_ptr<TXServerConfiguration>& cfg);
    void LeaveLockQueues(TXServerConnection& c);
    void SendErr(TXServerConnection& c, std::string_view code, std::string payload);

    TXServerOptions mOptions;
    std::unique_ptr<TXWorkerPool> mPool;
    std::unique_ptr<TXSemaphoreTable> mSemaphores;
    std::map<std::string, std::shared_ptr<TXServerConfiguration>> mConfigs; // by upper-cased name
    // Per lock-queue entry: the name the waiting connection used, echoed in LOCKEXCLUSIVE.
    std::map<std::pair<std::string, uint64_t>, std::string> mLockNames;

    int mListenFd = -1;
    int mEpollFd = -1;
    int mWakeFd = -1;
    uint16_t mPort = 0;
    std::atomic<bool> mStopping{false};

    std::map<uint64_t, TXConnPtr> mConnections; // by key
    std::map<int, uint64_t> mByFd;
    uint64_t mNextKey = 1;
    uint64_t mNextSessionOwner = 1;
    uint16_t mNextId = 0;

    std::mutex mPostedMutex;
    std::vector<std::function<void()>> mPosted;
};
