// sarvolentis-dataserver: the data server program.

#include "foundation/UXProcessMemory.h"
#include "server/UXDataServer.h"
#include "server/UXServerLog.h"
#include "server/UXServerOptions.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace {

TXDataServer* gServer = nullptr;

extern "C" void OnStopSignal(int) {
    if (gServer)
        gServer->Stop();
}

} // namespace

int main(int argc, char** argv) {
    KeepFreedMemory();
    TXServerOptions options;
    try {
        options = ParseServerOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.help) {
            std::fputs(ServerUsage().c_str(), stdout);
            return 0;
        }
        std::filesystem::create_directories(options.dataDir);
        LoadConfigurations(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sarvolentis-dataserver: %s\n\n%s", e.what(), ServerUsage().c_str());
        return 2;
    }

    std::signal(SIGPIPE, SIG_IGN);
    try {
        TXDataServer server(options);
        gServer = &server;
        struct sigaction sa {};
        sa.sa_handler = OnStopSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
        for (const auto& c : options.configurations)
            ServerLog("configuration " + c.name + " (" + c.engine + ")");
        server.Start();
        server.Run();
        gServer = nullptr;
    } catch (const std::exception& e) {
        gServer = nullptr;
        ServerLog(std::string("fatal: ") + e.what());
        return 1;
    }
    return 0;
}
