#pragma once
// SQL sessions against a real data server: over SQLite, or over a throwaway PostgreSQL database when
// SV_SESSIONS_ENGINE=postgres (skipped without SV_PG_CONNINFO). Connections, logged-in data clients
// and session components whose events are recorded.

#include "dataserver/UScriptedPeer.h"
#include "dataserver/UXDataClient.h"
#include "dataserver/UXSQLSessionGUI.h"
#include "dataserver/UXTCPClientPack.h"
#include "foundation/UXDialogs.h"
#include "support/UDataServerProcess.h"
#include "support/UPgDatabase.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

inline bool UsePostgres() {
    const char* e = std::getenv("SV_SESSIONS_ENGINE");
    return e && std::string(e) == "postgres";
}

inline std::string Ddl(const std::string& sqlite, const std::string& postgres) {
    return UsePostgres() ? postgres : sqlite;
}

// Every text shown is recorded; no dialog ever opens.
class TRecordingDialogs : public TXDialogService {
public:
    std::vector<std::string> Shown;
    void Message(TXMsgDlgType, const std::string& text) override { Shown.push_back(text); }
    TXMsgDlgBtn Ask(const std::string& text, TXMsgDlgType, TXMsgDlgButtons, TXMsgDlgBtn d) override {
        Shown.push_back(text);
        return d;
    }
    std::string OpenFileName(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    std::string SaveFileName(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    std::string ChooseFolder(const std::string&, const std::string&) override { return {}; }
    bool StartProgram(const std::string&, const std::vector<std::string>&) override { return false; }
};

// One connection to the data server with its data client, logged in to a configuration.
class TConn {
public:
    TConn() { dc.SetTCPClientPack(&pack); }
    bool Open(uint16_t port, const std::string& cfg = "SARVOLENTIS", const std::string& password = "") {
        bool id = false;
        int checks = 0;
        bool ok = false;
        pack.OnIDReceived = [&] { id = true; };
        dc.OnAuthCheck = [&](const std::string&, bool k, int32_t) {
            ++checks;
            ok = k;
        };
        pack.IP = "127.0.0.1";
        pack.Port = port;
        pack.Activate(-1);
        if (!WaitFor([&] { return id; }, 10000))
            return false;
        dc.CheckCFG(password, cfg);
        const bool answered = WaitFor([&] { return checks == 1; }, 10000);
        pack.OnIDReceived = nullptr;
        dc.OnAuthCheck = nullptr;
        return answered && ok;
    }
    TXTCPClientPack pack;
    TXDataClient dc;
};

// A session component with every event written to a log line.
class TSess {
public:
    explicit TSess(TXDataClient* dc, std::string op = "geral", std::string cfg = "SARVOLENTIS") {
        gui.DC = dc;
        gui.OP = std::move(op);
        gui.CFG = std::move(cfg);
        gui.OnCommand = [this](TXSQLSessionGUI&, const std::string& id) { Log("command:" + id); };
        gui.OnCreateError = [this](TXSQLSessionGUI&, const std::string& e) { Log("createerror:" + e); };
        gui.OnFetchStruct = [this](TXSQLSessionGUI&, const std::string& id, TXSQL&, int32_t n, bool& abort) {
            Log("fetchstruct:" + id + ":" + std::to_string(n));
            abort = abortStruct;
        };
        gui.OnFetch = [this](TXSQLSessionGUI&, const std::string& id, TXSQL&, int32_t start, int32_t count,
                             bool& abort) {
            Log("fetch:" + id + ":" + std::to_string(start) + ":" + std::to_string(count));
            pages.push_back(count);
            abort = abortFetch;
        };
        gui.OnSelect = [this](TXSQLSessionGUI&, const std::string& id, TXSQL&) { Log("select:" + id); };
        gui.OnSQLError = [this](TXSQLSessionGUI&, const std::string& id, const std::string& e) {
            Log("sqlerror:" + id + ":" + e);
        };
        gui.OnSequence = [this](TXSQLSessionGUI&, const std::string& id, const std::string& t,
                                const std::string& f, int64_t v, int32_t q) {
            lastValue = v;
            Log("sequence:" + id + ":" + t + ":" + f + ":" + std::to_string(v) + ":" + std::to_string(q));
        };
        gui.OnSequenceError = [this](TXSQLSessionGUI&, const std::string& id, const std::string& t,
                                     const std::string& f, const std::string& e) {
            Log("sequenceerror:" + id + ":" + t + ":" + f + ":" + (e.empty() ? "" : "text"));
        };
        gui.OnSemaphoreAcquired = [this](TXSQLSessionGUI&, const std::string& s, const std::string& d,
                                         const std::string& k) { Log("acquired:" + s + ":" + d + ":" + k); };
        gui.OnSemaphoreInUse = [this](TXSQLSessionGUI&, const std::string& s, const std::string& d,
                                      const std::string& k) { Log("inuse:" + s + ":" + d + ":" + k); };
        gui.OnReady = [this](TXSQLSessionGUI&) { Log("ready"); };
    }

    bool Open() {
        gui.Loaded();
        return WaitFor([&] { return gui.Ready(); }, 10000);
    }

    void Log(std::string line) { log.push_back(std::move(line)); }
    bool Has(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }
    // The first log line that starts with one of the prefixes, waiting for it; "" on timeout.
    std::string WaitLine(const std::vector<std::string>& prefixes, int timeoutMs = 20000) {
        std::string found;
        WaitFor(
            [&] {
                for (const auto& l : log)
                    for (const auto& p : prefixes)
                        if (l.rfind(p, 0) == 0) {
                            found = l;
                            return true;
                        }
                return false;
            },
            timeoutMs);
        return found;
    }

    // Runs a command; "" when it completed, else the error text ("timeout" when nothing came).
    std::string Exec(const std::string& sql, const std::function<void(TXSQL&)>& params = {}) {
        const std::string id = "c" + std::to_string(mNext++);
        Send(id, sql, params, false);
        return Outcome(id, "command:");
    }
    // Sends a command and returns its id without waiting.
    std::string Post(const std::string& sql, const std::function<void(TXSQL&)>& params = {}) {
        const std::string id = "c" + std::to_string(mNext++);
        Send(id, sql, params, false);
        return id;
    }
    std::string Outcome(const std::string& id, const std::string& okPrefix) {
        const std::string line = WaitLine({okPrefix + id, "sqlerror:" + id + ":"});
        if (line.empty())
            return "timeout";
        if (line.rfind(okPrefix, 0) == 0)
            return "";
        return line.substr(std::string("sqlerror:" + id + ":").size());
    }
    // Runs a query; the complete statement (still listed under its id) or nullptr with error set.
    TXSQL* Query(const std::string& sql, const std::function<void(TXSQL&)>& params = {}) {
        const std::string id = "q" + std::to_string(mNext++);
        Send(id, sql, params, true);
        error = Outcome(id, "select:");
        lastId = id;
        return error.empty() ? gui.FindSQL(id) : nullptr;
    }
    int64_t Count(const std::string& sql) {
        TXSQL* q = Query(sql);
        if (!q || q->RecordCount() != 1)
            return -1;
        const int64_t n = q->FieldValueAt(0, q->Struct().Field(0).Name).AsInt64();
        gui.FreeSQL(lastId);
        return n;
    }

    TXSQLSessionGUI gui;
    std::vector<std::string> log;
    std::vector<int32_t> pages;
    bool abortStruct = false;
    bool abortFetch = false;
    int64_t lastValue = 0;
    std::string error;
    std::string lastId;

private:
    void Send(const std::string& id, const std::string& sql, const std::function<void(TXSQL&)>& params,
              bool select) {
        gui.SQL().SQLText = sql;
        if (params)
            params(gui.SQL());
        if (select)
            gui.Select(id);
        else
            gui.Command(id);
    }
    int mNext = 0;
};

// A real data server per test, with the default configuration over the engine of the run.
class SessionsTest : public testing::Test {
protected:
    void SetUp() override {
        if (UsePostgres() && !std::getenv("SV_PG_CONNINFO"))
            GTEST_SKIP() << "SV_PG_CONNINFO is not set";
        DataServerOptions o;
        nlohmann::json cfg{{"name", "SARVOLENTIS"}, {"password", ""}};
        if (UsePostgres()) {
            mPg = std::make_unique<TPgDatabase>("sv_sessions");
            cfg["engine"] = "postgres";
            cfg["location"] = mPg->Conninfo();
        } else {
            cfg["engine"] = "sqlite";
            cfg["location"] = "SARVOLENTIS.db";
        }
        o.configJson = nlohmann::json{{"configurations", nlohmann::json::array({cfg})}}.dump();
        server = std::make_unique<DataServerProcess>(o);
        conn = std::make_unique<TConn>();
        ASSERT_TRUE(conn->Open(server->Port()));
        sess = std::make_unique<TSess>(&conn->dc);
        ASSERT_TRUE(sess->Open());
    }
    void TearDown() override {
        sess.reset();
        conn.reset();
        server.reset();
        mPg.reset();
    }
    std::unique_ptr<TConn> Connect() {
        auto c = std::make_unique<TConn>();
        EXPECT_TRUE(c->Open(server->Port()));
        return c;
    }
    std::unique_ptr<TSess> OpenSession(TConn& c) {
        auto s = std::make_unique<TSess>(&c.dc);
        EXPECT_TRUE(s->Open());
        return s;
    }

    std::unique_ptr<TPgDatabase> mPg;
    std::unique_ptr<DataServerProcess> server;
    std::unique_ptr<TConn> conn;
    std::unique_ptr<TSess> sess;
};
