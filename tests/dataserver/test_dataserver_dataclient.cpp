// The data client: control messages against a scripted peer, and the real data server end to end.
#include "UScriptedPeer.h"
#include "support/UDataServerProcess.h"
#include "support/UTestMain.h"

#include "dataserver/UXAuthKey.h"
#include "dataserver/UXDataClient.h"
#include "dataserver/UXTCPClientPack.h"
#include "foundation/UXCipher.h"
#include "foundation/UXData.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::string Payload(const std::function<void(TXData&)>& write) {
    TXData d;
    Init(d);
    write(d);
    Finish(d);
    return d.Data;
}

// ---- scripted peer -------------------------------------------------------------------------------

class DataClientScripted : public testing::Test {
protected:
    void SetUp() override {
        pack.IP = "127.0.0.1";
        pack.Port = peer.Port();
        client.SetTCPClientPack(&pack);
        client.DefaultCFG = "SARVOLENTIS";
        int ids = 0;
        pack.OnIDReceived = [&ids] { ++ids; };
        pack.Activate(-1);
        ASSERT_TRUE(peer.WaitAccepted());
        peer.Send("", "$ID", "321");
        ASSERT_TRUE(WaitFor([&] { return ids == 1; }));
        pack.OnIDReceived = nullptr;
    }

    ScriptedPeer peer;
    TXTCPClientPack pack;
    TXDataClient client;
};

TEST_F(DataClientScripted, CheckSendsTheScrambledPasswordAndCountsPendingChecks) {
    client.CheckCFG("segredo", "");
    client.CheckCFG("", "OUTRA");
    EXPECT_EQ(client.PendingChecks(), 2);
    ASSERT_TRUE(peer.WaitFrames(2));
    TXData d;
    Load(d, peer.Frames()[0].Payload);
    EXPECT_EQ(peer.Frames()[0].Service, "AUTH");
    EXPECT_EQ(peer.Frames()[0].Command, "CHECK");
    EXPECT_EQ(peer.Frames()[0].ConnectionId, 321u);
    EXPECT_EQ(GetS(d), "SARVOLENTIS") << "an empty name means the default configuration";
    const std::string sent = GetS(d);
    EXPECT_EQ(sent, Scramble("segredo", AuthKeyFor(321)));
    EXPECT_EQ(Unscramble(sent, "29254"), "segredo") << "321 * 73 + 5821";
    Load(d, peer.Frames()[1].Payload);
    EXPECT_EQ(GetS(d), "OUTRA");
    EXPECT_EQ(GetS(d), "") << "an empty password is sent empty";

    client.Logout();
    EXPECT_EQ(client.PendingChecks(), 0);
    ASSERT_TRUE(peer.WaitFrames(3));
    EXPECT_EQ(peer.Frames()[2].Command, "LOGOUT");
    EXPECT_EQ(peer.Frames()[2].Payload, "");
}

TEST_F(DataClientScripted, UpgradeEndSendsSetVersionOnlyWhenTheHandlerGivesOne) {
    std::vector<std::string> ended;
    client.OnUpgradeEndCompleted = [&](const std::string& cfg, TXVersion& v) {
        ended.push_back(cfg);
        EXPECT_TRUE(v.Invalid);
        if (cfg == "WITH") {
            v = StrToVersion("1.4.27");
        }
    };
    peer.Send("CFG", "UPGRADEEND", Payload([](TXData& d) { PutS(d, "WITHOUT"); }));
    peer.Send("CFG", "UPGRADEEND", Payload([](TXData& d) { PutS(d, "WITH"); }));
    ASSERT_TRUE(peer.WaitFrames(1));
    Pump(30);
    EXPECT_EQ(ended, (std::vector<std::string>{"WITHOUT", "WITH"}));
    ASSERT_EQ(peer.Frames().size(), 1u) << "the handler that did nothing sent no SETVERSION";
    const TXTCPPack& f = peer.Frames()[0];
    EXPECT_EQ(f.Service, "CFG");
    EXPECT_EQ(f.Command, "SETVERSION");
    TXData d;
    Load(d, f.Payload);
    EXPECT_EQ(GetS(d), "WITH");
    EXPECT_EQ(GetS(d), "1.4.27");
}

