#include "update/UXCurlMulti.h"

#include <QPointer>
#include <QSocketNotifier>

#include <mutex>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void DropNotifier(QSocketNotifier*& n) {
    if (!n)
        return;
    // The notifier may be the one whose signal is running right now.
    n->setEnabled(false);
    n->deleteLater();
    n = nullptr;
}

} // namespace

TXCurlMulti::TXCurlMulti(QObject* parent) : QObject(parent) {
    GlobalInit();
    mTimer.setSingleShot(true);
    connect(&mTimer, &QTimer::timeout, this, [this] { Action(CURL_SOCKET_TIMEOUT, 0); });
    mKick.setSingleShot(true);
    connect(&mKick, &QTimer::timeout, this, &TXCurlMulti::Kick);
    CreateMulti();
}

TXCurlMulti::~TXCurlMulti() {
    DestroyMulti();
}

void TXCurlMulti::CreateMulti() {
    mMulti = curl_multi_init();
    curl_multi_setopt(mMulti, CURLMOPT_SOCKETFUNCTION, &TXCurlMulti::SocketCallback);
    curl_multi_setopt(mMulti, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(mMulti, CURLMOPT_TIMERFUNCTION, &TXCurlMulti::TimerCallback);
    curl_multi_setopt(mMulti, CURLMOPT_TIMERDATA, this);
}

void TXCurlMulti::DestroyMulti() {
    // Shut the sockets first: libcurl then cannot wait for a reply or send QUIT while closing.
    for (curl_socket_t s : mSockets)
        ::shutdown(s, SHUT_RDWR);
    auto transfers = std::move(mTransfers);
    mTransfers.clear();
    for (auto& [easy, done] : transfers) {
        curl_multi_remove_handle(mMulti, easy);
        curl_easy_cleanup(easy);
    }
    transfers.clear();
    mPendingCancel.clear();
    mPendingClose = false;
    curl_multi_cleanup(mMulti);
    mMulti = nullptr;
    for (auto& [s, w] : mWatches) {
        DropNotifier(w.read);
        DropNotifier(w.write);
    }
    mWatches.clear();
    mSockets.clear();
    mTimer.stop();
    mKick.stop();
}

void TXCurlMulti::Start(CURL* easy, DoneFn done) {
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &TXCurlMulti::OpenSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &TXCurlMulti::CloseSocket);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    mTransfers[easy] = std::move(done);
    ++mDepth;
    const CURLMcode rc = curl_multi_add_handle(mMulti, easy);
    --mDepth;
    if (rc != CURLM_OK) {
        // Report it like any other failed transfer, from the event loop.
        QTimer::singleShot(0, this, [this, easy] {
            auto it = mTransfers.find(easy);
            if (it == mTransfers.end())
                return;
            DoneFn fn = std::move(it->second);
            mTransfers.erase(it);
            if (fn)
                fn(easy, CURLE_FAILED_INIT);
            curl_easy_cleanup(easy);
        });
    }
}

void TXCurlMulti::Cancel(CURL* easy) {
    if (!mTransfers.count(easy))
        return;
    if (InsideCurl())
        mPendingCancel.push_back(easy);
    else
        RemoveNow(easy);
}

void TXCurlMulti::RemoveNow(CURL* easy) {
    auto it = mTransfers.find(easy);
    if (it == mTransfers.end())
        return;
    DoneFn fn = std::move(it->second);
    mTransfers.erase(it);
    curl_multi_remove_handle(mMulti, easy);
    curl_easy_cleanup(easy);
}

void TXCurlMulti::CloseAll() {
    if (InsideCurl()) {
        mPendingClose = true;
        return;
    }
    DestroyMulti();
    CreateMulti();
}

void TXCurlMulti::Action(curl_socket_t s, int mask) {
    int running = 0;
    ++mDepth;
    curl_multi_socket_action(mMulti, s, mask, &running);
    --mDepth;
    if (mDepth == 0) {
        AfterCurl();
        if (Busy())
            mKick.start(0);
    }
}

