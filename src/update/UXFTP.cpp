#include "update/UXFTP.h"

#include "update/UXCurlMulti.h"
#include "update/UXRaise.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <cctype>
#include <map>
#include <stdexcept>

namespace {

enum TXFTPRequestKind { frkConnect, frkChangeDir, frkSize, frkRetrieve };

std::string Escape(const std::string& segment) {
    char* e = curl_easy_escape(nullptr, segment.data(), int(segment.size()));
    std::string out = e ? e : "";
    curl_free(e);
    return out;
}

} // namespace

const char* FTPOperationName(TXFTPOperation op) {
    static const char* const names[] = {"fopDisconnected",
                                        "fopConnecting",
                                        "fopWaitingNextConnectTry",
                                        "fopReady",
                                        "fopSize",
                                        "fopDownloadingFile",
                                        "fopDownloadingStream",
                                        "fopUploadingFile",
                                        "fopUploadingStream",
                                        "fopDeleteFile",
                                        "fopChangeDir"};
    return op >= fopDisconnected && op <= fopChangeDir ? names[op] : "?";
}

// One request to the server. It lives as long as its transfer; alive turns false when the
// component drops it, so late callbacks from libcurl find nothing to report to.
struct TXFTP::Request {
    TXFTP* owner = nullptr;
    bool alive = true;
    TXFTPRequestKind kind = frkConnect;
    CURL* easy = nullptr;
    // Server dialogue: the verb of the last command and the final reply code per verb.
    std::string verb;
    std::map<std::string, int> replies;
    int lastReply = 0;
    // Retrieval target.
    QIODevice* stream = nullptr;
    std::unique_ptr<QFile> file;
    std::string localName;
    bool append = false;
    curl_off_t resumeFrom = 0;
    int64_t progress = 0;
    std::string newDir;

    uint16_t ErrorCode(int result) const {
        if (lastReply >= 400)
            return uint16_t(lastReply);
        long os = 0;
        if (easy && curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &os) == CURLE_OK && os > 0)
            return uint16_t(os);
        return uint16_t(result);
    }

    bool OpenFile() {
        if (file)
            return file->isOpen();
        file = std::make_unique<QFile>(QString::fromLocal8Bit(localName.c_str()));
        return file->open(append ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate);
    }

    static int Debug(CURL*, curl_infotype type, char* data, size_t size, void* userp) {
        auto* r = static_cast<Request*>(userp);
        if (type == CURLINFO_HEADER_OUT) {
            size_t n = 0;
            while (n < size && data[n] != ' ' && data[n] != '\r' && data[n] != '\n')
                ++n;
            r->verb.assign(data, n);
            for (auto& c : r->verb)
                c = char(std::toupper(static_cast<unsigned char>(c)));
        } else if (type == CURLINFO_HEADER_IN) {
            // The last line of a reply is "ddd text"; continuation lines are "ddd-" or free text.
            if (size >= 4 && std::isdigit(static_cast<unsigned char>(data[0])) &&
                std::isdigit(static_cast<unsigned char>(data[1])) &&
                std::isdigit(static_cast<unsigned char>(data[2])) && data[3] == ' ') {
                const int code = (data[0] - '0') * 100 + (data[1] - '0') * 10 + (data[2] - '0');
                r->lastReply = code;
                if (!r->verb.empty())
                    r->replies[r->verb] = code;
            }
        }
        return 0;
    }

    static size_t Write(char* data, size_t, size_t n, void* userp) {
        auto* r = static_cast<Request*>(userp);
        if (!r->alive)
            return 0;
        // Size requests get the reply as header lines here too: not data.
        if (r->kind != frkRetrieve)
            return n;
        if (r->stream)
            return r->stream->write(data, qint64(n)) == qint64(n) ? n : 0;
        if (!r->OpenFile())
            return 0;
        return r->file->write(data, qint64(n)) == qint64(n) ? n : 0;
    }

    static int Progress(void* userp, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t) {
        auto* r = static_cast<Request*>(userp);
        if (!r->alive)
            return 1;
        if (dlnow <= r->progress)
            return 0;
        r->progress = dlnow;
        bool abort = false;
        RaiseEvent(r->owner->OnProgress, r->owner, int64_t(dlnow), abort);
        return (abort || !r->alive) ? 1 : 0;
    }
};