TEST_F(DataClientScripted, UpgradeRequestsCarryTheScriptAndFlags) {
    client.UpgradeBegin("A", "CREATE TABLE X;\r\nCREATE TABLE Y;", true, false);
    client.UpgradeEnd("A", "script");
    client.Lock("A");
    client.Unlock("A");
    client.RequestVersion("A");
    ASSERT_TRUE(peer.WaitFrames(5));
    TXData d;
    Load(d, peer.Frames()[0].Payload);
    EXPECT_EQ(peer.Frames()[0].Command, "UPGRADEBEGIN");
    EXPECT_EQ(GetS(d), "A");
    EXPECT_EQ(GetS(d), "CREATE TABLE X;\r\nCREATE TABLE Y;");
    EXPECT_EQ(GetB(d), 1);
    EXPECT_EQ(GetB(d), 0);
    EXPECT_TRUE(d.AtEnd());
    const char* commands[] = {"UPGRADEBEGIN", "UPGRADEEND", "LOCK", "UNLOCK", "VERSION"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(peer.Frames()[i].Command, commands[i]);
        EXPECT_EQ(peer.Frames()[i].Service, "CFG");
    }
}

TEST(DataClient, RepliesRaiseTheirEvents) {
    TXTCPClientPack pack;
    TXDataClient client;
    client.SetTCPClientPack(&pack);
    std::vector<std::string> log;
    auto v2s = [](const TXVersion& v) { return v.Invalid ? std::string("invalid") : VersionToStr(v); };
    client.OnCFGVersion = [&](const std::string& c, const TXVersion& v) {
        log.push_back("version " + c + " " + v2s(v));
    };
    client.OnLockResult = [&](const std::string& c, const std::string& lu, bool ok) {
        log.push_back("lock " + c + " " + lu + (ok ? " 1" : " 0"));
    };
    client.OnLockExclusive = [&](const std::string& c) { log.push_back("exclusive " + c); };
    client.OnUpgradeBeginCompleted = [&](const std::string& c, bool u) {
        log.push_back("begin " + c + (u ? " 1" : " 0"));
    };
    client.OnUpgradeMsg = [&](const std::string& code, const std::string& m) {
        log.push_back("msg " + code + " " + m);
    };
    client.OnUpgradedVersion = [&](const std::string& c, bool ok, const TXVersion& v) {
        log.push_back("set " + c + (ok ? " 1 " : " 0 ") + VersionToStr(v) + (v.Invalid ? " invalid" : ""));
    };
    client.OnLogout = [&] { log.push_back("logout"); };
    client.OnErrorMessage = [&](const std::string& code, TXData& d) {
        log.push_back("err " + code + " " + GetS(d));
    };
    client.OnAuthCheck = [&](const std::string& c, bool ok, int32_t left) {
        log.push_back("check " + c + (ok ? " 1 " : " 0 ") + std::to_string(left));
    };

    struct Reply {
        const char* service;
        const char* command;
        std::string payload;
        const char* expected; // nullptr: ignored
    };
    const Reply replies[] = {
        {"CFG", "VERSION", Payload([](TXData& d) {
             PutS(d, "A");
             PutBool(d, true);
             PutS(d, "2.0.10");
         }),
         "version A 2.0.10"},
        {"CFG", "VERSION", Payload([](TXData& d) {
             PutS(d, "A");
             PutBool(d, true);
             PutS(d, "1.0");
         }),
         "version A invalid"},
        {"CFG", "VERSION", Payload([](TXData& d) {
             PutS(d, "A");
             PutBool(d, false);
         }),
         "version A invalid"},
        {"CFG", "LOCK", Payload([](TXData& d) {
             PutS(d, "A");
             PutBool(d, true);
         }),
         "lock A L 1"},
        {"CFG", "UNLOCK", Payload([](TXData& d) {
             PutS(d, "A");
             PutBool(d, false);
         }),
         "lock A U 0"},
        {"CFG", "LOCKEXCLUSIVE", Payload([](TXData& d) { PutS(d, "A"); }), "exclusive A"},
        {"CFG", "UPGRADEBEGIN", Payload([](TXData& d) {
             PutS(d, "A");
             PutBool(d, true);
         }),
         "begin A 1"},
        {"CFG", "UPGRADEMSG", Payload([](TXData& d) {
             PutS(d, "T1");
             PutS(d, "tabela criada");
         }),
         "msg T1 tabela criada"},
        {"CFG", "SETVERSION", Payload([](TXData& d) {
             PutS(d, "A");
             PutBool(d, true);
             PutS(d, "1.4.27");
         }),
         "set A 1 1.4.27"},
        {"CFG", "SETVERSION", Payload([](TXData& d) {
             PutS(d, "A");
             PutBool(d, false);
         }),
         "set A 0 0.0.0"},
        {"CFG", "WHATEVER", Payload([](TXData& d) { PutS(d, "A"); }), nullptr},
        {"CFG", "VERSION", "\x01", nullptr}, // truncated: the receiver's failure is swallowed
        {"AUTH", "LOGOUT", "", "logout"},
        {"AUTH", "CHECK", Payload([](TXData& d) {
             PutS(d, "A");
             PutS(d, "token");
             PutBool(d, false);
         }),
         "check A 0 0"},
        {"AUTH", "CHECK", Payload([](TXData& d) {
             PutS(d, "A");
             PutS(d, "token");
             PutBool(d, true);
         }),
         "check A 1 -1"},
        {"ERR", "MUSTBELOGGED", Payload([](TXData& d) { PutS(d, "CFGX"); }), "err MUSTBELOGGED CFGX"},
    };
    std::vector<std::string> expected;
    std::string stream;
    uint16_t seq = 1;
    for (const Reply& r : replies) {
        stream += PackFrame(0, 0, r.service, r.command, r.payload, seq++);
        if (r.expected)
            expected.push_back(r.expected);
    }
    pack.FeedReceived(stream);
    EXPECT_EQ(log, expected);
}

