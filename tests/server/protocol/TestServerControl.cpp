// The data server's transport and control messages over real TCP.

#include "UServerFixture.h"

#include <chrono>
#include <thread>

namespace {

std::string CfgPayload(const std::string& cfg) {
    return Pack([&](TXData& d) { PutS(d, cfg); });
}

// LOCK / UNLOCK / SETVERSION replies: cfg then success.
bool CfgOk(const TPack& p, const std::string& cfg) {
    TXData d = p.Data();
    EXPECT_EQ(GetS(d), cfg);
    return GetBool(d);
}

std::string Version(TTestClient& c, const std::string& cfg) {
    c.Send("CFG", "VERSION", CfgPayload(cfg));
    TXData d = c.WaitFor("CFG", "VERSION").Data();
    EXPECT_EQ(GetS(d), cfg);
    if (!GetBool(d))
        return "(absent)";
    return GetS(d);
}

} // namespace

TEST_F(ServerTest, IdComesFirstAndPacketsAreNumberedFromOne) {
    Start();
    TTestClient a(Port());
    TTestClient b(Port());
    EXPECT_NE(a.Id(), 0);
    EXPECT_NE(a.Id(), b.Id());
    EXPECT_EQ(a.IdPacket().connectionId, a.Id());
    EXPECT_TRUE(Login(a, "SARVOLENTIS", ""));
    a.Barrier();
    EXPECT_EQ(a.receivedSeqs, (std::vector<uint16_t>{1, 2, 3}));
    // A packet out of sequence is reported in the log and still handled.
    b.SendRaw(Frame(b.Id(), "PING", "X", "", 77));
    EXPECT_EQ(b.WaitFor("", "$UNKNOWNSERVICE").payload, "PING");
}

TEST_F(ServerTest, CheckVerifiesScrambledPasswordsAndLogoutForgetsThem) {
    Start({{"SARVOLENTIS", ""}, {"OUTRA", "s3gr3do"}});
    TTestClient c(Port());
    // Nothing of a configuration before its CHECK.
    c.Send("CFG", "VERSION", CfgPayload("OUTRA"));
    TXData e = c.WaitFor("ERR", "MUSTBELOGGED").Data();
    EXPECT_EQ(GetS(e), "OUTRA");

    EXPECT_FALSE(Login(c, "OUTRA", "errada"));
    EXPECT_FALSE(Login(c, "NENHUMA", ""));
    EXPECT_TRUE(Login(c, "OUTRA", "s3gr3do"));
    EXPECT_TRUE(Login(c, "SARVOLENTIS", ""));
    // The password travels scrambled: the plain text is refused.
    {
        c.Send("AUTH", "CHECK", Pack([&](TXData& d) {
                   PutS(d, "OUTRA");
                   PutS(d, "s3gr3do");
               }));
        TXData d = c.WaitFor("AUTH", "CHECK").Data();
        GetS(d);
        GetS(d);
        EXPECT_FALSE(GetBool(d));
    }
    EXPECT_NE(Version(c, "OUTRA"), "(absent)");

    c.Send("AUTH", "LOGOUT");
    c.Send("CFG", "VERSION", CfgPayload("SARVOLENTIS"));
    TXData e2 = c.WaitFor("ERR", "MUSTBELOGGED").Data();
    EXPECT_EQ(GetS(e2), "SARVOLENTIS");
}

TEST_F(ServerTest, AccentedPasswordsOfTheConfigurationFileMatchTheWireBytes) {
    // The file is UTF-8; the client scrambles Windows-1252 bytes.
    Start({{"SARVOLENTIS", ""}, {"CAMPO", "S\u00eanha\u00e7"}});
    TTestClient c(Port());
    EXPECT_FALSE(Login(c, "CAMPO", "S\xc3\xaanha\xc3\xa7"));
    EXPECT_TRUE(Login(c, "CAMPO", "S\xeanha\xe7"));
}

