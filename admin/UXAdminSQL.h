#pragma once
// "sarvolentis-admin sql": one statement through the client's own data client and SQL session; a result
// printed as a table or CSV, a command's completion, or the server's error on stderr.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

struct TXAdminSQLParam {
    char prefix = 'S'; // S, I, C, E, D, B as the statement's typed parameters
    std::string name;
    std::string value; // UTF-8 as typed; empty = NULL
};

struct TXAdminSQLOptions {
    std::string host = "127.0.0.1";
    int port = 59504;
    std::string cfg = "SARVOLENTIS";
    std::string password;
    bool csv = false;
    int timeoutMs = 60000; // connecting, logging in and each reply
    std::vector<TXAdminSQLParam> params;
    std::string sql; // UTF-8
};

class TXAdminSQL {
public:
    // Usage text of the sql command.
    static std::string Help();
    // Parses the arguments after "sql"; false with error set on a usage error. help set for --help.
    static bool Parse(const std::vector<std::string>& args, TXAdminSQLOptions& o, std::string& error,
                      bool& help);
    // Needs a QCoreApplication. 0 on success, 1 on a server, connection or SQL error.
    static int Run(const TXAdminSQLOptions& o, std::ostream& out, std::ostream& err);
};
