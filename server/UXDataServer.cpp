#include "server/UXDataServer.h"

#include "dataserver/UXAuthKey.h"
#include "foundation/UXCipher.h"
#include "foundation/UXData.h"
#include "foundation/UXVersion.h"
#include "server/UXPacket.h"
#include "server/UXSemaphoreTable.h"
#include "server/UXSerialQueue.h"
#include "server/UXServerConfiguration.h"
#include "server/UXServerConnection.h"
#include "server/UXServerLog.h"
#include "server/UXServerSession.h"
#include "server/UXSessRequest.h"
#include "server/UXWorkerPool.h"
#include "server/engines/UXEngine.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <set>
#include <stdexcept>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using TXClock = std::chrono::steady_clock;

// Replies waiting for a client that does not read them; beyond this the connection is closed.
constexpr size_t kMaxPendingOut = 256u * 1024 * 1024;

std::string Upper(std::string_view s) {
    std::string u(s);
    std::transform(u.begin(), u.end(), u.begin(), [](unsigned char c) { return std::toupper(c); });
    return u;
}

std::string SysError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::string Payload(const std::function<void(TXData&)>& write) {
    TXData d;
    Init(d);
    write(d);
    Finish(d);
    return std::move(d.Data);
}

void WritePortFile(const std::string& path, uint16_t port) {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << port << '\n';
        if (!out)
            throw std::runtime_error("cannot write the port file " + tmp);
    }
    std::filesystem::rename(tmp, path);
}

// Known operation names of sessions.
bool KnownOp(std::string_view op) {
    const std::string u = Upper(op);
    return u == "LOGIN" || u == "GERAL";
}

} // namespace