TEST_F(ServerTest, FreshDatabaseReportsVersionZeroAndSetVersionNeedsTheExclusiveLock) {
    Start();
    TTestClient c(Port());
    ASSERT_TRUE(Login(c, "SARVOLENTIS", ""));
    EXPECT_EQ(Version(c, "SARVOLENTIS"), "0.0.0");

    auto setVersion = [&](const std::string& v) {
        c.Send("CFG", "SETVERSION", Pack([&](TXData& d) {
                   PutS(d, "SARVOLENTIS");
                   PutS(d, v);
               }));
        TPack p = c.WaitFor("CFG", "SETVERSION");
        TXData d = p.Data();
        GetS(d);
        const bool ok = GetBool(d);
        return ok ? GetS(d) : std::string("refused");
    };
    EXPECT_EQ(setVersion("1.2.3"), "refused");
    EXPECT_EQ(Version(c, "SARVOLENTIS"), "0.0.0");

    c.Send("CFG", "LOCK", CfgPayload("SARVOLENTIS"));
    EXPECT_TRUE(CfgOk(c.WaitFor("CFG", "LOCK"), "SARVOLENTIS"));
    TXData ex = c.WaitFor("CFG", "LOCKEXCLUSIVE").Data();
    EXPECT_EQ(GetS(ex), "SARVOLENTIS");
    EXPECT_EQ(setVersion("1.2"), "refused");
    EXPECT_EQ(setVersion("1.2.3"), "1.2.3");
    EXPECT_EQ(Version(c, "SARVOLENTIS"), "1.2.3");
    c.Send("CFG", "UNLOCK", CfgPayload("SARVOLENTIS"));
    EXPECT_TRUE(CfgOk(c.WaitFor("CFG", "UNLOCK"), "SARVOLENTIS"));
    c.Send("CFG", "UNLOCK", CfgPayload("SARVOLENTIS"));
    EXPECT_FALSE(CfgOk(c.WaitFor("CFG", "UNLOCK"), "SARVOLENTIS"));
}

TEST_F(ServerTest, StoredVersionSurvivesARestart) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "sv-server-test-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(tmpl.data()));
    dataDir = tmpl;
    for (int round = 0; round < 2; ++round) {
        Start();
        TTestClient c(Port());
        ASSERT_TRUE(Login(c, "SARVOLENTIS", ""));
        if (round == 0) {
            c.Send("CFG", "LOCK", CfgPayload("SARVOLENTIS"));
            c.WaitFor("CFG", "LOCKEXCLUSIVE");
            c.Send("CFG", "SETVERSION", Pack([&](TXData& d) {
                       PutS(d, "SARVOLENTIS");
                       PutS(d, "2.0.10");
                   }));
            EXPECT_TRUE(CfgOk(c.WaitFor("CFG", "SETVERSION"), "SARVOLENTIS"));
        } else {
            EXPECT_EQ(Version(c, "SARVOLENTIS"), "2.0.10");
        }
        server.reset();
        if (round == 0)
            databases.swap(keptDatabases); // the same PostgreSQL database for the second round
        else
            keptDatabases.clear();
    }
    std::filesystem::remove_all(tmpl);
}

// VERSION is answered from what the server last read or stored: after each SETVERSION every
// connection, and a VERSION sent right behind the SETVERSION without waiting, sees the new one.
TEST_F(ServerTest, VersionIsNeverStaleAcrossConnections) {
    Start();
    TTestClient a(Port()), b(Port());
    ASSERT_TRUE(Login(a, "SARVOLENTIS", ""));
    ASSERT_TRUE(Login(b, "SARVOLENTIS", ""));
    EXPECT_EQ(Version(a, "SARVOLENTIS"), "0.0.0");
    EXPECT_EQ(Version(b, "SARVOLENTIS"), "0.0.0");
    b.Send("CFG", "LOCK", CfgPayload("SARVOLENTIS"));
    b.WaitFor("CFG", "LOCKEXCLUSIVE");
    for (const std::string v : {"1.0.0", "1.0.1", "2.3.4"}) {
        b.Send("CFG", "SETVERSION", Pack([&](TXData& d) {
                   PutS(d, "SARVOLENTIS");
                   PutS(d, v);
               }));
        EXPECT_EQ(Version(b, "SARVOLENTIS"), v) << "pipelined behind SETVERSION";
        EXPECT_TRUE(CfgOk(b.WaitFor("CFG", "SETVERSION"), "SARVOLENTIS"));
        EXPECT_EQ(Version(a, "SARVOLENTIS"), v);
        EXPECT_EQ(Version(a, "sarvolentis"), v) << "any spelling of the name";
    }
    // A refused SETVERSION changes nothing.
    a.Send("CFG", "SETVERSION", Pack([&](TXData& d) {
               PutS(d, "SARVOLENTIS");
               PutS(d, "9.9.9");
           }));
    EXPECT_FALSE(CfgOk(a.WaitFor("CFG", "SETVERSION"), "SARVOLENTIS"));
    EXPECT_EQ(Version(a, "SARVOLENTIS"), "2.3.4");
    EXPECT_EQ(Version(b, "SARVOLENTIS"), "2.3.4");
}

