#include "dataserver/UXCustomTCPClient.h"

#include "foundation/UXAppFolder.h"
#include "foundation/UXMainExec.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkProxy>

#if defined(Q_OS_UNIX)
#include <sys/socket.h>
#endif

namespace {

// Socket errors are reported as the classic socket error numbers the logs have always shown.
int SocketErrorCode(QAbstractSocket::SocketError e) {
    switch (e) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::NetworkError:
        return 10050;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10045;
    case QAbstractSocket::DatagramTooLargeError:
        return 10040;
    default:
        return 10000 + int(e) + 1;
    }
}

// Bytes the socket may hold unsent before the pump waits for it.
constexpr qint64 kSocketWriteLimit = 4 * 1024 * 1024;

} // namespace

struct TXCustomTCPClient::TEventScope {
    explicit TEventScope(TXCustomTCPClient& c) : client(c) { ++client.mEventDepth; }
    ~TEventScope() { --client.mEventDepth; }
    TXCustomTCPClient& client;
};

TXLogFile& TXCustomTCPClient::Log() {
    static TXLogFile log(AppFolder() + "TCPLog.txt");
    return log;
}

TXCustomTCPClient::TXCustomTCPClient(QObject* parent) : QObject(parent), mSocket(this) {
    mSocket.setProxy(QNetworkProxy::NoProxy);
    mConnectTimer.setSingleShot(true);
    mRetryTimer.setSingleShot(true);
    mSendTimer.setInterval(kSendIntervalMs);
    connect(&mSocket, &QTcpSocket::connected, this, &TXCustomTCPClient::OnSocketConnected);
    connect(&mSocket, &QTcpSocket::errorOccurred, this, &TXCustomTCPClient::OnSocketError);
    connect(&mSocket, &QTcpSocket::disconnected, this, &TXCustomTCPClient::OnSocketDisconnected);
    connect(&mSocket, &QTcpSocket::readyRead, this, &TXCustomTCPClient::OnSocketReadyRead);
    connect(&mConnectTimer, &QTimer::timeout, this, &TXCustomTCPClient::OnConnectTimer);
    connect(&mRetryTimer, &QTimer::timeout, this, &TXCustomTCPClient::OnRetryTimer);
    connect(&mSendTimer, &QTimer::timeout, this, &TXCustomTCPClient::OnSendTimer);
}

TXCustomTCPClient::~TXCustomTCPClient() {
    mConnected = mConnecting = false;
    mSocket.disconnect(this);
    mSocket.abort();
}

void TXCustomTCPClient::Activate(int retryIntervalMs) {
    Guarded("C.Activate", true, [&] {
        // From inside our own error or disconnect events the flags still describe the failing attempt:
        // the new one starts after the event has returned.
        if (mEventDepth > 0) {
            mRetryInterval = retryIntervalMs;
            TXMainExec::Instance().Post(
                0, [this, retryIntervalMs] { Activate(retryIntervalMs); }, this);
            return;
        }
        if (mConnected || mConnecting)
            return;
        mRetryInterval = retryIntervalMs;
        if (mSocket.state() != QAbstractSocket::UnconnectedState) {
            TXMainExec::Instance().Post(
                0, [this, retryIntervalMs] { Activate(retryIntervalMs); }, this);
            return;
        }
        StartAttempt();
    });
}

void TXCustomTCPClient::StartAttempt() {
    mSocks.reset();
    mSocksIn.clear();
    QString host = QString::fromStdString(IP);
    quint16 port = quint16(Port);
    if (ConnectMode != cmDirect) {
        mSocks =
            std::make_unique<TXSocksHandshake>(ConnectMode, IP, uint16_t(Port), SocksUser, SocksPassword);
        host = QString::fromStdString(SocksIP);
        port = quint16(SocksPort);
    }
    mConnecting = true;
    mRetryTimer.stop();
    mConnectTimer.start(ConnectTimeoutMs);
    mSocket.connectToHost(host, port);
}

