// Connecting through real SOCKS proxies: dante (4 and 5) and microsocks (5 with user and password).
#include "UScriptedPeer.h"
#include "support/UPeerProcess.h"
#include "support/UTestMain.h"

#include "dataserver/UXTCPClientPack.h"

#include <QTemporaryDir>

#include <fstream>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr const char* kUser = "svuser";
constexpr const char* kPassword = "s3cr#t";

class Socks : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = std::make_unique<QTemporaryDir>();
        dantePort = FreePort();
        const std::string conf = dir->path().toStdString() + "/danted.conf";
        std::ofstream(conf) << "logoutput: stderr\n"
                               "internal: 127.0.0.1 port = "
                            << dantePort
                            << "\n"
                               "external: 127.0.0.1\n"
                               "socksmethod: none\n"
                               "clientmethod: none\n"
                               "user.privileged: root\n"
                               "user.unprivileged: nobody\n"
                               "client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n}\n"
                               "socks pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n  protocol: tcp\n"
                               "  command: connect\n}\n";
        dante = std::make_unique<PeerProcess>(std::vector<std::string>{"/usr/sbin/danted", "-f", conf, "-p",
                                                                       dir->path().toStdString() + "/pid"},
                                              dantePort);
        microPort = FreePort();
        micro = std::make_unique<PeerProcess>(
            std::vector<std::string>{"/usr/bin/microsocks", "-i", "127.0.0.1", "-p",
                                     std::to_string(microPort), "-u", kUser, "-P", kPassword},
            microPort);
    }
    static void TearDownTestSuite() {
        dante.reset();
        micro.reset();
        dir.reset();
    }

    inline static std::unique_ptr<QTemporaryDir> dir;
    inline static std::unique_ptr<PeerProcess> dante;
    inline static std::unique_ptr<PeerProcess> micro;
    inline static uint16_t dantePort = 0;
    inline static uint16_t microPort = 0;
};

struct Route {
    const char* name;
    TXTCPClientConnectMode mode;
    bool micro;
    const char* host;
    const char* user;
    const char* password;
    const char* error; // empty: the tunnel carries the packets
};

TEST_F(Socks, PacketsTravelThroughEachProxyKind) {
    const Route routes[] = {
        {"dante socks4, address", cmSocks4, false, "127.0.0.1", "", "", ""},
        {"dante socks4, name resolved by the client", cmSocks4, false, "localhost", "", "", ""},
        {"dante socks4a, address", cmSocks4A, false, "127.0.0.1", "", "", ""},
        {"dante socks5, address", cmSocks5, false, "127.0.0.1", "", "", ""},
        {"dante socks5, name resolved by the proxy", cmSocks5, false, "localhost", "", "", ""},
        {"microsocks socks5, user and password", cmSocks5, true, "127.0.0.1", kUser, kPassword, ""},
        {"microsocks socks5, wrong password", cmSocks5, true, "127.0.0.1", kUser, "wrong",
         "SOCKS5 authentication failed"},
        {"microsocks socks5, no user", cmSocks5, true, "127.0.0.1", "", "",
         "SOCKS5 no acceptable authentication method"},
    };
    for (const Route& r : routes) {
        SCOPED_TRACE(r.name);
        ScriptedPeer peer;
        TXTCPClientPack client;
        client.ConnectMode = r.mode;
        client.IP = r.host;
        client.Port = peer.Port();
        client.SocksIP = "127.0.0.1";
        client.SocksPort = r.micro ? microPort : dantePort;
        client.SocksUser = r.user;
        client.SocksPassword = r.password;
        std::vector<std::string> errors;
        std::vector<std::string> got;
        int ids = 0;
        client.OnConnectError = [&](const std::string& m) { errors.push_back(m); };
        client.OnIDReceived = [&] { ++ids; };
        client.OnPackReceive = [&](TXTCPPack& p) { got.push_back(p.Payload); };
        client.Activate(-1);
        if (*r.error) {
            ASSERT_TRUE(WaitFor([&] { return !errors.empty(); }));
            EXPECT_EQ(errors[0], r.error);
            EXPECT_FALSE(client.Connected());
            EXPECT_FALSE(client.Connecting());
            EXPECT_EQ(peer.Accepted(), 0);
            continue;
        }
        ASSERT_TRUE(peer.WaitAccepted());
        ASSERT_TRUE(WaitFor([&] { return client.Connected(); }));
        peer.Send("", "$ID", "3");
        peer.Send("", "DATA", std::string(70000, 'x'));
        ASSERT_TRUE(WaitFor([&] { return got.size() == 1; }));
        EXPECT_EQ(ids, 1);
        EXPECT_EQ(got[0].size(), 70000u);
        client.SendText(0, "BACK", "SVC", "through the proxy");
        ASSERT_TRUE(peer.WaitFrames(1));
        EXPECT_EQ(peer.Frames()[0].Payload, "through the proxy");
        EXPECT_EQ(peer.Frames()[0].ConnectionId, 3u);
        EXPECT_TRUE(errors.empty()) << errors[0];
    }
}

