#include "dataserver/UXDataClient.h"

#include "dataserver/UXAuthKey.h"
#include "dataserver/UXSQLSession.h" // the session list dies with the client
#include "dataserver/UXTCPClientPack.h"
#include "foundation/UXCipher.h"
#include "foundation/UXData.h"

#include <cctype>
#include <stdexcept>

namespace {

TXDataClient* gDefaultDataClient = nullptr;

std::string Upper(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

void LoadPayload(TXData& d, const TXTCPPack& pack) {
    Load(d, pack.Payload);
}

} // namespace

TXDataClient::TXDataClient(QObject* parent)
    : QObject(parent), mAuth(std::make_unique<TXTCPClientService>("AUTH")),
      mCfg(std::make_unique<TXTCPClientService>("CFG")), mErr(std::make_unique<TXTCPClientService>("ERR")),
      mSess(std::make_unique<TXTCPClientService>("SESS")) {
    mAuth->OnPackReceive = [this](TXTCPClientService&, TXTCPPack& p) { ReceiveAuth(p); };
    mCfg->OnPackReceive = [this](TXTCPClientService&, TXTCPPack& p) { ReceiveCFG(p); };
    mErr->OnPackReceive = [this](TXTCPClientService&, TXTCPPack& p) { ReceiveErr(p); };
    if (!gDefaultDataClient)
        gDefaultDataClient = this;
}

TXDataClient::~TXDataClient() {
    if (gDefaultDataClient == this)
        gDefaultDataClient = nullptr;
}

TXDataClient* TXDataClient::Default() {
    return gDefaultDataClient;
}

TXTCPClientPack* TXDataClient::TCPClientPack() const {
    return mPack.data();
}

void TXDataClient::SetTCPClientPack(TXTCPClientPack* pack) {
    mPack = pack;
    for (auto* s : {mAuth.get(), mCfg.get(), mErr.get(), mSess.get()})
        s->SetTCPClientPack(pack);
    for (auto& [name, s] : mExtra)
        s->SetTCPClientPack(pack);
}

bool TXDataClient::Active() const {
    return mPack && mPack->Connected();
}

TXTCPClientService& TXDataClient::Service(std::string_view name) {
    const std::string n = Upper(name);
    for (auto* s : {mAuth.get(), mCfg.get(), mErr.get(), mSess.get()})
        if (s->Service() == n)
            return *s;
    const auto it = mExtra.find(n);
    if (it == mExtra.end())
        throw std::invalid_argument("TXDataClient error: unknown service " + n);
    return *it->second;
}

TXTCPClientService& TXDataClient::AddService(std::string_view name,
                                             std::function<void(TXTCPClientService&, TXTCPPack&)> receiver) {
    const std::string n = Upper(name);
    TXTCPClientService* service = nullptr;
    for (auto* s : {mAuth.get(), mCfg.get(), mErr.get(), mSess.get()})
        if (s->Service() == n)
            service = s;
    if (!service) {
        auto& slot = mExtra[n];
        if (!slot)
            slot = std::make_unique<TXTCPClientService>(n, mPack.data());
        service = slot.get();
    }
    service->OnPackReceive = std::move(receiver);
    return *service;
}

void TXDataClient::CheckCFG(std::string_view password, std::string_view cfg) {
    if (!Active())
        throw std::runtime_error("TXDataClient error: Connection not active");
    const std::string name = cfg.empty() ? DefaultCFG : std::string(cfg);
    TXData d;
    Init(d);
    PutS(d, name);
    PutS(d, Scramble(password, AuthKeyFor(mPack->ConnectionId())));
    Finish(d);
    mAuth->SendData(0, "CHECK", d);
    ++mPendingChecks;
}

void TXDataClient::Logout() {
    mPendingChecks = 0;
    mAuth->SendText(0, "LOGOUT", "");
}

void TXDataClient::SendCfgOnly(std::string_view command, std::string_view cfg) {
    TXData d;
    Init(d);
    PutS(d, cfg);
    Finish(d);
    mCfg->SendData(0, command, d);
}

void TXDataClient::RequestVersion(std::string_view cfg) {
    SendCfgOnly("VERSION", cfg);
}
void TXDataClient::Lock(std::string_view cfg) {
    SendCfgOnly("LOCK", cfg);
}
void TXDataClient::Unlock(std::string_view cfg) {
    SendCfgOnly("UNLOCK", cfg);
}

void TXDataClient::UpgradeBegin(std::string_view cfg, std::string_view scriptText, bool firstFlag,
                                bool secondFlag) {
    TXData d;
    Init(d);
    PutS(d, cfg);
    PutS(d, scriptText);
    PutBool(d, firstFlag);
    PutBool(d, secondFlag);
    Finish(d);
    mCfg->SendData(0, "UPGRADEBEGIN", d);
}

void TXDataClient::UpgradeEnd(std::string_view cfg, std::string_view scriptText) {
    TXData d;
    Init(d);
    PutS(d, cfg);
    PutS(d, scriptText);
    Finish(d);
    mCfg->SendData(0, "UPGRADEEND", d);
}

void TXDataClient::ReceiveAuth(TXTCPPack& pack) {
    TXData d;
    LoadPayload(d, pack);
    if (pack.Command == "CHECK") {
        const std::string cfg = GetS(d);
        GetS(d); // server token
        const bool ok = GetBool(d);
        if (ok)
            --mPendingChecks;
        if (OnAuthCheck)
            OnAuthCheck(cfg, ok, mPendingChecks);
    } else if (pack.Command == "LOGOUT") {
        if (OnLogout)
            OnLogout();
    }
}

void TXDataClient::ReceiveCFG(TXTCPPack& pack) {
    TXData d;
    LoadPayload(d, pack);
    const std::string& c = pack.Command;
    if (c == "VERSION") {
        const std::string cfg = GetS(d);
        TXVersion v;
        if (GetBool(d))
            v = StrToVersion(GetS(d));
        else
            v.Invalid = true;
        if (OnCFGVersion)
            OnCFGVersion(cfg, v);
    } else if (c == "LOCK" || c == "UNLOCK") {
        const std::string cfg = GetS(d);
        const bool success = GetBool(d);
        if (OnLockResult)
            OnLockResult(cfg, c == "LOCK" ? "L" : "U", success);
    } else if (c == "LOCKEXCLUSIVE") {
        const std::string cfg = GetS(d);
        if (OnLockExclusive)
            OnLockExclusive(cfg);
    } else if (c == "UPGRADEBEGIN") {
        const std::string cfg = GetS(d);
        const bool updated = GetBool(d);
        if (OnUpgradeBeginCompleted)
            OnUpgradeBeginCompleted(cfg, updated);
    } else if (c == "UPGRADEEND") {
        const std::string cfg = GetS(d);
        TXVersion v;
        v.Invalid = true;
        if (OnUpgradeEndCompleted)
            OnUpgradeEndCompleted(cfg, v);
        if (!v.Invalid) {
            TXData out;
            Init(out);
            PutS(out, cfg);
            PutS(out, VersionToStr(v));
            Finish(out);
            mCfg->SendData(0, "SETVERSION", out);
        }
    } else if (c == "UPGRADEMSG") {
        const std::string code = GetS(d);
        const std::string msg = GetS(d);
        if (OnUpgradeMsg)
            OnUpgradeMsg(code, msg);
    } else if (c == "SETVERSION") {
        const std::string cfg = GetS(d);
        const bool ok = GetBool(d);
        TXVersion v;
        if (ok)
            v = StrToVersion(GetS(d));
        if (OnUpgradedVersion)
            OnUpgradedVersion(cfg, ok, v);
    }
}

void TXDataClient::ReceiveErr(TXTCPPack& pack) {
    TXData d;
    LoadPayload(d, pack);
    if (OnErrorMessage)
        OnErrorMessage(pack.Command, d);
}