void TXCustomTCPClient::Deactivate() {
    Guarded("C.Deactivate", true, [&] {
        mRetryTimer.stop();
        if (mConnected || mConnecting) {
            mConnectTimer.stop();
            mConnected = mConnecting = false;
        }
        if (mLookupId >= 0) {
            QHostInfo::abortHostLookup(mLookupId);
            mLookupId = -1;
        }
        mSocks.reset();
        if (mSocket.state() != QAbstractSocket::UnconnectedState)
            mSocket.abort();
        ++mGeneration;
    });
}

void TXCustomTCPClient::ScheduleRetry() {
    if (mRetryInterval > 0)
        mRetryTimer.start(mRetryInterval);
}

void TXCustomTCPClient::SessionConnected(std::string error) {
    if (!mConnecting)
        return;
    mRetryTimer.stop();
    mConnectTimer.stop();
    if (!error.empty()) {
        mSocks.reset();
        DoConnectError(error);
        mConnecting = false;
        ScheduleRetry();
        if (!mConnected && mSocket.state() != QAbstractSocket::UnconnectedState)
            mSocket.abort();
        return;
    }
    mSocks.reset();
    mConnected = true;
    ++mGeneration;
    {
        std::lock_guard lock(mSendLock);
        mSendQueue.Clear();
    }
    mReceiveQueue.Clear();
    DoConnect();
    mConnecting = false;
}

void TXCustomTCPClient::SessionClosed() {
    if (mConnected || mConnecting) {
        mConnectTimer.stop();
        if (mConnected)
            DoDisconnect();
        mConnected = mConnecting = false;
    }
    ++mGeneration;
    std::lock_guard lock(mSendLock);
    mSendQueue.Clear();
}

void TXCustomTCPClient::OnSocketConnected() {
    Guarded("C.SocketClientOnSessionConnected", false, [&] {
        if (!mConnecting)
            return;
        // Packets are whole frames written at once: no reason to hold them back for coalescing.
        mSocket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        if (!mSocks) {
            SessionConnected({});
            return;
        }
        if (mSocks->NeedsResolvedAddress()) {
            mLookupId =
                QHostInfo::lookupHost(QString::fromStdString(IP), this, [this](const QHostInfo& info) {
                    mLookupId = -1;
                    if (!mSocks || !mConnecting)
                        return;
                    for (const QHostAddress& a : info.addresses()) {
                        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                            mSocks->SetResolvedAddress(a.toString().toStdString());
                            StartSocks();
                            return;
                        }
                    }
                    SessionConnected(std::to_string(SocketErrorCode(QAbstractSocket::HostNotFoundError)));
                });
            return;
        }
        StartSocks();
    });
}

void TXCustomTCPClient::StartSocks() {
    const std::string hello = mSocks->Begin();
    if (mSocks->Failed()) {
        SessionConnected(mSocks->Error());
        return;
    }
    mSocket.write(hello.data(), qint64(hello.size()));
    mSocket.flush();
    if (mSocket.bytesAvailable() > 0)
        FeedSocks();
}

void TXCustomTCPClient::FeedSocks() {
    const QByteArray bytes = mSocket.readAll();
    mSocksIn.append(bytes.constData(), size_t(bytes.size()));
    std::string out;
    const auto step = mSocks->Feed(mSocksIn, out);
    if (step == TXSocksHandshake::TStep::Failed) {
        SessionConnected(mSocks->Error());
        return;
    }
    if (!out.empty()) {
        mSocket.write(out.data(), qint64(out.size()));
        mSocket.flush();
    }
    if (step == TXSocksHandshake::TStep::Done) {
        const std::string early = std::move(mSocksIn);
        mSocksIn.clear();
        SessionConnected({});
        // What the server sent right behind the proxy's reply belongs to the packet stream.
        if (mConnected && !early.empty()) {
            mReceiveQueue.Write(early.data(), int32_t(early.size()));
            DoDataAvailable();
        }
    }
}

void TXCustomTCPClient::OnSocketError(QAbstractSocket::SocketError error) {
    Guarded("C.SocketClientOnDataAvailable", false, [&] {
        if (mConnecting && !mConnected) {
            SessionConnected(std::to_string(SocketErrorCode(error)));
            return;
        }
        // A peer that closes is reported by the disconnect notification that follows.
        if (mConnected && error != QAbstractSocket::RemoteHostClosedError) {
            DoError(std::to_string(SocketErrorCode(error)));
            CloseSocket();
        }
    });
}

