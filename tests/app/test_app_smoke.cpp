// The real client against the real data server: a fresh database is upgraded, the first login gets in,
// the main window comes up, and the program ends cleanly on SIGTERM or on its own.

#include "shell/UXLoginSettings.h"
#include "support/UDataServerProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// One run of the client with stdout and stderr in a file; killed by PID if the test gives up.
class ClientProcess {
public:
    ClientProcess(const fs::path& home, const fs::path& shots, bool keep, const fs::path& log,
                  std::vector<std::string> params = {})
        : mLog(log) {
        const char* build = std::getenv("SV_BUILD_DIR");
        if (!build)
            throw std::runtime_error("SV_BUILD_DIR is not set");
        std::vector<std::string> args{std::string(build) + "/src/app/sarvolentis"};
        args.insert(args.end(), params.begin(), params.end());
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string v = *e;
            if (v.rfind("SARVOLENTIS_HOME=", 0) && v.rfind("SV_SCREENSHOT_", 0) &&
                v.rfind("QT_QPA_PLATFORM=", 0))
                env.push_back(v);
        }
        env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("SARVOLENTIS_HOME=" + home.string());
        env.push_back("SV_SCREENSHOT_DIR=" + shots.string());
        if (keep)
            env.push_back("SV_SCREENSHOT_KEEP=1");

        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&fa, 1, 2);
        std::vector<char*> argv, envp;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const int rc = posix_spawn(&mPid, argv[0], &fa, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&fa);
        if (rc != 0)
            throw std::runtime_error("cannot start " + args[0]);
    }
    ~ClientProcess() {
        if (mPid > 0) {
            kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
        }
    }

    std::string Output() const { return ReadAll(mLog); }

    // True once the output holds text; false when the client ended or the time ran out first.
    bool WaitForOutput(const std::string& text, std::chrono::seconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            if (Output().find(text) != std::string::npos)
                return true;
            if (Exited(std::chrono::milliseconds(20)))
                return Output().find(text) != std::string::npos;
        }
        return false;
    }

    // Waits up to limit for the client to end; its waitpid status in Status().
    bool Exited(std::chrono::milliseconds limit) {
        if (mPid <= 0)
            return true;
        const auto until = std::chrono::steady_clock::now() + limit;
        do {
            if (waitpid(mPid, &mStatus, WNOHANG) == mPid) {
                mPid = -1;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } while (std::chrono::steady_clock::now() < until);
        return false;
    }

    void Signal(int sig) { kill(mPid, sig); }
    int Status() const { return mStatus; }

private:
    fs::path mLog;
    pid_t mPid = -1;
    int mStatus = 0;
};

class AppSmoke : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "sv-app-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        mHome = tmpl;
        TXLoginSettings s;
        s.Port = std::to_string(mServer.Port());
        s.UseIPSeek = false;
        ASSERT_TRUE(s.Save(TXLoginSettings::FilePath(mHome.string() + "/", "SARVOLENTIS")));
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(mHome, ec);
    }

    DataServerProcess mServer;
    fs::path mHome;
};

TEST_F(AppSmoke, FirstStartUpgradesLogsInAndEndsOnSigtermThenSecondStartNeedsNoUpgrade) {
    const fs::path shots1 = mHome / "shots1";
    {
        ClientProcess client(mHome, shots1, /*keep=*/true, mHome / "run1.log");
        ASSERT_TRUE(client.WaitForOutput("screenshot: main window ready", std::chrono::seconds(90)))
            << client.Output();
        const std::string out = client.Output();
        EXPECT_NE(out.find("screenshot: upgrade finished"), std::string::npos) << out;
        EXPECT_NE(out.find("Login permitido devido"), std::string::npos) << out;
        EXPECT_EQ(out.find("screenshot: failed"), std::string::npos) << out;
        for (const char* png : {"upgrade.png", "login-dataserver.png", "login-dbconfig.png", "main.png"})
            EXPECT_GT(fs::exists(shots1 / png) ? fs::file_size(shots1 / png) : 0u, 1000u) << png;

        client.Signal(SIGTERM);
        ASSERT_TRUE(client.Exited(std::chrono::seconds(20))) << client.Output();
        EXPECT_TRUE(WIFEXITED(client.Status())) << client.Output();
        EXPECT_EQ(WEXITSTATUS(client.Status()), 0) << client.Output();
    }
    // A normal end writes the clock file.
    EXPECT_TRUE(fs::exists(mHome / "Sarvolentis.dta"));

    // The database now holds the program's version: straight to the login, which ends the program
    // itself after the last picture.
    const fs::path shots2 = mHome / "shots2";
    ClientProcess client(mHome, shots2, /*keep=*/false, mHome / "run2.log");
    ASSERT_TRUE(client.Exited(std::chrono::seconds(90))) << client.Output();
    EXPECT_TRUE(WIFEXITED(client.Status()) && WEXITSTATUS(client.Status()) == 0) << client.Output();
    EXPECT_TRUE(fs::exists(shots2 / "main.png")) << client.Output();
    EXPECT_FALSE(fs::exists(shots2 / "upgrade.png")) << client.Output();
}

// WAIT: the login comes up without connecting; a SIGTERM then ends the program through the login.
TEST_F(AppSmoke, WaitStartsWithoutConnectingAndEndsOnSigtermFromTheLogin) {
    ClientProcess client(mHome, mHome / "shots", /*keep=*/true, mHome / "wait.log", {"WAIT"});
    ASSERT_TRUE(client.WaitForOutput("screenshot: login shown", std::chrono::seconds(30))) << client.Output();
    // Connected, a fresh database would be upgrading well within this time.
    EXPECT_FALSE(client.WaitForOutput("screenshot: saved", std::chrono::seconds(1))) << client.Output();
    client.Signal(SIGTERM);
    ASSERT_TRUE(client.Exited(std::chrono::seconds(20))) << client.Output();
    EXPECT_TRUE(WIFEXITED(client.Status()) && WEXITSTATUS(client.Status()) == 0) << client.Output();
    EXPECT_FALSE(fs::exists(mHome / "shots" / "upgrade.png"));
}

} // namespace
