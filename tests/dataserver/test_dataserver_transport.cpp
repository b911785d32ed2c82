// The packet transport against a scripted peer: framing, sequence, id handshake, keep-alive, dispatch.
#include "UScriptedPeer.h"
#include "support/UTestMain.h"

#include "dataserver/UXTCPClientPack.h"
#include "dataserver/UXTCPClientService.h"
#include "foundation/UXAppFolder.h"
#include "foundation/UXMainExec.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

struct Events {
    int connects = 0;
    int ids = 0;
    int disconnects = 0;
    std::vector<std::string> connectErrors;
    std::vector<std::string> errors;
    std::vector<TXTCPPack> packs; // through the pack's own receiver
};

class Transport : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Listening());
        client.IP = "127.0.0.1";
        client.Port = peer.Port();
        client.OnConnect = [this] { ++ev.connects; };
        client.OnIDReceived = [this] { ++ev.ids; };
        client.OnDisconnect = [this] { ++ev.disconnects; };
        client.OnConnectError = [this](const std::string& m) { ev.connectErrors.push_back(m); };
        client.OnError = [this](const std::string& m) { ev.errors.push_back(m); };
        client.OnPackReceive = [this](TXTCPPack& p) { ev.packs.push_back(p); };
    }

    // Connected, id received.
    void Open(const char* id = "42") {
        client.Activate(-1);
        ASSERT_TRUE(peer.WaitAccepted());
        ASSERT_TRUE(WaitFor([&] { return client.Connected(); }));
        peer.Send("", "$ID", id);
        ASSERT_TRUE(WaitFor([&] { return ev.ids == 1; }));
    }

    ScriptedPeer peer;
    TXTCPClientPack client;
    Events ev;
};

TEST_F(Transport, IdAssignsTheConnectionAndKeepAlivesAreEchoed) {
    Open("42");
    EXPECT_EQ(client.ConnectionId(), 42);
    EXPECT_FALSE(client.Connecting());
    EXPECT_EQ(ev.connects, 1);

    peer.Send("", "$LIB$WARNING");
    peer.Send("", "$LIB$WARNING");
    ASSERT_TRUE(peer.WaitFrames(2));
    for (size_t i = 0; i < 2; ++i) {
        const TXTCPPack& f = peer.Frames()[i];
        EXPECT_EQ(f.Command, "$LIB$WARNING");
        EXPECT_EQ(f.Service, "");
        EXPECT_EQ(f.Payload, "");
        EXPECT_EQ(f.ConnectionId, 42u);
        EXPECT_EQ(f.Reserved, 0u);
        EXPECT_EQ(f.Seq, i + 1) << "the client numbers its packets from 1";
    }
    EXPECT_TRUE(ev.errors.empty());
    EXPECT_TRUE(ev.packs.empty()) << "transport commands are not handed to receivers";
}

TEST_F(Transport, SplitAndCoalescedFramesAreEachDispatchedOnce) {
    Open();
    const std::string a = peer.Frame("", "A", "first payload");
    const std::string b = peer.Frame("", "B", std::string(20000, 'b'));
    const std::string c = peer.Frame("", "C", "");
    peer.SendRaw(a + b.substr(0, 5));
    Pump(30);
    EXPECT_EQ(ev.packs.size(), 1u);
    peer.SendRaw(b.substr(5, 9000));
    Pump(30);
    EXPECT_EQ(ev.packs.size(), 1u) << "B is incomplete after two of its three pieces";
    peer.SendRaw(b.substr(9005) + c);
    ASSERT_TRUE(WaitFor([&] { return ev.packs.size() == 3; }));
    Pump(20);
    ASSERT_EQ(ev.packs.size(), 3u);
    EXPECT_EQ(ev.packs[0].Payload, "first payload");
    EXPECT_EQ(ev.packs[1].Command, "B");
    EXPECT_EQ(ev.packs[1].Payload, std::string(20000, 'b'));
    EXPECT_EQ(ev.packs[2].Command, "C");
    EXPECT_TRUE(ev.errors.empty());
}

// More than the kernel takes at once, sent while the peer is not reading: part goes straight out,
// the rest waits in the socket, and the peer still gets every packet whole and in order.
TEST_F(Transport, PacketsBeyondTheSocketBufferArriveWholeAndInOrder) {
    Open();
    constexpr int kPackets = 12;
    for (int i = 0; i < kPackets; ++i)
        client.SendText(0, "BIG", "S", std::string(size_t(1) << 20, char('a' + i)));
    ASSERT_TRUE(peer.WaitFrames(kPackets, 20000));
    for (int i = 0; i < kPackets; ++i) {
        const TXTCPPack& f = peer.Frames()[size_t(i)];
        EXPECT_EQ(f.Command, "BIG");
        EXPECT_EQ(f.Seq, i + 1);
        EXPECT_EQ(f.Payload, std::string(size_t(1) << 20, char('a' + i))) << "packet " << i;
    }
    EXPECT_TRUE(ev.errors.empty());
}

