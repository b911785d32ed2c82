#pragma once

#include <QBuffer>
#include <QObject>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TXFTP;
class TXHTTP;

// Four decimal numbers 0-255 joined by dots; each is written back without leading zeros
// ("010.1.1.1" becomes "10.1.1.1"). False, leaving out untouched, for anything else.
bool NormalizeIPv4(std::string_view text, std::string& out);

// Fetches the server-address list: over HTTP first, then over FTP from the same host with the
// same login. One address per line; invalid lines are dropped.
class TXIPSeek : public QObject {
public:
    explicit TXIPSeek(QObject* owner = nullptr);
    ~TXIPSeek() override;

    // "host[:http port][/directory]"; FTP uses the host name and the directory.
    std::string Host;
    std::string UserName;
    std::string Password;
    std::string FileName;
    std::string FTPPort = "21";

    // Success means a file was obtained, even one without a valid line.
    std::function<void(TXIPSeek* sender, bool success)> OnSeekEnd;

    bool Running() const { return mRunning; }
    // "http" or "ftp": where the last list came from; empty when none was obtained.
    const std::string& Source() const { return mSource; }
    const std::vector<std::string>& Addresses() const { return mAddresses; }

    void Start();

    static std::vector<std::string> ParseAddresses(std::string_view text);

private:
    void StartFTP();
    void Finish(bool ok, const char* source);

    TXHTTP* mHTTP;
    TXFTP* mFTP;
    QBuffer mBuffer;
    std::string mFTPDir;
    std::vector<std::string> mAddresses;
    std::string mSource;
    bool mRunning = false;
};
