// sarvolentis-admin upgrade against a real data server: version check, a fresh database brought to the
// script's version, a second run that changes nothing, several configurations and their passwords.
#include "UAdminRun.h"
#include "support/UDataServerProcess.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

TRun Admin(const std::vector<std::string>& args) {
    return RunAdmin(args, 180000);
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The statuses of one configuration's lines, in order, without the server's progress messages.
std::vector<std::string> Statuses(const std::string& out, const std::string& cfg) {
    std::vector<std::string> r;
    size_t pos = 0;
    const std::string prefix = cfg + ": ";
    while (pos < out.size()) {
        size_t end = out.find('\n', pos);
        if (end == std::string::npos)
            end = out.size();
        const std::string line = out.substr(pos, end - pos);
        pos = end + 1;
        if (line.rfind(prefix, 0) != 0)
            continue;
        std::string status = line.substr(prefix.size());
        status = status.substr(0, status.find(" - "));
        if (r.empty() || r.back() != status)
            r.push_back(status);
    }
    return r;
}

const std::vector<std::string> kFullRun{"upgrading from 0.0.0 to 1.0.13",
                                        "Iniciando",
                                        "Aguardando acesso exclusivo",
                                        "acesso exclusivo garantido",
                                        "enviando atualizações",
                                        "Populando (A)",
                                        "Populando (B)",
                                        "terminado"};

class AdminUpgrade : public testing::Test {
protected:
    void Start(const std::string& configJson = {}) {
        DataServerOptions o;
        o.configJson = configJson;
        server = std::make_unique<DataServerProcess>(o);
        address = "127.0.0.1:" + std::to_string(server->Port());
    }
    TRun Upgrade(std::vector<std::string> extra) {
        std::vector<std::string> args{"upgrade", "--server", address, "--timeout", "120"};
        args.insert(args.end(), extra.begin(), extra.end());
        return Admin(args);
    }
    // One value through "sarvolentis-admin sql", as CSV without its header.
    std::string Value(const std::string& sql, const std::string& cfg = "SARVOLENTIS",
                      const std::string& password = "") {
        TRun r = Admin({"sql", "--server", address, "--cfg", cfg, "--password", password, "--csv", sql});
        EXPECT_EQ(r.status, 0) << sql << "\n" << r.err;
        const size_t nl = r.out.find('\n');
        std::string v = nl == std::string::npos ? "" : r.out.substr(nl + 1);
        while (!v.empty() && v.back() == '\n')
            v.pop_back();
        return v;
    }
    // The data the upgrade's population puts into an empty database.
    void ExpectPopulated(const std::string& cfg = "SARVOLENTIS", const std::string& password = "") {
        EXPECT_EQ(
            Value("SELECT codigo FROM direito WHERE tipo = 'L' AND direitosistema = 'S' ORDER BY codigo", cfg,
                  password),
            "ADM\nGCU\nGLB\nGPC\nGPP\nGTL");
        EXPECT_EQ(Value("SELECT COUNT(*) FROM direito", cfg, password), "6");
        EXPECT_EQ(Value("SELECT id, nome FROM api_modelo", cfg, password), "1,TAVRIN");
        // The tables of the script, empty.
        EXPECT_EQ(Value("SELECT COUNT(*) FROM genotipagem", cfg, password), "0");
        EXPECT_EQ(Value("SELECT COUNT(*) FROM usuario", cfg, password), "0");
    }

    std::unique_ptr<DataServerProcess> server;
    std::string address;
};

} // namespace

