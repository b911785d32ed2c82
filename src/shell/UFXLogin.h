#pragma once
// The framework's login screen: finds and connects the data server, opens the listed
// configurations, checks the schema version (starting the database upgrade when the program is
// newer) and runs the user login that the application defines.

#include "foundation/UXVersion.h"
#include "shell/UXLoginSettings.h"
#include "shell/UXMainLogin.h"

#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class TFXDBUpdate;
class TFXLogin;
class TFXMain;
class TXAppUser;
class TXDataClient;
class TXDBDataBaseStructure;
class TXDBUpgrade;
class TXIPSeek;
class TXSQL;
class TXSQLSessionGUI;
class TXTCPClientPack;

// What the main window hands to the login; it owns all of it for the whole run.
struct TXLoginLinks {
    TXDataClient* DataClient = nullptr;
    TXTCPClientPack* Transport = nullptr; // the data client's transport when null
    TXAppUser* AppUser = nullptr;
    std::string Application = "SARVOLENTIS";    // names the settings file ("Default" when empty)
    TXDBDataBaseStructure* Structure = nullptr; // the schema the program carries
    // The main window's fatal flag: read, and set when the application must end.
    std::function<bool()> IsFatal;
    std::function<void()> SetFatal;
    // The window has closed (the main window then ends the program when the fatal flag is set).
    std::function<void(TFXLogin& login)> OnClosed;

    // The links of a main window: its data client, transport, user, configuration name, the
    // application's schema and its Ending flag; OnClosed calls its LoginClosed (UFLogin.cpp).
    static TXLoginLinks Of(TFXMain& main);
};

// Colour of the top panel by state.
enum TXLoginPanelState { lpsDisconnected, lpsConnected, lpsOpen, lpsReady };

class TFXLogin : public QDialog, public TXMainLogin {
    Q_OBJECT
public:
    static constexpr int kFirstStepMs = 100;
    static constexpr int kRoundWaitMs = 15000;
    static constexpr int kReconnectMs = 2000;
    static constexpr int kCFGOpeningMs = 1000;
    static constexpr int kClosedHeight = 130;
    static constexpr int kOpenHeight = 351;
    static constexpr int kHeightStep = 10;

    explicit TFXLogin(const TXLoginLinks& links, QWidget* parent = nullptr);
    ~TFXLogin() override;

    // The login screen that is open, or nullptr (the main window forwards error codes to it).
    static TFXLogin* Current();

    // Command-line parameters "config" and "WAIT", read at creation; may be changed before showing.
    bool ConfigAllowed = false;
    bool WaitMode = false;
    // Where the settings file lives; AppFolder() unless set before showing.
    std::string SettingsFolder;

    // Without a main window (the administrator's tools, tests): installs this screen's handlers on the
    // transport and data client events it follows; UnbindEvents (also run when the screen is
    // destroyed) puts the previous handlers back.
    void BindEvents();
    void UnbindEvents();

    // ---- TXMainLogin: the window and the events forwarded while it is open
    // Window-modal and non-blocking: the replies that drive the screen arrive through the socket.
    void ShowModal() override;
    // Closes without asking (the fatal flag is set by the caller).
    void CloseLogin() override;
    // Log out and check every configuration again.
    void RepeatConfigurationLogin() override;
    void Connected() override;
    void ConnectError(const std::string& msg) override;
    void Disconnected() override;
    void IDReceived() override;
    void AuthCheck(const std::string& cfg, bool ok, int32_t authleft) override;
    void CFGVersion(const std::string& cfg, const TXVersion& v) override;
    void LockResult(const std::string& cfg, const std::string& LU, bool success) override;
    void LockExclusive(const std::string& cfg) override;
    void UpgradeMsg(const std::string& code, const std::string& msg) override;
    void UpgradeBeginCompleted(const std::string& cfg, bool updated) override;
    void UpgradeEndCompleted(const std::string& cfg, TXVersion& v) override;
    void UpgradedVersion(const std::string& cfg, bool ok, const TXVersion& v) override;

    // ---- state
    int LoginStep() const { return mLoginStep; }
    TXLoginPanelState PanelState() const { return mPanelState; }
    QColor PanelColor() const;
    QColor LabelColor() const;
    bool ConfigurationsOpen() const { return mConfigurationsOpen; }
    bool Fatal() const;
    bool Logged() const;
    TFXDBUpdate* UpgradeScreen() const;
    const std::vector<std::string>& AddressList() const { return mAddresses; }
    TXIPSeek& IPSeek() { return *mIPSeek; }

    // The settings as the fields hold them; loading fills the fields.
    TXLoginSettings CurrentSettings() const;
    void ApplySettings(const TXLoginSettings& s);
    std::string SettingsPath() const;
    void LoadSettings();
    void SaveSettings();

    // Configuration area: opens or closes it (animated), as the button does.
    void ToggleConfigArea();
    bool ConfigAreaOpen() const { return mConfigOpen; }
    int TargetHeight() const { return mTargetHeight; }

    // Configuration rows of the "DB Config" page.
    int CFGRowCount() const;
    std::string CFGName(int row) const;
    std::string CFGPassword(int row) const;
    std::string CFGStatus(int row) const;
    void AddCFGRow(const std::string& name, const std::string& password);
    void DeleteCFGRow(int row);
    void SetCFGPassword(int row, const std::string& password);
    // The "DB Config" page's "Login": log out and check every row again.
    void CFGLogin();

    // The user login, as the button (or Enter in the password field) starts it.
    void StartUserLogin();