TEST(DataClient, DefaultClientAndForgottenPack) {
    auto first = std::make_unique<TXDataClient>();
    if (TXDataClient::Default() != first.get())
        GTEST_SKIP() << "another data client is the default";
    {
        TXDataClient second;
        EXPECT_EQ(TXDataClient::Default(), first.get());
    }
    first.reset();
    EXPECT_EQ(TXDataClient::Default(), nullptr);

    TXDataClient client;
    EXPECT_EQ(TXDataClient::Default(), &client) << "with none left, the next one becomes the default";
    auto pack = std::make_unique<TXTCPClientPack>();
    client.SetTCPClientPack(pack.get());
    try {
        client.CheckCFG("x", "A");
        FAIL() << "not connected";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "TXDataClient error: Connection not active");
    }
    EXPECT_EQ(client.PendingChecks(), 0);
    EXPECT_EQ(client.Service("AUTH").TCPClientPack(), pack.get());
    pack.reset();
    EXPECT_EQ(client.TCPClientPack(), nullptr);
    EXPECT_EQ(client.Service("auth").TCPClientPack(), nullptr);
    EXPECT_FALSE(client.Active());
    client.RequestVersion("A"); // nothing to send it through: no crash
    EXPECT_THROW(client.CheckCFG("x", "A"), std::runtime_error);
}