TEST_F(AdminUpgrade, FreshDatabaseIsCheckedUpgradedAndThenLeftAlone) {
    Start();
    TRun r = Upgrade({"--check"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(r.out, "SARVOLENTIS: server 0.0.0, script 1.0.13, upgrade needed\n");

    r = Upgrade({});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Statuses(r.out, "SARVOLENTIS"), kFullRun) << r.out;
    // The server's progress messages come with the status.
    EXPECT_TRUE(Has(r.out, "SARVOLENTIS: enviando atualizações - ")) << r.out;
    ExpectPopulated();

    // A second run finds the version and touches nothing: no lock, no script, no population.
    ASSERT_EQ(Value("UPDATE api_modelo SET nome = 'OUTRO' WHERE id = 1").size(), 0u);
    r = Upgrade({});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "SARVOLENTIS: já atualizado (1.0.13)\n");
    EXPECT_EQ(Value("SELECT nome FROM api_modelo"), "OUTRO");
    EXPECT_EQ(Value("SELECT COUNT(*) FROM direito"), "6");

    r = Upgrade({"--check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "SARVOLENTIS: server 1.0.13, script 1.0.13, up to date\n");
}

TEST_F(AdminUpgrade, SeveralConfigurationsEachWithItsPassword) {
    Start(R"({"configurations":[)"
          R"({"name":"SARVOLENTIS","password":"s3gredo","engine":"sqlite","location":"a.db"},)"
          R"({"name":"SEGUNDA","password":"x:y","engine":"sqlite","location":"b.db"}]})");

    // A wrong password: nothing is upgraded, not even the configuration whose password is right.
    TRun r = Upgrade(
        {"--cfg", "SARVOLENTIS", "--password", "s3gredo", "--cfg", "SEGUNDA", "--password", "errada"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "login to configuration SEGUNDA refused")) << r.err;
    EXPECT_FALSE(Has(r.err, "configuration SARVOLENTIS refused")) << r.err;
    EXPECT_FALSE(Has(r.out, "Iniciando")) << r.out;
    r = Upgrade({"--check", "--cfg", "SARVOLENTIS:s3gredo", "--cfg", "SEGUNDA:x:y"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(r.out, "SARVOLENTIS: server 0.0.0, script 1.0.13, upgrade needed\n"
                     "SEGUNDA: server 0.0.0, script 1.0.13, upgrade needed\n");

    // The inline form and --password in order mixed; each database gets its own population.
    r = Upgrade({"--cfg", "SEGUNDA:x:y", "--cfg", "SARVOLENTIS", "--password", "s3gredo"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(Statuses(r.out, "SEGUNDA"), kFullRun) << r.out;
    EXPECT_EQ(Statuses(r.out, "SARVOLENTIS"), kFullRun) << r.out;
    EXPECT_LT(r.out.find("SEGUNDA: terminado"), r.out.find("SARVOLENTIS: Iniciando")) << r.out;
    ExpectPopulated("SARVOLENTIS", "s3gredo");
    ExpectPopulated("SEGUNDA", "x:y");

    r = Upgrade({"--cfg", "SARVOLENTIS:s3gredo", "--cfg", "SEGUNDA:x:y"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "SARVOLENTIS: já atualizado (1.0.13)\nSEGUNDA: já atualizado (1.0.13)\n");
}

TEST_F(AdminUpgrade, ConnectionAndUsageErrors) {
    Start();
    const uint16_t port = server->Port();
    TRun r = Upgrade({"--password", "errada"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "login to configuration SARVOLENTIS refused")) << r.err;
    r = Upgrade({"--cfg", "NAOEXISTE"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "login to configuration NAOEXISTE refused")) << r.err;
    server->Stop();
    r = Admin({"upgrade", "--server", "127.0.0.1:" + std::to_string(port), "--timeout", "5"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "cannot connect to 127.0.0.1:" + std::to_string(port))) << r.err;

    for (const auto& args :
         std::vector<std::vector<std::string>>{{"upgrade", "--server", "nohost"},
                                               {"upgrade", "--cfg", ":senha"},
                                               {"upgrade", "--cfg", "A:x", "--password", "y"},
                                               {"upgrade", "--cfg", "A", "--cfg", "a"},
                                               {"upgrade", "--timeout", "0"},
                                               {"upgrade", "extra"}}) {
        r = Admin(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_TRUE(Has(r.err, "usage: sarvolentis-admin upgrade")) << r.err;
    }
    r = Admin({"upgrade", "--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* form : {"--cfg NAME[:PASSWORD]", "--check", "n-th --password", "já atualizado"})
        EXPECT_TRUE(Has(r.out, form)) << form;
}

// The same upgrade on PostgreSQL, in a schema of its own in the throwaway database.
TEST_F(AdminUpgrade, FreshPostgresDatabase) {
    const char* ci = std::getenv("SV_PG_CONNINFO");
    if (!ci || !*ci)
        GTEST_SKIP() << "SV_PG_CONNINFO not set";
    const std::string conninfo = ci;
    const std::string schema = "admupg_" + std::to_string(getpid());
    auto psql = [&](const std::string& sql) {
        return RunProgram("psql", {"-X", "-q", "-d", conninfo, "-c", sql}, 60000);
    };
    TRun made = psql("CREATE SCHEMA " + schema);
    ASSERT_EQ(made.status, 0) << made.err;
    struct TDrop {
        std::function<void()> f;
        ~TDrop() { f(); }
    } drop{[&] { psql("DROP SCHEMA " + schema + " CASCADE"); }};

    std::string location;
    if (conninfo.rfind("postgres", 0) == 0 && conninfo.find("://") != std::string::npos)
        location = conninfo + (conninfo.find('?') == std::string::npos ? "?" : "&") +
                   "options=-csearch_path%3D" + schema;
    else
        location = conninfo + " options='-csearch_path=" + schema + "'";
    std::string escaped;
    for (char c : location) {
        if (c == '"' || c == '\\')
            escaped += '\\';
        escaped += c;
    }
    Start(R"({"configurations":[{"name":"SARVOLENTIS","password":"","engine":"postgres","location":")" +
          escaped + R"("}]})");
    TRun r = Upgrade({});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(Statuses(r.out, "SARVOLENTIS"), kFullRun) << r.out;
    ExpectPopulated();
    r = Upgrade({});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "SARVOLENTIS: já atualizado (1.0.13)\n");
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
