#pragma once
// Client side of the data server's control protocol: configuration logins, versions, locks and upgrades.

#include "dataserver/UXTCPClientService.h"
#include "foundation/UXVersion.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct TXData;
struct TXTCPPack;
class TXTCPClientPack;
class TXSQLSession;

class TXDataClient : public QObject {
    Q_OBJECT
public:
    explicit TXDataClient(QObject* parent = nullptr);
    ~TXDataClient() override;

    // The first data client created while none is the default one; used by sessions that name none.
    static TXDataClient* Default();

    TXTCPClientPack* TCPClientPack() const;
    void SetTCPClientPack(TXTCPClientPack* pack);

    std::string DefaultCFG;

    bool Active() const;
    int32_t PendingChecks() const { return mPendingChecks; }

    void CheckCFG(std::string_view password, std::string_view cfg);
    void Logout();
    void RequestVersion(std::string_view cfg);
    void Lock(std::string_view cfg);
    void Unlock(std::string_view cfg);
    void UpgradeBegin(std::string_view cfg, std::string_view scriptText, bool firstFlag, bool secondFlag);
    void UpgradeEnd(std::string_view cfg, std::string_view scriptText);

    // The services "AUTH", "CFG", "ERR" and "SESS", and any added later (e.g. by the SQL sessions).
    TXTCPClientService& Service(std::string_view name);
    TXTCPClientService& SessService() { return *mSess; }
    // A service on the same connection, created on first use; the receiver replaces the previous one.
    TXTCPClientService& AddService(std::string_view name,
                                   std::function<void(TXTCPClientService&, TXTCPPack&)> receiver);

    std::function<void(const std::string& scfg, bool ok, int32_t authleft)> OnAuthCheck;
    std::function<void(const std::string& scfg, const TXVersion& v)> OnCFGVersion;
    std::function<void(const std::string& msg, TXData& d)> OnErrorMessage;
    std::function<void()> OnLogout;
    std::function<void(const std::string& scfg, const std::string& LU, bool success)> OnLockResult;
    std::function<void(const std::string& scfg)> OnLockExclusive;
    std::function<void(const std::string& scfg, bool updated)> OnUpgradeBeginCompleted;
    std::function<void(const std::string& scfg, bool ok, const TXVersion& v)> OnUpgradedVersion;
    std::function<void(const std::string& scfg, TXVersion& v)> OnUpgradeEndCompleted;
    std::function<void(const std::string& code, const std::string& msg)> OnUpgradeMsg;

    // SQL sessions, indexed by CSID; a released slot is taken again. Defined with the sessions
    // (UXSQLSession.cpp), which also receive the "SESS" service.
    TXSQLSession& CreateSession(std::string_view op, std::string_view cfg,
                                void (*notify)(void* object, TXSQLSession& session), void* object);
    int SessionCount() const { return static_cast<int>(mSessions.size()); }
    TXSQLSession* Session(int32_t csid) const; // nullptr when there is no such slot

private:
    void ReceiveAuth(TXTCPPack& pack);
    void ReceiveCFG(TXTCPPack& pack);
    void ReceiveErr(TXTCPPack& pack);
    void SendCfgOnly(std::string_view command, std::string_view cfg);

    QPointer<TXTCPClientPack> mPack;
    int32_t mPendingChecks = 0;
    std::unique_ptr<TXTCPClientService> mAuth;
    std::unique_ptr<TXTCPClientService> mCfg;
    std::unique_ptr<TXTCPClientService> mErr;
    std::unique_ptr<TXTCPClientService> mSess;
    std::map<std::string, std::unique_ptr<TXTCPClientService>> mExtra;
    std::vector<std::unique_ptr<TXSQLSession>> mSessions;
};
