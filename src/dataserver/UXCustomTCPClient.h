#pragma once
// The data-server connection: socket (direct or through SOCKS), timers, send and receive queues.

#include "dataserver/UXBuffer.h"
#include "dataserver/UXLogFile.h"
#include "dataserver/UXSocksHandshake.h"

#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class TXCustomTCPClient : public QObject {
    Q_OBJECT
public:
    explicit TXCustomTCPClient(QObject* parent = nullptr);
    ~TXCustomTCPClient() override;

    // Starts an attempt to connect to IP:Port; retryIntervalMs <= 0: no retry after a failed attempt.
    void Activate(int retryIntervalMs);
    void Deactivate();

    bool Connected() const { return mConnected; }
    bool Connecting() const { return mConnecting; }
    int RetryInterval() const { return mRetryInterval; }

    TXTCPClientConnectMode ConnectMode = cmDirect;
    std::string IP;
    int Port = 0;
    std::string SocksIP;
    int SocksPort = 1080;
    std::string SocksUser;
    std::string SocksPassword;
    int ConnectTimeoutMs = kConnectTimeoutMs; // an attempt (SOCKS handshake included) that takes longer fails

    std::function<void()> OnConnect;
    std::function<void(const std::string& msg)> OnConnectError;
    std::function<void()> OnDisconnect;
    std::function<void(const std::string& msg)> OnError;

    // Process-wide transport log (TCPLog.txt in the application folder unless set otherwise).
    static TXLogFile& Log();

    static constexpr int kConnectTimeoutMs = 15000;
    static constexpr int kSendIntervalMs = 1;
    static constexpr int kQueueCapacity = 8192;

protected:
    virtual void DoConnect();
    virtual void DoConnectError(const std::string& msg);
    virtual void DoDisconnect();
    virtual void DoError(const std::string& msg);
    virtual void DoDataAvailable();

    QTcpSocket& Socket() { return mSocket; }
    TXBuffer& SendQueue() { return mSendQueue; }
    TXBuffer& ReceiveQueue() { return mReceiveQueue; }
    std::mutex& SendLock() { return mSendLock; }

    // Hands queued bytes to the socket; call with SendLock held.
    void WriteQueued(bool flush);
    // After a frame was appended (SendLock held): written at once when the queue had been empty,
    // the pump takes whatever the socket did not.
    void QueueAppended(bool wasEmpty);
    // Closes the connection after a fatal stream error.
    void CloseSocket();
    // Changes whenever a connection is opened or closed: lets a loop notice that a handler ended it.
    uint64_t Generation() const { return mGeneration; }

    // Runs f; an exception is written to the log under context and raised again when rethrow is set.
    template <class F>
    void Guarded(const char* context, bool rethrow, F&& f);

private:
    void StartAttempt();
    void ScheduleRetry();
    void SessionConnected(std::string error);
    void SessionClosed();
    void StartSocks();
    void FeedSocks();

    void OnSocketConnected();
    void OnSocketError(QAbstractSocket::SocketError error);
    void OnSocketDisconnected();
    void OnSocketReadyRead();
    void OnConnectTimer();
    void OnRetryTimer();
    void OnSendTimer();

    struct TEventScope;

    QTcpSocket mSocket;
    QTimer mConnectTimer;
    QTimer mRetryTimer;
    QTimer mSendTimer;
    TXBuffer mSendQueue{kQueueCapacity};
    TXBuffer mReceiveQueue{kQueueCapacity};
    std::mutex mSendLock;
    bool mConnecting = false;
    bool mConnected = false;
    int mRetryInterval = 0;
    int mEventDepth = 0;
    uint64_t mGeneration = 0;
    std::unique_ptr<TXSocksHandshake> mSocks;
    std::string mSocksIn;
    int mLookupId = -1;
};

template <class F>
void TXCustomTCPClient::Guarded(const char* context, bool rethrow, F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        Log().Add(context, e.what());
        if (rethrow)
            throw;
    } catch (...) {
        Log().Add(context, "unknown exception");
        if (rethrow)
            throw;
    }
}
