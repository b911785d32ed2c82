#pragma once
// The baseline of the chain benchmarks: round trips over a bare QTcpSocket, each reply sending the
// next request, with no protocol of our own in between.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpSocket>

// ms for rounds round trips to the peer on port: requestSize bytes out, replySize bytes back.
inline double RawChainMs(quint16 port, int requestSize, int replySize, int rounds) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.waitForConnected(5000);
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const QByteArray request(requestSize, 'q');
    int done = 0;
    qint64 got = 0;
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
        got += socket.readAll().size();
        while (got >= replySize) {
            got -= replySize;
            if (++done == rounds) {
                loop.quit();
                return;
            }
            socket.write(request);
            socket.flush();
        }
    });
    QElapsedTimer t;
    t.start();
    socket.write(request);
    socket.flush();
    loop.exec();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    socket.abort();
    return ms;
}