TEST_F(ServerTest, LockQueueAcrossConnectionsAndADroppedHolderPassesItOn) {
    Start();
    TTestClient a(Port()), b(Port()), c(Port());
    for (TTestClient* t : {&a, &b, &c})
        ASSERT_TRUE(Login(*t, "SARVOLENTIS", ""));

    a.Send("CFG", "LOCK", CfgPayload("SARVOLENTIS"));
    EXPECT_TRUE(CfgOk(a.WaitFor("CFG", "LOCK"), "SARVOLENTIS"));
    a.WaitFor("CFG", "LOCKEXCLUSIVE");
    b.Send("CFG", "LOCK", CfgPayload("sarvolentis")); // names are matched without regard to case
    EXPECT_TRUE(CfgOk(b.WaitFor("CFG", "LOCK"), "sarvolentis"));
    c.Send("CFG", "LOCK", CfgPayload("SARVOLENTIS"));
    EXPECT_TRUE(CfgOk(c.WaitFor("CFG", "LOCK"), "SARVOLENTIS"));
    b.Barrier();
    c.Barrier();
    EXPECT_FALSE(b.Has("CFG", "LOCKEXCLUSIVE"));
    EXPECT_FALSE(c.Has("CFG", "LOCKEXCLUSIVE"));

    // Only the head may set the version.
    b.Send("CFG", "SETVERSION", Pack([&](TXData& d) {
               PutS(d, "SARVOLENTIS");
               PutS(d, "9.9.9");
           }));
    EXPECT_FALSE(CfgOk(b.WaitFor("CFG", "SETVERSION"), "SARVOLENTIS"));

    a.Send("CFG", "UNLOCK", CfgPayload("SARVOLENTIS"));
    EXPECT_TRUE(CfgOk(a.WaitFor("CFG", "UNLOCK"), "SARVOLENTIS"));
    TXData ex = b.WaitFor("CFG", "LOCKEXCLUSIVE").Data();
    EXPECT_EQ(GetS(ex), "sarvolentis");
    c.Barrier();
    EXPECT_FALSE(c.Has("CFG", "LOCKEXCLUSIVE"));

    b.Close(); // dropped while holding it
    c.WaitFor("CFG", "LOCKEXCLUSIVE");
}

TEST_F(ServerTest, UpgradeWithoutTheExclusiveLockAnswersTheUpgradeError) {
    Start();
    TTestClient c(Port());
    ASSERT_TRUE(Login(c, "SARVOLENTIS", ""));
    c.Send("CFG", "UPGRADEBEGIN", Pack([&](TXData& d) {
               PutS(d, "SARVOLENTIS");
               PutS(d, "TABLE X");
               PutB(d, 1);
               PutB(d, 1);
           }));
    TXData d = c.WaitFor("ERR", "UPGRADE").Data();
    EXPECT_EQ(GetS(d), "SARVOLENTIS");
    EXPECT_FALSE(GetS(d).empty());
}

TEST_F(ServerTest, UnknownServiceIsAnsweredAndUnknownControlCommandsIgnored) {
    Start();
    TTestClient c(Port());
    c.Send("FOO", "BAR", "x");
    TPack p = c.WaitFor("", "$UNKNOWNSERVICE");
    EXPECT_EQ(p.payload, "FOO");
    c.Send("AUTH", "NOSUCH");
    c.Send("CFG", "NOSUCH", CfgPayload("SARVOLENTIS"));
    EXPECT_TRUE(Login(c, "SARVOLENTIS", ""));
}

// Each bad input closes its own connection; a bystander goes on.
TEST_F(ServerTest, MalformedInputClosesOnlyThatConnection) {
    Start();
    TTestClient bystander(Port());
    ASSERT_TRUE(Login(bystander, "SARVOLENTIS", ""));
    const std::string okCheck = Pack([](TXData& d) {
        PutS(d, "SARVOLENTIS");
        PutS(d, "");
    });
    struct Case {
        const char* name;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"length below 16", Frame(1, "", "", "", 1, 15)},
        {"negative length", Frame(1, "AUTH", "CHECK", okCheck, 1, 0xFFFFFFF0)},
        {"length above the limit", Frame(1, "AUTH", "CHECK", okCheck, 1, 64ll * 1024 * 1024 + 1)},
        {"service length overruns",
         [] {
             std::string f = Frame(1, "AUTH", "CHECK", "", 1);
             f[8] = static_cast<char>(200);
             return f;
         }()},
        {"payload length overruns",
         [&] {
             std::string f = Frame(1, "AUTH", "CHECK", okCheck, 1);
             f[8 + 1 + 4 + 1 + 5] = static_cast<char>(0x7f); // payload length low byte
             return f;
         }()},
        {"payload shorter than the frame",
         [&] {
             std::string f = Frame(1, "AUTH", "CHECK", okCheck, 1);
             f[8 + 1 + 4 + 1 + 5] = static_cast<char>(okCheck.size() - 1);
             return f;
         }()},
        {"string overruns the payload", Frame(1, "AUTH", "CHECK", Pack([](TXData& d) { PutI(d, 1000); }), 1)},
        {"truncated session request", Frame(1, "SESS", "CREATE", Pack([](TXData& d) { PutI(d, 0); }), 1)},
        {"unknown session command", Frame(1, "SESS", "NOSUCH", "", 1)},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        TTestClient victim(Port());
        victim.SendRaw(k.bytes);
        EXPECT_TRUE(victim.WaitClosed(5000));
        bystander.Barrier();
    }
    EXPECT_EQ(Version(bystander, "SARVOLENTIS"), "0.0.0");
}