void TXCustomTCPClient::OnSocketDisconnected() {
    Guarded("C.SocketClientOnSessionClosed", false, [&] {
        // A proxy that hangs up during the handshake is a failed attempt, not a silent one.
        if (mConnecting && !mConnected) {
            SessionConnected(std::to_string(SocketErrorCode(QAbstractSocket::RemoteHostClosedError)));
            return;
        }
        SessionClosed();
    });
}

void TXCustomTCPClient::OnSocketReadyRead() {
    Guarded("C.SocketClientOnDataAvailable", false, [&] {
        if (mConnected) {
            DoDataAvailable();
        } else if (mConnecting && mSocks) {
            FeedSocks();
        } else {
            mSocket.readAll();
        }
    });
}

void TXCustomTCPClient::OnConnectTimer() {
    Guarded("C.TimerActivateIntervalOnTimer", false, [&] {
        mConnectTimer.stop();
        if (!mConnecting)
            return;
        DoConnectError("TimeOut");
        mConnecting = false;
        Deactivate();
        ScheduleRetry();
    });
}

void TXCustomTCPClient::OnRetryTimer() {
    Guarded("C.TimerActivateIntervalOnTimer", false, [&] {
        mRetryTimer.stop();
        Activate(mRetryInterval);
    });
}

void TXCustomTCPClient::OnSendTimer() {
    Guarded("C.TimerTrySendOnTimer", false, [&] {
        std::lock_guard lock(mSendLock);
        if (mConnected)
            WriteQueued(false);
        else
            mSendQueue.Clear();
        if (mSendQueue.Empty())
            mSendTimer.stop();
    });
}

void TXCustomTCPClient::WriteQueued(bool flush) {
#if defined(Q_OS_UNIX)
    // Straight to the kernel while Qt holds nothing back: a buffered QTcpSocket write switches the
    // write notifier on and off again, two event-loop wake-ups for every packet. What the kernel
    // does not take goes through the socket below, which then keeps the order.
    const qintptr fd = mSocket.socketDescriptor();
    while (fd != -1 && !mSendQueue.Empty() && mSocket.bytesToWrite() == 0) {
        const ssize_t n = ::send(int(fd), mSendQueue.Peek(), size_t(mSendQueue.ContiguousReadable()),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0)
            break; // full, or an error the socket reports on its own write below
        mSendQueue.Consume(int32_t(n));
    }
#endif
    while (!mSendQueue.Empty()) {
        const qint64 room = kSocketWriteLimit - mSocket.bytesToWrite();
        if (room <= 0)
            break;
        const qint64 n = std::min<qint64>(mSendQueue.ContiguousReadable(), room);
        const qint64 written = mSocket.write(mSendQueue.Peek(), n);
        if (written <= 0)
            break;
        mSendQueue.Consume(int32_t(written));
        if (written < n)
            break;
    }
    if (flush)
        mSocket.flush();
}

void TXCustomTCPClient::QueueAppended(bool wasEmpty) {
    if (wasEmpty && mConnected)
        WriteQueued(true);
    if (!mSendQueue.Empty() && !mSendTimer.isActive())
        mSendTimer.start();
}

void TXCustomTCPClient::CloseSocket() {
    if (mSocket.state() != QAbstractSocket::UnconnectedState)
        mSocket.abort();
}

void TXCustomTCPClient::DoConnect() {
    if (OnConnect)
        OnConnect();
}

void TXCustomTCPClient::DoConnectError(const std::string& msg) {
    TEventScope scope(*this);
    if (OnConnectError)
        OnConnectError(msg);
}

void TXCustomTCPClient::DoDisconnect() {
    TEventScope scope(*this);
    if (OnDisconnect)
        OnDisconnect();
}

void TXCustomTCPClient::DoError(const std::string& msg) {
    TEventScope scope(*this);
    if (OnError)
        OnError(msg);
}

void TXCustomTCPClient::DoDataAvailable() {}
