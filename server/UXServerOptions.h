#pragma once
// The data server's command line and its list of configurations.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class EXServerOptions : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TXConfigurationDef {
    std::string name;
    std::string password;
    std::string engine;   // "sqlite" | "postgres"
    std::string location; // sqlite: file path (resolved against the data folder); postgres: conninfo
};

struct TXServerOptions {
    std::string dataDir;
    std::string listenHost = "127.0.0.1";
    uint16_t listenPort = 59504;
    std::string configFile;
    std::string portFile;
    int keepAliveMs = 30000;
    int idleTimeoutMs = 120000;
    int32_t maxPacket = 64 * 1024 * 1024;
    bool help = false;
    std::vector<TXConfigurationDef> configurations;
};

std::string ServerUsage();
// Throws EXServerOptions with a message for the user. With --help set, nothing else is checked.
TXServerOptions ParseServerOptions(const std::vector<std::string>& args);
// Reads the configuration file, or sets the default configuration when there is none.
void LoadConfigurations(TXServerOptions& o);
// Parses the JSON text of a configuration file; sqlite locations are resolved against dataDir.
std::vector<TXConfigurationDef> ParseConfigurations(const std::string& json, const std::string& dataDir);