TEST(DataClient, FurtherServicesShareTheConnection) {
    TXTCPClientPack pack;
    TXDataClient client;
    client.SetTCPClientPack(&pack);
    std::vector<std::string> got;
    client.AddService(
        "sess", [&](TXTCPClientService& s, TXTCPPack& p) { got.push_back(s.Service() + " " + p.Command); });
    client.AddService(
        "extra", [&](TXTCPClientService& s, TXTCPPack& p) { got.push_back(s.Service() + " " + p.Command); });
    EXPECT_EQ(&client.Service("SESS"), &client.SessService());
    pack.FeedReceived(PackFrame(0, 0, "SESS", "CREATE", "", 1) + PackFrame(0, 0, "EXTRA", "PING", "", 2));
    EXPECT_EQ(got, (std::vector<std::string>{"SESS CREATE", "EXTRA PING"}));
}

// ---- the real data server ------------------------------------------------------------------------

const char* kThreeConfigs = R"({"configurations":[
  {"name":"ALFA","password":"pa","engine":"sqlite","location":"alfa.db"},
  {"name":"BETA","password":"pb","engine":"sqlite","location":"beta.db"},
  {"name":"GAMA","password":"","engine":"sqlite","location":"gama.db"}]})";

// One client connection with its events recorded.
struct Station {
    explicit Station(uint16_t port) {
        pack.IP = "127.0.0.1";
        pack.Port = port;
        client.SetTCPClientPack(&pack);
        pack.OnIDReceived = [this] { ++ids; };
        pack.OnDisconnect = [this] { ++disconnects; };
        pack.OnConnectError = [this](const std::string& m) { connectErrors.push_back(m); };
        client.OnAuthCheck = [this](const std::string& c, bool ok, int32_t left) {
            checks.push_back(c + (ok ? " ok " : " failed ") + std::to_string(left));
        };
        client.OnErrorMessage = [this](const std::string& code, TXData& d) {
            errs.push_back(code);
            if (code == "MUSTBELOGGED")
                errs.back() += " " + GetS(d);
        };
        client.OnCFGVersion = [this](const std::string& c, const TXVersion& v) {
            versions.push_back(c + " " + (v.Invalid ? std::string("invalid") : VersionToStr(v)));
        };
        client.OnLockResult = [this](const std::string& c, const std::string& lu, bool ok) {
            locks.push_back(lu + " " + c + (ok ? " 1" : " 0"));
        };
        client.OnLockExclusive = [this](const std::string& c) { locks.push_back("X " + c); };
        client.OnUpgradedVersion = [this](const std::string& c, bool ok, const TXVersion& v) {
            versions.push_back("set " + c + (ok ? " 1 " : " 0 ") + VersionToStr(v));
        };
    }

    bool Connect() {
        const int before = ids;
        pack.Activate(-1);
        return WaitFor([&] { return ids > before; });
    }

    // Proves the passwords as the login does: all CHECKs at once; a configuration still opening
    // answers CFGOPENING and the whole round is repeated after LOGOUT. Returns the last round's replies.
    std::vector<std::string> Login(const std::vector<std::pair<std::string, std::string>>& cfgs) {
        for (int round = 0; round < 50; ++round) {
            checks.clear();
            errs.clear();
            if (round > 0)
                client.Logout();
            for (const auto& [name, password] : cfgs)
                client.CheckCFG(password, name);
            const bool answered = WaitFor([&] {
                return checks.size() == cfgs.size() ||
                       std::find(errs.begin(), errs.end(), "CFGOPENING") != errs.end();
            });
            if (!answered)
                return {"no answer"};
            if (std::find(errs.begin(), errs.end(), "CFGOPENING") == errs.end())
                return checks;
            Pump(100);
        }
        return {"still opening"};
    }

    TXTCPClientPack pack;
    TXDataClient client;
    int ids = 0;
    int disconnects = 0;
    std::vector<std::string> connectErrors;
    std::vector<std::string> checks;
    std::vector<std::string> errs;
    std::vector<std::string> versions;
    std::vector<std::string> locks;
};

