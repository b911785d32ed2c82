#include "update/UXHTTP.h"

#include "update/UXCurlMulti.h"
#include "update/UXRaise.h"

#include "foundation/UXMainExec.h"

#include <QIODevice>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

namespace {

std::string Upper(std::string s) {
    for (auto& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Lower(std::string s) {
    for (auto& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool StartsWithNoCase(std::string_view line, std::string_view prefix) {
    return line.size() >= prefix.size() && Lower(std::string(line.substr(0, prefix.size()))) == prefix;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

} // namespace

// The running request. alive turns false when the component lets go of it, so callbacks that
// libcurl still makes before the removal abort the transfer instead of reporting.
struct TXHTTP::Request {
    TXHTTP* owner = nullptr;
    bool alive = true;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    int status = 0;         // of the reply being read
    int64_t announced = -1; // its Content-Length
    bool location = false;  // it names a new location (libcurl follows it)
    bool ignoring = false;  // its body is not the document (authentication round, redirect)

    ~Request() { curl_slist_free_all(headers); }

    TXHTTPGetItem* Item() const { return alive ? owner->mCurrent.get() : nullptr; }

    static size_t Header(char* data, size_t, size_t n, void* userp) {
        auto* r = static_cast<Request*>(userp);
        TXHTTPGetItem* g = r->Item();
        if (!g)
            return 0;
        const std::string_view line(data, n);
        if (line.substr(0, 5) == "HTTP/") {
            const size_t sp = line.find(' ');
            int code = 0;
            if (sp != std::string_view::npos)
                std::from_chars(line.data() + sp + 1, line.data() + line.size(), code);
            r->status = code;
            r->announced = -1;
            r->location = false;
            r->ignoring = false;
            return n;
        }
        if (Trim(line).empty()) {
            r->ignoring = r->status < 200 || r->status == 401 || (r->status / 100 == 3 && r->location);
            if (r->status == 401)
                g->AuthRetried = true;
            if (r->ignoring)
                return n;
            g->Size = r->announced;
            g->StatusCode = r->status;
            RaiseEvent(r->owner->OnGetSize, r->owner, g);
            return r->Item() == g ? n : 0;
        }
        if (StartsWithNoCase(line, "content-length:")) {
            const std::string_view v = Trim(line.substr(15));
            int64_t len = -1;
            if (std::from_chars(v.data(), v.data() + v.size(), len).ec == std::errc())
                r->announced = len;
        } else if (StartsWithNoCase(line, "location:")) {
            r->location = true;
        }
        return n;
    }

    static size_t Write(char* data, size_t, size_t n, void* userp) {
        auto* r = static_cast<Request*>(userp);
        TXHTTPGetItem* g = r->Item();
        if (!g)
            return 0;
        if (r->ignoring)
            return n;
        if (!g->Stream || g->Stream->write(data, qint64(n)) != qint64(n))
            return 0;
        g->Received += int64_t(n);
        RaiseEvent(r->owner->OnGetProgress, r->owner, g);
        return r->Item() == g ? n : 0;
    }
};

TXHTTP::TXHTTP(QObject* owner) : QObject(owner), mMulti(new TXCurlMulti(this)) {}

TXHTTP::~TXHTTP() {
    // The items still get their final events, but no "all done" from a dying component.
    mCancellingAll = true;
    CancelAll();
    if (mRequest)
        mRequest->alive = false;
    mRequest.reset();
    delete mMulti;
}

std::string TXHTTP::NormalizeURL(const std::string& url) {
    std::string u(Trim(url));
    const std::string lower = Lower(u);
    if (lower.find("http://") == std::string::npos && lower.find("https://") == std::string::npos)
        u = "http://" + u;
    if (u.empty() || u.back() != '/')
        u += '/';
    return u;
}

void TXHTTP::Get(const std::string& id, const std::string& fileName, QIODevice* stream) {
    auto g = std::make_unique<TXHTTPGetItem>();
    g->Id = Upper(id);
    g->FileName = fileName;
    g->Stream = stream;
    mQueue.push_back(std::move(g));
    StartNext();
}

void TXHTTP::StartNext() {
    if (mCurrent)
        return;
    if (mQueue.empty()) {
        if (!mCancellingAll)
            RaiseEvent(OnGetAllDone, this);
        return;
    }
    if (mCancellingAll)
        return;
    if (mMulti->Busy()) {
        // The client still winds down the last request: try again after this event.
        if (!mStartPosted) {
            mStartPosted = true;
            Post(
                0,
                [this] {
                    mStartPosted = false;
                    StartNext();
                },
                this);
        }
        return;
    }
    mCurrent = std::move(mQueue.front());
    mQueue.pop_front();
    URL = NormalizeURL(URL);
    const std::string address = URL + mCurrent->FileName;

    auto r = std::make_shared<Request>();
    r->owner = this;
    CURL* easy = curl_easy_init();
    r->easy = easy;
    // The body is read to the end of the connection, so a body longer or shorter than the
    // announced length shows up as a count that differs from it.
    r->headers = curl_slist_append(nullptr, "Connection: close");
    curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, r->headers);
    curl_easy_setopt(easy, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    // Ask without credentials first; a 401 makes libcurl repeat the request with the address's ones.
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, long(CURLAUTH_ANY));
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Request::Header);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, r.get());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Request::Write);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, r.get());
    if (Proxy.empty()) {
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
    } else {
        curl_easy_setopt(easy, CURLOPT_PROXY, Proxy.c_str());
        int port = 0;
        const std::string_view p = Trim(ProxyPort);
        if (std::from_chars(p.data(), p.data() + p.size(), port).ec == std::errc() && port > 0)
            curl_easy_setopt(easy, CURLOPT_PROXYPORT, long(port));
    }
    mRequest = r;
    mMulti->Start(easy, [this, r](CURL*, CURLcode rc) {
        if (r->alive)
            Finished(r, rc);
    });
}

