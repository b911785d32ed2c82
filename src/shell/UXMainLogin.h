#pragma once
// The login window as the main window sees it: the connection and data-client events it passes on
// while the window is open, and the two requests it makes. The login implements this interface.
//
// Life cycle: the main window obtains the login from ShellHooks().CreateLogin, calls ShowModal()
// and, once the window has closed, the login calls TFXMain::LoginClosed(this). The login frees
// itself (after LoginClosed, e.g. through TXMainExec::FreeLater); the main window never deletes it.

#include <cstdint>
#include <string>

struct TXVersion;

class TXMainLogin {
public:
    virtual ~TXMainLogin() = default;

    // Shows the window modally; may return at once (window-modal) or once the window has closed.
    virtual void ShowModal() = 0;
    // Closes the window without asking (the program is ending).
    virtual void CloseLogin() = 0;
    // The server was still opening a configuration: prove the configurations again.
    virtual void RepeatConfigurationLogin() {}

    virtual void Connected() {}
    virtual void ConnectError(const std::string& msg) { (void)msg; }
    virtual void Disconnected() {}
    virtual void IDReceived() {}
    virtual void AuthCheck(const std::string& cfg, bool ok, int32_t authLeft) {
        (void)cfg, (void)ok, (void)authLeft;
    }
    virtual void CFGVersion(const std::string& cfg, const TXVersion& v) { (void)cfg, (void)v; }
    virtual void LockResult(const std::string& cfg, const std::string& lu, bool success) {
        (void)cfg, (void)lu, (void)success;
    }
    virtual void LockExclusive(const std::string& cfg) { (void)cfg; }
    virtual void UpgradeMsg(const std::string& code, const std::string& msg) { (void)code, (void)msg; }
    virtual void UpgradeBeginCompleted(const std::string& cfg, bool updated) { (void)cfg, (void)updated; }
    virtual void UpgradeEndCompleted(const std::string& cfg, TXVersion& v) { (void)cfg, (void)v; }
    virtual void UpgradedVersion(const std::string& cfg, bool ok, const TXVersion& v) {
        (void)cfg, (void)ok, (void)v;
    }
};
