#pragma once
// Outside peers (SOCKS proxies) started by a test on 127.0.0.1 and stopped by PID.

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
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

// A port that was free a moment ago (the peer binds it next).
inline uint16_t FreePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
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
    // Starts argv and waits (<= 10 s) until port accepts connections.
    PeerProcess(std::vector<std::string> args, uint16_t port) {
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&mPid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            throw std::runtime_error("cannot start " + args[0]);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!PortAccepts(port)) {
            int status = 0;
            if (waitpid(mPid, &status, WNOHANG) == mPid) {
                mPid = -1;
                throw std::runtime_error(args[0] + " ended before listening");
            }
            if (std::chrono::steady_clock::now() > deadline) {
                Stop();
                throw std::runtime_error(args[0] + " does not listen on " + std::to_string(port));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~PeerProcess() { Stop(); }
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    void Stop() {
        if (mPid <= 0)
            return;
        ::kill(mPid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int status = 0;
        while (waitpid(mPid, &status, WNOHANG) != mPid) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(mPid, SIGKILL);
                waitpid(mPid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        mPid = -1;
    }

private:
    pid_t mPid = -1;
};
