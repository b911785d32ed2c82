#pragma once
// "sarvolentis-admin upgrade": the client's database upgrade (the same logic as the upgrade screen)
// run without a window, one configuration after the other; or, with --check, only the versions.

#include <iosfwd>
#include <string>
#include <vector>

struct TXAdminUpgradeCfg {
    std::string name;            // UTF-8 as typed
    std::string password;        // UTF-8 as typed
    bool inlinePassword = false; // given as NAME:PASSWORD
};

struct TXAdminUpgradeOptions {
    std::string host = "127.0.0.1";
    int port = 59504;
    std::vector<TXAdminUpgradeCfg> cfgs; // never empty after Parse
    bool check = false;
    int timeoutMs = 600000; // connecting, and any silence of the server during the upgrade
};

class TXAdminUpgrade {
public:
    static std::string Help();
    // Parses the arguments after "upgrade"; false with error set on a usage error. help set for --help.
    static bool Parse(const std::vector<std::string>& args, TXAdminUpgradeOptions& o, std::string& error,
                      bool& help);
    // Needs a QCoreApplication. 0 when every configuration is up to date at the end (with --check:
    // already is), 3 with --check when an upgrade is needed, 1 on any failure.
    static int Run(const TXAdminUpgradeOptions& o, std::ostream& out, std::ostream& err);
};