TEST_F(ServerTest, KeepAlivesAndIdleConnectionsClose) {
    Start({{"SARVOLENTIS", ""}}, 100, 700);
    TTestClient echoing(Port());
    TTestClient silent(Port());
    silent.autoEcho = false;
    // Both are served in turns, so the echoing one answers every keep-alive in time.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool closed = false;
    while (!closed && std::chrono::steady_clock::now() < deadline) {
        echoing.Next(10);
        closed = silent.WaitClosed(10);
    }
    ASSERT_TRUE(closed);
    EXPECT_GE(silent.keepAlivesSeen, 3);
    // The echoing one outlives the idle time several times over and still answers.
    while (echoing.keepAlivesSeen < 20 && std::chrono::steady_clock::now() < deadline)
        echoing.Next(50);
    ASSERT_GE(echoing.keepAlivesSeen, 20);
    EXPECT_TRUE(Login(echoing, "SARVOLENTIS", ""));
}

TEST_F(ServerTest, ConfigurationThatCannotOpenAnswersCfgError) {
    if (UsePostgres()) {
        GTEST_SKIP() << "the SQLite run covers it";
    }
    DataServerOptions o;
    o.configJson = R"({"configurations":[{"name":"RUIM","engine":"sqlite","location":"no/such/dir/x.db"}]})";
    server = std::make_unique<DataServerProcess>(o);
    TTestClient c(Port());
    c.Send("AUTH", "CHECK", Pack([&](TXData& d) {
               PutS(d, "RUIM");
               PutS(d, "");
           }));
    TPack p = c.WaitIf([](const TPack& q) { return q.service == "ERR"; }, "ERR");
    if (p.command == "CFGOPENING")
        GTEST_SKIP() << "still opening";
    ASSERT_EQ(p.command, "CFGERROR");
    TXData d = p.Data();
    EXPECT_EQ(GetS(d), "RUIM");
    EXPECT_FALSE(GetS(d).empty());
}

TEST_F(ServerTest, StopsCleanlyOnSigterm) {
    Start();
    TTestClient c(Port());
    ASSERT_TRUE(Login(c, "SARVOLENTIS", ""));
    server->Stop();
    EXPECT_TRUE(WIFEXITED(server->LastStatus()));
    EXPECT_EQ(WEXITSTATUS(server->LastStatus()), 0);
    EXPECT_TRUE(c.WaitClosed(2000));
}

// A database that does not answer yet: logins are told CFGOPENING, and the server still stops at once.
TEST_F(ServerTest, ConfigurationStillOpeningAnswersCfgOpening) {
    if (UsePostgres()) {
        GTEST_SKIP() << "the SQLite run covers it";
    }
    // A listener that never answers: the PostgreSQL connection attempt hangs until its time-out.
    const int hung = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    ASSERT_EQ(bind(hung, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(hung, 4), 0);
    socklen_t len = sizeof a;
    getsockname(hung, reinterpret_cast<sockaddr*>(&a), &len);
    DataServerOptions o;
    o.configJson = nlohmann::json{{"configurations",
                                   {{{"name", "LENTA"},
                                     {"engine", "postgres"},
                                     {"location", "host=127.0.0.1 port=" + std::to_string(ntohs(a.sin_port)) +
                                                      " connect_timeout=30"}}}}}
                       .dump();
    server = std::make_unique<DataServerProcess>(o);
    TTestClient c(Port());
    c.Send("AUTH", "CHECK", Pack([&](TXData& d) {
               PutS(d, "LENTA");
               PutS(d, "");
           }));
    c.WaitFor("ERR", "CFGOPENING");
    const auto t0 = std::chrono::steady_clock::now();
    server->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(4));
    EXPECT_TRUE(WIFEXITED(server->LastStatus()));
    close(hung);
}
