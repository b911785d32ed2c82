#pragma once
// The login settings file: server address and port, the address-list source and the configurations
// with their passwords, stored encrypted in the application folder as <application>.lgn with the
// previous copy kept as <application>.bkp.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct TXLoginSettings {
    static constexpr int kFormatVersion = 2;
    static constexpr int kDefaultPort = 59504;
    // The port of a file written before the port was stored.
    static constexpr int kVersion1Port = 80;

    std::string IP = "127.0.0.1";
    std::string Port = std::to_string(kDefaultPort);
    bool UseIPSeek = true;
    std::string Host;
    std::string User;
    std::string Password;
    std::string FileName;
    // (configuration name, configuration password); the data server's default configuration at first.
    std::vector<std::pair<std::string, std::string>> Configurations{{"SARVOLENTIS", ""}};

    // "<folder><application or Default>.lgn"; folder ends with a separator (AppFolder()).
    static std::string FilePath(const std::string& folder, std::string_view application);
    static std::string BackupPath(const std::string& lgnPath);

    // The stored form and back; FromStored throws (EXDataError / std::runtime_error) on a bad form.
    std::string ToStored() const;
    static TXLoginSettings FromStored(std::string_view stored);

    // False, leaving *this untouched, when the file is missing or unreadable.
    bool Load(const std::string& path);
    // Deletes the .bkp, renames the current file to .bkp, writes the new file. False on an I/O error.
    bool Save(const std::string& path) const;
};
