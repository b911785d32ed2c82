#include "dataserver/UXTCPClientService.h"

#include "dataserver/UXTCPClientPack.h"

#include <cctype>

TXTCPClientService::TXTCPClientService(std::string_view service, TXTCPClientPack* pack) {
    SetService(service);
    SetTCPClientPack(pack);
}

TXTCPClientService::~TXTCPClientService() {
    if (mPack)
        mPack->UnregisterService(this);
}

void TXTCPClientService::SetService(std::string_view service) {
    std::string name(service);
    for (char& c : name)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    if (name == mService)
        return;
    if (mPack && !mService.empty())
        mPack->UnregisterService(this);
    mService = std::move(name);
    if (mPack && !mService.empty())
        mPack->RegisterService(this);
}

void TXTCPClientService::SetTCPClientPack(TXTCPClientPack* pack) {
    if (pack == mPack)
        return;
    if (mPack)
        mPack->UnregisterService(this);
    mPack = pack;
    if (mPack && !mService.empty())
        mPack->RegisterService(this);
}

void TXTCPClientService::SendData(uint16_t reserved, std::string_view command, const TXData& d) {
    if (mPack)
        mPack->SendData(reserved, command, mService, d);
}

void TXTCPClientService::SendText(uint16_t reserved, std::string_view command, std::string_view text) {
    if (mPack)
        mPack->SendText(reserved, command, mService, text);
}

void TXTCPClientService::PackDestroyed(TXTCPClientPack* pack) {
    if (mPack == pack)
        mPack = nullptr;
}