TXDataServer::TXDataServer(TXServerOptions options)
    : mOptions(std::move(options)), mPool(std::make_unique<TXWorkerPool>(4, 256)),
      mSemaphores(std::make_unique<TXSemaphoreTable>()) {
    for (const auto& def : mOptions.configurations)
        mConfigs[Upper(def.name)] = std::make_shared<TXServerConfiguration>(def);
    mWakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

TXDataServer::~TXDataServer() {
    for (auto& [key, c] : mConnections) {
        std::lock_guard lock(c->outlet->mutex);
        c->outlet->fd = -1;
        if (c->fd >= 0)
            close(c->fd);
    }
    mPool->Shutdown();
    if (mListenFd >= 0)
        close(mListenFd);
    if (mEpollFd >= 0)
        close(mEpollFd);
    if (mWakeFd >= 0)
        close(mWakeFd);
}

// Opening runs on a thread of its own: a database that does not answer (a hung PostgreSQL host) must
// hold back neither the workers nor a shutdown.
void TXDataServer::StartOpen(const std::shared_ptr<TXServerConfiguration>& cfg) {
    if (cfg->BeginOpen())
        std::thread([cfg] { cfg->OpenNow(); }).detach();
}

void TXDataServer::Start() {
    if (mWakeFd < 0)
        throw std::runtime_error(SysError("eventfd"));
    for (auto& [name, cfg] : mConfigs)
        StartOpen(cfg);
    // Give the databases a moment so that the first logins rarely meet CFGOPENING.
    const auto deadline = TXClock::now() + std::chrono::seconds(3);
    while (TXClock::now() < deadline) {
        bool opening = false;
        for (auto& [name, cfg] : mConfigs)
            opening = opening || cfg->State() == TXServerConfiguration::TXState::Opening;
        if (!opening)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(mOptions.listenPort);
    const std::string host = mOptions.listenHost == "localhost" ? "127.0.0.1" : mOptions.listenHost;
    if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1)
        throw std::runtime_error("not an IPv4 address: " + mOptions.listenHost);
    mListenFd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (mListenFd < 0)
        throw std::runtime_error(SysError("socket"));
    const int one = 1;
    setsockopt(mListenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(mListenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        throw std::runtime_error(
            SysError(("bind " + host + ":" + std::to_string(mOptions.listenPort)).c_str()));
    if (listen(mListenFd, 128) != 0)
        throw std::runtime_error(SysError("listen"));
    socklen_t len = sizeof addr;
    getsockname(mListenFd, reinterpret_cast<sockaddr*>(&addr), &len);
    mPort = ntohs(addr.sin_port);

    mEpollFd = epoll_create1(EPOLL_CLOEXEC);
    if (mEpollFd < 0)
        throw std::runtime_error(SysError("epoll_create1"));
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = mListenFd;
    epoll_ctl(mEpollFd, EPOLL_CTL_ADD, mListenFd, &ev);
    ev.data.fd = mWakeFd;
    epoll_ctl(mEpollFd, EPOLL_CTL_ADD, mWakeFd, &ev);

    ServerLog("listening on " + host + ":" + std::to_string(mPort));
    if (!mOptions.portFile.empty())
        WritePortFile(mOptions.portFile, mPort);
}

void TXDataServer::Stop() {
    mStopping.store(true);
    Wake();
}

void TXDataServer::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] auto n = write(mWakeFd, &one, sizeof one);
}

void TXDataServer::Post(std::function<void()> fn) {
    {
        std::lock_guard lock(mPostedMutex);
        mPosted.push_back(std::move(fn));
    }
    Wake();
}

void TXDataServer::SendTo(uint64_t connKey, std::string service, std::string command, std::string payload) {
    Post([this, connKey, s = std::move(service), c = std::move(command), p = std::move(payload)]() mutable {
        auto it = mConnections.find(connKey);
        if (it != mConnections.end())
            Send(*it->second, s, c, std::move(p));
    });
}

void TXDataServer::SendAfterPosted(TXServerConnection& c, std::string service, std::string command,
                                   std::string payload) {
    {
        std::lock_guard lock(mPostedMutex);
        if (!mPosted.empty()) { // the loop is woken for those already
            mPosted.push_back([this, key = c.key, s = std::move(service), cmd = std::move(command),
                               p = std::move(payload)]() mutable {
                auto it = mConnections.find(key);
                if (it != mConnections.end())
                    Send(*it->second, s, cmd, std::move(p));
            });
            return;
        }
    }
    Send(c, service, command, std::move(payload));
}

void TXDataServer::RunPosted() {
    uint64_t count = 0;
    [[maybe_unused]] auto n = read(mWakeFd, &count, sizeof count);
    std::vector<std::function<void()>> posted;
    {
        std::lock_guard lock(mPostedMutex);
        posted.swap(mPosted);
    }
    for (auto& fn : posted)
        fn();
}

void TXDataServer::Run() {
    std::vector<epoll_event> events(64);
    while (!mStopping.load()) {
        const int n = epoll_wait(mEpollFd, events.data(), static_cast<int>(events.size()), NextTimeoutMs());
        if (n < 0 && errno != EINTR) {
            ServerLog(SysError("epoll_wait"));
            break;
        }
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == mListenFd) {
                AcceptAll();
                continue;
            }
            if (fd == mWakeFd) {
                RunPosted();
                continue;
            }
            auto byFd = mByFd.find(fd);
            if (byFd == mByFd.end())
                continue;
            const uint64_t key = byFd->second;
            TXServerConnection& c = *mConnections.at(key);
            if (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) {
                if (!ReadFrom(c))
                    continue; // closed
            }
            if (events[i].events & EPOLLOUT)
                Flush(c);
        }
        CheckTimers();
        // Replies queued by this round go out now.
        std::vector<uint64_t> overflowed;
        for (auto& [key, c] : mConnections) {
            std::lock_guard lock(c->outlet->mutex);
            if (c->outlet->outPos < c->outlet->out.size() && !c->outlet->wantWrite)
                FlushLocked(*c->outlet);
            if (c->outlet->overflow)
                overflowed.push_back(key);
        }
        for (uint64_t key : overflowed)
            CloseConnection(key, "the client does not read its replies");
    }

    ServerLog("stopping: closing " + std::to_string(mConnections.size()) + " connection(s)");
    std::vector<uint64_t> keys;
    for (auto& [key, c] : mConnections)
        keys.push_back(key);
    for (uint64_t key : keys)
        CloseConnection(key, "server stopping");
    // Every session's last task rolls its transaction back; wait for them before the engines go.
    mPool->Shutdown();
    for (auto& [name, cfg] : mConfigs)
        cfg->Close();
    ServerLog("stopped");
}

