// sarvolentis-admin sql against a real data server: typed parameters, table and CSV output, errors.
#include "UAdminRun.h"
#include "support/UDataServerProcess.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TRun Admin(const std::vector<std::string>& args) {
    return RunAdmin(args, 60000);
}

class AdminSql : public testing::Test {
protected:
    void SetUp() override {
        DataServerOptions o;
        o.configJson = R"({"configurations":[{"name":"SARVOLENTIS","password":"s3gredo","engine":"sqlite",)"
                       R"("location":"SARVOLENTIS.db"}]})";
        server = std::make_unique<DataServerProcess>(o);
        base = {"sql",    "--server",    "127.0.0.1:" + std::to_string(server->Port()),
                "--cfg",  "SARVOLENTIS", "--password",
                "s3gredo"};
    }
    TRun Sql(std::vector<std::string> extra) {
        std::vector<std::string> args = base;
        args.insert(args.end(), extra.begin(), extra.end());
        return Admin(args);
    }
    std::unique_ptr<DataServerProcess> server;
    std::vector<std::string> base;
};

} // namespace

TEST_F(AdminSql, TypedParametersGoInAndRowsComeOutAsTableAndCsv) {
    TRun r = Sql({"CREATE TABLE PESSOA (ID INTEGER, NOME VARCHAR(40), PESO NUMERIC(15,4), ALTURA DOUBLE "
                  "PRECISION, NASC TIMESTAMP)"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "OK\n");
    r = Sql({"--param", "I:ID=1", "--param", "NOME=Jo\xC3\xA3o, \"J\xC3\xA9\"", "--param", "C:PESO=72.5",
             "--param", "E:ALTURA=1.75", "--param", "D:NASC=1990-07-15 08:30:00",
             "INSERT INTO PESSOA VALUES (:ID, :NOME, :PESO, :ALTURA, :NASC)"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Sql({"--param", "I:ID=2", "--param", "S:NOME=", "--param", "D:NASC=2001-01-02",
             "INSERT INTO PESSOA (ID, NOME, NASC) VALUES (:ID, :NOME, :NASC)"});
    ASSERT_EQ(r.status, 0) << r.err;

    r = Sql({"SELECT ID, NOME, PESO, ALTURA, NASC FROM PESSOA ORDER BY ID"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, " ID | NOME       | PESO    | ALTURA | NASC\n"
                     "----+------------+---------+--------+---------------------\n"
                     "  1 | Jo\xC3\xA3o, \"J\xC3\xA9\" | 72.5000 |   1.75 | 1990-07-15 08:30:00\n"
                     "  2 | NULL       |    NULL |   NULL | 2001-01-02\n"
                     "(2 rows)\n");

    r = Sql({"--csv", "--param", "I:ID=1", "SELECT NOME, PESO FROM PESSOA WHERE ID >= :ID ORDER BY ID"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "NOME,PESO\n\"Jo\xC3\xA3o, \"\"J\xC3\xA9\"\"\",72.5000\n,\n");

    // The accented text is stored as the same text, whatever the transport encoding.
    r = Sql({"--param", "NOME=Jo\xC3\xA3o, \"J\xC3\xA9\"",
             "SELECT COUNT(*) AS N FROM PESSOA WHERE NOME = :NOME"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, " N\n---\n 1\n(1 row)\n");

    r = Sql({"--csv", "SELECT ID FROM PESSOA WHERE ID > 100"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ID\n");
}

TEST_F(AdminSql, ErrorsGoToStderrWithStatusOne) {
    TRun r = Sql({"SELECT * FROM NAOEXISTE"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("NAOEXISTE"), std::string::npos) << r.err;

    r = Sql({"--param", "I:ID=cinco", "SELECT 1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not an integer"), std::string::npos) << r.err;

    std::vector<std::string> wrong = base;
    wrong[6] = "errada";
    wrong.push_back("SELECT 1");
    r = Admin(wrong);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("login to configuration SARVOLENTIS refused"), std::string::npos) << r.err;

    const uint16_t port = server->Port();
    server->Stop();
    r = Admin({"sql", "--server", "127.0.0.1:" + std::to_string(port), "--timeout", "5", "SELECT 1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot connect to 127.0.0.1:" + std::to_string(port)), std::string::npos) << r.err;
}

TEST_F(AdminSql, UsageErrorsAndHelp) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"sql"},
                                                                  {"sql", "--param", "X:a=1", "SELECT 1"},
                                                                  {"sql", "--server", "nohost", "SELECT 1"},
                                                                  {"sql", "SELECT 1", "SELECT 2"},
                                                                  {"sql", "--bogus", "SELECT 1"},
                                                                  {"frobnicate"}}) {
        TRun r = Admin(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << r.err;
    }
    TRun r = Admin({"sql", "--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* form :
         {"--param [T:]NAME=VALUE", "I integer", "E floating point", "D date/time", "--csv"})
        EXPECT_NE(r.out.find(form), std::string::npos) << form;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
