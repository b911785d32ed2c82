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

// Shows the login modally over parent after the current event (through the deferred-call queue):
// creates a TFLogin, binds it to the transport and data client events while it is open, and calls
// done(logged) once it has closed. The screen is deleted afterwards.
void PostLogin(const TXLoginLinks& links, QWidget* parent, std::function<void(bool logged)> done);
