#pragma once
// Parts of the shell that other modules supply: the login window, the user record and the update
// window. Set once at start-up (by the modules that provide them) before the main window is shown.

#include <functional>
#include <memory>

class TFXMain;
class TXMainLogin;
class TXShellUser;

struct TXShellHooks {
    // A new login window for main (its DC, DSClient, User and ConfigurationName); not owned by main.
    std::function<TXMainLogin*(TFXMain& main)> CreateLogin;
    // The application user; without it the main window uses a TXShellUserRecord.
    std::function<std::unique_ptr<TXShellUser>()> CreateUser;
    // Shows the update window; the "Atualização" action stays hidden without it.
    std::function<void(TFXMain& main)> ShowAppUpdate;
};

TXShellHooks& ShellHooks();
