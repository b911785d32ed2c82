#pragma once
// The framework's main window: the connection, the data client and the configuration, the login
// cycle, the list of open screens, the data-client events and OpenFrame, through which every screen
// is opened.

#include "foundation/UXConfiguration.h"
#include "shell/UXFrameClasses.h"

#include <QMainWindow>

#include <memory>
#include <string>
#include <vector>

class QButtonGroup;
class QGroupBox;
class QTabWidget;
class TFXFrame;
class TXCallData;
class TXDataClient;
class TXMainLogin;
class TXShellUser;
class TXTCPClientPack;
struct TXData;
struct TXVersion;

// Open modes of OpenFrame (callers pass them as numbers).
enum TXOpenMode : int {
    omDefault = 0,
    omSel = 1,
    omCad = 2,
    omTab = 3,
    omWindow = 4,
    omPanel = 5,
    omModal = 6
};

class TFXMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFXMain(QWidget* parent = nullptr);
    ~TFXMain() override;

    TXTCPClientPack& DSClient() { return *mDSClient; }
    TXDataClient& DC() { return *mDC; }
    TXConfiguration& Configuration() { return mConfiguration; }
    // The configuration's Application, "Default" when empty.
    std::string ConfigurationName() const;

    // The hidden open-mode group " Abrir ": 0 "aba", 1 "form", 2 "painel", 3 "default".
    QGroupBox* RG() const { return mRG; }
    int OpenModeSetting() const;
    void SetOpenModeSetting(int item);

    TXMainLogin* Login() const { return mLogin; }
    TXShellUser* User() const { return mUser.get(); }
    bool Ending() const { return mEnding; }
    void SetEnding(bool ending) { mEnding = ending; }
    bool Terminating() const { return mTerminating; }

    // ---- the open screens (frames add and remove themselves)
    void RegisterFrame(TFXFrame* frame);
    void UnregisterFrame(TFXFrame* frame); // only when present
    int FrameCount() const { return static_cast<int>(mFrames.size()); }
    TFXFrame* Frame(int index) const { return mFrames.at(static_cast<size_t>(index)); }
    // Closes the first frame, forced, while frames remain.
    void CloseAllFrames();

    // Opens a screen of frameClass; nullptr when it could not be created (or, for omModal, once it is
    // gone again).
    TFXFrame* OpenFrame(const TXFrameClass& frameClass, TFXFrame* caller,
                        std::unique_ptr<TXCallData> callData, QWidget* container, int openMode);
    // The class registered under className; nullptr when none is.
    TFXFrame* OpenFrame(const std::string& className, TFXFrame* caller, std::unique_ptr<TXCallData> callData,
                        QWidget* container, int openMode);
    // Where a screen of that kind goes: omTab (with its page control), omWindow, omPanel or omModal.
    int ResolveOpenMode(TXFrameKind kind, QWidget* container, int openMode, QTabWidget** pageControl) const;

    // Sets Ending; closes the login window when open, else ends the program.
    void RequestExit();
    void ShowLogin();
    // Called by the login once its window has closed.
    void LoginClosed(TXMainLogin* login);
    virtual void Logout();

    virtual void UserChanged() {}
    virtual QTabWidget* GetPageControl() const { return nullptr; }
    // The application user of this window (the hook's class, else a plain record).
    virtual std::unique_ptr<TXShellUser> GetUserClass();
    virtual void AfterLogin() {}
    // Ends the program (the window is destroyed by whoever owns it once the event loop returns).
    virtual void Terminate();

    // How long the destruction keeps processing window messages.
    int DestroyWaitMs = 2000;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // First show; the framework start: the user, its change callback and the posted Logout.
    virtual void FormShow();
    // Whether the window may close: asks when screens are open, then closes them.
    virtual bool FormClose();
    // Runs once, from the most derived destructor.
    virtual void FormDestroy();
    // After the login window had its OnUpgradedVersion.
    virtual void UpgradedVersion(const std::string& cfg, bool ok, const TXVersion& v);

    bool mDestroyed = false;

private:
    void ConnectEvents(); // UFXMainEvents.cpp
    void ErrorMessage(const std::string& msg, TXData& d);
    QWidget* CreateContainer(int mode, QTabWidget* pageControl, QWidget* container, const QString& caption);

    std::unique_ptr<TXTCPClientPack> mDSClient;
    std::unique_ptr<TXDataClient> mDC;
    TXConfiguration mConfiguration;
    QGroupBox* mRG = nullptr;
    QButtonGroup* mRGButtons = nullptr;
    TXMainLogin* mLogin = nullptr;
    std::unique_ptr<TXShellUser> mUser;
    std::vector<TFXFrame*> mFrames;
    bool mEnding = false;
    bool mTerminating = false;
    bool mShown = false;
};

// The application's main window; nullptr when there is none.
TFXMain* MainWindow();
// OpenFrame on the application's main window; nothing (nullptr) without one.
TFXFrame* OpenFrame(const TXFrameClass& frameClass, TFXFrame* caller = nullptr,
                    std::unique_ptr<TXCallData> callData = nullptr, QWidget* container = nullptr,
                    int openMode = omDefault);
TFXFrame* OpenFrame(const std::string& className, TFXFrame* caller = nullptr,
                    std::unique_ptr<TXCallData> callData = nullptr, QWidget* container = nullptr,
                    int openMode = omDefault);
