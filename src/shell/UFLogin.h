#pragma once
// The application's login: the user table check and the rights, and the version check of the
// application's configuration against the schema the program carries.

#include "shell/UFXLogin.h"

class TFLogin : public TFXLogin {
    Q_OBJECT
public:
    // The configuration whose schema version is checked.
    static constexpr const char* kVersionCFG = "Sarvolentis";

    explicit TFLogin(const TXLoginLinks& links, QWidget* parent = nullptr);
    ~TFLogin() override;

protected:
    void ApplicationLogin() override;
    void LoginSelect(const std::string& id, TXSQL& sql) override;
    bool AllOpenStep() override;
    std::unique_ptr<TXDBUpgrade> CreateUpgradeLogic() override;

private:
    void FillUser(TXSQL& row);
};

// Installs the application's login window and user record in the shell hooks (at start-up, before
// the main window is shown).
void InstallLogin();
