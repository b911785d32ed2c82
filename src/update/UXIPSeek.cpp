#include "update/UXIPSeek.h"

#include "update/UXFTP.h"
#include "update/UXHTTP.h"
#include "update/UXRaise.h"

#include <curl/curl.h>

#include <stdexcept>

namespace {

std::string_view TrimLine(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

std::string EscapeUserInfo(const std::string& s) {
    char* e = curl_easy_escape(nullptr, s.data(), int(s.size()));
    std::string out = e ? e : "";
    curl_free(e);
    return out;
}

} // namespace

bool NormalizeIPv4(std::string_view text, std::string& out) {
    std::string result;
    int parts = 0;
    size_t pos = 0;
    while (true) {
        const size_t dot = text.find('.', pos);
        const std::string_view part = text.substr(pos, dot == std::string_view::npos ? text.npos : dot - pos);
        if (part.empty() || ++parts > 4)
            return false;
        int value = 0;
        for (char c : part) {
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
            if (value > 255)
                return false;
        }
        if (!result.empty())
            result += '.';
        result += std::to_string(value);
        if (dot == std::string_view::npos)
            break;
        pos = dot + 1;
    }
    if (parts != 4)
        return false;
    out = std::move(result);
    return true;
}

std::vector<std::string> TXIPSeek::ParseAddresses(std::string_view text) {
    std::vector<std::string> out;
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        const std::string_view line = TrimLine(text.substr(0, nl));
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        std::string ip;
        if (NormalizeIPv4(line, ip))
            out.push_back(std::move(ip));
    }
    return out;
}

TXIPSeek::TXIPSeek(QObject* owner) : QObject(owner), mHTTP(new TXHTTP(this)), mFTP(new TXFTP(this)) {
    mHTTP->OnGetEnd = [this](TXHTTP*, TXHTTPGetItem*) { Finish(true, "http"); };
    mHTTP->OnGetError = [this](TXHTTP*, TXHTTPGetItem*) { StartFTP(); };

    mFTP->Passive = true;
    mFTP->OnConnect = [this](TXFTP* ftp) {
        if (mFTPDir.empty())
            ftp->DownloadToStream(FileName, &mBuffer);
        else
            ftp->ChangeDir(mFTPDir);
    };
    mFTP->OnDone = [this](TXFTP* ftp, TXFTPOperation op) {
        if (op == fopChangeDir)
            ftp->DownloadToStream(FileName, &mBuffer);
        else if (op == fopDownloadingStream)
            Finish(true, "ftp");
    };
    mFTP->OnError = [this](TXFTP*, TXFTPOperation, uint16_t) { Finish(false, ""); };
    mFTP->OnConnectError = [this](TXFTP*, uint16_t) { Finish(false, ""); };
}

TXIPSeek::~TXIPSeek() {
    // The components die with this object; their handlers must not reach back into it.
    mHTTP->OnGetEnd = nullptr;
    mHTTP->OnGetError = nullptr;
    mFTP->OnConnectError = nullptr;
    mFTP->OnError = nullptr;
    mFTP->OnDone = nullptr;
    mFTP->OnConnect = nullptr;
}

void TXIPSeek::Start() {
    if (mRunning)
        throw std::runtime_error("IPSeek atualmente em operação");
    mRunning = true;
    mAddresses.clear();
    mSource.clear();
    mBuffer.close();
    mBuffer.setData(QByteArray());
    mBuffer.open(QIODevice::WriteOnly);
    mHTTP->URL =
        (UserName.empty() ? "" : EscapeUserInfo(UserName) + ":" + EscapeUserInfo(Password) + "@") + Host;
    mHTTP->Get("IPSEEK", FileName, &mBuffer);
}

void TXIPSeek::StartFTP() {
    mBuffer.close();
    mBuffer.setData(QByteArray());
    mBuffer.open(QIODevice::WriteOnly);
    // "host:port/dir" served HTTP; FTP takes the host name and the directory.
    std::string host = Host;
    mFTPDir.clear();
    if (const size_t slash = host.find('/'); slash != std::string::npos) {
        mFTPDir = host.substr(slash + 1);
        host.resize(slash);
    }
    if (const size_t colon = host.find(':'); colon != std::string::npos)
        host.resize(colon);
    mFTP->Disconnect();
    mFTP->Host = host;
    mFTP->Port = FTPPort;
    mFTP->UserName = UserName;
    mFTP->Password = Password;
    try {
        mFTP->Connect(-1);
    } catch (const std::exception&) {
        Finish(false, "");
    }
}

void TXIPSeek::Finish(bool ok, const char* source) {
    if (!mRunning)
        return;
    mRunning = false;
    if (ok) {
        mSource = source;
        const QByteArray data = mBuffer.data();
        mAddresses = ParseAddresses(std::string_view(data.constData(), size_t(data.size())));
    }
    mBuffer.close();
    if (mFTP->Operation() != fopDisconnected)
        mFTP->Disconnect();
    RaiseEvent(OnSeekEnd, this, ok);
}
