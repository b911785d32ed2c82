#pragma once
// A small blocking client of the data server for tests: its own framing (so a fault in the server's
// framing is not mirrored here), payloads written with TXData.

#include "foundation/UXData.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

struct TPack {
    uint16_t connectionId = 0;
    uint16_t reserved = 0;
    std::string service, command, payload;
    uint16_t seq = 0;
    TXData Data() const {
        TXData d;
        Load(d, payload);
        return d;
    }
};

inline std::string Pack(const std::function<void(TXData&)>& write) {
    TXData d;
    Init(d);
    write(d);
    Finish(d);
    return d.Data;
}

inline void PutLE(std::string& s, uint64_t v, int n) {
    for (int i = 0; i < n; ++i)
        s += static_cast<char>((v >> (8 * i)) & 0xff);
}

// Builds a frame by hand; the lengths may be given wrong on purpose.
inline std::string Frame(uint16_t connId, const std::string& service, const std::string& command,
                         const std::string& payload, uint16_t seq, int64_t totalOverride = -1) {
    std::string f;
    const int64_t total = 16 + service.size() + command.size() + payload.size();
    PutLE(f, static_cast<uint64_t>(totalOverride >= 0 ? totalOverride : total), 4);
    PutLE(f, connId, 2);
    PutLE(f, 0, 2);
    f += static_cast<char>(service.size());
    f += service;
    f += static_cast<char>(command.size());
    f += command;
    PutLE(f, payload.size(), 4);
    f += payload;
    PutLE(f, seq, 2);
    return f;
}

class TTestClient {
public:
    explicit TTestClient(uint16_t port, bool waitId = true) {
        mFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
        if (connect(mFd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            throw std::runtime_error("cannot connect to the data server");
        const int one = 1;
        setsockopt(mFd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (waitId) {
            TPack p = Next(5000).value();
            if (p.command != "$ID" || !p.service.empty())
                throw std::runtime_error("first packet is not $ID: " + p.command);
            mId = static_cast<uint16_t>(std::stoi(p.payload));
            mFirst = p;
        }
    }
    ~TTestClient() { Close(); }
    TTestClient(const TTestClient&) = delete;
    TTestClient& operator=(const TTestClient&) = delete;

    void Close() {
        if (mFd >= 0)
            close(mFd);
        mFd = -1;
    }
    uint16_t Id() const { return mId; }
    const TPack& IdPacket() const { return mFirst; }

    bool autoEcho = true;               // answer keep-alives
    int keepAlivesSeen = 0;             // keep-alives received so far
    std::vector<uint16_t> receivedSeqs; // every packet's Seq, in arrival order

    void SendRaw(const std::string& bytes) {
        size_t at = 0;
        while (at < bytes.size()) {
            const ssize_t n = send(mFd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n <= 0)
                return; // the server may already have closed it
            at += static_cast<size_t>(n);
        }
    }
    void Send(const std::string& service, const std::string& command, const std::string& payload = {}) {
        SendRaw(Frame(mId, service, command, payload, mSeq++));
    }

    // Next packet from the server (keep-alives answered and skipped); nullopt on time-out or close.
    std::optional<TPack> Next(int timeoutMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (auto p = TakeFrame()) {
                receivedSeqs.push_back(p->seq);
                if (p->service.empty() && p->command == "$LIB$WARNING") {
                    ++keepAlivesSeen;
                    if (autoEcho)
                        Send("", "$LIB$WARNING");
                    continue;
                }
                return p;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0 || mClosed)
                return std::nullopt;
            pollfd pfd{mFd, POLLIN, 0};
            if (poll(&pfd, 1, static_cast<int>(left)) <= 0)
                continue;
            char buf[65536];
            const ssize_t n = recv(mFd, buf, sizeof buf, 0);
            if (n <= 0)
                mClosed = true;
            else
                mIn.append(buf, static_cast<size_t>(n));
        }
    }

    // Waits for the first packet that matches, keeping the others for later calls; throws on time-out.
    TPack WaitIf(const std::function<bool(const TPack&)>& match, const std::string& what,
                 int timeoutMs = 10000) {
        for (auto it = mBacklog.begin(); it != mBacklog.end(); ++it)
            if (match(*it)) {
                TPack p = *it;
                mBacklog.erase(it);
                return p;
            }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            auto p = Next(static_cast<int>(std::max<int64_t>(left, 0)));
            if (!p)
                throw std::runtime_error("no " + what + " within " + std::to_string(timeoutMs) + " ms" +
                                         (mClosed ? " (closed)" : ""));
            if (match(*p))
                return *p;
            mBacklog.push_back(*p);
        }
    }
    TPack WaitFor(const std::string& service, const std::string& command, int timeoutMs = 10000) {
        return WaitIf([&](const TPack& p) { return p.service == service && p.command == command; },
                      service + " " + command, timeoutMs);
    }

    // A round trip through the I/O thread: everything it sent before arrives first.
    void Barrier() {
        Send("PING", "X");
        WaitFor("", "$UNKNOWNSERVICE");
    }
    // Packets that arrived while waiting for something else.
    std::deque<TPack>& Backlog() { return mBacklog; }
    bool Has(const std::string& service, const std::string& command) const {
        for (auto& p : mBacklog)
            if (p.service == service && p.command == command)
                return true;
        return false;
    }

    // True when the server closes the connection within the time.
    bool WaitClosed(int timeoutMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!mClosed && std::chrono::steady_clock::now() < deadline) {
            auto p = Next(50);
            if (p)
                mBacklog.push_back(*p);
        }
        return mClosed;
    }

private:
    std::optional<TPack> TakeFrame() {
        if (mIn.size() < 4)
            return std::nullopt;
        auto le = [&](size_t at, int n) {
            uint32_t v = 0;
            for (int i = 0; i < n; ++i)
                v |= static_cast<uint32_t>(static_cast<unsigned char>(mIn[at + i])) << (8 * i);
            return v;
        };
        const uint32_t total = le(0, 4);
        if (total < 16)
            throw std::runtime_error("server sent a frame shorter than 16 bytes");
        if (mIn.size() < total)
            return std::nullopt;
        TPack p;
        p.connectionId = static_cast<uint16_t>(le(4, 2));
        p.reserved = static_cast<uint16_t>(le(6, 2));
        size_t at = 8;
        const size_t s = static_cast<unsigned char>(mIn[at++]);
        p.service = mIn.substr(at, s);
        at += s;
        const size_t c = static_cast<unsigned char>(mIn[at++]);
        p.command = mIn.substr(at, c);
        at += c;
        const uint32_t pl = le(at, 4);
        at += 4;
        p.payload = mIn.substr(at, pl);
        at += pl;
        if (at + 2 != total)
            throw std::runtime_error("server sent a frame whose lengths do not add up");
        p.seq = static_cast<uint16_t>(le(at, 2));
        mIn.erase(0, total);
        return p;
    }

    int mFd = -1;
    uint16_t mId = 0;
    uint16_t mSeq = 1;
    bool mClosed = false;
    std::string mIn;
    TPack mFirst;
    std::deque<TPack> mBacklog;
};