void TXHTTP::Finished(const std::shared_ptr<Request>& r, int result) {
    if (mRequest == r)
        mRequest.reset();
    r->alive = false;
    TXHTTPGetItem* g = mCurrent.get();
    if (!g) {
        StartNext();
        return;
    }
    bool ok = false;
    if (r->status == 401)
        ok = false; // refused even with the address's credentials, or none given
    else if (result == CURLE_OK)
        ok = r->status < 400 && (g->Size < 0 || g->Received == g->Size);
    FinishCurrent(ok);
}

void TXHTTP::FinishCurrent(bool ok) {
    TXHTTPGetItem* g = mCurrent.get();
    mFinishing = true;
    RaiseEvent(ok ? OnGetEnd : OnGetError, this, g);
    mFinishing = false;
    g->Stream = nullptr;
    mCurrent.reset();
    StartNext();
}

void TXHTTP::Cancel(const std::string& id) {
    const std::string key = Upper(id);
    if (mCurrent && mCurrent->Id == key) {
        if (mFinishing)
            return; // its final event is running; it goes right after
        if (mRequest) {
            // Abort the transfer; the item ends as a request that never finished.
            mRequest->alive = false;
            mMulti->Cancel(mRequest->easy);
            mRequest.reset();
            FinishCurrent(false);
        } else {
            mCurrent->Stream = nullptr;
            mCurrent.reset();
        }
        return;
    }
    auto it = std::find_if(mQueue.begin(), mQueue.end(), [&](const auto& g) { return g->Id == key; });
    if (it == mQueue.end())
        return;
    std::unique_ptr<TXHTTPGetItem> g = std::move(*it);
    mQueue.erase(it);
    RaiseEvent(OnGetAbort, this, g.get());
    g->Stream = nullptr;
}

void TXHTTP::CancelAll() {
    const bool outer = !mCancellingAll;
    mCancellingAll = true;
    while (mCurrent || !mQueue.empty()) {
        if (mCurrent && !mFinishing)
            Cancel(mCurrent->Id);
        else if (!mQueue.empty())
            Cancel(mQueue.front()->Id);
        else
            break; // only the item whose final event is running is left
    }
    if (outer) {
        mCancellingAll = false;
        StartNext();
    }
}
