// The login window's work: the connection steps, opening the configurations, the version check with
// the upgrade screen, and the user login session.

#include "shell/UFXLogin.h"

#include "dataserver/UXDataClient.h"
#include "dataserver/UXSQLSessionGUI.h"
#include "dataserver/UXTCPClientPack.h"
#include "foundation/UCp1252.h"
#include "foundation/UXDialogs.h"
#include "foundation/UXQtText.h"
#include "foundation/UXText.h"
#include "shell/UFXDBUpdate.h"
#include "shell/UXAppUser.h"
#include "shell/UXDBUpgrade.h"
#include "sql/UXDBDataBaseStructure.h"
#include "update/UXIPSeek.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <exception>

// ---- connecting -------------------------------------------------------------------------------------

int TFXLogin::Port() const {
    const std::string text = Trim(FromQString(mPortEdit->text()));
    if (!IsInteger(text))
        return 80;
    try {
        const int p = std::stoi(text);
        return p > 0 && p < 65536 ? p : 80;
    } catch (const std::exception&) {
        return 80;
    }
}

void TFXLogin::Continue(int delayMs) {
    if (mLinks.Transport)
        mLinks.Transport->Deactivate();
    // Through the timer: a continuation never runs inside the transport's own event.
    mStepTimer.start(delayMs);
}

void TFXLogin::ConnectTo(const std::string& address) {
    SetCaption("..." + address);
    if (!mLinks.Transport)
        return;
    mLinks.Transport->IP = address;
    mLinks.Transport->Port = Port();
    mLinks.Transport->Activate(-1);
}

void TFXLogin::RunStep() {
    if (mClosedReported)
        return;
    switch (mLoginStep) {
    case 0:
    case 4: {
        mLoginStep = 1;
        std::string ip;
        if (NormalizeIPv4(Trim(FromQString(mIPEdit->text())), ip)) {
            mFromList = false;
            ConnectTo(ip);
            return;
        }
        RunStep();
        return;
    }
    case 1:
        mLoginStep = 2;
        mAddresses.clear();
        if (mSeekCheck->isChecked() && !mHostEdit->text().isEmpty() && !mSeekUserEdit->text().isEmpty() &&
            !mFileEdit->text().isEmpty() && !mIPSeek->Running()) {
            StartSeek();
            return;
        }
        RunStep();
        return;
    case 2:
        mAddressIndex = 0;
        mLoginStep = 3;
        RunStep();
        return;
    case 3:
        if (mAddressIndex < mAddresses.size()) {
            mFromList = true;
            ConnectTo(mAddresses[mAddressIndex++]);
            return;
        }
        SetCaption("Aguardando");
        mLoginStep = 4;
        Continue(kRoundWaitMs);
        return;
    default: // 5: connected
        return;
    }
}

void TFXLogin::StartSeek() {
    mIPSeek->Host = FromQString(mHostEdit->text());
    mIPSeek->UserName = FromQString(mSeekUserEdit->text());
    mIPSeek->Password = FromQString(mSeekPasswordEdit->text());
    mIPSeek->FileName = FromQString(mFileEdit->text());
    SetCaption("Buscando IP");
    try {
        mIPSeek->Start();
    } catch (const std::exception&) {
        Continue(0);
    }
}

void TFXLogin::SeekEnded(bool success) {
    mAddresses = success ? mIPSeek->Addresses() : std::vector<std::string>{};
    if (mLoginStep == 2)
        Continue(0);
}

void TFXLogin::AddressFieldsEdited() {
    mAddresses.clear();
    if (mLinks.Transport && mLinks.Transport->Connected()) {
        mLinks.Transport->Deactivate();
        Disconnected();
    }
}

void TFXLogin::ConnectError(const std::string&) {
    if (mLoginStep != 5)
        Continue(0);
}

void TFXLogin::Connected() {
    SetPanelState(lpsConnected);
    EnableInputs(false);
    ReleaseLoginSession();
    if (mFromList && mLinks.Transport) {
        const std::string address = mLinks.Transport->IP;
        mIPEdit->setText(ToQString(address));
        if (address != mLoadedIP)
            SaveSettings();
    }
    SetCaption("aguardando Id");
    mLoginStep = 5;
    ConnectedStep();
}

