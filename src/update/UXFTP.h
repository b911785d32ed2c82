#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QIODevice;
class TXCurlMulti;

enum TXFTPConnectMode { fcmDirect, fcmSocks4, fcmSocks4A, fcmSocks5, fcmProxy };

enum TXFTPOperation {
    fopDisconnected,
    fopConnecting,
    fopWaitingNextConnectTry,
    fopReady,
    fopSize,
    fopDownloadingFile,
    fopDownloadingStream,
    fopUploadingFile,
    fopUploadingStream,
    fopDeleteFile,
    fopChangeDir
};

const char* FTPOperationName(TXFTPOperation op);

// FTP transfers on the UI thread. Every operation returns at once; outcomes come as events.
// Error codes are the server's reply code when it refused something (>= 400), else the system
// error number, else the transfer library's own code.
class TXFTP : public QObject {
public:
    explicit TXFTP(QObject* owner = nullptr);
    ~TXFTP() override;

    // Published properties.
    TXFTPConnectMode ConnectMode = fcmDirect; // kept; nothing consults it
    std::string Host;
    bool MultiThreaded = false;
    bool Passive = false;
    std::string Port = "21";
    std::string SocksIP, SocksPort, SocksUser, SocksPassword;

    std::function<void(TXFTP* sender)> OnConnect;
    std::function<void(TXFTP* sender, uint16_t error)> OnConnectError;
    std::function<void(TXFTP* sender)> OnDisconnect;
    std::function<void(TXFTP* sender, TXFTPOperation op)> OnDone;
    std::function<void(TXFTP* sender, TXFTPOperation op, uint16_t error)> OnError;
    std::function<void(TXFTP* sender, int64_t count, bool& abort)> OnProgress;

    std::string UserName;
    std::string Password;

    TXFTPOperation Operation() const { return mOperation; }
    int ConnectRetryInterval() const { return mConnectRetryInterval; }
    bool ConnectErrorReported() const { return mConnectErrorReported; }
    bool ResumeDownload() const { return mResumeDownload; }
    int64_t FileSize() const { return mFileSize; }
    // The working directory of the session, as the change-directory requests built it.
    const std::string& RemoteDir() const { return mRemoteDir; }

    void Connect(int retryIntervalMs);
    void ChangeDir(const std::string& dir);
    void GetFileSize(const std::string& remoteName);
    void DownloadFile(const std::string& remoteName, const std::string& localFileName, bool resume);
    void DownloadToStream(const std::string& remoteName, QIODevice* stream);
    void Disconnect();

private:
    struct Request;

    bool HasSession() const;
    void RequireIdleSession() const;
    std::string UrlFor(const std::string& dir, const std::string& file) const;
    void Start(std::shared_ptr<Request> r);
    void StartRetrieve(bool resume);
    void Finished(const std::shared_ptr<Request>& r, int result);
    void ConnectFailed(uint16_t code);
    void Complete(bool ok, uint16_t code);
    void SessionClosed(uint16_t code);
    void RetryTimerFired();

    TXCurlMulti* mMulti;
    QTimer mRetryTimer;
    std::shared_ptr<Request> mRequest;
    TXFTPOperation mOperation = fopDisconnected;
    int mConnectRetryInterval = -1;
    bool mConnectErrorReported = false;
    bool mResumeDownload = false;
    int64_t mFileSize = 0;
    std::string mRemoteDir;
    uint64_t mGeneration = 0;
    // The download in progress: remote name and target.
    std::string mDownloadName;
    std::string mLocalFileName;
    QIODevice* mStream = nullptr;
};