TEST_F(Transport, WrongSequenceIsReportedAndThePacketStillDispatched) {
    Open(); // $ID was seq 1
    peer.Send("", "X", "", 5);
    ASSERT_TRUE(WaitFor([&] { return ev.packs.size() == 1; }));
    ASSERT_EQ(ev.errors.size(), 1u);
    EXPECT_EQ(ev.errors[0], "wrong package id 5 must be 2");
    peer.Send("", "Y", "", 2);
    ASSERT_TRUE(WaitFor([&] { return ev.packs.size() == 2; }));
    EXPECT_EQ(ev.errors.size(), 1u) << "the expected number did not move past the wrong one";
    EXPECT_TRUE(client.Connected());
}

TEST(TransportFeed, AfterAWrongSequenceTheRestWaitsForTheNextRead) {
    TXTCPClientPack pack;
    std::vector<std::string> errors;
    std::vector<std::string> commands;
    pack.OnError = [&](const std::string& m) { errors.push_back(m); };
    pack.OnPackReceive = [&](TXTCPPack& p) { commands.push_back(p.Command); };
    pack.FeedReceived(PackFrame(0, 0, "", "A", "", 2) + PackFrame(0, 0, "", "B", "", 1));
    EXPECT_EQ(errors, std::vector<std::string>{"wrong package id 2 must be 1"});
    EXPECT_EQ(commands, std::vector<std::string>{"A"});
    pack.FeedReceived(PackFrame(0, 0, "", "C", "", 2));
    EXPECT_EQ(commands, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(Transport, ServicesAreFoundByNameAndUnknownOnesAnswered) {
    TXTCPClientService cfg("cfg", &client);
    TXTCPClientService second("CFG", &client); // registered later: never reached
    std::vector<std::string> got;
    cfg.OnPackReceive = [&](TXTCPClientService& s, TXTCPPack& p) {
        got.push_back(s.Service() + ":" + p.Command);
        if (p.Command == "BOOM")
            throw std::runtime_error("receiver failed");
    };
    second.OnPackReceive = [&](TXTCPClientService&, TXTCPPack&) { got.push_back("second"); };
    EXPECT_EQ(cfg.Service(), "CFG");
    Open();
    std::string burst = peer.Frame("Cfg", "BOOM", "");
    burst += peer.Frame("foo", "ANY", "xyz");
    burst += peer.Frame("CFG", "AFTER", "");
    peer.SendRaw(burst);
    ASSERT_TRUE(WaitFor([&] { return got.size() == 2; })) << testing::PrintToString(got);
    EXPECT_EQ(got, (std::vector<std::string>{"CFG:BOOM", "CFG:AFTER"}));
    ASSERT_TRUE(peer.WaitFrames(1));
    EXPECT_EQ(peer.Frames()[0].Command, "$UNKNOWNSERVICE");
    EXPECT_EQ(peer.Frames()[0].Service, "");
    EXPECT_EQ(peer.Frames()[0].Payload, "FOO");

    // Renaming moves the service: packets for the old name are now unknown.
    cfg.SetService("conf");
    peer.Send("CONF", "RENAMED");
    peer.Send("CFG", "OLD");
    ASSERT_TRUE(WaitFor([&] { return got.size() == 4; }));
    EXPECT_EQ(got[2], "CONF:RENAMED");
    EXPECT_EQ(got[3], "second");
    EXPECT_TRUE(client.Connected()) << "a failing receiver does not hurt the connection";
}

TEST_F(Transport, NoIdWithinFiveSecondsEndsTheConnection) {
    client.Activate(-1);
    ASSERT_TRUE(peer.WaitAccepted());
    ASSERT_TRUE(WaitFor([&] { return client.Connected(); }));
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(WaitFor([&] { return !ev.connectErrors.empty(); }, 8000));
    EXPECT_GE(t.elapsed(), 4500);
    EXPECT_EQ(ev.connectErrors, std::vector<std::string>{"id not received"});
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.Connecting());
    EXPECT_TRUE(WaitFor([&] { return peer.Closed(); }));
    EXPECT_EQ(ev.disconnects, 0) << "deactivating is not a lost connection";
}

TEST_F(Transport, LostConnectionDropsQueuedBytesAndAReconnectStartsAfresh) {
    Open("7");
    bool connectedDuringEvent = false;
    client.OnDisconnect = [&] {
        ++ev.disconnects;
        connectedDuringEvent = client.Connected();
    };
    client.SendText(0, "BEFORE", "", "");
    ASSERT_TRUE(peer.WaitFrames(1));
    peer.Close();
    ASSERT_TRUE(WaitFor([&] { return ev.disconnects == 1; }));
    EXPECT_TRUE(connectedDuringEvent);
    EXPECT_FALSE(client.Connected());

    client.SendText(0, "LOST", "", ""); // nowhere to go: discarded
    Pump(20);
    client.Activate(-1);
    ASSERT_TRUE(peer.WaitAccepted(2));
    ASSERT_TRUE(WaitFor([&] { return client.Connected(); }));
    peer.Send("", "$ID", "8");
    ASSERT_TRUE(WaitFor([&] { return ev.ids == 2; }));
    EXPECT_EQ(client.ConnectionId(), 8);
    client.SendText(0, "AFTER", "", "");
    ASSERT_TRUE(peer.WaitFrames(1));
    Pump(20);
    ASSERT_EQ(peer.Frames().size(), 1u);
    EXPECT_EQ(peer.Frames()[0].Command, "AFTER");
    EXPECT_EQ(peer.Frames()[0].Seq, 1) << "sequence numbers restart per connection";
}

TEST_F(Transport, AMalformedFrameClosesTheConnection) {
    Open();
    peer.SendRaw(std::string("\x05\0\0\0", 4) + std::string(12, '\0'));
    ASSERT_TRUE(WaitFor([&] { return ev.disconnects == 1; }));
    ASSERT_EQ(ev.errors.size(), 1u);
    EXPECT_EQ(ev.errors[0], "invalid package length 5");
    EXPECT_TRUE(WaitFor([&] { return peer.Closed(); }));
}

TEST(TransportConnect, ActivateFromTheErrorEventRunsFromTheDeferredQueue) {
    quint16 port;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    TXTCPClientPack client;
    client.IP = "127.0.0.1";
    client.Port = port;
    std::vector<std::string> errors;
    bool queuedRightAfter = false;
    client.OnConnectError = [&](const std::string& m) {
        errors.push_back(m);
        if (errors.size() == 1) {
            client.Activate(-1);
            queuedRightAfter = TXMainExec::Instance().PendingCount() > 0;
        }
    };
    client.Activate(-1);
    ASSERT_TRUE(WaitFor([&] { return errors.size() == 2; }));
    EXPECT_EQ(errors[0], "10061") << "connection refused";
    EXPECT_EQ(errors[1], "10061");
    EXPECT_TRUE(queuedRightAfter) << "the second attempt waits in the deferred-call queue";
    Pump(50);
    EXPECT_EQ(errors.size(), 2u) << "no retry interval: no third attempt";
    EXPECT_FALSE(client.Connecting());
}

TEST(TransportConnect, RetryTimerKeepsTryingUntilTheServerListens) {
    quint16 port;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    TXTCPClientPack client;
    client.IP = "127.0.0.1";
    client.Port = port;
    int errors = 0;
    int connects = 0;
    client.OnConnectError = [&](const std::string&) { ++errors; };
    client.OnConnect = [&] { ++connects; };
    client.Activate(50);
    ASSERT_TRUE(WaitFor([&] { return errors >= 2; }));
    ScriptedPeer peer(port);
    ASSERT_TRUE(peer.Listening());
    ASSERT_TRUE(WaitFor([&] { return connects == 1; }));
    EXPECT_TRUE(client.Connected());
    client.Deactivate();
    EXPECT_FALSE(client.Connected());
    const int before = errors;
    Pump(200);
    EXPECT_EQ(errors, before) << "Deactivate stops the retries";
    EXPECT_EQ(connects, 1);
}

TEST(TransportConnect, AStalledAttemptTimesOutAndIsRetried) {
    QTcpServer silentProxy; // accepts, never answers the SOCKS greeting
    ASSERT_TRUE(silentProxy.listen(QHostAddress::LocalHost, 0));
    std::vector<QTcpSocket*> accepted;
    QObject::connect(&silentProxy, &QTcpServer::newConnection,
                     [&] { accepted.push_back(silentProxy.nextPendingConnection()); });
    TXTCPClientPack client;
    EXPECT_EQ(client.ConnectTimeoutMs, 15000);
    client.ConnectTimeoutMs = 200;
    client.ConnectMode = cmSocks5;
    client.IP = "127.0.0.1";
    client.Port = 59504;
    client.SocksIP = "127.0.0.1";
    client.SocksPort = silentProxy.serverPort();
    std::vector<std::string> errors;
    client.OnConnectError = [&](const std::string& m) { errors.push_back(m); };
    client.Activate(50);
    ASSERT_TRUE(WaitFor([&] { return errors.size() == 2; }));
    EXPECT_EQ(errors, (std::vector<std::string>{"TimeOut", "TimeOut"}));
    ASSERT_GE(accepted.size(), 2u);
    EXPECT_TRUE(WaitFor([&] { return accepted[0]->state() == QAbstractSocket::UnconnectedState; }))
        << "the timed-out attempt was closed";
    client.Deactivate();
    EXPECT_FALSE(client.Connecting());
}

TEST_F(Transport, ExceptionsOfTheTransportsOwnEventsGoToTheLog) {
    const std::string logName = AppFolder() + "TCPLog.txt";
    QFile::remove(QString::fromStdString(logName));
    client.OnConnect = [] { throw std::runtime_error("handler failed on connect"); };
    client.Activate(-1);
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(QString::fromStdString(logName)); }));
    QFile f(QString::fromStdString(logName));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const std::string text = f.readAll().toStdString();
    EXPECT_NE(text.find("C.SocketClientOnSessionConnected handler failed on connect\r\n"), std::string::npos)
        << text;
    EXPECT_EQ(TXCustomTCPClient::Log().FileName(), logName);
}

} // namespace

int main(int argc, char** argv) {
    return RunQtTests(argc, argv);
}
