#pragma once
// Starts a real data server per test, over SQLite or (SV_SERVER_ENGINE=postgres) over a fresh
// PostgreSQL database of its own, and drives SQL sessions through the test client.

#include "UTestClient.h"
#include "dataserver/UXAuthKey.h"
#include "foundation/UXCipher.h"
#include "sql/UXSQLWire.h"
#include "support/UDataServerProcess.h"
#include "support/UPgDatabase.h"

#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

inline bool UsePostgres() {
    const char* e = std::getenv("SV_SERVER_ENGINE");
    return e && std::string(e) == "postgres";
}

struct TCfg {
    std::string name;
    std::string password;
};

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (UsePostgres() && !std::getenv("SV_PG_CONNINFO"))
            GTEST_SKIP() << "SV_PG_CONNINFO is not set";
    }
    void TearDown() override {
        server.reset();
        databases.clear();
        keptDatabases.clear();
    }

    DataServerProcess& Start(std::vector<TCfg> cfgs = {{"SARVOLENTIS", ""}}, int keepAliveMs = 30000,
                             int idleTimeoutMs = 120000) {
        DataServerOptions o;
        o.keepAliveMs = keepAliveMs;
        o.idleTimeoutMs = idleTimeoutMs;
        o.dataDir = dataDir;
        nlohmann::json list = nlohmann::json::array();
        for (const auto& c : cfgs) {
            nlohmann::json j{{"name", c.name}, {"password", c.password}};
            if (UsePostgres() && !keptDatabases.empty()) {
                databases.push_back(std::move(keptDatabases.front()));
                keptDatabases.erase(keptDatabases.begin());
                j["engine"] = "postgres";
                j["location"] = databases.back()->Conninfo();
            } else if (UsePostgres()) {
                databases.push_back(std::make_unique<TPgDatabase>("sv_server"));
                j["engine"] = "postgres";
                j["location"] = databases.back()->Conninfo();
            } else {
                j["engine"] = "sqlite";
                j["location"] = c.name + ".db";
            }
            list.push_back(j);
        }
        o.configJson = nlohmann::json{{"configurations", list}}.dump();
        server = std::make_unique<DataServerProcess>(o);
        return *server;
    }
    uint16_t Port() const { return server->Port(); }

    static bool Login(TTestClient& c, const std::string& cfg, const std::string& password) {
        c.Send("AUTH", "CHECK", Pack([&](TXData& d) {
                   PutS(d, cfg);
                   PutS(d, Scramble(password, AuthKeyFor(c.Id())));
               }));
        TPack p = c.WaitFor("AUTH", "CHECK");
        TXData d = p.Data();
        EXPECT_EQ(GetS(d), cfg);
        GetS(d); // server token
        return GetBool(d);
    }

    std::unique_ptr<DataServerProcess> server;
    std::vector<std::unique_ptr<TPgDatabase>> databases;
    std::vector<std::unique_ptr<TPgDatabase>> keptDatabases; // reused by the next Start
    std::string dataDir;                                     // empty: a fresh folder per server
};

inline TXSQLWireParam Param(char prefix, std::string name, TXVariant v) {
    TXSQLWireParam p;
    p.prefix = prefix;
    p.name = std::move(name);
    p.value = std::move(v);
    return p;
}

struct TSelectResult {
    std::string error; // SQLERROR text, empty on success
    int32_t total = -1;
    std::vector<TXSQLWireField> fields;
    std::vector<std::vector<TXVariant>> rows;
    std::vector<size_t> pageSizes; // records per page
    std::vector<size_t> pageBytes; // payload bytes per page
};

// One SQL session of a test client.
class TSess {
public:
    TSess(TTestClient& c, int32_t csid, std::string cfg = "SARVOLENTIS", std::string op = "geral")
        : mC(c), mCsid(csid), mCfg(std::move(cfg)) {
        c.Send("SESS", "CREATE", Pack([&](TXData& d) {
                   PutI(d, csid);
                   PutS(d, mCfg);
                   PutS(d, op);
               }));
        TPack p = c.WaitFor("SESS", "CREATE");
        TXData d = p.Data();
        if (GetI(d) != csid || GetS(d) != mCfg || GetS(d) != op || !GetBool(d))
            throw std::runtime_error("session not created");
        mSsid = GetI(d);
    }
    int32_t Ssid() const { return mSsid; }
    int32_t Csid() const { return mCsid; }

