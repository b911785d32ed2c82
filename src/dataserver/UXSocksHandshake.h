#pragma once
// Client side of the SOCKS 4, 4A and 5 handshakes, written over an already connected proxy socket.

#include <cstdint>
#include <string>

enum TXTCPClientConnectMode { cmDirect, cmSocks4, cmSocks4A, cmSocks5 };

class TXSocksHandshake {
public:
    enum class TStep { More, Done, Failed };

    TXSocksHandshake(TXTCPClientConnectMode mode, std::string host, uint16_t port, std::string user,
                     std::string password);

    // SOCKS 4 carries only an IPv4 address: a host name must be resolved by the caller first.
    bool NeedsResolvedAddress() const;
    void SetResolvedAddress(const std::string& ipv4);

    // The first bytes to send; empty with Failed() set when the target cannot be expressed.
    std::string Begin();
    // Consumes from in what the handshake reads; out receives the bytes to send next. Bytes after
    // the last reply stay in in: they already belong to the tunnelled stream.
    TStep Feed(std::string& in, std::string& out);

    bool Failed() const { return !mError.empty(); }
    const std::string& Error() const { return mError; }

private:
    enum class TState { Idle, Socks4Reply, Greeting, Auth, Reply, Done, Failed };

    TStep Fail(std::string message);
    std::string Socks5Request();

    TXTCPClientConnectMode mMode;
    std::string mHost;
    uint16_t mPort;
    std::string mUser;
    std::string mPassword;
    TState mState = TState::Idle;
    std::string mError;
};
