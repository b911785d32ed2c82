#pragma once
// Packet layer over the connection: framing, sequence numbers, the id handshake and dispatch to services.

#include "dataserver/UXCustomTCPClient.h"
#include "dataserver/UXTCPPack.h"

#include <string_view>
#include <vector>

struct TXData;
class TXTCPClientService;

class TXTCPClientPack : public TXCustomTCPClient {
    Q_OBJECT
public:
    explicit TXTCPClientPack(QObject* parent = nullptr);
    ~TXTCPClientPack() override;

    void SendData(uint16_t reserved, std::string_view command, std::string_view service, const TXData& d);
    void SendText(uint16_t reserved, std::string_view command, std::string_view service,
                  std::string_view text);

    uint16_t ConnectionId() const { return mConnectionId; }

    // Services register themselves; the first registered under a name receives its packets.
    void RegisterService(TXTCPClientService* service);
    void UnregisterService(TXTCPClientService* service);
    const std::vector<TXTCPClientService*>& Services() const { return mServices; }

    // Bytes as if read from the socket: appended to the receive queue and taken apart into packets.
    void FeedReceived(std::string_view bytes);

    std::function<void()> OnIDReceived;
    std::function<void(TXTCPPack& pack)> OnPackReceive;

    static constexpr int kIdTimeoutMs = 5000;
    static constexpr int kReadChunk = 8192;

protected:
    void DoConnect() override;
    void DoDisconnect() override;
    void DoDataAvailable() override;

private:
    void ReadSocket();
    void ProcessReceived();
    void Dispatch(TXTCPPack& pack);
    void OnIdTimer();

    uint16_t mConnectionId = 0;
    uint16_t mSendSeq = 1;
    uint16_t mReceiveSeq = 1;
    QTimer mIdTimer;
    std::vector<TXTCPClientService*> mServices;
};
