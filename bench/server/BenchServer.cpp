// What the data server costs a screen, measured through the client's real session component on a
// Qt event loop against a real sarvolentis-dataserver on loopback, over SQLite and (with
// SV_PG_CONNINFO) PostgreSQL. Every figure is wall time, the median of several runs: a client/server
// chain spends its time waiting on the other process, so thread CPU time would hide the cost. This
// process keeps freed memory as the client program does (KeepFreedMemory).
//
// CommandChain: 10,000 INSERTs in one transaction, each sent when the previous reply arrives, against
//   a loopback ping-pong of the same frame sizes plus the engine's own prepared INSERT of the rows.
// SelectFetch: a 30,000 x 8 SELECT fetched into a TXSQL, against the engine running and iterating the
//   same query plus one loopback transfer of the bytes the server sends for it.
#include "UTestClient.h"
#include "dataserver/UXAuthKey.h"
#include "dataserver/UXDataClient.h"
#include "dataserver/UXSQLSessionGUI.h"
#include "dataserver/UXTCPClientPack.h"
#include "dataserver/UXTCPPack.h"
#include "foundation/UXCipher.h"
#include "foundation/UXProcessMemory.h"
#include "sql/UXSQL.h"
#include "sql/UXSQLWire.h"
#include "support/UDataServerProcess.h"
#include "support/UPgDatabase.h"
#include "support/UWaitFor.h"

#include "../URawChain.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

