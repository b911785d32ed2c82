// The main window's handling of the connection and data-client events: passed on to the login window
// while it is open, otherwise the lost connection, the server's logout and its error messages.
#include "shell/UFXMain.h"

#include "dataserver/UXDataClient.h"
#include "dataserver/UXTCPClientPack.h"
#include "foundation/UCp1252.h"
#include "foundation/UXData.h"
#include "foundation/UXDialogs.h"
#include "foundation/UXMainExec.h"
#include "shell/UXMainLogin.h"

namespace {

// The next string of an error message; missing ones read as empty so a short message still shows.
std::string NextText(TXData& d) {
    try {
        return d.AtEnd() ? std::string() : GetS(d);
    } catch (const EXDataError&) {
        d.Pos = d.Size + 1;
        return {};
    }
}

} // namespace

void TFXMain::ConnectEvents() {
    TXTCPClientPack& pack = *mDSClient;
    pack.OnConnect = [this] {
        if (mLogin)
            mLogin->Connected();
    };
    pack.OnConnectError = [this](const std::string& msg) {
        if (mLogin)
            mLogin->ConnectError(msg);
    };
    pack.OnIDReceived = [this] {
        if (mLogin)
            mLogin->IDReceived();
    };
    pack.OnDisconnect = [this] {
        if (mLogin) {
            mLogin->Disconnected();
            return;
        }
        if (mDestroyed)
            return;
        ShowError(Utf8ToCp1252("Conexão perdida"));
        if (!mTerminating)
            Post(
                0, [this] { Logout(); }, this);
    };

    TXDataClient& dc = *mDC;
    dc.OnAuthCheck = [this](const std::string& cfg, bool ok, int32_t left) {
        if (mLogin)
            mLogin->AuthCheck(cfg, ok, left);
    };
    dc.OnCFGVersion = [this](const std::string& cfg, const TXVersion& v) {
        if (mLogin)
            mLogin->CFGVersion(cfg, v);
    };
    dc.OnLockResult = [this](const std::string& cfg, const std::string& lu, bool ok) {
        if (mLogin)
            mLogin->LockResult(cfg, lu, ok);
    };
    dc.OnLockExclusive = [this](const std::string& cfg) {
        if (mLogin)
            mLogin->LockExclusive(cfg);
    };
    dc.OnUpgradeMsg = [this](const std::string& code, const std::string& msg) {
        if (mLogin)
            mLogin->UpgradeMsg(code, msg);
    };
    dc.OnUpgradeBeginCompleted = [this](const std::string& cfg, bool updated) {
        if (mLogin)
            mLogin->UpgradeBeginCompleted(cfg, updated);
    };
    dc.OnUpgradeEndCompleted = [this](const std::string& cfg, TXVersion& v) {
        if (mLogin)
            mLogin->UpgradeEndCompleted(cfg, v);
    };
    dc.OnUpgradedVersion = [this](const std::string& cfg, bool ok, const TXVersion& v) {
        if (mLogin)
            mLogin->UpgradedVersion(cfg, ok, v);
        UpgradedVersion(cfg, ok, v);
    };
    dc.OnLogout = [this] {
        if (!mLogin && !mDestroyed)
            Logout();
    };
    dc.OnErrorMessage = [this](const std::string& msg, TXData& d) { ErrorMessage(msg, d); };
}

void TFXMain::UpgradedVersion(const std::string&, bool, const TXVersion&) {}

void TFXMain::ErrorMessage(const std::string& msg, TXData& d) {
    if (msg == "MUSTBEADM") {
        ShowError(Utf8ToCp1252("Erro crítico no sistema:\r\nUsuário não logado como ADM"));
    } else if (msg == "MUSTBELOGGED") {
        ShowError(Utf8ToCp1252("Erro crítico no sistema:\r\nUsuário não logado na configuração ") +
                  NextText(d));
    } else if (msg == "UPGRADE") {
        const std::string s1 = NextText(d);
        const std::string s2 = NextText(d);
        ShowError(Utf8ToCp1252("Erro crítico de atualização do sistema:\r\nCFG:") + s1 + " " + s2);
        RequestExit();
    } else if (msg == "CFGOPENING") {
        Post(
            1000,
            [this] {
                if (mLogin)
                    mLogin->RepeatConfigurationLogin();
            },
            this);
    } else if (msg == "CFGERROR") {
        const std::string s1 = NextText(d);
        const std::string s2 = NextText(d);
        ShowError(Utf8ToCp1252("Erro crítico de abertura da configuração ") + s1 + "\r\nErro:" + s2);
        RequestExit();
    } else if (msg == "UNKNOWNSEMAPHORE") {
        const std::string s1 = NextText(d);
        const std::string s2 = NextText(d);
        ShowError(Utf8ToCp1252("semáforo desconhecido ") + s1 + "." + s2);
    }
}
