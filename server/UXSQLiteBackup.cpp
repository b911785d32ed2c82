#include "server/UXSQLiteBackup.h"

#include <filesystem>
#include <sqlite3.h>
#include <stdexcept>

namespace {

// VACUUM INTO reads one snapshot, so the copy is consistent even while others read or write.
void CopyInto(const std::string& from, const std::string& to) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(from.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        const std::string e = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw std::runtime_error(e + ": " + from);
    }
    sqlite3_busy_timeout(db, 30000);
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, "VACUUM INTO ?1", -1, &st, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_bind_text(st, 1, to.c_str(), static_cast<int>(to.size()), SQLITE_TRANSIENT);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(st);
    const std::string e = sqlite3_errmsg(db);
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (rc != SQLITE_DONE) {
        std::error_code ignored;
        std::filesystem::remove(to, ignored);
        throw std::runtime_error(e + ": " + to);
    }
}

} // namespace

std::vector<std::string> BackupSQLiteDatabase(const std::string& dbPath, const std::string& tag) {
    namespace fs = std::filesystem;
    const std::string base = dbPath + ".bak-" + tag;
    std::string target = base;
    for (int n = 2; fs::exists(target) || fs::exists(target + ".xds"); ++n)
        target = base + "-" + std::to_string(n);
    std::vector<std::string> written;
    CopyInto(dbPath, target);
    written.push_back(target);
    if (fs::exists(dbPath + ".xds")) {
        CopyInto(dbPath + ".xds", target + ".xds");
        written.push_back(target + ".xds");
    }
    return written;
}