    // ---- widgets (tests fill them as a user would)
    QLineEdit* UserEdit() const { return mUserEdit; }
    QLineEdit* PasswordEdit() const { return mPasswordEdit; }
    QPushButton* LoginButton() const { return mLoginButton; }
    QPushButton* ConfigButton() const { return mConfigButton; }
    QLineEdit* IPEdit() const { return mIPEdit; }
    QLineEdit* PortEdit() const { return mPortEdit; }
    QCheckBox* SeekCheck() const { return mSeekCheck; }
    QLineEdit* HostEdit() const { return mHostEdit; }
    QLineEdit* SeekUserEdit() const { return mSeekUserEdit; }
    QLineEdit* SeekPasswordEdit() const { return mSeekPasswordEdit; }
    QLineEdit* FileEdit() const { return mFileEdit; }
    QTabWidget* Pages() const { return mPages; }
    QTableWidget* CFGGrid() const { return mCFGGrid; }
    QLineEdit* CFGPasswordEdit() const { return mCFGPasswordEdit; }
    QPushButton* CFGLoginButton() const { return mCFGLoginButton; }
    QFrame* TopPanel() const { return mTopPanel; }

protected:
    // ---- steps the application redefines
    virtual void OutdatedStop();
    virtual void ApplicationLogin();
    virtual std::string LoginOperation() const { return "login"; }
    // Results of the login session's statements.
    virtual void LoginSelect(const std::string& id, TXSQL& sql);
    virtual void LoginCommand(const std::string& id);
    // All configurations are open; true when a version check was started.
    virtual bool AllOpenStep() { return false; }
    virtual void AuthResult(const std::string& cfg, bool ok, int32_t authleft);
    virtual void UpgradedVersionStep(const std::string& cfg, bool ok, const TXVersion& v);
    virtual void ConnectedStep() {}
    virtual void DisconnectedStep() {}
    // The upgrade logic the upgrade screen runs (the application's population steps).
    virtual std::unique_ptr<TXDBUpgrade> CreateUpgradeLogic();

    // ---- for the steps
    TXDataClient& DataClient() const { return *mLinks.DataClient; }
    TXAppUser& AppUser() const { return *mLinks.AppUser; }
    TXSQLSessionGUI* LoginSession() const { return mLoginSession.get(); }
    // A configuration whose VERSION answer is expected, with the schema it is compared with.
    void RegisterStructure(const std::string& cfg, TXDBDataBaseStructure* structure);
    TXDBDataBaseStructure* RegisteredStructure(const std::string& cfg) const;
    TXDBDataBaseStructure* ProgramStructure() const { return mLinks.Structure; }
    void SetPanelState(TXLoginPanelState s);
    void EnableInputs(bool on);
    // Sets Logged and closes the screen.
    void AcceptLogin();
    // Shows text, marks the user not logged and enables the inputs.
    void RejectLogin(const std::string& text);
    void ReleaseLoginSession();
    // The application ends: sets the fatal flag and closes the screen.
    void EndApplication();

    void showEvent(QShowEvent* e) override;
    void reject() override;

private:
    void BuildWidgets();
    void RunStep();
    void Continue(int delayMs);
    void ConnectTo(const std::string& address);
    void StartSeek();
    void SeekEnded(bool success);
    void AddressFieldsEdited();
    void AnimateHeight();
    void SetCaption(const std::string& text);
    void SetCFGStatus(int row, const std::string& status);
    void CheckAllCFG();
    void StartVersionCheck();
    void UpgradeScreenClosed();
    bool CloseAllowed();
    int Port() const;

    TXLoginLinks mLinks;
    bool mFatal = false;
    bool mClosedReported = false;
    int mLoginStep = 0;
    size_t mAddressIndex = 0;
    std::vector<std::string> mAddresses;
    std::string mLoadedIP;
    bool mFromList = false;
    bool mConfigurationsOpen = false;
    bool mForceClose = false;
    bool mShownOnce = false;
    bool mBound = false;
    TXLoginPanelState mPanelState = lpsDisconnected;
    QTimer mStepTimer;
    QTimer mHeightTimer;
    int mTargetHeight = kClosedHeight;
    bool mConfigOpen = false;
    TXIPSeek* mIPSeek = nullptr;
    std::unique_ptr<TXSQLSessionGUI> mLoginSession;
    QPointer<TFXDBUpdate> mUpgradeScreen;
    std::vector<std::pair<std::string, TXDBDataBaseStructure*>> mRegistered;
    struct TXSavedHandlers;
    std::unique_ptr<TXSavedHandlers> mSaved;

    QFrame* mTopPanel = nullptr;
    QLabel* mUserLabel = nullptr;
    QLabel* mPasswordLabel = nullptr;
    QLineEdit* mUserEdit = nullptr;
    QLineEdit* mPasswordEdit = nullptr;
    QPushButton* mLoginButton = nullptr;
    QPushButton* mConfigButton = nullptr;
    QTabWidget* mPages = nullptr;
    QLineEdit* mIPEdit = nullptr;
    QLineEdit* mPortEdit = nullptr;
    QCheckBox* mSeekCheck = nullptr;
    QLineEdit* mHostEdit = nullptr;
    QLineEdit* mSeekUserEdit = nullptr;
    QLineEdit* mSeekPasswordEdit = nullptr;
    QLineEdit* mFileEdit = nullptr;
    QTableWidget* mCFGGrid = nullptr;
    QPushButton* mAddCFGButton = nullptr;
    QPushButton* mDeleteCFGButton = nullptr;
    QLineEdit* mCFGPasswordEdit = nullptr;
    QPushButton* mCFGLoginButton = nullptr;
};
