#pragma once
// Brings one configuration's database up to a client's schema script (the UPGRADEBEGIN work) on a
// worker thread: parses the script, creates what the database lacks and the report views, all in one
// transaction, so a failure leaves the database as it was. Nothing is ever dropped or narrowed.
//
// The two upgrade flags of the request:
// - the first asks that no data be lost; the server never drops, retypes or narrows anything, so it
//   holds whatever the flag says;
// - the second asks for a backup before a database that already carries a version is changed:
//   SQLite gets a consistent copy of its file (and of the generators' ".xds" companion) beside it,
//   named "<db>.bak-<stored version>"; PostgreSQL relies on the one transaction.

#include "foundation/UXVersion.h"

#include <functional>
#include <string>
#include <string_view>

class TXEngine;

struct TXUpgradeRequest {
    std::string script;    // the client's whole script text
    bool keepData = false; // first flag
    bool backup = false;   // second flag
    TXVersion seen;        // the version this connection was last told; Invalid when it never asked
};

struct TXUpgradeResult {
    bool ok = false;
    bool updated = false; // another client already brought the database to this script
    std::string error;    // when not ok: for the client, ready to show
};

class TXSchemaUpgrade {
public:
    using TXMessageFn = std::function<void(const std::string& message)>;

    // sqlitePath: the database file when the engine is SQLite (for the backup), else empty.
    TXSchemaUpgrade(TXEngine& engine, std::string sqlitePath, TXMessageFn message);

    // The UPGRADEBEGIN work. Never throws.
    //
    // The request does not say which version the script stands for, so "already updated" is judged
    // from what the database remembers: the version stored after this very script was applied
    // before (see RecordVersion) is reached, or another client stored a newer version since this
    // connection asked and the script has nothing left to create.
    TXUpgradeResult Begin(const TXUpgradeRequest& request);

    // After SETVERSION stored v at the end of an upgrade with the script of this hash.
    void RecordVersion(const std::string& scriptHash, const TXVersion& v);

    // Stable across runs and line-break styles.
    static std::string ScriptHash(std::string_view script);

private:
    TXEngine& mEngine;
    std::string mSQLitePath;
    TXMessageFn mMessage;
};