void TFXLogin::Disconnected() {
    SetPanelState(lpsDisconnected);
    EnableInputs(false);
    ReleaseLoginSession();
    mConfigurationsOpen = false;
    if (mLoginStep == 5) {
        mLoginStep = 4;
        Continue(kReconnectMs);
    }
    DisconnectedStep();
}

// ---- configurations -----------------------------------------------------------------------------------

void TFXLogin::IDReceived() {
    SetCaption(Utf8ToCp1252("abrindo configurações"));
    CheckAllCFG();
}

void TFXLogin::CheckAllCFG() {
    mConfigurationsOpen = false;
    EnableInputs(false);
    SetPanelState(lpsConnected);
    int sent = 0;
    for (int i = 0; i < CFGRowCount(); ++i) {
        SetCFGStatus(i, {});
        if (CFGName(i).empty())
            continue;
        try {
            DataClient().CheckCFG(CFGPassword(i), CFGName(i));
            ++sent;
        } catch (const std::exception& e) {
            ShowError(e.what());
            return;
        }
    }
    // Nothing to open: the configurations are as open as they will be.
    if (sent == 0)
        AuthResult({}, true, 0);
}

void TFXLogin::CFGLogin() {
    if (!mLinks.DataClient || !DataClient().Active())
        return;
    DataClient().Logout();
    CheckAllCFG();
}

void TFXLogin::RepeatConfigurationLogin() {
    CFGLogin();
}

void TFXLogin::AuthCheck(const std::string& cfg, bool ok, int32_t authleft) {
    for (int i = 0; i < CFGRowCount(); ++i)
        if (SameText(CFGName(i), cfg))
            SetCFGStatus(i, ok ? "*" : "er");
    AuthResult(cfg, ok, authleft);
}

void TFXLogin::AuthResult(const std::string&, bool, int32_t authleft) {
    if (authleft > 0) {
        SetPanelState(lpsConnected);
        return;
    }
    SetCaption("Login");
    mConfigurationsOpen = true;
    SetPanelState(lpsConnected); // labels black
    if (!AllOpenStep())
        EnableInputs(true);
}

void TFXLogin::RegisterStructure(const std::string& cfg, TXDBDataBaseStructure* structure) {
    for (auto& [name, s] : mRegistered)
        if (SameText(name, cfg)) {
            s = structure;
            return;
        }
    mRegistered.emplace_back(cfg, structure);
}

TXDBDataBaseStructure* TFXLogin::RegisteredStructure(const std::string& cfg) const {
    for (const auto& [name, s] : mRegistered)
        if (SameText(name, cfg))
            return s;
    return nullptr;
}

void TFXLogin::CFGVersion(const std::string& cfg, const TXVersion& v) {
    TXDBDataBaseStructure* structure = RegisteredStructure(cfg);
    if (!structure) {
        ShowError("Resposta inesperada do DataServer para CFG: " + cfg);
        return;
    }
    if (v.Invalid)
        return;
    const TXVersion program = structure->VersionValue();
    const int c = CompareVersions(program, v);
    if (c < 0) {
        OutdatedStop();
        return;
    }
    if (c == 0) {
        EnableInputs(true);
        return;
    }
    if (!mUpgradeScreen) {
        try {
            mUpgradeScreen = new TFXDBUpdate(CreateUpgradeLogic(), DataClient(), this);
        } catch (const std::exception& e) {
            ShowError(e.what());
            return;
        }
        mUpgradeScreen->Logic().OnFatal = [this] {
            mFatal = true;
            if (mLinks.SetFatal)
                mLinks.SetFatal();
        };
        connect(mUpgradeScreen, &QDialog::finished, this, &TFXLogin::UpgradeScreenClosed);
    }
    mUpgradeScreen->Logic().AddConfiguration(cfg, v, program, structure);
    if (!mUpgradeScreen->isVisible())
        mUpgradeScreen->open();
}

void TFXLogin::OutdatedStop() {
    mFatal = true;
    if (mLinks.SetFatal)
        mLinks.SetFatal();
    ShowError("Esta aplicação está desatualizada");
    EndApplication();
}

std::unique_ptr<TXDBUpgrade> TFXLogin::CreateUpgradeLogic() {
    return std::make_unique<TXDBUpgrade>();
}