TXFTP::TXFTP(QObject* owner) : QObject(owner), mMulti(new TXCurlMulti(this)) {
    mRetryTimer.setSingleShot(true);
    connect(&mRetryTimer, &QTimer::timeout, this, &TXFTP::RetryTimerFired);
}

TXFTP::~TXFTP() {
    mRetryTimer.stop();
    if (mRequest)
        mRequest->alive = false;
    mRequest.reset();
    // The client goes with its connections, closed without a farewell.
    delete mMulti;
}

bool TXFTP::HasSession() const {
    return mOperation != fopDisconnected && mOperation != fopWaitingNextConnectTry;
}

void TXFTP::RequireIdleSession() const {
    // A new command while one runs, or with no session, would leave the state to the wrong reply.
    if (mOperation != fopReady || mRequest)
        throw std::runtime_error("FTP is not ready");
}

std::string TXFTP::UrlFor(const std::string& dir, const std::string& file) const {
    std::string host = Host;
    if (host.find(':') != std::string::npos && host.front() != '[')
        host = "[" + host + "]";
    std::string port = Port;
    while (!port.empty() && std::isspace(static_cast<unsigned char>(port.back())))
        port.pop_back();
    while (!port.empty() && std::isspace(static_cast<unsigned char>(port.front())))
        port.erase(port.begin());
    // The whole directory goes in one CWD; "%2F" in front makes it absolute.
    std::string path;
    size_t pos = 0;
    if (!dir.empty() && dir.front() == '/') {
        path = "%2F";
        pos = 1;
    }
    while (pos < dir.size()) {
        size_t slash = dir.find('/', pos);
        if (slash == std::string::npos)
            slash = dir.size();
        if (slash > pos)
            path += Escape(dir.substr(pos, slash - pos)) + "/";
        pos = slash + 1;
    }
    return "ftp://" + host + (port.empty() ? "" : ":" + port) + "/" + path + Escape(file);
}

void TXFTP::Start(std::shared_ptr<Request> r) {
    CURL* easy = curl_easy_init();
    r->owner = this;
    r->easy = easy;
    curl_easy_setopt(easy, CURLOPT_USERNAME, UserName.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, Password.c_str());
    curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_SINGLECWD));
    curl_easy_setopt(easy, CURLOPT_FTPPORT, Passive ? nullptr : "-");
    curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, &Request::Debug);
    curl_easy_setopt(easy, CURLOPT_DEBUGDATA, r.get());
    if (SocksIP.empty()) {
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
    } else {
        const std::string proxy = "socks5://" + SocksIP + ":" + (SocksPort.empty() ? "1080" : SocksPort);
        curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
        if (!SocksUser.empty()) {
            curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, SocksUser.c_str());
            curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, SocksPassword.c_str());
        }
    }
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Request::Write);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, r.get());

    switch (r->kind) {
    case frkConnect: {
        // Log in and set the binary type; a refused TYPE shows as a quote error.
        static const char* const typeI = "TYPE I";
        curl_slist* quote = curl_slist_append(nullptr, typeI);
        curl_easy_setopt(easy, CURLOPT_URL, UrlFor("", "").c_str());
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(easy, CURLOPT_QUOTE, quote);
        // The list must outlive the transfer; the done callback frees it.
        auto done = [this, r, quote](CURL*, CURLcode rc) {
            curl_slist_free_all(quote);
            if (r->alive)
                Finished(r, rc);
        };
        mRequest = r;
        mMulti->Start(easy, done);
        return;
    }
    case frkChangeDir:
        curl_easy_setopt(easy, CURLOPT_URL, UrlFor(r->newDir, "").c_str());
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        break;
    case frkSize:
        curl_easy_setopt(easy, CURLOPT_URL, UrlFor(mRemoteDir, mDownloadName).c_str());
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(easy, CURLOPT_FILETIME, 0L);
        break;
    case frkRetrieve:
        curl_easy_setopt(easy, CURLOPT_URL, UrlFor(mRemoteDir, mDownloadName).c_str());
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Request::Progress);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, r.get());
        if (r->append)
            curl_easy_setopt(easy, CURLOPT_RESUME_FROM_LARGE, r->resumeFrom);
        break;
    }
    mRequest = r;
    mMulti->Start(easy, [this, r](CURL*, CURLcode rc) {
        if (r->alive)
            Finished(r, rc);
    });
}

