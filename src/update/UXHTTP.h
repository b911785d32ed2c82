#pragma once

#include "foundation/UXObject.h"

#include <QObject>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

class QIODevice;
class TXCurlMulti;

// One GET request of TXHTTP. The stream belongs to the caller; the component frees the item after
// its final event.
struct TXHTTPGetItem : TXObject {
    TXHTTPGetItem() : TXObject("TXHTTPGetItem") {}
    std::string Id; // upper case
    std::string FileName;
    int64_t Received = 0;
    int64_t Size = -1; // the announced length; -1 until the headers are read or when none is announced
    QIODevice* Stream = nullptr;
    bool AuthRetried = false;
    int StatusCode = 0; // of the reply whose body the stream received
};

// A queue of GET requests fetched one at a time on the UI thread; outcomes come as events.
class TXHTTP : public QObject {
public:
    explicit TXHTTP(QObject* owner = nullptr);
    ~TXHTTP() override;

    // Published properties.
    std::string URL; // normalised in place before each request
    std::string Proxy;
    std::string ProxyPort;

    std::function<void(TXHTTP* sender)> OnGetAllDone;
    std::function<void(TXHTTP* sender, TXHTTPGetItem* g)> OnGetAbort;
    std::function<void(TXHTTP* sender, TXHTTPGetItem* g)> OnGetEnd;
    std::function<void(TXHTTP* sender, TXHTTPGetItem* g)> OnGetError;
    std::function<void(TXHTTP* sender, TXHTTPGetItem* g)> OnGetProgress;
    std::function<void(TXHTTP* sender, TXHTTPGetItem* g)> OnGetSize;

    TXHTTPGetItem* CurrentItem() const { return mCurrent.get(); }
    size_t QueuedCount() const { return mQueue.size(); }

    void Get(const std::string& id, const std::string& fileName, QIODevice* stream);
    void Cancel(const std::string& id);
    void CancelAll();
    void StartNext();

    // Trims blanks, puts "http://" in front unless a scheme is there, and ends with "/".
    static std::string NormalizeURL(const std::string& url);

private:
    struct Request;

    void Finished(const std::shared_ptr<Request>& r, int result);
    void FinishCurrent(bool ok);

    TXCurlMulti* mMulti;
    std::deque<std::unique_ptr<TXHTTPGetItem>> mQueue;
    std::unique_ptr<TXHTTPGetItem> mCurrent;
    std::shared_ptr<Request> mRequest;
    bool mFinishing = false;
    bool mCancellingAll = false;
    bool mStartPosted = false;
};
