#pragma once
// Shared pieces of the main-window tests: a small screen class, a login that records what the main
// window passes on, a main window that records instead of ending the program, and event pumping.

#include "foundation/UCp1252.h"
#include "foundation/UXDialogs.h"
#include "foundation/UXMainExec.h"
#include "shell/UFMain.h"
#include "shell/UFXFrame.h"
#include "shell/UXFrameClasses.h"
#include "shell/UXMainLogin.h"
#include "shell/UXShellHooks.h"
#include "shell/UXShellUser.h"
#include "shell/UXUserRights.h"
#include "support/UWaitFor.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

inline std::string Cp(const char* utf8) {
    return Utf8ToCp1252(utf8);
}

class TestFrame : public TFXFrame {
public:
    explicit TestFrame(QWidget* container, QString caption = QStringLiteral("Teste")) : TFXFrame(container) {
        setWindowTitle(caption);
        resize(320, 200);
    }
    void SetUpdateMode() override { UpdateMode = true; }
    bool UpdateMode = false;
};

// Registers test screens for the lifetime of the scope.
class FrameClassScope {
public:
    FrameClassScope& Add(const std::string& name, TXFrameKind kind = fkOther) {
        RegisterFrameClass(
            {name, kind, [name](QWidget* c) { return new TestFrame(c, QString::fromStdString(name)); }});
        mNames.push_back(name);
        return *this;
    }
    ~FrameClassScope() {
        for (const auto& n : mNames)
            UnregisterFrameClass(n);
    }

private:
    std::vector<std::string> mNames;
};

class TestLogin : public TXMainLogin {
public:
    explicit TestLogin(TFXMain& main) : Main(main) {}
    void ShowModal() override { Log.push_back("show"); }
    void CloseLogin() override {
        Log.push_back("close");
        Main.LoginClosed(this);
    }
    void RepeatConfigurationLogin() override {
        Log.push_back("repeat");
        if (OnRepeat)
            OnRepeat();
    }
    void Connected() override { Log.push_back("connected"); }
    void Disconnected() override { Log.push_back("disconnected"); }
    void IDReceived() override {
        Log.push_back("id");
        if (OnId)
            OnId();
    }
    void AuthCheck(const std::string& cfg, bool ok, int32_t left) override {
        Log.push_back("auth " + cfg + (ok ? " ok " : " failed ") + std::to_string(left));
        if (OnAuth)
            OnAuth(ok);
    }
    void UpgradedVersion(const std::string& cfg, bool, const TXVersion&) override {
        Log.push_back("upgraded " + cfg);
    }

    // Accepts the login as the real one does: the user is logged, then the window closes.
    void Accept(const std::string& code = "ANA", int32_t id = 7) {
        if (auto* u = dynamic_cast<TXShellUserRecord*>(Main.User())) {
            u->SetCode(code);
            u->SetId(id);
            u->SetName("Ana Souza");
        }
        Main.User()->SetLogged(true);
        Main.LoginClosed(this);
    }

    TFXMain& Main;
    std::vector<std::string> Log;
    std::function<void()> OnId;
    std::function<void()> OnRepeat;
    std::function<void(bool)> OnAuth;
};

// Installs a recording login (and the plain user record) while it lives.
class LoginHook {
public:
    LoginHook() {
        ShellHooks().CreateUser = nullptr;
        ShellHooks().CreateLogin = [this](TFXMain& main) -> TXMainLogin* {
            Logins.push_back(std::make_unique<TestLogin>(main));
            return Logins.back().get();
        };
    }
    ~LoginHook() { ShellHooks().CreateLogin = nullptr; }
    TestLogin* Last() const { return Logins.empty() ? nullptr : Logins.back().get(); }
    std::vector<std::unique_ptr<TestLogin>> Logins;
};

class TestMain : public TFMain {
public:
    TestMain() { DestroyWaitMs = 0; }
    void Terminate() override { ++Terminated; }
    int Terminated = 0;
};

class TestBareMain : public TFXMain {
public:
    TestBareMain() { DestroyWaitMs = 0; }
    void Terminate() override { ++Terminated; }
    int Terminated = 0;
};

// Shows the main window and lets it reach the login (the posted Logout, then ShowLogin).
inline TestLogin* ShowUntilLogin(TFXMain& main, LoginHook& hook) {
    main.show();
    const size_t before = hook.Logins.size();
    if (!WaitFor([&] { return hook.Logins.size() > before; }, 3000))
        return nullptr;
    return hook.Last();
}

inline int RunMainWindowTests(int argc, char** argv) {
    QTemporaryDir home;
    setenv("SARVOLENTIS_HOME", home.path().toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    // No test may meet a real dialog; tests that look at the dialogs install their own.
    TXScriptedDialogs fallback;
    TXDialogServiceScope scope(fallback);
    testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    FreeUserRights();
    return rc;
}
