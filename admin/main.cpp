// sarvolentis-admin: command-line client of the data server for administrators and scripts.
#include "admin/UXAdminSQL.h"
#include "admin/UXAdminUpgrade.h"

#include <QCoreApplication>

#include <iostream>
#include <string>
#include <vector>

namespace {

const char* kUsage = "usage: sarvolentis-admin COMMAND [options]\n"
                     "\n"
                     "commands:\n"
                     "  sql      run one SQL statement on the data server (sarvolentis-admin sql --help)\n"
                     "  upgrade  bring configurations up to this program's schema version\n"
                     "           (sarvolentis-admin upgrade --help)\n";

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << kUsage;
        return args.empty() ? 2 : 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "sql") {
        TXAdminSQLOptions o;
        std::string error;
        bool help = false;
        if (!TXAdminSQL::Parse(args, o, error, help)) {
            std::cerr << "sarvolentis-admin sql: " << error << "\n" << TXAdminSQL::Help();
            return 2;
        }
        if (help) {
            std::cout << TXAdminSQL::Help();
            return 0;
        }
        QCoreApplication app(argc, argv);
        return TXAdminSQL::Run(o, std::cout, std::cerr);
    }
    if (command == "upgrade") {
        TXAdminUpgradeOptions o;
        std::string error;
        bool help = false;
        if (!TXAdminUpgrade::Parse(args, o, error, help)) {
            std::cerr << "sarvolentis-admin upgrade: " << error << "\n" << TXAdminUpgrade::Help();
            return 2;
        }
        if (help) {
            std::cout << TXAdminUpgrade::Help();
            return 0;
        }
        QCoreApplication app(argc, argv);
        return TXAdminUpgrade::Run(o, std::cout, std::cerr);
    }
    std::cerr << "sarvolentis-admin: unknown command " << command << "\n" << kUsage;
    return 2;
}