void TXFTP::Connect(int retryIntervalMs) {
    if (mOperation != fopDisconnected && mOperation != fopWaitingNextConnectTry)
        return;
    if (UserName.empty())
        throw std::runtime_error("FTP User missing");
    if (Host.empty())
        throw std::runtime_error("FTP Host missing");
    mConnectRetryInterval = retryIntervalMs;
    mOperation = fopConnecting;
    mConnectErrorReported = false;
    ++mGeneration;
    mRetryTimer.stop();
    mRemoteDir.clear();
    mMulti->CloseAll();
    auto r = std::make_shared<Request>();
    r->kind = frkConnect;
    Start(r);
}

void TXFTP::ChangeDir(const std::string& dir) {
    RequireIdleSession();
    auto r = std::make_shared<Request>();
    r->kind = frkChangeDir;
    if (!dir.empty() && dir.front() == '/')
        r->newDir = dir;
    else if (mRemoteDir.empty() || dir.empty())
        r->newDir = mRemoteDir.empty() ? dir : mRemoteDir;
    else
        r->newDir = mRemoteDir + (mRemoteDir.back() == '/' ? "" : "/") + dir;
    mOperation = fopChangeDir;
    Start(r);
}

void TXFTP::GetFileSize(const std::string& remoteName) {
    RequireIdleSession();
    mOperation = fopSize;
    mDownloadName = remoteName;
    auto r = std::make_shared<Request>();
    r->kind = frkSize;
    Start(r);
}

void TXFTP::DownloadFile(const std::string& remoteName, const std::string& localFileName, bool resume) {
    RequireIdleSession();
    mOperation = fopDownloadingFile;
    mDownloadName = remoteName;
    mLocalFileName = localFileName;
    mStream = nullptr;
    mResumeDownload = resume && QFileInfo::exists(QString::fromLocal8Bit(localFileName.c_str()));
    auto r = std::make_shared<Request>();
    r->kind = frkSize;
    Start(r);
}

void TXFTP::DownloadToStream(const std::string& remoteName, QIODevice* stream) {
    RequireIdleSession();
    mOperation = fopDownloadingStream;
    mDownloadName = remoteName;
    mLocalFileName.clear();
    mStream = stream;
    mResumeDownload = false;
    auto r = std::make_shared<Request>();
    r->kind = frkSize;
    Start(r);
}

void TXFTP::StartRetrieve(bool resume) {
    auto r = std::make_shared<Request>();
    r->kind = frkRetrieve;
    r->stream = mOperation == fopDownloadingStream ? mStream : nullptr;
    r->localName = mLocalFileName;
    r->append = resume;
    if (resume)
        r->resumeFrom = QFileInfo(QString::fromLocal8Bit(mLocalFileName.c_str())).size();
    Start(r);
}

void TXFTP::Disconnect() {
    const bool hadSession = HasSession();
    mConnectRetryInterval = -1;
    mRetryTimer.stop();
    mOperation = fopDisconnected;
    if (mRequest)
        mRequest->alive = false;
    mRequest.reset();
    mStream = nullptr;
    mRemoteDir.clear();
    mMulti->CloseAll();
    const uint64_t gen = ++mGeneration;
    if (hadSession) {
        // The client reports the closed session from the event loop, as after any abort.
        QTimer::singleShot(0, this, [this, gen] {
            if (gen == mGeneration)
                SessionClosed(0);
        });
    }
}