std::unique_ptr<DataServerProcess> StartServer(int keepAliveMs = 30000, int idleMs = 120000,
                                               const std::string& dataDir = {}) {
    DataServerOptions o;
    o.configJson = kThreeConfigs;
    o.keepAliveMs = keepAliveMs;
    o.idleTimeoutMs = idleMs;
    o.dataDir = dataDir;
    return std::make_unique<DataServerProcess>(o);
}

TEST(DataServer, IdAndKeepAliveHoldTheConnection) {
    auto server = StartServer(50, 400);
    Station s(server->Port());
    ASSERT_TRUE(s.Connect());
    EXPECT_GT(s.pack.ConnectionId(), 0);
    Pump(1500); // without the echoes the server drops a connection silent for 400 ms
    EXPECT_TRUE(s.pack.Connected());
    EXPECT_EQ(s.disconnects, 0);
}

TEST(DataServer, ChecksCountDownAndLogoutRestartsTheCount) {
    auto server = StartServer();
    Station s(server->Port());
    ASSERT_TRUE(s.Connect());
    const std::vector<std::pair<std::string, std::string>> right = {
        {"ALFA", "pa"}, {"BETA", "pb"}, {"GAMA", ""}};
    const std::vector<std::pair<std::string, std::string>> secondWrong = {
        {"ALFA", "pa"}, {"BETA", "wrong"}, {"GAMA", ""}};

    EXPECT_EQ(s.Login(right), (std::vector<std::string>{"ALFA ok 2", "BETA ok 1", "GAMA ok 0"}));
    EXPECT_EQ(s.client.PendingChecks(), 0);

    s.client.Logout();
    EXPECT_EQ(s.Login(secondWrong), (std::vector<std::string>{"ALFA ok 2", "BETA failed 2", "GAMA ok 1"}));
    EXPECT_EQ(s.client.PendingChecks(), 1) << "a failed check keeps the count up until the next LOGOUT";

    s.client.Logout();
    for (const auto& [name, password] : right)
        s.client.CheckCFG(password, name);
    EXPECT_EQ(s.client.PendingChecks(), 3);
    s.checks.clear();
    ASSERT_TRUE(WaitFor([&] { return s.checks.size() == 3; }));
    EXPECT_EQ(s.checks, (std::vector<std::string>{"ALFA ok 2", "BETA ok 1", "GAMA ok 0"}));
    EXPECT_EQ(s.client.PendingChecks(), 0);

    s.client.Logout();
    s.client.RequestVersion("ALFA");
    ASSERT_TRUE(WaitFor([&] { return !s.errs.empty(); }));
    EXPECT_EQ(s.errs[0], "MUSTBELOGGED ALFA") << "after LOGOUT the server forgets the logins";
    EXPECT_TRUE(s.versions.empty());
}

TEST(DataServer, VersionsAreReadAndOnlyValidOnesStored) {
    auto server = StartServer();
    Station s(server->Port());
    ASSERT_TRUE(s.Connect());
    ASSERT_EQ(s.Login({{"ALFA", "pa"}}), std::vector<std::string>{"ALFA ok 0"});
    s.client.RequestVersion("ALFA");
    ASSERT_TRUE(WaitFor([&] { return s.versions.size() == 1; }));
    EXPECT_EQ(s.versions[0], "ALFA 0.0.0") << "a database without a version";

    s.client.Lock("ALFA");
    ASSERT_TRUE(WaitFor([&] { return s.locks.size() == 2; }));
    EXPECT_EQ(s.locks, (std::vector<std::string>{"L ALFA 1", "X ALFA"}));
    // SETVERSION normally follows an upgrade's end; sent directly to store a version.
    auto setVersion = [&](const std::string& text) {
        s.client.Service("CFG").SendData(0, "SETVERSION", [&] {
            TXData d;
            Init(d);
            PutS(d, "ALFA");
            PutS(d, text);
            Finish(d);
            return d;
        }());
    };
    setVersion("1.0");
    setVersion("1.4.27");
    s.client.RequestVersion("ALFA");
    ASSERT_TRUE(WaitFor([&] { return s.versions.size() == 4; }));
    EXPECT_EQ(s.versions[1], "set ALFA 0 0.0.0") << "1.0 is not a version";
    EXPECT_EQ(s.versions[2], "set ALFA 1 1.4.27");
    EXPECT_EQ(s.versions[3], "ALFA 1.4.27");
}