int TXDataServer::NextTimeoutMs() const {
    if (mConnections.empty())
        return 1000;
    const auto now = TXClock::now();
    auto next = now + std::chrono::seconds(1);
    const auto idle = std::chrono::milliseconds(mOptions.idleTimeoutMs);
    for (const auto& [key, c] : mConnections) {
        next = std::min(next, c->nextKeepAlive);
        next = std::min(next, c->lastReceived + idle);
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::clamp<long long>(ms + 1, 0, 1000));
}

void TXDataServer::CheckTimers() {
    const auto now = TXClock::now();
    const auto idle = std::chrono::milliseconds(mOptions.idleTimeoutMs);
    const auto every = std::chrono::milliseconds(mOptions.keepAliveMs);
    std::vector<uint64_t> idleKeys;
    for (auto& [key, c] : mConnections) {
        if (now - c->lastReceived >= idle) {
            idleKeys.push_back(key);
            continue;
        }
        if (now >= c->nextKeepAlive) {
            Send(*c, "", "$LIB$WARNING", {});
            c->nextKeepAlive = now + every;
        }
    }
    for (uint64_t key : idleKeys)
        CloseConnection(key, "no packet for " + std::to_string(mOptions.idleTimeoutMs) + " ms");
}

uint16_t TXDataServer::NewConnectionId() {
    std::set<uint16_t> used;
    for (auto& [key, c] : mConnections)
        used.insert(c->id);
    for (int tries = 0; tries < 65536; ++tries) {
        ++mNextId;
        if (mNextId != 0 && !used.count(mNextId))
            return mNextId;
    }
    return 0;
}

void TXDataServer::AcceptAll() {
    for (;;) {
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        const int fd =
            accept4(mListenFd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                ServerLog(SysError("accept"));
            return;
        }
        const uint16_t id = NewConnectionId();
        if (id == 0) {
            ServerLog("refusing a connection: no connection id free");
            close(fd);
            continue;
        }
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto c = std::make_unique<TXServerConnection>();
        c->key = mNextKey++;
        c->id = id;
        c->fd = fd;
        char ip[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &peer.sin_addr, ip, sizeof ip);
        c->peer = std::string(ip) + ":" + std::to_string(ntohs(peer.sin_port));
        c->lastReceived = TXClock::now();
        c->nextKeepAlive = c->lastReceived + std::chrono::milliseconds(mOptions.keepAliveMs);
        c->control = TXSerialQueue::Create(*mPool);
        c->outlet = std::make_shared<TXServerOutlet>();
        c->outlet->fd = fd;
        c->outlet->id = id;
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = fd;
        epoll_ctl(mEpollFd, EPOLL_CTL_ADD, fd, &ev);
        ServerLog("connection " + std::to_string(id) + " from " + c->peer + " accepted");
        TXServerConnection& ref = *c;
        mByFd[fd] = c->key;
        mConnections[c->key] = std::move(c);
        Send(ref, "", "$ID", std::to_string(id));
        Flush(ref);
    }
}

