#pragma once
// A scripted server on 127.0.0.1 for the transport cases a real data server never produces.

#include "dataserver/UXBuffer.h"
#include "dataserver/UXTCPPack.h"
#include "support/UWaitFor.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <string>
#include <vector>

class ScriptedPeer {
public:
    explicit ScriptedPeer(quint16 port = 0) {
        mServer.listen(QHostAddress::LocalHost, port);
        QObject::connect(&mServer, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = mServer.nextPendingConnection()) {
                if (mPeer)
                    mPeer->deleteLater();
                mPeer = s;
                mIn = TXBuffer();
                mFrames.clear();
                ++mAccepted;
                mSeq = 1;
                QObject::connect(s, &QTcpSocket::readyRead, [this, s] { Read(s); });
                QObject::connect(s, &QTcpSocket::disconnected, [this, s] {
                    if (mPeer == s)
                        mClosed = true;
                });
                mClosed = false;
            }
        });
    }
    ~ScriptedPeer() {
        if (mPeer)
            mPeer->abort();
    }

    bool Listening() const { return mServer.isListening(); }
    quint16 Port() const { return mServer.serverPort(); }
    int Accepted() const { return mAccepted; }
    bool Closed() const { return mClosed; }
    QTcpSocket* Socket() const { return mPeer; }
    const std::vector<TXTCPPack>& Frames() const { return mFrames; }
    std::string Raw() const { return mRaw; }

    bool WaitAccepted(int n = 1) {
        return WaitFor([&] { return mAccepted >= n && mPeer; });
    }
    bool WaitFrames(size_t n, int timeoutMs = 5000) {
        return WaitFor([&] { return mFrames.size() >= n; }, timeoutMs);
    }

    void SendRaw(const std::string& bytes) {
        mPeer->write(bytes.data(), qint64(bytes.size()));
        mPeer->flush();
    }
    // Frame with the next sequence number unless seq is given.
    std::string Frame(const std::string& service, const std::string& command, const std::string& payload,
                      int seq = -1) {
        const uint16_t s = seq < 0 ? mSeq++ : uint16_t(seq);
        return PackFrame(0, 0, service, command, payload, s);
    }
    void Send(const std::string& service, const std::string& command, const std::string& payload = {},
              int seq = -1) {
        SendRaw(Frame(service, command, payload, seq));
    }
    void Close() {
        if (mPeer)
            mPeer->disconnectFromHost();
    }
    void ResetSeq() { mSeq = 1; }

private:
    void Read(QTcpSocket* s) {
        const QByteArray b = s->readAll();
        mRaw.append(b.constData(), size_t(b.size()));
        mIn.Write(b.constData(), int32_t(b.size()));
        TXTCPPack p;
        while (TakePackFrame(mIn, p))
            mFrames.push_back(p);
    }

    QTcpServer mServer;
    QTcpSocket* mPeer = nullptr;
    TXBuffer mIn;
    std::vector<TXTCPPack> mFrames;
    std::string mRaw;
    uint16_t mSeq = 1;
    int mAccepted = 0;
    bool mClosed = false;
};