TEST_F(Socks, ARefusedTargetIsAConnectError) {
    const uint16_t closed = FreePort();
    const struct {
        TXTCPClientConnectMode mode;
        const char* error;
    } cases[] = {{cmSocks4, "SOCKS4 request rejected (91)"}, {cmSocks5, "SOCKS5 request failed (5)"}};
    for (const auto& c : cases) {
        TXTCPClientPack client;
        client.ConnectMode = c.mode;
        client.IP = "127.0.0.1";
        client.Port = closed;
        client.SocksIP = "127.0.0.1";
        client.SocksPort = dantePort;
        std::vector<std::string> errors;
        client.OnConnectError = [&](const std::string& m) { errors.push_back(m); };
        client.Activate(-1);
        ASSERT_TRUE(WaitFor([&] { return !errors.empty(); }));
        EXPECT_EQ(errors[0], c.error);
        EXPECT_FALSE(client.Connecting());
    }
}

// Dante has no SOCKS 4A: a scripted proxy checks the request form and answers together with the
// server's first packet, which must not be lost in the handshake.
TEST(Socks4A, SendsTheNameForTheProxyToResolve) {
    QTcpServer proxy;
    ASSERT_TRUE(proxy.listen(QHostAddress::LocalHost, 0));
    std::string request;
    QTcpSocket* conn = nullptr;
    QObject::connect(&proxy, &QTcpServer::newConnection, [&] {
        conn = proxy.nextPendingConnection();
        QObject::connect(conn, &QTcpSocket::readyRead, [&] {
            request += conn->readAll().toStdString();
            if (request.size() >= 9 + 14 + 1 && request.back() == '\0') {
                const std::string reply =
                    std::string("\0\x5A\0\0\0\0\0\0", 8) + PackFrame(0, 0, "", "$ID", "9", 1);
                conn->write(reply.data(), qint64(reply.size()));
            }
        });
    });
    TXTCPClientPack client;
    client.ConnectMode = cmSocks4A;
    client.IP = "db.example.test";
    client.Port = 59504;
    client.SocksIP = "127.0.0.1";
    client.SocksPort = proxy.serverPort();
    client.SocksUser = "ana";
    int ids = 0;
    client.OnIDReceived = [&] { ++ids; };
    client.Activate(-1);
    ASSERT_TRUE(WaitFor([&] { return ids == 1; }));
    EXPECT_EQ(client.ConnectionId(), 9);
    EXPECT_EQ(request, std::string("\x04\x01\xE8\x70\0\0\0\x01"
                                   "ana\0db.example.test\0",
                                   8 + 4 + 16));
}

} // namespace

int main(int argc, char** argv) {
    return RunQtTests(argc, argv);
}