namespace {

constexpr int kChain = 10000;
constexpr int kSelectRows = 30000;
const std::string kCfg = "SARVOLENTIS";
const char* const kInsert = "INSERT INTO BCHAIN (ID, NOME, VALOR) VALUES (:ID, :NOME, :VALOR)";
const char* const kSelInsert = "INSERT INTO BSEL (ID, NOME, DESCR, VALOR, PESO, DATA, QTD, OBS) "
                               "VALUES (:ID, :NOME, :DESCR, :VALOR, :PESO, :DATA, :QTD, :OBS)";
const char* const kSelect = "SELECT ID, NOME, DESCR, VALOR, PESO, DATA, QTD, OBS FROM BSEL ORDER BY ID";

using TClock = std::chrono::steady_clock;

double MsSince(TClock::time_point t0) {
    return std::chrono::duration<double, std::milli>(TClock::now() - t0).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

std::string ChainName(int i) {
    return "nome do registro " + std::to_string(i);
}

// ---- the engines ------------------------------------------------------------------------------

void PgRun(PGconn* c, const std::string& sql) {
    PGresult* r = PQexec(c, sql.c_str());
    const auto st = PQresultStatus(r);
    std::string e = PQerrorMessage(c);
    PQclear(r);
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK)
        throw std::runtime_error(sql + ": " + e);
}

PGconn* PgConnect(const std::string& conninfo) {
    PGconn* c = PQconnectdb(conninfo.c_str());
    if (PQstatus(c) != CONNECTION_OK) {
        std::string e = PQerrorMessage(c);
        PQfinish(c);
        throw std::runtime_error(e);
    }
    return c;
}

// The engine itself, in this process: the baselines.
class TDirectEngine {
public:
    virtual ~TDirectEngine() = default;
    // ms for kChain prepared INSERTs of the chain's rows (ids from first) in one transaction.
    virtual double InsertChain(int first) = 0;
    // ms to run kSelect and read every value; rows seen.
    virtual double SelectAll(int& rows) = 0;
    virtual void Exec(const std::string& sql) = 0;
};

class TDirectSQLite : public TDirectEngine {
public:
    explicit TDirectSQLite(const std::string& file) {
        if (sqlite3_open_v2(file.c_str(), &mDb, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + file);
        sqlite3_busy_timeout(mDb, 10000);
        Exec("PRAGMA synchronous=NORMAL"); // as the server's engine runs it (the file is in WAL mode)
    }
    ~TDirectSQLite() override { sqlite3_close(mDb); }
    void Exec(const std::string& sql) override {
        char* err = nullptr;
        if (sqlite3_exec(mDb, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            std::string e = err ? err : "?";
            sqlite3_free(err);
            throw std::runtime_error(sql + ": " + e);
        }
    }
    double InsertChain(int first) override {
        const auto t0 = TClock::now();
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(mDb, "INSERT INTO BCHAIN (ID, NOME, VALOR) VALUES (?1, ?2, ?3)", -1, &s, nullptr);
        Exec("BEGIN");
        for (int i = first; i < first + kChain; ++i) {
            const std::string nome = ChainName(i);
            sqlite3_bind_int64(s, 1, i);
            sqlite3_bind_text(s, 2, nome.data(), int(nome.size()), SQLITE_TRANSIENT);
            sqlite3_bind_double(s, 3, i * 1.5);
            if (sqlite3_step(s) != SQLITE_DONE)
                throw std::runtime_error(sqlite3_errmsg(mDb));
            sqlite3_reset(s);
        }
        Exec("COMMIT");
        sqlite3_finalize(s);
        return MsSince(t0);
    }
    double SelectAll(int& rows) override {
        const auto t0 = TClock::now();
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(mDb, kSelect, -1, &s, nullptr);
        rows = 0;
        int64_t sum = 0;
        while (sqlite3_step(s) == SQLITE_ROW) {
            ++rows;
            for (int c = 0; c < 8; ++c) {
                switch (sqlite3_column_type(s, c)) {
                case SQLITE_INTEGER:
                    sum += sqlite3_column_int64(s, c);
                    break;
                case SQLITE_FLOAT:
                    sum += int64_t(sqlite3_column_double(s, c));
                    break;
                case SQLITE_TEXT:
                    sum += sqlite3_column_bytes(s, c) + sqlite3_column_text(s, c)[0];
                    break;
                default:
                    break;
                }
            }
        }
        sqlite3_finalize(s);
        benchmark::DoNotOptimize(sum);
        return MsSince(t0);
    }

private:
    sqlite3* mDb = nullptr;
};

class TDirectPostgres : public TDirectEngine {
public:
    explicit TDirectPostgres(const std::string& conninfo) : mConn(PgConnect(conninfo)) {}
    ~TDirectPostgres() override { PQfinish(mConn); }
    void Exec(const std::string& sql) override { PgRun(mConn, sql); }
    double InsertChain(int first) override {
        const auto t0 = TClock::now();
        const std::string name = "ins" + std::to_string(++mPrepared);
        PGresult* p = PQprepare(mConn, name.c_str(),
                                "INSERT INTO BCHAIN (ID, NOME, VALOR) VALUES ($1, $2, $3)", 3, nullptr);
        PQclear(p);
        Exec("BEGIN");
        for (int i = first; i < first + kChain; ++i) {
            const std::string id = std::to_string(i), nome = ChainName(i), valor = std::to_string(i * 1.5);
            const char* v[3] = {id.c_str(), nome.c_str(), valor.c_str()};
            PGresult* r = PQexecPrepared(mConn, name.c_str(), 3, v, nullptr, nullptr, 0);
            const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
            PQclear(r);
            if (!ok)
                throw std::runtime_error(PQerrorMessage(mConn));
        }
        Exec("COMMIT");
        return MsSince(t0);
    }
    double SelectAll(int& rows) override {
        const auto t0 = TClock::now();
        PGresult* r = PQexec(mConn, kSelect);
        rows = PQntuples(r);
        int64_t sum = 0;
        for (int i = 0; i < rows; ++i)
            for (int c = 0; c < 8; ++c)
                if (!PQgetisnull(r, i, c))
                    sum += PQgetlength(r, i, c) + PQgetvalue(r, i, c)[0];
        PQclear(r);
        benchmark::DoNotOptimize(sum);
        return MsSince(t0);
    }

private:
    PGconn* mConn;
    int mPrepared = 0;
};

// ---- loopback baselines -----------------------------------------------------------------------

int ListenLoopback(uint16_t& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 1) != 0)
        throw std::runtime_error("cannot listen on loopback");
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

int AcceptNoDelay(int listenFd) {
    const int fd = accept(listenFd, nullptr, nullptr);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// kChain round trips of requestSize/replySize bytes: a peer answering from a plain blocking thread, the
// requester a QTcpSocket on this thread's event loop, as the client's own transport is.
double PingPong(int requestSize, int replySize) {
    uint16_t port = 0;
    const int lfd = ListenLoopback(port);
    std::thread peer([&] {
        const int fd = AcceptNoDelay(lfd);
        const std::string reply(size_t(replySize), 'r');
        std::vector<char> buf(65536);
        int64_t pending = 0;
        for (int answered = 0; answered < kChain;) {
            const ssize_t n = read(fd, buf.data(), buf.size());
            if (n <= 0)
                break;
            pending += n;
            while (pending >= requestSize && answered < kChain) {
                pending -= requestSize;
                ++answered;
                if (write(fd, reply.data(), reply.size()) != ssize_t(reply.size()))
                    break;
            }
        }
        close(fd);
    });
    const double ms = RawChainMs(port, requestSize, replySize, kChain);
    peer.join();
    close(lfd);
    return ms;
}

// One transfer of bytes over loopback, from the request of one byte to the last byte received.
double Transfer(int64_t bytes) {
    uint16_t port = 0;
    const int lfd = ListenLoopback(port);
    std::thread peer([&] {
        const int fd = AcceptNoDelay(lfd);
        char go = 0;
        if (read(fd, &go, 1) == 1) {
            const std::string chunk(65536, 'p');
            for (int64_t left = bytes; left > 0;) {
                const ssize_t n =
                    write(fd, chunk.data(), size_t(std::min<int64_t>(left, int64_t(chunk.size()))));
                if (n <= 0)
                    break;
                left -= n;
            }
        }
        close(fd);
    });
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        throw std::runtime_error("cannot connect on loopback");
    std::vector<char> buf(1 << 18);
    const auto t0 = TClock::now();
    if (write(fd, "g", 1) != 1)
        throw std::runtime_error("loopback write failed");
    for (int64_t got = 0; got < bytes;) {
        const ssize_t n = read(fd, buf.data(), buf.size());
        if (n <= 0)
            break;
        got += n;
    }
    const double ms = MsSince(t0);
    close(fd);
    peer.join();
    close(lfd);
    return ms;
}

// ---- the server and the client ----------------------------------------------------------------

struct TBenchSetup {
    std::string engine; // "sqlite" | "postgres"
    std::unique_ptr<TPgDatabase> pg;
    std::unique_ptr<DataServerProcess> server;
    std::unique_ptr<TDirectEngine> direct;

    explicit TBenchSetup(std::string e) : engine(std::move(e)) {
        setenv("SV_DATASERVER_BIN", SV_DATASERVER_BIN_DEFAULT, 0);
        nlohmann::json cfg{{"name", kCfg}, {"password", ""}, {"engine", engine}};
        if (engine == "postgres") {
            pg = std::make_unique<TPgDatabase>("sv_bench_server");
            cfg["location"] = pg->Conninfo();
        } else {
            cfg["location"] = "SARVOLENTIS.db";
        }
        DataServerOptions o;
        o.configJson = nlohmann::json{{"configurations", nlohmann::json::array({cfg})}}.dump();
        server = std::make_unique<DataServerProcess>(o);
    }
    // After the server created the database.
    TDirectEngine& Direct() {
        if (!direct) {
            if (engine == "postgres")
                direct = std::make_unique<TDirectPostgres>(pg->Conninfo());
            else
                direct = std::make_unique<TDirectSQLite>(server->DataDir() + "/SARVOLENTIS.db");
        }
        return *direct;
    }
};

// The client as a screen has it: transport, data client, one session component.
struct TBenchClient {
    TXTCPClientPack pack;
    TXDataClient dc;
    std::unique_ptr<TXSQLSessionGUI> gui;
    int nextId = 0;

    explicit TBenchClient(uint16_t port) {
        dc.SetTCPClientPack(&pack);
        bool id = false;
        pack.OnIDReceived = [&] { id = true; };
        pack.IP = "127.0.0.1";
        pack.Port = port;
        pack.Activate(-1);
        if (!WaitFor([&] { return id; }))
            throw std::runtime_error("no connection id");
        pack.OnIDReceived = nullptr;
        bool ok = false;
        for (int round = 0; round < 200 && !ok; ++round) {
            bool opening = false;
            dc.OnAuthCheck = [&](const std::string&, bool success, int32_t) { ok = success; };
            dc.OnErrorMessage = [&](const std::string& code, TXData&) { opening = code == "CFGOPENING"; };
            dc.Logout();
            dc.CheckCFG("", kCfg);
            WaitFor([&] { return ok || opening; });
            if (!ok)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        dc.OnAuthCheck = nullptr;
        dc.OnErrorMessage = nullptr;
        if (!ok)
            throw std::runtime_error("the configuration did not open");
        gui = std::make_unique<TXSQLSessionGUI>();
        gui->DC = &dc;
        gui->OP = "geral";
        gui->CFG = kCfg;
        gui->Loaded();
        if (!WaitFor([&] { return gui->Ready(); }))
            throw std::runtime_error("no session");
    }
    ~TBenchClient() {
        gui.reset();
        pack.Deactivate();
    }

    // The handlers refer to locals of the call that set them.
    void Quiet() {
        gui->OnCommand = nullptr;
        gui->OnSQLError = nullptr;
        gui->OnSelect = nullptr;
    }

    // One command outside a transaction, waited for.
    void Exec(const std::string& sql) {
        bool done = false;
        std::string error;
        const std::string id = "x" + std::to_string(nextId++);
        gui->OnCommand = [&](TXSQLSessionGUI&, const std::string& pid) { done = done || pid == id; };
        gui->OnSQLError = [&](TXSQLSessionGUI&, const std::string&, const std::string& e) {
            error = e;
            done = true;
        };
        gui->SQL().SQLText = sql;
        gui->Command(id);
        const bool answered = WaitFor([&] { return done; }, 60000);
        Quiet();
        if (!answered || !error.empty())
            throw std::runtime_error(sql + ": " + (error.empty() ? "timeout" : error));
    }

    // count commands in one transaction, each sent when the previous one is answered; fill sets the
    // statement of row i. ms from the first send to the commit's reply.
    double Chain(int first, int count, const std::function<void(TXSQL&, int)>& fill) {
        int done = 0;
        bool finished = false;
        std::string error;
        QEventLoop loop;
        auto send = [&](int i) {
            fill(gui->SQL(), i);
            gui->Command("c" + std::to_string(nextId++));
        };
        gui->OnCommand = [&](TXSQLSessionGUI& g, const std::string& pid) {
            if (pid == "commit") {
                finished = true;
                loop.quit();
            } else if (++done == count) {
                g.Commit("commit");
            } else {
                send(first + done);
            }
        };
        gui->OnSQLError = [&](TXSQLSessionGUI&, const std::string&, const std::string& e) {
            error = e;
            finished = true;
            loop.quit();
        };
        const auto t0 = TClock::now();
        gui->StartTransaction();
        send(first);
        if (!finished)
            loop.exec();
        const double ms = MsSince(t0);
        Quiet();
        if (!error.empty())
            throw std::runtime_error("chain failed: " + error);
        return ms;
    }

    // The SELECT fetched into the session's TXSQL; ms until it is complete.
    double Select(int& rows) {
        bool finished = false;
        std::string error;
        QEventLoop loop;
        const std::string id = "s" + std::to_string(nextId++);
        gui->OnSelect = [&](TXSQLSessionGUI&, const std::string& pid, TXSQL&) {
            if (pid == id) {
                finished = true;
                loop.quit();
            }
        };
        gui->OnSQLError = [&](TXSQLSessionGUI&, const std::string&, const std::string& e) {
            error = e;
            finished = true;
            loop.quit();
        };
        const auto t0 = TClock::now();
        gui->SQL().SQLText = kSelect;
        gui->Select(id);
        if (!finished)
            loop.exec();
        const double ms = MsSince(t0);
        Quiet();
        if (!error.empty())
            throw std::runtime_error("select failed: " + error);
        TXSQL* q = gui->FindSQL(id);
        rows = q ? q->RecordCount() : -1;
        if (rows > 0 && q->FieldValueAt(rows - 1, "ID").AsInt64() != rows)
            rows = -1;
        gui->FreeSQL(id);
        return ms;
    }
};

void FillChainRow(TXSQL& s, int i) {
    s.SQLText = kInsert;
    s.ParamInteger("ID", i);
    s.ParamString("NOME", ChainName(i));
    s.ParamCurrency("VALOR", TXVariant::FromCurrency(i * 1.5));
}

void FillSelectRow(TXSQL& s, int i) {
    s.SQLText = kSelInsert;
    s.ParamInteger("ID", i);
    s.ParamString("NOME", "amostra " + std::to_string(i));
    s.ParamString("DESCR", "linhagem " + std::to_string(i % 977) + " do lote " + std::to_string(i / 100));
    s.ParamCurrency("VALOR", TXVariant::FromCurrency(i * 0.25));
    s.ParamFloat("PESO", i / 7.0);
    s.ParamDateTime("DATA", TXVariant::FromDate(45000 + i % 3650));
    s.ParamInteger("QTD", i % 1000);
    if (i % 5 == 0)
        s.ParamString("OBS", TXVariant::Null());
    else
        s.ParamString("OBS", "obs " + std::to_string(i % 13));
}

// Frame sizes of one link of the chain (row i, inside the transaction): what the client sends (COMMAND,
// and FREESQL of the answered one) and what the server answers (FETCH without a page).
std::pair<int, int> ChainFrameSizes(int i, int32_t number) {
    TXSQLWireStatement st;
    st.text = kInsert;
    st.transactionMark = "tsRunning";
    st.params = {{"ID", 'I', TXVariant::FromInt(i)},
                 {"NOME", 'S', TXVariant::FromString(ChainName(i))},
                 {"VALOR", 'C', TXVariant::FromCurrency(i * 1.5)}};
    const std::string id = "c" + std::to_string(i);
    const std::string command = Pack([&](TXData& d) {
        PutI(d, 0);
        PutS(d, kCfg);
        PutI(d, 1);
        PutS(d, id);
        WriteStatement(d, st);
    });
    const std::string freeSql = Pack([&](TXData& d) {
        PutI(d, 0);
        PutS(d, kCfg);
        PutI(d, 1);
        PutS(d, id);
        PutI(d, number);
    });
    const std::string fetch = Pack([&](TXData& d) {
        PutI(d, 0);
        PutS(d, id);
        PutI(d, number);
    });
    return {PackFrameSize("SESS", "COMMAND", command) + PackFrameSize("SESS", "FREESQL", freeSql),
            PackFrameSize("SESS", "FETCH", fetch)};
}

// Bytes the server sends for kSelect (FETCHSTRUCT and every FETCH page), read with a bare client.
int64_t SelectReplyBytes(uint16_t port) {
    TTestClient c(port);
    c.Send("AUTH", "CHECK", Pack([&](TXData& d) {
               PutS(d, kCfg);
               PutS(d, Scramble("", AuthKeyFor(c.Id())));
           }));
    c.WaitFor("AUTH", "CHECK");
    c.Send("SESS", "CREATE", Pack([](TXData& d) {
               PutI(d, 0);
               PutS(d, kCfg);
               PutS(d, "geral");
           }));
    TXData cr = c.WaitFor("SESS", "CREATE").Data();
    GetI(cr);
    GetS(cr);
    GetS(cr);
    GetB(cr);
    const int32_t ssid = GetI(cr);
    auto head = [&](TXData& d) {
        PutI(d, 0);
        PutS(d, kCfg);
        PutI(d, ssid);
    };
    TXSQLWireStatement s;
    s.text = kSelect;
    c.Send("SESS", "SELECT", Pack([&](TXData& d) {
               head(d);
               PutS(d, "q");
               PutI(d, 0);
               WriteStatement(d, s);
           }));
    TPack sp = c.WaitFor("SESS", "FETCHSTRUCT", 60000);
    int64_t bytes = PackFrameSize(sp.service, sp.command, sp.payload);
    TXData st = sp.Data();
    GetI(st);
    GetS(st);
    GetI(st);
    const int32_t total = GetI(st);
    const auto fields = ReadStructure(st);
    for (int32_t got = 0; got < total;) {
        c.Send("SESS", "FETCH", Pack([&](TXData& d) {
                   head(d);
                   PutS(d, "q");
                   PutB(d, 1);
               }));
        TPack fp = c.WaitFor("SESS", "FETCH", 60000);
        bytes += PackFrameSize(fp.service, fp.command, fp.payload);
        TXData f = fp.Data();
        GetI(f);
        GetS(f);
        GetI(f);
        const auto n = int32_t(ReadPage(f, fields).entries.size());
        if (n == 0)
            break;
        got += n;
    }
    return bytes;
}

const std::string kChainTable = "CREATE TABLE BCHAIN (ID INTEGER NOT NULL PRIMARY KEY, NOME VARCHAR(40), "
                                "VALOR NUMERIC(15,4))";

void CommandChain(benchmark::State& state, const std::string& engine) {
    try {
        TBenchSetup setup(engine);
        TBenchClient client(setup.server->Port());
        client.Exec(kChainTable);
        TDirectEngine& direct = setup.Direct();
        const auto [request, reply] = ChainFrameSizes(kChain / 2, kChain / 2);
        // Warm both paths once; every run then starts from an empty table.
        client.Chain(0, kChain, FillChainRow);
        client.Exec("DELETE FROM BCHAIN");
        direct.InsertChain(0);
        direct.Exec("DELETE FROM BCHAIN");
        std::vector<double> chain, ping, insert;
        for (auto _ : state) {
            chain.push_back(client.Chain(0, kChain, FillChainRow));
            state.SetIterationTime(chain.back() / 1000.0);
            state.PauseTiming();
            client.Exec("DELETE FROM BCHAIN");
            ping.push_back(PingPong(request, reply));
            insert.push_back(direct.InsertChain(0));
            direct.Exec("DELETE FROM BCHAIN");
            state.ResumeTiming();
        }
        const double c = Median(chain), p = Median(ping), e = Median(insert);
        state.counters["ratio"] = c / (p + e);
        state.counters["chain_ms"] = c;
        state.counters["pingpong_ms"] = p;
        state.counters["engine_ms"] = e;
        state.counters["us_per_command"] = c * 1000.0 / kChain;
        state.counters["request_bytes"] = request;
        state.counters["reply_bytes"] = reply;
    } catch (const std::exception& ex) {
        state.SkipWithError(ex.what());
    }
}

void SelectFetch(benchmark::State& state, const std::string& engine) {
    try {
        TBenchSetup setup(engine);
        TBenchClient client(setup.server->Port());
        client.Exec(
            "CREATE TABLE BSEL (ID INTEGER NOT NULL PRIMARY KEY, NOME VARCHAR(40), DESCR VARCHAR(60), "
            "VALOR NUMERIC(15,4), PESO DOUBLE PRECISION, DATA TIMESTAMP, QTD INTEGER, OBS VARCHAR(20))");
        client.Chain(1, kSelectRows, FillSelectRow);
        TDirectEngine& direct = setup.Direct();
        const int64_t bytes = SelectReplyBytes(setup.server->Port());
        int rows = 0, directRows = 0;
        client.Select(rows); // warm
        direct.SelectAll(directRows);
        std::vector<double> select, engineMs, transfer;
        for (auto _ : state) {
            select.push_back(client.Select(rows));
            state.SetIterationTime(select.back() / 1000.0);
            state.PauseTiming();
            engineMs.push_back(direct.SelectAll(directRows));
            transfer.push_back(Transfer(bytes));
            state.ResumeTiming();
            if (rows != kSelectRows || directRows != kSelectRows) {
                state.SkipWithError("wrong number of rows");
                return;
            }
        }
        const double s = Median(select), e = Median(engineMs), t = Median(transfer);
        state.counters["ratio"] = s / (e + t);
        state.counters["select_ms"] = s;
        state.counters["engine_ms"] = e;
        state.counters["transfer_ms"] = t;
        state.counters["reply_bytes"] = double(bytes);
        state.counters["rows"] = rows;
    } catch (const std::exception& ex) {
        state.SkipWithError(ex.what());
    }
}

} // namespace

int main(int argc, char** argv) {
    KeepFreedMemory(); // as the client program does
    QTemporaryDir home;
    setenv("SARVOLENTIS_HOME", home.path().toLocal8Bit().constData(), 1);
    QCoreApplication app(argc, argv);
    std::vector<std::string> engines{"sqlite"};
    if (std::getenv("SV_PG_CONNINFO"))
        engines.push_back("postgres");
    for (const std::string& e : engines) {
        benchmark::RegisterBenchmark(("CommandChain/" + e).c_str(), CommandChain, e)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(5);
        benchmark::RegisterBenchmark(("SelectFetch/" + e).c_str(), SelectFetch, e)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(7);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