bool TXDataServer::ReadFrom(TXServerConnection& c) {
    const uint64_t key = c.key;
    char buf[65536];
    for (;;) {
        const ssize_t n = recv(c.fd, buf, sizeof buf, 0);
        if (n > 0) {
            c.in.append(buf, static_cast<size_t>(n));
            if (static_cast<size_t>(n) < sizeof buf)
                break;
            continue;
        }
        if (n == 0) {
            CloseConnection(key, "closed by the client");
            return false;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            break;
        CloseConnection(key, SysError("recv"));
        return false;
    }
    size_t at = 0;
    for (;;) {
        TXTCPPack p;
        const TXFrameResult r = ParseFrame(std::string_view(c.in).substr(at), p, mOptions.maxPacket);
        if (r.status == TXFrameStatus::NeedMore)
            break;
        if (r.status == TXFrameStatus::Malformed) {
            CloseConnection(key, "bad packet: " + r.error);
            return false;
        }
        at += r.consumed;
        c.lastReceived = TXClock::now();
        try {
            Dispatch(c, p);
        } catch (const std::exception& e) {
            CloseConnection(key, "bad " + p.Service + " " + p.Command + " packet: " + e.what());
            return false;
        }
        if (!mConnections.count(key))
            return false;
    }
    c.in.erase(0, at);
    return true;
}

void TXDataServer::Flush(TXServerConnection& c) {
    std::lock_guard lock(c.outlet->mutex);
    FlushLocked(*c.outlet);
}

void TXDataServer::FlushLocked(TXServerOutlet& c) {
    if (c.fd < 0)
        return;
    while (c.outPos < c.out.size()) {
        const ssize_t n = send(c.fd, c.out.data() + c.outPos, c.out.size() - c.outPos, MSG_NOSIGNAL);
        if (n > 0) {
            c.outPos += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // The reader side notices the broken connection and closes it.
        c.out.clear();
        c.outPos = 0;
        return;
    }
    if (c.outPos >= c.out.size()) {
        c.out.clear();
        c.outPos = 0;
    } else if (c.outPos > (1u << 20)) {
        c.out.erase(0, c.outPos);
        c.outPos = 0;
    }
    const bool want = !c.out.empty();
    if (want != c.wantWrite) {
        epoll_event ev{};
        ev.events = EPOLLIN | (want ? EPOLLOUT : 0u);
        ev.data.fd = c.fd;
        epoll_ctl(mEpollFd, EPOLL_CTL_MOD, c.fd, &ev);
        c.wantWrite = want;
    }
}

void TXDataServer::AppendLocked(TXServerOutlet& o, std::string_view service, std::string_view command,
                                std::string payload) {
    TXTCPPack p;
    p.ConnectionId = o.id;
    p.Service = service;
    p.Command = command;
    p.Payload = std::move(payload);
    p.Seq = o.sendSeq++;
    AppendPacket(o.out, p);
    if (o.out.size() - o.outPos > kMaxPendingOut)
        o.overflow = true;
}

void TXDataServer::Send(TXServerConnection& c, std::string_view service, std::string_view command,
                        std::string payload) {
    std::lock_guard lock(c.outlet->mutex);
    AppendLocked(*c.outlet, service, command, std::move(payload));
}

void TXDataServer::SendDirect(TXServerOutlet& o, std::string_view service, std::string_view command,
                              std::string payload) {
    bool overflowed = false;
    {
        std::lock_guard lock(o.mutex);
        if (o.fd < 0)
            return; // the connection has gone
        AppendLocked(o, service, command, std::move(payload));
        // Behind bytes the socket did not take yet, the I/O thread sends it when EPOLLOUT comes.
        if (!o.wantWrite)
            FlushLocked(o);
        overflowed = o.overflow;
    }
    if (overflowed)
        Wake(); // the I/O thread closes it
}

void TXDataServer::CloseConnection(uint64_t key, const std::string& reason) {
    auto it = mConnections.find(key);
    if (it == mConnections.end())
        return;
    TXConnPtr c = std::move(it->second);
    mConnections.erase(it);
    mByFd.erase(c->fd);
    ServerLog("connection " + std::to_string(c->id) + " (" + c->peer + ") closed: " + reason);
    {
        // Workers stop writing to it before the descriptor can be reused.
        std::lock_guard lock(c->outlet->mutex);
        c->outlet->fd = -1;
        c->outlet->out.clear();
        c->outlet->outPos = 0;
    }
    LeaveLockQueues(*c);
    for (auto& [ssid, s] : c->sessions)
        s->Close();
    c->sessions.clear();
    epoll_ctl(mEpollFd, EPOLL_CTL_DEL, c->fd, nullptr);
    close(c->fd);
}

void TXDataServer::LeaveLockQueues(TXServerConnection& c) {
    for (auto& [name, cfg] : mConfigs) {
        auto& q = cfg->lockQueue;
        auto pos = std::find(q.begin(), q.end(), c.key);
        if (pos == q.end())
            continue;
        const bool wasHead = pos == q.begin();
        q.erase(pos);
        mLockNames.erase({name, c.key});
        if (wasHead && !q.empty()) {
            const uint64_t next = q.front();
            auto nc = mConnections.find(next);
            if (nc != mConnections.end()) {
                const std::string asked = mLockNames[{name, next}];
                Send(*nc->second, "CFG", "LOCKEXCLUSIVE", Payload([&](TXData& d) { PutS(d, asked); }));
            }
        }
    }
}

std::shared_ptr<TXServerConfiguration> TXDataServer::FindCfg(std::string_view name) const {
    auto it = mConfigs.find(Upper(name));
    return it == mConfigs.end() ? nullptr : it->second;
}

void TXDataServer::SendErr(TXServerConnection& c, std::string_view code, std::string payload) {
    Send(c, "ERR", code, std::move(payload));
}

bool TXDataServer::RequireLogin(TXServerConnection& c, std::string_view cfgName) {
    if (c.logins.count(Upper(cfgName)))
        return true;
    ServerLog("connection " + std::to_string(c.id) + ": not logged in configuration " + std::string(cfgName));
    SendErr(c, "MUSTBELOGGED", Payload([&](TXData& d) { PutS(d, cfgName); }));
    return false;
}

void TXDataServer::Dispatch(TXServerConnection& c, TXTCPPack& p) {
    if (p.Seq == c.recvSeq) {
        ++c.recvSeq;
    } else {
        // Reported like the client does: the packet is still handled and the counter kept.
        ServerLog("connection " + std::to_string(c.id) + ": wrong package id " + std::to_string(p.Seq) +
                  " must be " + std::to_string(c.recvSeq));
    }
    const std::string service = Upper(p.Service);
    if (service.empty()) {
        if (p.Command == "$LIB$WARNING")
            return;
        if (p.Command == "$UNKNOWNSERVICE") {
            ServerLog("connection " + std::to_string(c.id) + ": the client does not know the service " +
                      p.Payload);
            return;
        }
        ServerLog("connection " + std::to_string(c.id) + ": ignored transport command " + p.Command);
        return;
    }
    if (service == "AUTH")
        HandleAuth(c, p);
    else if (service == "CFG")
        HandleCfg(c, p);
    else if (service == "SESS")
        HandleSess(c, p);
    else if (service == "ERR")
        ServerLog("connection " + std::to_string(c.id) + ": ignored ERR " + p.Command + " from the client");
    else
        Send(c, "", "$UNKNOWNSERVICE", p.Service);
}

void TXDataServer::HandleAuth(TXServerConnection& c, const TXTCPPack& p) {
    if (p.Command == "LOGOUT") {
        c.logins.clear();
        ServerLog("connection " + std::to_string(c.id) + ": logout");
        return;
    }
    if (p.Command != "CHECK") {
        ServerLog("connection " + std::to_string(c.id) + ": ignored AUTH " + p.Command);
        return;
    }
    TXData d;
    Load(d, p.Payload);
    const std::string cfgName = GetS(d);
    const std::string scrambled = GetS(d);
    auto answer = [&](bool ok) {
        Send(c, "AUTH", "CHECK", Payload([&](TXData& o) {
                 PutS(o, cfgName);
                 PutS(o, "");
                 PutBool(o, ok);
             }));
    };
    const auto cfg = FindCfg(cfgName);
    if (!cfg || !cfg->CheckPassword(Unscramble(scrambled, AuthKeyFor(c.id)))) {
        ServerLog("connection " + std::to_string(c.id) + ": check of configuration " + cfgName +
                  (cfg ? " failed: wrong password" : " failed: unknown configuration"));
        answer(false);
        return;
    }
    std::string error;
    switch (cfg->State(&error)) {
    case TXServerConfiguration::TXState::Open:
        c.logins.insert(Upper(cfg->Name()));
        ServerLog("connection " + std::to_string(c.id) + ": logged in configuration " + cfg->Name());
        answer(true);
        return;
    case TXServerConfiguration::TXState::Opening:
        SendErr(c, "CFGOPENING", {});
        return;
    case TXServerConfiguration::TXState::Closed:
        StartOpen(cfg);
        SendErr(c, "CFGOPENING", {});
        return;
    case TXServerConfiguration::TXState::Failed:
        SendErr(c, "CFGERROR", Payload([&](TXData& o) {
                    PutS(o, cfgName);
                    PutS(o, error);
                }));
        StartOpen(cfg); // the next login tries again
        return;
    }
}

void TXDataServer::HandleCfg(TXServerConnection& c, const TXTCPPack& p) {
    const std::string& cmd = p.Command;
    const bool known = cmd == "VERSION" || cmd == "LOCK" || cmd == "UNLOCK" || cmd == "SETVERSION" ||
                       cmd == "UPGRADEBEGIN" || cmd == "UPGRADEEND";
    if (!known) {
        ServerLog("connection " + std::to_string(c.id) + ": ignored CFG " + cmd);
        return;
    }
    TXData d;
    Load(d, p.Payload);
    const std::string cfgName = GetS(d);
    if (!RequireLogin(c, cfgName))
        return;
    const auto cfg = FindCfg(cfgName);
    const std::string canon = Upper(cfg->Name());
    const uint64_t key = c.key;

    if (cmd == "VERSION") {
        // A database without a stored version is reported as 0.0.0, so the client upgrades it.
        auto versionReply = [cfgName](const TXVersion& v, std::string& text) {
            text = v.Invalid ? "0.0.0" : VersionToStr(v);
            return Payload([&](TXData& o) {
                PutS(o, cfgName);
                PutBool(o, true);
                PutS(o, text);
            });
        };
        // Known: answered here, without two thread hand-offs per request — unless this connection's
        // own queue still has work (a FREESEQUENCE, say), which a reply must not overtake; nor may
        // it overtake a reply of that work still on its way out (a SETVERSION's, say).
        if (TXVersion v; c.control->Idle() && cfg->CachedVersion(v)) {
            std::string text;
            std::string reply = versionReply(v, text);
            c.seenVersions[canon] = StrToVersion(text);
            SendAfterPosted(c, "CFG", "VERSION", std::move(reply));
            return;
        }
        c.control->Post([this, key, cfg, cfgName, versionReply] {
            auto engine = cfg->Engine();
            try {
                if (!engine)
                    throw std::runtime_error("the database is not open");
                const uint64_t stamp = cfg->VersionStamp();
                TXVersion v = engine->StoredVersion();
                cfg->OfferVersion(stamp, v);
                std::string text;
                std::string reply = versionReply(v, text);
                // Remembered before the reply leaves, so an upgrade can tell what this client was told.
                Post([this, key, cfg, seen = StrToVersion(text), reply = std::move(reply)]() mutable {
                    auto it = mConnections.find(key);
                    if (it == mConnections.end())
                        return;
                    it->second->seenVersions[Upper(cfg->Name())] = seen;
                    Send(*it->second, "CFG", "VERSION", std::move(reply));
                });
            } catch (const std::exception& e) {
                ServerLog("configuration " + cfg->Name() + ": cannot read the version: " + e.what());
                SendTo(key, "ERR", "CFGERROR", Payload([&](TXData& o) {
                           PutS(o, cfgName);
                           PutS(o, e.what());
                       }));
            }
        });
    } else if (cmd == "LOCK") {
        auto& q = cfg->lockQueue;
        if (std::find(q.begin(), q.end(), key) == q.end()) {
            q.push_back(key);
            mLockNames[{canon, key}] = cfgName;
            Send(c, "CFG", "LOCK", Payload([&](TXData& o) {
                     PutS(o, cfgName);
                     PutBool(o, true);
                 }));
            if (q.front() == key)
                Send(c, "CFG", "LOCKEXCLUSIVE", Payload([&](TXData& o) { PutS(o, cfgName); }));
        } else {
            Send(c, "CFG", "LOCK", Payload([&](TXData& o) {
                     PutS(o, cfgName);
                     PutBool(o, true);
                 }));
        }
    } else if (cmd == "UNLOCK") {
        auto& q = cfg->lockQueue;
        const bool held = std::find(q.begin(), q.end(), key) != q.end();
        Send(c, "CFG", "UNLOCK", Payload([&](TXData& o) {
                 PutS(o, cfgName);
                 PutBool(o, held);
             }));
        if (held) {
            // Leaving this one queue promotes the next waiter, as a dropped connection does.
            const bool wasHead = q.front() == key;
            q.erase(std::find(q.begin(), q.end(), key));
            mLockNames.erase({canon, key});
            if (wasHead && !q.empty()) {
                auto nc = mConnections.find(q.front());
                if (nc != mConnections.end()) {
                    const std::string asked = mLockNames[{canon, q.front()}];
                    Send(*nc->second, "CFG", "LOCKEXCLUSIVE", Payload([&](TXData& o) { PutS(o, asked); }));
                }
            }
        }
    } else { // UPGRADEBEGIN, UPGRADEEND, SETVERSION
        HandleUpgrade(c, p, d, cfgName, cfg);
    }
}

void TXDataServer::HandleSess(TXServerConnection& c, const TXTCPPack& p) {
    TXSessRequest r = ReadSessRequest(p.Command, p.Payload);
    if (r.kind == TXSessKind::Unknown)
        throw std::runtime_error("unknown command");

    if (r.kind == TXSessKind::Create) {
        const auto cfg = FindCfg(r.cfg);
        if (!cfg) {
            Send(c, "SESS", "UNKNOWNCFG", {});
            return;
        }
        if (!RequireLogin(c, r.cfg))
            return;
        if (!KnownOp(r.op)) {
            Send(c, "SESS", "UNKNOWNOP", Payload([&](TXData& o) {
                     PutI(o, r.csid);
                     PutS(o, r.op);
                 }));
            return;
        }
        const int32_t ssid = c.nextSsid++;
        auto send = [this, outlet = c.outlet](std::string_view command, std::string payload) {
            SendDirect(*outlet, "SESS", command, std::move(payload));
        };
        c.sessions[ssid] = std::make_shared<TXServerSession>(mNextSessionOwner++, r.csid, ssid, cfg,
                                                             *mSemaphores, *mPool, send);
        Send(c, "SESS", "CREATE", Payload([&](TXData& o) {
                 PutI(o, r.csid);
                 PutS(o, r.cfg);
                 PutS(o, r.op);
                 PutBool(o, true);
                 PutI(o, ssid);
             }));
        return;
    }
    if (!RequireLogin(c, r.cfg))
        return;
    if (r.kind == TXSessKind::FreeSequence) {
        const auto cfg = FindCfg(r.cfg);
        c.control->Post([cfg, r] {
            try {
                if (auto engine = cfg->Engine())
                    engine->SequenceFree(r.table, r.field, r.value, r.quantity);
            } catch (const std::exception& e) {
                ServerLog("configuration " + cfg->Name() + ": cannot free " + r.table + "." + r.field + ": " +
                          e.what());
            }
        });
        return;
    }
    auto it = c.sessions.find(r.ssid);
    if (it == c.sessions.end() || it->second->Csid() != r.csid ||
        Upper(it->second->Configuration().Name()) != Upper(r.cfg)) {
        Send(c, "SESS", "UNKNOWNSESS", {});
        return;
    }
    if (r.kind == TXSessKind::Free) {
        it->second->Close();
        c.sessions.erase(it);
        return;
    }
    it->second->Enqueue(std::move(r));
}