    void Head(TXData& d) const {
        PutI(d, mCsid);
        PutS(d, mCfg);
        PutI(d, mSsid);
    }
    static TXSQLWireStatement Stmt(std::string sql, std::string mark, std::vector<TXSQLWireParam> params) {
        TXSQLWireStatement s;
        s.text = std::move(sql);
        s.transactionMark = std::move(mark);
        s.params = std::move(params);
        return s;
    }
    void SendCommand(const std::string& id, const std::string& sql, const std::string& mark = "tsNone",
                     std::vector<TXSQLWireParam> params = {}) {
        mC.Send("SESS", "COMMAND", Pack([&](TXData& d) {
                    Head(d);
                    PutS(d, id);
                    WriteStatement(d, Stmt(sql, mark, std::move(params)));
                }));
    }
    void SendSelect(const std::string& id, int32_t number, const std::string& sql,
                    const std::string& mark = "tsNone", std::vector<TXSQLWireParam> params = {}) {
        mC.Send("SESS", "SELECT", Pack([&](TXData& d) {
                    Head(d);
                    PutS(d, id);
                    PutI(d, number);
                    WriteStatement(d, Stmt(sql, mark, std::move(params)));
                }));
    }
    void SendFetch(const std::string& id) {
        mC.Send("SESS", "FETCH", Pack([&](TXData& d) {
                    Head(d);
                    PutS(d, id);
                    PutB(d, 1);
                }));
    }
    // The next FETCH / FETCHSTRUCT / SQLERROR of this session for id.
    TPack Reply(const std::string& id, int timeoutMs = 20000) {
        return mC.WaitIf(
            [&](const TPack& p) {
                if (p.service != "SESS" ||
                    (p.command != "FETCH" && p.command != "FETCHSTRUCT" && p.command != "SQLERROR"))
                    return false;
                TXData d = p.Data();
                return GetI(d) == mCsid && GetS(d) == id;
            },
            "reply to " + id, timeoutMs);
    }
    // "" when the command succeeded, else the SQLERROR text.
    std::string ReplyError(const std::string& id, int timeoutMs = 20000) {
        TPack p = Reply(id, timeoutMs);
        if (p.command == "FETCH")
            return "";
        if (p.command != "SQLERROR")
            throw std::runtime_error("unexpected " + p.command + " for " + id);
        TXData d = p.Data();
        GetI(d);
        GetS(d);
        const std::string e = GetS(d);
        return e.empty() ? "(empty error)" : e;
    }
    std::string Exec(const std::string& sql, const std::string& mark = "tsNone",
                     std::vector<TXSQLWireParam> params = {}) {
        const std::string id = "cmd" + std::to_string(mNext++);
        SendCommand(id, sql, mark, std::move(params));
        return ReplyError(id);
    }
    TSelectResult Select(const std::string& sql, std::vector<TXSQLWireParam> params = {},
                         const std::string& mark = "tsNone") {
        const std::string id = "sel" + std::to_string(mNext);
        const int32_t number = mNext++;
        SendSelect(id, number, sql, mark, std::move(params));
        return Collect(id, number);
    }
    TSelectResult Collect(const std::string& id, int32_t number) {
        TSelectResult r;
        TPack p = Reply(id);
        TXData d = p.Data();
        GetI(d);
        GetS(d);
        if (p.command == "SQLERROR") {
            r.error = GetS(d);
            return r;
        }
        if (p.command != "FETCHSTRUCT")
            throw std::runtime_error("expected FETCHSTRUCT, got " + p.command);
        EXPECT_EQ(GetI(d), number);
        r.total = GetI(d);
        r.fields = ReadStructure(d);
        // Like the client: one FETCH per page until every record arrived (one at least).
        do {
            SendFetch(id);
            TPack f = Reply(id);
            if (f.command != "FETCH")
                throw std::runtime_error("expected FETCH, got " + f.command);
            TXData fd = f.Data();
            GetI(fd);
            GetS(fd);
            EXPECT_EQ(GetI(fd), number);
            TXSQLWirePage page = ReadPage(fd, r.fields);
            EXPECT_TRUE(fd.AtEnd());
            if (!page.entries.empty()) {
                EXPECT_EQ(page.firstPosition, static_cast<int32_t>(r.rows.size()));
            }
            for (auto& e : page.entries) {
                EXPECT_TRUE(e.has_value());
                r.rows.push_back(e ? *e : std::vector<TXVariant>{});
            }
            r.pageSizes.push_back(page.entries.size());
            r.pageBytes.push_back(f.payload.size());
            if (page.entries.empty())
                break;
        } while (static_cast<int32_t>(r.rows.size()) < r.total);
        return r;
    }
    void Semaphore(const std::string& command, const std::string& name, const std::string& key) {
        mC.Send("SESS", command, Pack([&](TXData& d) {
                    Head(d);
                    PutS(d, name);
                    if (command == "SEMAPHOREACQUIRE")
                        PutS(d, "data");
                    PutS(d, key);
                    if (command == "SEMAPHOREACQUIRE") {
                        PutB(d, 1);
                        PutB(d, 0);
                    }
                }));
    }
    // SEMAPHOREACQUIRED or SEMAPHOREINUSE for this session.
    std::string Acquire(const std::string& name, const std::string& key) {
        Semaphore("SEMAPHOREACQUIRE", name, key);
        TPack p = mC.WaitIf(
            [&](const TPack& q) {
                if (q.service != "SESS" ||
                    (q.command != "SEMAPHOREACQUIRED" && q.command != "SEMAPHOREINUSE"))
                    return false;
                TXData d = q.Data();
                return GetI(d) == mCsid;
            },
            "semaphore reply");
        TXData d = p.Data();
        GetI(d);
        EXPECT_EQ(GetS(d), name);
        EXPECT_EQ(GetS(d), "data");
        EXPECT_EQ(GetS(d), key);
        return p.command;
    }
    void Release(const std::string& name, const std::string& key) {
        Semaphore("SEMAPHORERELEASE", name, key);
    }
    void Free() {
        mC.Send("SESS", "FREE", Pack([&](TXData& d) { Head(d); }));
    }

private:
    TTestClient& mC;
    int32_t mCsid;
    std::string mCfg;
    int32_t mSsid = -1;
    int32_t mNext = 0;
};