void TXCurlMulti::Kick() {
    // libcurl 7.88 can leave an FTP transfer waiting for its data connection with neither a socket
    // nor a time-out to wait on (the passive reply read in the same pass). Running every handle once
    // more after each action, and now and then while busy, gets it going again.
    if (!mMulti || InsideCurl())
        return;
    int running = 0;
    ++mDepth;
    curl_multi_perform(mMulti, &running);
    --mDepth;
    AfterCurl();
    if (Busy())
        mKick.start(25);
}

void TXCurlMulti::AfterCurl() {
    if (mPendingClose) {
        DestroyMulti();
        CreateMulti();
        return;
    }
    auto cancels = std::move(mPendingCancel);
    mPendingCancel.clear();
    for (CURL* e : cancels)
        RemoveNow(e);

    QPointer<TXCurlMulti> self(this);
    // One message at a time: a callback may cancel or close everything else.
    while (self && mMulti) {
        int left = 0;
        CURLMsg* msg = curl_multi_info_read(mMulti, &left);
        if (!msg)
            break;
        if (msg->msg != CURLMSG_DONE)
            continue;
        CURL* easy = msg->easy_handle;
        const CURLcode result = msg->data.result;
        auto it = mTransfers.find(easy);
        if (it == mTransfers.end())
            continue;
        DoneFn fn = std::move(it->second);
        mTransfers.erase(it);
        curl_multi_remove_handle(mMulti, easy);
        if (fn)
            fn(easy, result);
        curl_easy_cleanup(easy);
    }
}

int TXCurlMulti::SocketCallback(CURL*, curl_socket_t s, int what, void* userp, void*) {
    auto* self = static_cast<TXCurlMulti*>(userp);
    if (what == CURL_POLL_REMOVE) {
        self->Unwatch(s);
        return 0;
    }
    Watch& w = self->mWatches[s];
    auto ensure = [self, s](QSocketNotifier*& n, QSocketNotifier::Type type, int mask, bool on) {
        if (!on) {
            if (n)
                n->setEnabled(false);
            return;
        }
        if (!n) {
            n = new QSocketNotifier(s, type, self);
            connect(n, &QSocketNotifier::activated, self, [self, s, mask] { self->Action(s, mask); });
        }
        n->setEnabled(true);
    };
    ensure(w.read, QSocketNotifier::Read, CURL_CSELECT_IN, what & CURL_POLL_IN);
    ensure(w.write, QSocketNotifier::Write, CURL_CSELECT_OUT, what & CURL_POLL_OUT);
    return 0;
}

void TXCurlMulti::Unwatch(curl_socket_t s) {
    auto it = mWatches.find(s);
    if (it == mWatches.end())
        return;
    DropNotifier(it->second.read);
    DropNotifier(it->second.write);
    mWatches.erase(it);
}

int TXCurlMulti::TimerCallback(CURLM*, long timeoutMs, void* userp) {
    auto* self = static_cast<TXCurlMulti*>(userp);
    if (timeoutMs < 0)
        self->mTimer.stop();
    else
        self->mTimer.start(int(timeoutMs));
    return 0;
}

curl_socket_t TXCurlMulti::OpenSocket(void* clientp, curlsocktype, curl_sockaddr* address) {
    auto* self = static_cast<TXCurlMulti*>(clientp);
    const curl_socket_t s = ::socket(address->family, address->socktype, address->protocol);
    if (s != CURL_SOCKET_BAD)
        self->mSockets.insert(s);
    return s;
}

int TXCurlMulti::CloseSocket(void* clientp, curl_socket_t item) {
    auto* self = static_cast<TXCurlMulti*>(clientp);
    self->mSockets.erase(item);
    self->Unwatch(item);
    return ::close(item);
}
