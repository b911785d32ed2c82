#pragma once
// A named endpoint on the packet connection.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct TXData;
struct TXTCPPack;
class TXTCPClientPack;

class TXTCPClientService {
public:
    TXTCPClientService() = default;
    explicit TXTCPClientService(std::string_view service, TXTCPClientPack* pack = nullptr);
    ~TXTCPClientService();
    TXTCPClientService(const TXTCPClientService&) = delete;
    TXTCPClientService& operator=(const TXTCPClientService&) = delete;

    const std::string& Service() const { return mService; } // upper case
    void SetService(std::string_view service);
    TXTCPClientPack* TCPClientPack() const { return mPack; }
    void SetTCPClientPack(TXTCPClientPack* pack);

    // No-ops while no pack is bound.
    void SendData(uint16_t reserved, std::string_view command, const TXData& d);
    void SendText(uint16_t reserved, std::string_view command, std::string_view text);

    std::function<void(TXTCPClientService& sender, TXTCPPack& pack)> OnPackReceive;

private:
    friend class TXTCPClientPack;
    void PackDestroyed(TXTCPClientPack* pack);

    std::string mService;
    TXTCPClientPack* mPack = nullptr;
};
