#pragma once
// Starts a real sarvolentis-dataserver for a test on a free port and stops it by PID.
// Header-only and without Qt so that gtest and Qt tests can both use it.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

struct DataServerOptions {
    std::string dataDir;    // empty: a fresh temporary folder, removed at the end
    std::string configJson; // empty: default configuration; else written to dataDir/config.json
    int keepAliveMs = 30000;
    int idleTimeoutMs = 120000;
    std::vector<std::string> extraArgs;
};

class DataServerProcess {
public:
    explicit DataServerProcess(DataServerOptions o = {}) {
        namespace fs = std::filesystem;
        if (o.dataDir.empty()) {
            std::string tmpl = (fs::temp_directory_path() / "sv-dataserver-XXXXXX").string();
            if (!mkdtemp(tmpl.data()))
                throw std::runtime_error("DataServerProcess: cannot create a temporary folder");
            mDataDir = tmpl;
            mOwnDir = true;
        } else {
            mDataDir = o.dataDir;
            fs::create_directories(mDataDir);
        }
        const std::string portFile = mDataDir + "/dataserver.port";
        fs::remove(portFile);

        std::vector<std::string> args{ServerBinary(),
                                      "--data",
                                      mDataDir,
                                      "--listen",
                                      "127.0.0.1:0",
                                      "--port-file",
                                      portFile,
                                      "--keepalive-ms",
                                      std::to_string(o.keepAliveMs),
                                      "--idle-timeout-ms",
                                      std::to_string(o.idleTimeoutMs)};
        if (!o.configJson.empty()) {
            const std::string cfg = mDataDir + "/config.json";
            std::ofstream(cfg, std::ios::binary | std::ios::trunc) << o.configJson;
            args.push_back("--config");
            args.push_back(cfg);
        }
        args.insert(args.end(), o.extraArgs.begin(), o.extraArgs.end());

        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        const int rc = posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
        if (rc != 0) {
            Cleanup();
            throw std::runtime_error("DataServerProcess: cannot start " + args[0] + ": " +
                                     std::to_string(rc));
        }
        mPid = pid;

        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(mPid, &status, WNOHANG) == mPid) {
                mPid = -1;
                Cleanup();
                throw std::runtime_error("DataServerProcess: the data server ended before listening");
            }
            std::ifstream in(portFile);
            long port = 0;
            if (in >> port && port > 0 && port < 65536) {
                mPort = static_cast<uint16_t>(port);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        Kill();
        Cleanup();
        throw std::runtime_error("DataServerProcess: no port file within 10 s");
    }

    ~DataServerProcess() {
        Stop();
        Cleanup();
    }

    DataServerProcess(const DataServerProcess&) = delete;
    DataServerProcess& operator=(const DataServerProcess&) = delete;

    uint16_t Port() const { return mPort; }
    pid_t Pid() const { return mPid; }
    const std::string& DataDir() const { return mDataDir; }

    // SIGTERM, then SIGKILL when it has not ended after 5 s.
    void Stop() {
        if (mPid <= 0)
            return;
        kill(mPid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            const pid_t r = waitpid(mPid, &status, WNOHANG);
            if (r == mPid || (r < 0 && errno == ECHILD)) {
                mLastStatus = status;
                mPid = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        Kill();
    }

    // A crash: the server gets no chance to clean up.
    void Kill() {
        if (mPid <= 0)
            return;
        kill(mPid, SIGKILL);
        int status = 0;
        waitpid(mPid, &status, 0);
        mLastStatus = status;
        mPid = -1;
    }

    // waitpid status of the last Stop()/Kill() (for checking a clean exit).
    int LastStatus() const { return mLastStatus; }

    static std::string ServerBinary() {
        if (const char* bin = std::getenv("SV_DATASERVER_BIN"); bin && *bin)
            return bin;
        const char* build = std::getenv("SV_BUILD_DIR");
        if (!build || !*build)
            throw std::runtime_error("DataServerProcess: SV_BUILD_DIR is not set");
        return std::string(build) + "/server/sarvolentis-dataserver";
    }

private:
    void Cleanup() {
        if (mOwnDir && !mDataDir.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(mDataDir, ec);
            mOwnDir = false;
        }
    }

    std::string mDataDir;
    bool mOwnDir = false;
    pid_t mPid = -1;
    uint16_t mPort = 0;
    int mLastStatus = 0;
};
