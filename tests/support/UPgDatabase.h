#pragma once
// A throwaway PostgreSQL database for one test, created in the cluster of SV_PG_CONNINFO and
// dropped (even with sessions still open) at the end. Header-only and without Qt.

#include <cstdlib>
#include <libpq-fe.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

class TPgDatabase {
public:
    // The name is prefix_PID_N, so that parallel test programs never meet.
    explicit TPgDatabase(const std::string& prefix) {
        static int counter = 0;
        mName = prefix + "_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
        Run("CREATE DATABASE " + mName);
    }
    ~TPgDatabase() {
        try {
            Run("DROP DATABASE IF EXISTS " + mName + " WITH (FORCE)");
        } catch (...) {
        }
    }
    TPgDatabase(const TPgDatabase&) = delete;
    TPgDatabase& operator=(const TPgDatabase&) = delete;

    const std::string& Name() const { return mName; }
    std::string Conninfo() const { return std::string(std::getenv("SV_PG_CONNINFO")) + " dbname=" + mName; }

private:
    static void Run(const std::string& sql) {
        PGconn* c = PQconnectdb(std::getenv("SV_PG_CONNINFO"));
        if (PQstatus(c) != CONNECTION_OK) {
            std::string e = PQerrorMessage(c);
            PQfinish(c);
            throw std::runtime_error(e);
        }
        PGresult* r = PQexec(c, sql.c_str());
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
        std::string e = PQerrorMessage(c);
        PQclear(r);
        PQfinish(c);
        if (!ok)
            throw std::runtime_error(e);
    }
    std::string mName;
};
