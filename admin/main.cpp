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

// Parses the command's own arguments, prints its help or usage error, else runs it.
template <class TCommand, class TOptions>
int RunCommand(const std::string& name, const std::vector<std::string>& args, int argc, char** argv) {
    TOptions o;
    std::string error;
    bool help = false;
    if (!TCommand::Parse(args, o, error, help)) {
        std::cerr << "sarvolentis-admin " << name << ": " << error << "\n" << TCommand::Help();
        return 2;
    }
    if (help) {
        std::cout << TCommand::Help();
        return 0;
    }
    QCoreApplication app(argc, argv);
    return TCommand::Run(o, std::cout, std::cerr);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << kUsage;
        return args.empty() ? 2 : 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "sql")
        return RunCommand<TXAdminSQL, TXAdminSQLOptions>(command, args, argc, argv);
    if (command == "upgrade")
        return RunCommand<TXAdminUpgrade, TXAdminUpgradeOptions>(command, args, argc, argv);
    std::cerr << "sarvolentis-admin: unknown command " << command << "\n" << kUsage;
    return 2;
}
