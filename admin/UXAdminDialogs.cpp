#include "admin/UXAdminDialogs.h"

#include "foundation/UCp1252.h"

#include <ostream>

void TXAdminDialogs::Message(TXMsgDlgType, const std::string& text) {
    // Line breaks of the dialog texts become plain ones on a terminal.
    std::string t = Cp1252ToUtf8(text);
    std::string clean;
    clean.reserve(t.size());
    for (size_t i = 0; i < t.size(); ++i)
        if (!(t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n'))
            clean += t[i];
    mErr << "sarvolentis-admin: " << clean << "\n";
    mErr.flush();
    Texts.push_back(std::move(clean));
    Failed = true;
}

TXMsgDlgBtn TXAdminDialogs::Ask(const std::string& text, TXMsgDlgType kind, TXMsgDlgButtons,
                                TXMsgDlgBtn defaultButton) {
    Message(kind, text);
    return defaultButton;
}

std::string TXAdminDialogs::OpenFileName(const std::string&, const std::string&, const std::string&) {
    return {};
}

std::string TXAdminDialogs::SaveFileName(const std::string&, const std::string&, const std::string&) {
    return {};
}

std::string TXAdminDialogs::ChooseFolder(const std::string&, const std::string&) {
    return {};
}

bool TXAdminDialogs::StartProgram(const std::string&, const std::vector<std::string>&) {
    return false;
}
