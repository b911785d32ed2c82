#pragma once

#include <QObject>
#include <QTimer>

#include <curl/curl.h>

#include <functional>
#include <map>
#include <set>
#include <vector>

class QSocketNotifier;

// One libcurl multi handle driven by the Qt event loop: socket notifiers for the sockets libcurl
// watches, one timer for its time-outs. Transfers report their end through a callback that runs
// outside libcurl, so it may start, cancel or close anything. Connections stay in the handle's cache
// between transfers, so an FTP login is reused by the next request.
class TXCurlMulti : public QObject {
public:
    using DoneFn = std::function<void(CURL* easy, CURLcode result)>;

    explicit TXCurlMulti(QObject* parent = nullptr);
    ~TXCurlMulti() override;

    // Takes ownership of easy and starts it. done runs once, unless the transfer is cancelled.
    void Start(CURL* easy, DoneFn done);
    // Stops a transfer and frees it without calling done. Inside a libcurl callback the removal
    // waits until libcurl returns; the transfer counts as running until then.
    void Cancel(CURL* easy);
    // Stops every transfer and drops every cached connection at once, with no farewell command.
    void CloseAll();
    // A transfer is added and not yet finished or removed.
    bool Busy() const { return !mTransfers.empty(); }
    // True while libcurl is running one of our calls (its callbacks are on the stack).
    bool InsideCurl() const { return mDepth > 0; }

private:
    struct Watch {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };

    static int SocketCallback(CURL* easy, curl_socket_t s, int what, void* userp, void* socketp);
    static int TimerCallback(CURLM* multi, long timeoutMs, void* userp);
    static curl_socket_t OpenSocket(void* clientp, curlsocktype purpose, curl_sockaddr* address);
    static int CloseSocket(void* clientp, curl_socket_t item);

    void CreateMulti();
    void DestroyMulti();
    void Action(curl_socket_t s, int mask);
    void Unwatch(curl_socket_t s);
    void AfterCurl();
    void Kick();
    void RemoveNow(CURL* easy);

    CURLM* mMulti = nullptr;
    QTimer mTimer;
    QTimer mKick;
    std::map<CURL*, DoneFn> mTransfers;
    std::map<curl_socket_t, Watch> mWatches;
    std::set<curl_socket_t> mSockets;
    std::vector<CURL*> mPendingCancel;
    bool mPendingClose = false;
    int mDepth = 0;
};