TEST(DataServer, LocksQueueAcrossClientsAndDieWithTheConnection) {
    auto server = StartServer();
    Station a(server->Port());
    Station b(server->Port());
    Station c(server->Port());
    for (Station* s : {&a, &b, &c}) {
        ASSERT_TRUE(s->Connect());
        ASSERT_EQ(s->Login({{"BETA", "pb"}}), std::vector<std::string>{"BETA ok 0"});
    }
    EXPECT_NE(a.pack.ConnectionId(), b.pack.ConnectionId());
    a.client.Lock("BETA");
    ASSERT_TRUE(WaitFor([&] { return a.locks.size() == 2; }));
    b.client.Lock("BETA");
    c.client.Lock("BETA");
    ASSERT_TRUE(WaitFor([&] { return b.locks.size() == 1 && c.locks.size() == 1; }));
    Pump(50);
    EXPECT_EQ(b.locks, std::vector<std::string>{"L BETA 1"}) << "queued, not exclusive yet";

    a.client.Unlock("BETA");
    ASSERT_TRUE(WaitFor([&] { return b.locks.size() == 2; }));
    EXPECT_EQ(b.locks[1], "X BETA");
    EXPECT_EQ(a.locks.back(), "U BETA 1");

    b.pack.Deactivate(); // b's connection ends while it holds the lock
    ASSERT_TRUE(WaitFor([&] { return c.locks.size() == 2; }));
    EXPECT_EQ(c.locks[1], "X BETA");
    a.client.Unlock("BETA");
    ASSERT_TRUE(WaitFor([&] { return a.locks.size() == 4; }));
    EXPECT_EQ(a.locks.back(), "U BETA 0") << "a no longer held it";
}

TEST(DataServer, ALostServerIsReportedAndAReconnectFindsTheDataAgain) {
    char tmpl[] = "/tmp/sv-client-data-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dataDir = tmpl;
    auto server = StartServer(30000, 120000, dataDir);
    Station s(server->Port());
    ASSERT_TRUE(s.Connect());
    ASSERT_EQ(s.Login({{"GAMA", ""}}), std::vector<std::string>{"GAMA ok 0"});
    s.client.Lock("GAMA");
    ASSERT_TRUE(WaitFor([&] { return s.locks.size() == 2; }));
    s.client.Service("CFG").SendData(0, "SETVERSION", [] {
        TXData d;
        Init(d);
        PutS(d, "GAMA");
        PutS(d, "3.2.1");
        Finish(d);
        return d;
    }());
    ASSERT_TRUE(WaitFor([&] { return s.versions.size() == 1; }));

    server->Kill();
    ASSERT_TRUE(WaitFor([&] { return s.disconnects == 1; }));
    EXPECT_FALSE(s.pack.Connected());
    EXPECT_FALSE(s.client.Active());
    EXPECT_THROW(s.client.CheckCFG("", "GAMA"), std::runtime_error);

    server = StartServer(30000, 120000, dataDir);
    s.pack.Port = server->Port();
    ASSERT_TRUE(s.Connect());
    ASSERT_EQ(s.Login({{"GAMA", ""}}), std::vector<std::string>{"GAMA ok 0"});
    s.client.RequestVersion("GAMA");
    ASSERT_TRUE(WaitFor([&] { return s.versions.size() == 2; }));
    EXPECT_EQ(s.versions[1], "GAMA 3.2.1");
    server.reset();
    std::filesystem::remove_all(dataDir);
}

} // namespace

int main(int argc, char** argv) {
    return RunQtTests(argc, argv);
}
