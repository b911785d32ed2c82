#include "shell/UXLoginSettings.h"

#include "foundation/UXCipher.h"
#include "foundation/UXData.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

std::string TXLoginSettings::FilePath(const std::string& folder, std::string_view application) {
    return folder + std::string(application.empty() ? std::string_view("Default") : application) + ".lgn";
}

std::string TXLoginSettings::BackupPath(const std::string& lgnPath) {
    std::filesystem::path p(lgnPath);
    p.replace_extension(".bkp");
    return p.string();
}

std::string TXLoginSettings::ToStored() const {
    TXData d;
    Init(d);
    PutI(d, kFormatVersion);
    PutS(d, IP);
    PutBool(d, UseIPSeek);
    PutS(d, Host);
    PutS(d, User);
    PutS(d, Password);
    PutS(d, FileName);
    PutI(d, static_cast<int32_t>(Configurations.size()));
    for (const auto& [name, password] : Configurations) {
        PutS(d, name);
        PutS(d, password);
    }
    PutS(d, Port);
    Finish(d);
    return EncryptText(d.Data, kSettingsKey);
}

TXLoginSettings TXLoginSettings::FromStored(std::string_view stored) {
    TXData d;
    ::Load(d, DecryptText(stored, kSettingsKey));
    TXLoginSettings s;
    const int32_t version = GetI(d);
    if (version != 1 && version != 2)
        throw std::runtime_error("login settings: unknown format version " + std::to_string(version));
    s.IP = GetS(d);
    s.UseIPSeek = GetBool(d);
    s.Host = GetS(d);
    s.User = GetS(d);
    s.Password = GetS(d);
    s.FileName = GetS(d);
    const int32_t n = GetI(d);
    // Each row takes at least two length fields: a larger count is a damaged file.
    if (n < 0 || n > d.Remaining() / 8)
        throw std::runtime_error("login settings: bad configuration count");
    s.Configurations.clear();
    for (int32_t i = 0; i < n; ++i) {
        std::string name = GetS(d);
        std::string password = GetS(d);
        s.Configurations.emplace_back(std::move(name), std::move(password));
    }
    s.Port = version >= 2 ? GetS(d) : std::to_string(kVersion1Port);
    return s;
}

bool TXLoginSettings::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    const std::string stored((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
        *this = FromStored(stored);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TXLoginSettings::Save(const std::string& path) const {
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string backup = BackupPath(path);
    fs::remove(backup, ec);
    if (fs::exists(path, ec))
        fs::rename(path, backup, ec);
    const std::string stored = ToStored();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(stored.data(), static_cast<std::streamsize>(stored.size()));
    out.close();
    return static_cast<bool>(out);
}