void TFXLogin::UpgradeScreenClosed() {
    if (Fatal()) {
        EndApplication();
        return;
    }
    EnableInputs(true);
}

// ---- upgrade replies, passed on to the upgrade screen -------------------------------------------------

void TFXLogin::LockResult(const std::string& cfg, const std::string& LU, bool success) {
    if (mUpgradeScreen)
        mUpgradeScreen->Logic().LockResult(cfg, LU, success);
}

void TFXLogin::LockExclusive(const std::string& cfg) {
    if (mUpgradeScreen)
        mUpgradeScreen->Logic().LockExclusive(cfg);
}

void TFXLogin::UpgradeMsg(const std::string& code, const std::string& msg) {
    if (mUpgradeScreen)
        mUpgradeScreen->Logic().UpgradeMsg(code, msg);
}

void TFXLogin::UpgradeBeginCompleted(const std::string& cfg, bool updated) {
    if (!RegisteredStructure(cfg) || !mUpgradeScreen) {
        ShowError("UpgradeBeginCompleted Resposta inesperada do DataServer para CFG: " + cfg);
        return;
    }
    mUpgradeScreen->Logic().UpgradeBeginCompleted(cfg, updated);
}

void TFXLogin::UpgradeEndCompleted(const std::string& cfg, TXVersion& v) {
    if (!RegisteredStructure(cfg) || !mUpgradeScreen) {
        ShowError("UpgradeEndCompleted Resposta inesperada do DataServer para CFG: " + cfg);
        return;
    }
    mUpgradeScreen->Logic().UpgradeEndCompleted(cfg, v);
}

void TFXLogin::UpgradedVersion(const std::string& cfg, bool ok, const TXVersion& v) {
    if (mUpgradeScreen)
        mUpgradeScreen->Logic().UpgradedVersion(cfg, ok, v);
    UpgradedVersionStep(cfg, ok, v);
}

void TFXLogin::UpgradedVersionStep(const std::string&, bool, const TXVersion&) {}

// ---- the user login -----------------------------------------------------------------------------------

void TFXLogin::StartUserLogin() {
    if (!mLoginButton->isEnabled() || !mLinks.DataClient)
        return;
    EnableInputs(false);
    ReleaseLoginSession();
    auto session = std::make_unique<TXSQLSessionGUI>();
    session->DC = mLinks.DataClient;
    session->OP = LoginOperation();
    session->OnCreateError = [this](TXSQLSessionGUI&, const std::string& error) {
        ShowError(error);
        ReleaseLoginSession();
        EnableInputs(true);
    };
    session->OnReady = [this](TXSQLSessionGUI&) {
        if (mLinks.AppUser) {
            mLinks.AppUser->SetLoginCode(FromQString(mUserEdit->text()));
            mLinks.AppUser->SetPassword(FromQString(mPasswordEdit->text()));
        }
        try {
            ApplicationLogin();
        } catch (const std::exception& e) {
            RejectLogin(e.what());
        }
    };
    session->OnSelect = [this](TXSQLSessionGUI&, const std::string& id, TXSQL& sql) {
        try {
            LoginSelect(id, sql);
        } catch (const std::exception& e) {
            RejectLogin(e.what());
        }
    };
    session->OnCommand = [this](TXSQLSessionGUI&, const std::string& id) { LoginCommand(id); };
    session->OnSQLError = [this](TXSQLSessionGUI& s, const std::string& id, const std::string& error) {
        if (s.FindSQL(id))
            s.FreeSQL(id);
        ShowError(error);
        EnableInputs(true);
    };
    mLoginSession = std::move(session);
    try {
        mLoginSession->Loaded();
    } catch (const std::exception& e) {
        ShowError(e.what());
        ReleaseLoginSession();
        EnableInputs(true);
    }
}

void TFXLogin::ApplicationLogin() {
    ShowError("TFXLogin.ApplicationLogin\r\ndeve ser redefinido para\r\nrealizar o Login");
    EnableInputs(true);
}

void TFXLogin::LoginSelect(const std::string& id, TXSQL&) {
    LoginCommand(id);
}

void TFXLogin::LoginCommand(const std::string& id) {
    if (mLoginSession && mLoginSession->FindSQL(id))
        mLoginSession->FreeSQL(id);
    ShowError("Resposta com id incorreto " + id);
    EnableInputs(true);
}
