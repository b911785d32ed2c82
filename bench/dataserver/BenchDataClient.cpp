// A control request chained 10,000 times (CFG VERSION, each reply sends the next request) through the
// data client and the real data server, against a raw socket ping-pong of the same frame sizes.
// client_ratio: the data client against a peer that answers with ready-made VERSION frames at raw
// speed, i.e. the client's own share of the cost.
#include "dataserver/UXDataClient.h"
#include "dataserver/UXTCPClientPack.h"
#include "dataserver/UXTCPPack.h"
#include "foundation/UXData.h"
#include "support/UDataServerProcess.h"
#include "support/UWaitFor.h"

#include "../URawChain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr int kChain = 10000;
const std::string kCfg = "SARVOLENTIS";

// Answers every request of requestSize bytes with replySize bytes, on its own thread; with frames,
// the reply is a VERSION packet with the right sequence number.
class RawPeer : public QThread {
public:
    RawPeer(int requestSize, int replySize, bool frames = false)
        : mRequest(requestSize), mReply(replySize), mFrames(frames) {}
    quint16 Port() const { return mPort.load(); }
    void Stop() {
        quit();
        wait();
    }

protected:
    void run() override {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        const QByteArray reply(mReply, 'r');
        qint64 pending = 0;
        uint16_t seq = 1;
        TXData version;
        Init(version);
        PutS(version, kCfg);
        PutBool(version, true);
        PutS(version, "0.0.0");
        Finish(version);
        QObject::connect(&server, &QTcpServer::newConnection, [&] {
            QTcpSocket* s = server.nextPendingConnection();
            s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            QObject::connect(s, &QTcpSocket::readyRead, [&, s] {
                pending += s->readAll().size();
                while (pending >= mRequest) {
                    pending -= mRequest;
                    if (mFrames) {
                        const std::string f = PackFrame(0, 0, "CFG", "VERSION", version.Data, seq++);
                        s->write(f.data(), qint64(f.size()));
                    } else {
                        s->write(reply);
                    }
                }
                s->flush();
            });
        });
        mPort = server.serverPort();
        exec();
    }

private:
    int mRequest;
    int mReply;
    bool mFrames;
    std::atomic<quint16> mPort{0};
};

// The same chain over a bare QTcpSocket: ms for kChain round trips.
double RawChain(int requestSize, int replySize) {
    RawPeer peer(requestSize, replySize);
    peer.start();
    while (peer.Port() == 0)
        QThread::msleep(1);
    const double ms = RawChainMs(peer.Port(), requestSize, replySize, kChain);
    peer.Stop();
    return ms;
}

struct TBenchClient {
    std::unique_ptr<DataServerProcess> server;
    TXTCPClientPack pack;
    TXDataClient client;

    TBenchClient() {
        setenv("SV_DATASERVER_BIN", SV_DATASERVER_BIN_DEFAULT, 0);
        server = std::make_unique<DataServerProcess>();
        pack.IP = "127.0.0.1";
        pack.Port = server->Port();
        client.SetTCPClientPack(&pack);
        bool id = false;
        pack.OnIDReceived = [&] { id = true; };
        pack.Activate(-1);
        if (!WaitFor([&] { return id; }))
            throw std::runtime_error("no connection id");
        pack.OnIDReceived = nullptr;
        // A configuration still opening answers CFGOPENING: log in again until it is open.
        for (int round = 0; round < 100; ++round) {
            bool ok = false;
            bool opening = false;
            client.OnAuthCheck = [&](const std::string&, bool success, int32_t) { ok = success; };
            client.OnErrorMessage = [&](const std::string& code, TXData&) { opening = code == "CFGOPENING"; };
            client.Logout();
            client.CheckCFG("", kCfg);
            WaitFor([&] { return ok || opening; });
            if (ok)
                return;
            QThread::msleep(50);
        }
        throw std::runtime_error("the configuration did not open");
    }

    // ms for kChain chained VERSION requests.
    double Chain() { return ChainOn(client); }

    static double ChainOn(TXDataClient& client) {
        int done = 0;
        QEventLoop loop;
        client.OnCFGVersion = [&](const std::string&, const TXVersion&) {
            if (++done == kChain)
                loop.quit();
            else
                client.RequestVersion(kCfg);
        };
        QElapsedTimer t;
        t.start();
        client.RequestVersion(kCfg);
        loop.exec();
        return double(t.nsecsElapsed()) / 1e6;
    }
};

// The data client against a peer that answers at raw speed.
double ClientChain(int requestSize, int replySize) {
    RawPeer peer(requestSize, replySize, true);
    peer.start();
    while (peer.Port() == 0)
        QThread::msleep(1);
    TXTCPClientPack pack;
    TXDataClient client;
    client.SetTCPClientPack(&pack);
    pack.IP = "127.0.0.1";
    pack.Port = peer.Port();
    pack.Activate(-1);
    WaitFor([&] { return pack.Connected(); });
    const double ms = TBenchClient::ChainOn(client);
    pack.Deactivate();
    peer.Stop();
    return ms;
}

int PayloadSize(const std::function<void(TXData&)>& write) {
    TXData d;
    Init(d);
    write(d);
    Finish(d);
    return d.Size;
}

void ControlRoundTrip(benchmark::State& state) {
    TBenchClient bench;
    const int request =
        PackFrameSize("CFG", "VERSION", std::string(PayloadSize([](TXData& d) { PutS(d, kCfg); }), 'x'));
    const int reply = PackFrameSize("CFG", "VERSION",
                                    std::string(PayloadSize([](TXData& d) {
                                                    PutS(d, kCfg);
                                                    PutBool(d, true);
                                                    PutS(d, "0.0.0");
                                                }),
                                                'x'));
    bench.Chain(); // warm-up
    double protocolMs = 0;
    double rawMs = 0;
    double clientMs = 0;
    double clientRawMs = 0;
    for (auto _ : state) {
        const double p = bench.Chain();
        const double r = RawChain(request, reply);
        clientMs += ClientChain(request, reply);
        clientRawMs += RawChain(request, reply);
        protocolMs += p;
        rawMs += r;
        state.SetIterationTime(p / 1000.0);
    }
    state.counters["ratio"] = protocolMs / rawMs;
    state.counters["client_ratio"] = clientMs / clientRawMs;
    state.counters["protocol_us_per_trip"] =
        protocolMs * 1000.0 / (double(kChain) * double(state.iterations()));
    state.counters["raw_us_per_trip"] = rawMs * 1000.0 / (double(kChain) * double(state.iterations()));
}
BENCHMARK(ControlRoundTrip)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    setenv("SARVOLENTIS_HOME", home.path().toLocal8Bit().constData(), 1);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
