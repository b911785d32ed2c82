#include "server/UXSchemaUpgrade.h"

#include "server/UXSQLiteBackup.h"
#include "server/engines/UXEngine.h"
#include "server/schema/UXLiveCatalog.h"
#include "server/schema/UXSchemaApplier.h"
#include "sql/UXDBDataBaseStructure.h"

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// Where the versions reached by earlier upgrades are remembered, by script.
constexpr const char* kCreateUpgradeTable =
    "CREATE TABLE IF NOT EXISTS XDS_UPGRADE (SCRIPT_HASH VARCHAR(32) NOT NULL, VERSION_TEXT VARCHAR(40) "
    "NOT NULL, CONSTRAINT XPKXDS_UPGRADE PRIMARY KEY (SCRIPT_HASH))";

// Parse errors shown to the client; the rest are counted.
constexpr size_t kMaxErrorLines = 10;

class TXLease {
public:
    explicit TXLease(TXEngine& e) : mEngine(e), mConn(e.Acquire()) {}
    ~TXLease() { mEngine.Release(std::move(mConn)); }
    TXLease(const TXLease&) = delete;
    TXLease& operator=(const TXLease&) = delete;
    TXEngineConnection* operator->() { return mConn.get(); }
    TXEngineConnection& operator*() { return *mConn; }

private:
    TXEngine& mEngine;
    std::unique_ptr<TXEngineConnection> mConn;
};

TXVersion Normalised(TXVersion v) {
    if (v.Invalid)
        return TXVersion{};
    return v;
}

bool IsReal(const TXVersion& v) {
    return !v.Invalid && CompareVersions(v, TXVersion{}) > 0;
}

// The statement's head for progress and error texts: "CREATE TABLE UF", "CREATE VIEW V".
std::string Head(const std::string& sql) {
    size_t end = sql.find('(');
    const size_t as = sql.find(" AS ");
    if (as < end)
        end = as;
    std::string h = sql.substr(0, end);
    while (!h.empty() && h.back() == ' ')
        h.pop_back();
    return h.size() > 100 ? h.substr(0, 100) : h;
}

} // namespace

TXSchemaUpgrade::TXSchemaUpgrade(TXEngine& engine, std::string sqlitePath, TXMessageFn message)
    : mEngine(engine), mSQLitePath(std::move(sqlitePath)), mMessage(std::move(message)) {
    if (!mMessage)
        mMessage = [](const std::string&) {};
}

std::string TXSchemaUpgrade::ScriptHash(std::string_view script) {
    // FNV-1a over the text without carriage returns and trailing blanks.
    size_t end = script.size();
    while (end > 0 && (script[end - 1] == '\n' || script[end - 1] == '\r' || script[end - 1] == ' ' ||
                       script[end - 1] == '\t'))
        --end;
    uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < end; ++i) {
        if (script[i] == '\r')
            continue;
        h ^= static_cast<unsigned char>(script[i]);
        h *= 1099511628211ull;
    }
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    return buf;
}

void TXSchemaUpgrade::RecordVersion(const std::string& scriptHash, const TXVersion& v) {
    TXLease c(mEngine);
    c->Begin();
    c->Execute(kCreateUpgradeTable, {});
    c->Execute("DELETE FROM XDS_UPGRADE WHERE SCRIPT_HASH = :h", {{"h", TXVariant::FromString(scriptHash)}});
    c->Execute("INSERT INTO XDS_UPGRADE (SCRIPT_HASH, VERSION_TEXT) VALUES (:h, :v)",
               {{"h", TXVariant::FromString(scriptHash)}, {"v", TXVariant::FromString(VersionToStr(v))}});
    c->Commit();
}

TXUpgradeResult TXSchemaUpgrade::Begin(const TXUpgradeRequest& request) {
    TXUpgradeResult result;
    TXDBDataBaseStructure db;
    db.SetScriptText(request.script);
    std::vector<std::string> errors;
    db.ParseScript(&errors);
    if (!errors.empty()) {
        result.error =
            "the schema script has " + std::to_string(errors.size()) + " error(s), nothing applied:";
        for (size_t i = 0; i < errors.size() && i < kMaxErrorLines; ++i)
            result.error += "\r\n" + errors[i];
        if (errors.size() > kMaxErrorLines)
            result.error += "\r\n...";
        return result;
    }
    if (db.TableCount() == 0) {
        result.error = "the schema script defines no table, nothing applied";
        return result;
    }
    const TXSchemaDialect dialect = mEngine.EngineName() == "postgres" ? sdPostgres : sdSQLite;

    std::string step = "reading the database";
    try {
        const TXVersion stored = Normalised(mEngine.StoredVersion());
        TXLease c(mEngine);
        // One transaction from the catalog read to the last view: SQLite takes the write lock here,
        // so nobody changes the database between what is planned and what is done.
        c->Begin();
        mMessage("checking the database structure");
        const TXLiveCatalog live = ReadLiveCatalog(dialect, [&](const std::string& sql) {
            std::vector<std::vector<std::string>> rows;
            for (auto& row : c->Execute(sql, {}).rows) {
                auto& out = rows.emplace_back();
                for (auto& v : row)
                    out.push_back(v.IsEmptyOrNull() ? std::string() : v.AsString());
            }
            return rows;
        });
        std::vector<std::string> changes = SchemaChanges(db, live, dialect);
        for (std::string& v : ReportViewChanges(db, live, dialect))
            changes.push_back(std::move(v));

        TXVersion target;
        target.Invalid = true;
        if (live.HasTable("XDS_UPGRADE")) {
            auto r = c->Execute("SELECT VERSION_TEXT FROM XDS_UPGRADE WHERE SCRIPT_HASH = :h",
                                {{"h", TXVariant::FromString(ScriptHash(request.script))}});
            if (!r.rows.empty() && !r.rows[0].empty() && !r.rows[0][0].IsEmptyOrNull())
                target = StrToVersion(r.rows[0][0].AsString());
        }
        const bool reached = !target.Invalid && CompareVersions(stored, target) >= 0;
        const bool movedOn =
            !request.seen.Invalid && CompareVersions(stored, request.seen) > 0 && changes.empty();
        result.updated = reached || movedOn;

        if (request.backup && IsReal(stored) && !mSQLitePath.empty() &&
            (!result.updated || !changes.empty())) {
            step = "backing up the database";
            mMessage("backing up the database");
            std::string files;
            for (const std::string& f : BackupSQLiteDatabase(mSQLitePath, VersionToStr(stored)))
                files += (files.empty() ? "" : ", ") + f;
            mMessage("backup written: " + files);
        }

        for (size_t i = 0; i < changes.size(); ++i) {
            step = Head(changes[i]);
            mMessage(step + " (" + std::to_string(i + 1) + "/" + std::to_string(changes.size()) + ")");
            c->Execute(changes[i], {});
        }
        step = "committing";
        c->Commit();
        mMessage(changes.empty() ? std::string("the database structure is up to date")
                                 : std::to_string(changes.size()) + " change(s) applied");
        result.ok = true;
    } catch (const std::exception& e) {
        // The lease rolls the transaction back.
        result.ok = false;
        result.updated = false;
        result.error = std::string(e.what()) + " (" + step + "), nothing applied";
    }
    return result;
}
