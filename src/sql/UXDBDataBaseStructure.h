#pragma once
// The database definition the program carries: schema script lines, schema version and the parsed tables.

#include "foundation/UXVersion.h"
#include "sql/UXDBTable.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum TXDBManagerType : uint8_t {
    dbmInterbase,
};

class TXDBDataBaseStructure {
public:
    TXDBDataBaseStructure() = default;
    TXDBDataBaseStructure(const TXDBDataBaseStructure&) = delete;
    TXDBDataBaseStructure& operator=(const TXDBDataBaseStructure&) = delete;

    const std::vector<std::string>& Script() const { return mScript; }
    void SetScript(const std::vector<std::string>& lines) { mScript = lines; }
    void SetScriptText(std::string_view text); // split at line breaks (LF or CR LF)

    std::string Version() const { return VersionToStr(mVersion); }
    void SetVersion(std::string_view text) { mVersion = StrToVersion(text); }
    const TXVersion& VersionValue() const { return mVersion; }

    std::string DBOwner;
    TXDBManagerType ManagerType = dbmInterbase;

    // Drops the parsed tables unless keepTables, then parses Script. Each error is appended as
    // line + " \"" + token + "\": " + message.
    void ParseScript(std::vector<std::string>* errors = nullptr, bool keepTables = false);
    // After the component is set up: parse once, errors ignored.
    void Loaded() { ParseScript(nullptr, false); }

    size_t TableCount() const { return mTables.size(); }
    TXDBTable& Table(size_t i) const { return *mTables[i]; }
    TXDBTable* TableByName(std::string_view name) const; // without regard to case; nullptr when absent
    TXDBTable& AddTable(std::string_view name);          // throws std::runtime_error "Table already added"
    void ClearTables() { mTables.clear(); }

private:
    std::vector<std::string> mScript;
    TXVersion mVersion;
    std::vector<std::unique_ptr<TXDBTable>> mTables;
};
