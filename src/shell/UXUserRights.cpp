#include "shell/UXUserRights.h"

#include <algorithm>
#include <memory>

namespace {

bool SameText(std::string_view a, std::string_view b) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

bool Contains(const std::vector<std::string>& list, std::string_view code) {
    return std::any_of(list.begin(), list.end(), [&](const std::string& c) { return SameText(c, code); });
}

} // namespace

std::vector<std::string> TXUserRights::SplitCodes(std::string_view codes) {
    std::vector<std::string> out;
    while (!codes.empty()) {
        const size_t sep = codes.find(';');
        out.emplace_back(codes.substr(0, sep));
        codes = sep == std::string_view::npos ? std::string_view{} : codes.substr(sep + 1);
    }
    return out;
}

void TXUserRights::ClearRights() {
    mAll = false;
    mGlobal.clear();
    mScreens.clear();
}

void TXUserRights::GrantAll() {
    ClearRights();
    mAll = true;
}

void TXUserRights::AddGlobalRights(std::string_view codes) {
    for (auto& c : SplitCodes(codes))
        mGlobal.push_back(std::move(c));
}

void TXUserRights::AddScreenRights(std::string_view screen, std::string_view codes) {
    auto it = std::find_if(mScreens.begin(), mScreens.end(),
                           [&](const auto& s) { return SameText(s.first, screen); });
    if (it == mScreens.end()) {
        mScreens.emplace_back(std::string(screen), std::vector<std::string>{});
        it = std::prev(mScreens.end());
    }
    for (auto& c : SplitCodes(codes))
        it->second.push_back(std::move(c));
}

void TXUserRights::AddGroupRow(std::string_view screen, std::string_view codes) {
    if (screen == AllScreens)
        AddGlobalRights(codes);
    else
        AddScreenRights(screen, codes);
}

const std::vector<std::string>* TXUserRights::ScreenCodes(std::string_view screen) const {
    auto it = std::find_if(mScreens.begin(), mScreens.end(),
                           [&](const auto& s) { return SameText(s.first, screen); });
    return it == mScreens.end() ? nullptr : &it->second;
}

bool TXUserRights::HasRight(std::string_view screen, std::string_view code) const {
    if (mAll || screen == AnyScreen)
        return true;
    if (Contains(mGlobal, code))
        return true;
    const auto* list = ScreenCodes(screen);
    return list && Contains(*list, code);
}

namespace {
std::unique_ptr<TXUserRights> gUserRights;
}

TXUserRights& UserRights() {
    if (!gUserRights)
        gUserRights = std::make_unique<TXUserRights>();
    return *gUserRights;
}

void FreeUserRights() {
    gUserRights.reset();
}