void TXFTP::SessionClosed(uint16_t code) {
    if (mOperation == fopConnecting) {
        mOperation = fopDisconnected;
        if (!mConnectErrorReported) {
            mConnectErrorReported = true;
            RaiseEvent(OnConnectError, this, code);
        }
        return;
    }
    mOperation = fopDisconnected;
    RaiseEvent(OnDisconnect, this);
}

void TXFTP::RetryTimerFired() {
    if (mOperation != fopWaitingNextConnectTry)
        return;
    try {
        Connect(mConnectRetryInterval);
    } catch (const std::exception& e) {
        // The login was cleared meanwhile: stop retrying.
        mOperation = fopDisconnected;
        qWarning("FTP retry: %s", e.what());
    }
}

void TXFTP::ConnectFailed(uint16_t code) {
    mMulti->CloseAll();
    mOperation = fopDisconnected;
    const uint64_t gen = mGeneration;
    if (!mConnectErrorReported) {
        mConnectErrorReported = true;
        RaiseEvent(OnConnectError, this, code);
    }
    // The handler may have connected again or disconnected; only a retry left pending goes on.
    if (gen != mGeneration || mOperation != fopDisconnected)
        return;
    if (mConnectRetryInterval >= 0) {
        mOperation = fopWaitingNextConnectTry;
        mRetryTimer.start(mConnectRetryInterval);
    }
}

void TXFTP::Complete(bool ok, uint16_t code) {
    const TXFTPOperation op = mOperation;
    mOperation = fopReady;
    if (ok)
        RaiseEvent(OnDone, this, op);
    else
        RaiseEvent(OnError, this, op, code);
}

void TXFTP::Finished(const std::shared_ptr<Request>& r, int result) {
    if (mRequest == r)
        mRequest.reset();
    const CURLcode rc = CURLcode(result);
    switch (r->kind) {
    case frkConnect:
        if (rc == CURLE_OK) {
            mOperation = fopReady;
            RaiseEvent(OnConnect, this);
        } else if (rc == CURLE_QUOTE_ERROR) {
            // Logged in, but the binary type was refused.
            Complete(false, r->ErrorCode(rc));
        } else {
            ConnectFailed(r->ErrorCode(rc));
        }
        return;
    case frkChangeDir:
        if (rc == CURLE_OK)
            mRemoteDir = r->newDir;
        Complete(rc == CURLE_OK, r->ErrorCode(rc));
        return;
    case frkSize: {
        curl_off_t size = -1;
        if (rc == CURLE_OK)
            curl_easy_getinfo(r->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
        const bool ok = rc == CURLE_OK && size >= 0;
        if (mOperation == fopDownloadingFile || mOperation == fopDownloadingStream) {
            if (ok)
                mFileSize = size;
            StartRetrieve(ok && mResumeDownload);
            return;
        }
        if (mOperation == fopSize && ok)
            mFileSize = size;
        uint16_t code = r->ErrorCode(rc);
        if (rc == CURLE_OK) {
            // The server answered SIZE with a refusal that libcurl tolerates.
            auto it = r->replies.find("SIZE");
            code = it != r->replies.end() && it->second >= 400 ? uint16_t(it->second)
                                                               : uint16_t(CURLE_FTP_COULDNT_RETR_FILE);
        }
        Complete(ok, code);
        return;
    }
    case frkRetrieve:
        if (rc == CURLE_OK && !r->stream && !r->OpenFile()) {
            // An empty remote file still gives an (empty) local file.
            Complete(false, uint16_t(CURLE_WRITE_ERROR));
            return;
        }
        if (r->file)
            r->file->close();
        Complete(rc == CURLE_OK, r->ErrorCode(rc));
        return;
    }
}
