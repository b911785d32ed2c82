#pragma once
// Shell tests against a real data server: a logged-in connection, a session that runs SQL and
// waits for it, and a bounded wait that keeps the event loop going.

#include "dataserver/UXDataClient.h"
#include "dataserver/UXSQLSessionGUI.h"
#include "dataserver/UXTCPClientPack.h"
#include "sql/UXSQL.h"
#include "support/UDataServerProcess.h"
#include "support/UWaitFor.h"

#include <functional>
#include <string>

class TShellConn {
public:
    TShellConn() {
        dc.SetTCPClientPack(&pack);
        dc.DefaultCFG = "SARVOLENTIS";
    }
    bool Open(uint16_t port, const std::string& cfg = "SARVOLENTIS", const std::string& password = "") {
        bool id = false, answered = false, ok = false;
        pack.OnIDReceived = [&] { id = true; };
        dc.OnAuthCheck = [&](const std::string&, bool k, int32_t) {
            answered = true;
            ok = k;
        };
        pack.IP = "127.0.0.1";
        pack.Port = port;
        pack.Activate(-1);
        const bool got =
            WaitFor([&] { return id; }) && (dc.CheckCFG(password, cfg), WaitFor([&] { return answered; }));
        pack.OnIDReceived = nullptr;
        dc.OnAuthCheck = nullptr;
        return got && ok;
    }
    TXTCPClientPack pack;
    TXDataClient dc;
};

// A "geral" session whose commands and queries are waited for.
class TShellSQL {
public:
    explicit TShellSQL(TXDataClient& dc) {
        gui.DC = &dc;
        gui.OP = "geral";
        gui.OnCommand = [this](TXSQLSessionGUI&, const std::string& id) { mDone = id; };
        gui.OnSelect = [this](TXSQLSessionGUI&, const std::string& id, TXSQL&) { mDone = id; };
        gui.OnSQLError = [this](TXSQLSessionGUI&, const std::string& id, const std::string& e) {
            mDone = id;
            mError = e.empty() ? "error" : e;
        };
        gui.Loaded();
        WaitFor([this] { return gui.Ready(); });
    }
    // "" when it ran, else the server's error.
    std::string Exec(const std::string& sql, const std::function<void(TXSQL&)>& params = {}) {
        Send(sql, params);
        gui.Command(Next());
        return Wait();
    }
    // The first column of the first row as text; "ERR:" + error on failure.
    std::string Value(const std::string& sql) {
        Send(sql, {});
        const std::string id = Next();
        gui.Select(id);
        const std::string e = Wait();
        if (!e.empty())
            return "ERR:" + e;
        TXSQL* q = gui.FindSQL(id);
        std::string v;
        if (q && q->RecordCount() > 0) {
            q->First();
            v = q->FieldValueAt(0, q->Struct().FieldCount() ? q->Struct().Field(0).Name : "").AsString();
        }
        gui.FreeSQL(id);
        return v;
    }
    TXSQLSessionGUI gui;

private:
    void Send(const std::string& sql, const std::function<void(TXSQL&)>& params) {
        gui.SQL().SQLText = sql;
        if (params)
            params(gui.SQL());
    }
    std::string Next() {
        mDone.clear();
        mError.clear();
        return mWaiting = "t" + std::to_string(mNext++);
    }
    std::string Wait() {
        if (!WaitFor([this] { return mDone == mWaiting; }, 15000))
            return "timeout";
        return mError;
    }
    std::string mDone, mError, mWaiting;
    int mNext = 0;
};
