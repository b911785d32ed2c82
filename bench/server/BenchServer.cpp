// What the protocol costs: a 30,000-row SELECT fetched page by page from the data server over TCP,
// against the same query run on the engine in process (the baseline, measured in the same run).

#include "UTestClient.h"
#include "dataserver/UXAuthKey.h"
#include "foundation/UXCipher.h"
#include "server/engines/UXEngine.h"
#include "sql/UXSQLWire.h"
#include "support/UDataServerProcess.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <memory>

namespace {

constexpr int kRows = 30000;
const char* const kSelect = "SELECT ID, NOME, VALOR FROM P ORDER BY ID";

struct TBenchServer {
    std::unique_ptr<DataServerProcess> server;
    std::unique_ptr<TTestClient> client;
    int32_t ssid = -1;
    int next = 0;

    TBenchServer() {
        setenv("SV_DATASERVER_BIN", SV_DATASERVER_BIN_DEFAULT, 0);
        server = std::make_unique<DataServerProcess>();
        client = std::make_unique<TTestClient>(server->Port());
        client->Send("AUTH", "CHECK", Pack([&](TXData& d) {
                         PutS(d, "SARVOLENTIS");
                         PutS(d, Scramble("", AuthKeyFor(client->Id())));
                     }));
        client->WaitFor("AUTH", "CHECK");
        client->Send("SESS", "CREATE", Pack([](TXData& d) {
                         PutI(d, 0);
                         PutS(d, "SARVOLENTIS");
                         PutS(d, "geral");
                     }));
        TXData c = client->WaitFor("SESS", "CREATE").Data();
        GetI(c);
        GetS(c);
        GetS(c);
        GetB(c);
        ssid = GetI(c);
        Command("CREATE TABLE P (ID INTEGER NOT NULL PRIMARY KEY, NOME VARCHAR(40), VALOR NUMERIC(15,4))");
        Command("WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 30000) "
                "INSERT INTO P (ID, NOME, VALOR) SELECT n, 'nome do registro ' || n, n * 1.5 FROM c");
    }
    void Head(TXData& d) const {
        PutI(d, 0);
        PutS(d, "SARVOLENTIS");
        PutI(d, ssid);
    }
    void Command(const std::string& sql) {
        TXSQLWireStatement s;
        s.text = sql;
        client->Send("SESS", "COMMAND", Pack([&](TXData& d) {
                         Head(d);
                         PutS(d, "c");
                         WriteStatement(d, s);
                     }));
        TPack p =
            client->WaitIf([](const TPack& q) { return q.command == "FETCH" || q.command == "SQLERROR"; },
                           "command reply", 60000);
        if (p.command != "FETCH")
            throw std::runtime_error("bench setup failed: " + sql);
    }
    // One SELECT with every page fetched; returns the records received.
    size_t Select() {
        TXSQLWireStatement s;
        s.text = kSelect;
        const std::string id = "s" + std::to_string(next++);
        client->Send("SESS", "SELECT", Pack([&](TXData& d) {
                         Head(d);
                         PutS(d, id);
                         PutI(d, 0);
                         WriteStatement(d, s);
                     }));
        TXData st = client->WaitFor("SESS", "FETCHSTRUCT", 60000).Data();
        GetI(st);
        GetS(st);
        GetI(st);
        const int32_t total = GetI(st);
        const auto fields = ReadStructure(st);
        size_t got = 0;
        while (static_cast<int32_t>(got) < total) {
            client->Send("SESS", "FETCH", Pack([&](TXData& d) {
                             Head(d);
                             PutS(d, id);
                             PutB(d, 1);
                         }));
            TXData f = client->WaitFor("SESS", "FETCH", 60000).Data();
            GetI(f);
            GetS(f);
            GetI(f);
            const size_t n = ReadPage(f, fields).entries.size();
            if (n == 0)
                break;
            got += n;
        }
        client->Send("SESS", "FREESQL", Pack([&](TXData& d) {
                         Head(d);
                         PutS(d, id);
                         PutI(d, 0);
                     }));
        return got;
    }
};

void BM_SelectThroughServer(benchmark::State& state) {
    TBenchServer b;
    // Baseline: the engine alone, on the same database file.
    auto engine = TXEngine::Open("sqlite", b.server->DataDir() + "/SARVOLENTIS.db");
    auto baselineOnce = [&] {
        auto c = engine->Acquire();
        TXEngineResult r = c->Execute(kSelect, {});
        engine->Release(std::move(c));
        return r.rows.size();
    };
    baselineOnce(); // warm
    const int baselineRuns = 5;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < baselineRuns; ++i)
        benchmark::DoNotOptimize(baselineOnce());
    const double baseline =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / baselineRuns;

    b.Select(); // warm
    double total = 0;
    size_t rows = 0;
    for (auto _ : state) {
        const auto s0 = std::chrono::steady_clock::now();
        rows = b.Select();
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - s0).count();
        state.SetIterationTime(secs);
        total += secs;
    }
    if (rows != static_cast<size_t>(kRows))
        state.SkipWithError("wrong number of rows");
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["ratio"] = (total / static_cast<double>(state.iterations())) / baseline;
}
BENCHMARK(BM_SelectThroughServer)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

BENCHMARK_MAIN();
