#pragma once
// Test peers (FTP, HTTP, SOCKS) run as child processes on 127.0.0.1, stopped by PID.

#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class TempFolder {
public:
    TempFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "sv-update-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            throw std::runtime_error("mkdtemp failed");
        mPath = tmpl;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(mPath, ec);
    }
    const std::filesystem::path& Path() const { return mPath; }
    std::string operator/(const std::string& name) const { return (mPath / name).string(); }

private:
    std::filesystem::path mPath;
};

inline void WriteFile(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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
        mPid = ::fork();
        if (mPid < 0)
            throw std::runtime_error("fork failed");
        if (mPid == 0) {
            std::vector<char*> args;
            for (auto& a : argv)
                args.push_back(a.data());
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
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
