#pragma once
// Outside peers (FTP, HTTP, SOCKS servers) run by a test as child processes on 127.0.0.1 and
// stopped by PID. Header-only and without Qt.

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <netinet/in.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

// A port that was free a moment ago, for peers that cannot pick their own.
inline uint16_t FreePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

inline bool PortAccepts(uint16_t port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

class PeerProcess {
public:
    // Starts argv; when portFile is given, waits for the peer to write its port there, else waits
    // until fixedPort accepts connections. Throws when the peer is not ready within 10 s.
    PeerProcess(std::vector<std::string> argv, std::string portFile, uint16_t fixedPort = 0)
        : mPortFile(std::move(portFile)), mPort(fixedPort) {
        std::vector<char*> args;
        for (auto& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        if (posix_spawn(&mPid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
            mPid = -1;
            throw std::runtime_error("cannot start " + argv[0]);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!Ready()) {
            int status = 0;
            if (::waitpid(mPid, &status, WNOHANG) == mPid) {
                mPid = -1;
                throw std::runtime_error("peer exited early: " + argv[0]);
            }
            if (std::chrono::steady_clock::now() > deadline) {
                Stop();
                throw std::runtime_error("peer not ready: " + argv[0]);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    // A peer that listens on the given port.
    PeerProcess(std::vector<std::string> argv, uint16_t port) : PeerProcess(std::move(argv), "", port) {}
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;
    ~PeerProcess() { Stop(); }

    uint16_t Port() const { return mPort; }
    pid_t Pid() const { return mPid; }

    void Stop() {
        if (mPid <= 0)
            return;
        ::kill(mPid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int status = 0;
        while (::waitpid(mPid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(mPid, SIGKILL);
                ::waitpid(mPid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        mPid = -1;
    }

private:
    bool Ready() {
        if (mPortFile.empty())
            return PortAccepts(mPort);
        std::ifstream in(mPortFile);
        int port = 0;
        if (!(in >> port) || port <= 0)
            return false;
        mPort = uint16_t(port);
        return true;
    }

    std::string mPortFile;
    uint16_t mPort;
    pid_t mPid = -1;
};
