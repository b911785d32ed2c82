#include "dataserver/UXSocksHandshake.h"

#include <arpa/inet.h>
#include <cstring>

namespace {

bool ParseIPv4(const std::string& text, uint8_t out[4]) {
    return inet_pton(AF_INET, text.c_str(), out) == 1;
}

bool ParseIPv6(const std::string& text, uint8_t out[16]) {
    std::string t = text;
    if (t.size() > 2 && t.front() == '[' && t.back() == ']')
        t = t.substr(1, t.size() - 2);
    return inet_pton(AF_INET6, t.c_str(), out) == 1;
}

void PutPort(std::string& s, uint16_t port) {
    s += char(port >> 8);
    s += char(port & 0xFF);
}

} // namespace

TXSocksHandshake::TXSocksHandshake(TXTCPClientConnectMode mode, std::string host, uint16_t port,
                                   std::string user, std::string password)
    : mMode(mode), mHost(std::move(host)), mPort(port), mUser(std::move(user)),
      mPassword(std::move(password)) {}

bool TXSocksHandshake::NeedsResolvedAddress() const {
    uint8_t ip[4];
    return mMode == cmSocks4 && !ParseIPv4(mHost, ip);
}

void TXSocksHandshake::SetResolvedAddress(const std::string& ipv4) {
    mHost = ipv4;
}

TXSocksHandshake::TStep TXSocksHandshake::Fail(std::string message) {
    mState = TState::Failed;
    mError = std::move(message);
    return TStep::Failed;
}

std::string TXSocksHandshake::Begin() {
    std::string out;
    if (mMode == cmSocks4 || mMode == cmSocks4A) {
        uint8_t ip[4];
        const bool literal = ParseIPv4(mHost, ip);
        if (!literal && mMode == cmSocks4) {
            Fail("SOCKS4 needs an IPv4 address for " + mHost);
            return {};
        }
        if (mHost.find('\0') != std::string::npos || mUser.find('\0') != std::string::npos) {
            Fail("SOCKS4: invalid host or user name");
            return {};
        }
        out += char(4);
        out += char(1);
        PutPort(out, mPort);
        if (literal)
            out.append(reinterpret_cast<const char*>(ip), 4);
        else
            out.append("\0\0\0\1", 4); // 4A: let the proxy resolve the name that follows the user
        out += mUser;
        out += '\0';
        if (!literal) {
            out += mHost;
            out += '\0';
        }
        mState = TState::Socks4Reply;
        return out;
    }
    if (mMode == cmSocks5) {
        if (mUser.size() > 255 || mPassword.size() > 255) {
            Fail("SOCKS5: user or password longer than 255 bytes");
            return {};
        }
        out += char(5);
        if (mUser.empty()) {
            out += char(1);
            out += char(0);
        } else {
            out += char(2);
            out += char(0);
            out += char(2);
        }
        mState = TState::Greeting;
        return out;
    }
    Fail("not a SOCKS connection");
    return {};
}

std::string TXSocksHandshake::Socks5Request() {
    std::string out{char(5), char(1), char(0)};
    uint8_t ip[16];
    if (ParseIPv4(mHost, ip)) {
        out += char(1);
        out.append(reinterpret_cast<const char*>(ip), 4);
    } else if (ParseIPv6(mHost, ip)) {
        out += char(4);
        out.append(reinterpret_cast<const char*>(ip), 16);
    } else {
        if (mHost.empty() || mHost.size() > 255) {
            Fail("SOCKS5: invalid host name");
            return {};
        }
        out += char(3);
        out += char(mHost.size());
        out += mHost;
    }
    PutPort(out, mPort);
    return out;
}

TXSocksHandshake::TStep TXSocksHandshake::Feed(std::string& in, std::string& out) {
    out.clear();
    for (;;) {
        switch (mState) {
        case TState::Idle:
            return Fail("SOCKS handshake not started");
        case TState::Failed:
            return TStep::Failed;
        case TState::Done:
            return TStep::Done;
        case TState::Socks4Reply: {
            if (in.size() < 8)
                return TStep::More;
            const auto version = uint8_t(in[0]);
            const auto code = uint8_t(in[1]);
            in.erase(0, 8);
            if (version != 0)
                return Fail("SOCKS4 protocol error");
            if (code != 90)
                return Fail("SOCKS4 request rejected (" + std::to_string(code) + ")");
            mState = TState::Done;
            return TStep::Done;
        }
        case TState::Greeting: {
            if (in.size() < 2)
                return TStep::More;
            const auto version = uint8_t(in[0]);
            const auto method = uint8_t(in[1]);
            in.erase(0, 2);
            if (version != 5)
                return Fail("SOCKS5 protocol error");
            if (method == 0) {
                out = Socks5Request();
                if (Failed())
                    return TStep::Failed;
                mState = TState::Reply;
                return TStep::More;
            }
            if (method == 2 && !mUser.empty()) {
                out += char(1);
                out += char(mUser.size());
                out += mUser;
                out += char(mPassword.size());
                out += mPassword;
                mState = TState::Auth;
                return TStep::More;
            }
            return Fail("SOCKS5 no acceptable authentication method");
        }
        case TState::Auth: {
            if (in.size() < 2)
                return TStep::More;
            const auto status = uint8_t(in[1]);
            in.erase(0, 2);
            if (status != 0)
                return Fail("SOCKS5 authentication failed");
            out = Socks5Request();
            if (Failed())
                return TStep::Failed;
            mState = TState::Reply;
            return TStep::More;
        }
        case TState::Reply: {
            if (in.size() < 5)
                return TStep::More;
            if (uint8_t(in[0]) != 5)
                return Fail("SOCKS5 protocol error");
            const auto code = uint8_t(in[1]);
            if (code != 0)
                return Fail("SOCKS5 request failed (" + std::to_string(code) + ")");
            size_t length = 0;
            switch (uint8_t(in[3])) {
            case 1:
                length = 4 + 4 + 2;
                break;
            case 3:
                length = 5 + uint8_t(in[4]) + 2;
                break;
            case 4:
                length = 4 + 16 + 2;
                break;
            default:
                return Fail("SOCKS5 protocol error");
            }
            if (in.size() < length)
                return TStep::More;
            in.erase(0, length);
            mState = TState::Done;
            return TStep::Done;
        }
        }
    }
}
