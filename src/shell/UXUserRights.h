#pragma once

#include "foundation/UXObject.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The logged-in user's rights: codes valid on every screen plus codes per screen.
// Codes and screen names compare without regard to letter case; repetitions are harmless.
class TXUserRights : public TXObject {
public:
    TXUserRights() : TXObject("TXUserRights") {}

    // The screen name that every check accepts.
    static constexpr std::string_view AnyScreen = "-";
    // The screen value of a group row that grants its codes on every screen.
    static constexpr std::string_view AllScreens = "*";

    // Empties both lists and withdraws GrantAll.
    void ClearRights();
    // Every code on every screen until the next ClearRights: the login accepted because no user is
    // registered yet, so that the first persons, users and groups can be registered.
    void GrantAll();
    bool AllGranted() const { return mAll; }
    void AddGlobalRights(std::string_view codes);
    void AddScreenRights(std::string_view screen, std::string_view codes);
    bool HasRight(std::string_view screen, std::string_view code) const;
    // One group row (screen or "*", codes) as the login reads them.
    void AddGroupRow(std::string_view screen, std::string_view codes);

    const std::vector<std::string>& GlobalCodes() const { return mGlobal; }
    const std::vector<std::string>* ScreenCodes(std::string_view screen) const;

    // Splits a ";"-joined list the way the group editor writes it: "A;;B" gives A, "" and B.
    static std::vector<std::string> SplitCodes(std::string_view codes);

private:
    bool mAll = false;
    std::vector<std::string> mGlobal;
    std::vector<std::pair<std::string, std::vector<std::string>>> mScreens;
};

// The process-wide instance, created on first use; FreeUserRights destroys it at exit, before the
// report of live objects.
TXUserRights& UserRights();
void FreeUserRights();
