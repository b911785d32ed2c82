#pragma once
// The dialog service of sarvolentis-admin: no window ever opens; every text the client's components
// would show goes to stderr and marks the run as failed (a headless run has nobody to tell).

#include "foundation/UXDialogs.h"

#include <iosfwd>
#include <string>
#include <vector>

class TXAdminDialogs : public TXDialogService {
public:
    explicit TXAdminDialogs(std::ostream& err) : mErr(err) {}

    // A text was shown.
    bool Failed = false;
    // Every text shown, UTF-8, in order.
    std::vector<std::string> Texts;

    void Message(TXMsgDlgType kind, const std::string& text) override;
    // Answers the default button.
    TXMsgDlgBtn Ask(const std::string& text, TXMsgDlgType kind, TXMsgDlgButtons buttons,
                    TXMsgDlgBtn defaultButton) override;
    std::string OpenFileName(const std::string& title, const std::string& filter,
                             const std::string& initialPath) override;
    std::string SaveFileName(const std::string& title, const std::string& filter,
                             const std::string& initialPath) override;
    std::string ChooseFolder(const std::string& title, const std::string& initialPath) override;
    bool StartProgram(const std::string& program, const std::vector<std::string>& args) override;

private:
    std::ostream& mErr;
};
