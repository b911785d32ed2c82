// Schema upgrades through the data server over real TCP: the application's script applied to an empty
// database and checked against the engine's own catalog, repeated runs, failures that leave the database
// as it was, the backup flag and the exclusive lock.

#include "../protocol/UServerFixture.h"
#include "sql/UTBStruct_App.h"
#include "sql/UXDBDataBaseStructure.h"

#include <filesystem>
#include <map>
#include <set>
#include <sqlite3.h>

namespace {

const std::string kCfg = "SARVOLENTIS";

std::string CfgPayload(const std::string& cfg) {
    return Pack([&](TXData& d) { PutS(d, cfg); });
}

std::string Upper(std::string s) {
    for (char& ch : s)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return s;
}

// The client joins the script lines with CR LF.
std::string AppScriptText() {
    std::string text;
    for (char ch : AppSchemaScript())
        text += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    return text;
}

struct TUpgradeReply {
    bool failed = false;
    std::string error; // ERR UPGRADE message
    bool updated = false;
    std::vector<std::string> messages; // UPGRADEMSG texts for the configuration
};

std::string Version(TTestClient& c) {
    c.Send("CFG", "VERSION", CfgPayload(kCfg));
    TXData d = c.WaitFor("CFG", "VERSION").Data();
    GetS(d);
    return GetBool(d) ? GetS(d) : "(absent)";
}

void LockExclusive(TTestClient& c) {
    c.Send("CFG", "LOCK", CfgPayload(kCfg));
    c.WaitFor("CFG", "LOCK");
    TXData d = c.WaitFor("CFG", "LOCKEXCLUSIVE").Data();
    ASSERT_EQ(GetS(d), kCfg);
}

TUpgradeReply UpgradeBegin(TTestClient& c, const std::string& script, bool first = true, bool second = true) {
    c.Send("CFG", "UPGRADEBEGIN", Pack([&](TXData& d) {
               PutS(d, kCfg);
               PutS(d, script);
               PutBool(d, first);
               PutBool(d, second);
           }));
    TUpgradeReply r;
    for (;;) {
        TPack p = c.WaitIf(
            [](const TPack& q) {
                return (q.service == "CFG" && (q.command == "UPGRADEMSG" || q.command == "UPGRADEBEGIN")) ||
                       (q.service == "ERR" && q.command == "UPGRADE");
            },
            "upgrade reply", 60000);
        TXData d = p.Data();
        if (p.command == "UPGRADEMSG") {
            EXPECT_EQ(GetS(d), kCfg); // the code names the configuration
            r.messages.push_back(GetS(d));
            EXPECT_TRUE(d.AtEnd());
            continue;
        }
        EXPECT_EQ(GetS(d), kCfg);
        if (p.service == "ERR") {
            r.failed = true;
            r.error = GetS(d);
        } else {
            r.updated = GetBool(d);
        }
        EXPECT_TRUE(d.AtEnd());
        return r;
    }
}

// UPGRADEEND, then SETVERSION as the data client sends it; returns the SETVERSION outcome.
bool EndAndSetVersion(TTestClient& c, const std::string& script, const std::string& version) {
    c.Send("CFG", "UPGRADEEND", Pack([&](TXData& d) {
               PutS(d, kCfg);
               PutS(d, script);
           }));
    TXData e = c.WaitFor("CFG", "UPGRADEEND").Data();
    EXPECT_EQ(GetS(e), kCfg);
    EXPECT_TRUE(e.AtEnd());
    c.Send("CFG", "SETVERSION", Pack([&](TXData& d) {
               PutS(d, kCfg);
               PutS(d, version);
           }));
    TXData s = c.WaitFor("CFG", "SETVERSION").Data();
    EXPECT_EQ(GetS(s), kCfg);
    const bool ok = GetBool(s);
    if (ok) {
        EXPECT_EQ(GetS(s), version);
    }
    return ok;
}

void Unlock(TTestClient& c) {
    c.Send("CFG", "UNLOCK", CfgPayload(kCfg));
    c.WaitFor("CFG", "UNLOCK");
}

std::string Text(const TXVariant& v) {
    return v.IsEmptyOrNull() ? std::string() : v.AsString();
}

// What the engine's own catalog says, read through a session.
struct TCatalog {
    std::map<std::string, std::map<std::string, bool>> notNull; // table -> column -> NOT NULL
    std::set<std::string> uniqueIndexes;                        // index names
    std::set<std::string> foreignKeys; // SQLite: child.column>parent (no names kept); PostgreSQL: child.name
    std::set<std::string> views;
    std::vector<std::string> dump; // everything, to compare two states
};

std::vector<std::vector<std::string>> Rows(TSess& s, const std::string& sql) {
    TSelectResult r = s.Select(sql);
    EXPECT_EQ(r.error, "") << sql;
    std::vector<std::vector<std::string>> out;
    for (auto& row : r.rows) {
        auto& o = out.emplace_back();
        for (auto& v : row)
            o.push_back(Text(v));
    }
    return out;
}

TCatalog ReadCatalog(TSess& s) {
    TCatalog c;
    auto keep = [&](const std::string& kind, const std::vector<std::string>& row) {
        if (Upper(row[0]).find("XDS_") != std::string::npos ||
            Upper(row[1]).find("XDS_") != std::string::npos)
            return; // the server's own tables
        std::string line = kind;
        for (auto& f : row)
            line += "|" + f;
        c.dump.push_back(line);
    };
    if (UsePostgres()) {
        for (auto& r : Rows(s, "SELECT table_name, column_name, is_nullable, data_type, "
                               "character_maximum_length, numeric_precision, numeric_scale "
                               "FROM information_schema.columns WHERE table_schema = current_schema()")) {
            c.notNull[Upper(r[0])][Upper(r[1])] = r[2] == "NO";
            keep("column", r);
        }
        for (auto& r :
             Rows(s, "SELECT indexname, indexdef FROM pg_indexes WHERE schemaname = current_schema()")) {
            if (r[1].rfind("CREATE UNIQUE INDEX", 0) == 0)
                c.uniqueIndexes.insert(Upper(r[0]));
            keep("index", r);
        }
        for (auto& r :
             Rows(s, "SELECT table_name, constraint_name, constraint_type FROM "
                     "information_schema.table_constraints WHERE table_schema = current_schema()")) {
            if (r[2] == "FOREIGN KEY")
                c.foreignKeys.insert(Upper(r[0]) + "." + Upper(r[1]));
            keep("constraint", r);
        }
        for (auto& r : Rows(s, "SELECT table_name, view_definition FROM information_schema.views "
                               "WHERE table_schema = current_schema()")) {
            c.views.insert(Upper(r[0]));
            keep("view", r);
        }
    } else {
        for (auto& r : Rows(s, "SELECT m.name, p.name, p.\"notnull\", p.type FROM sqlite_master m "
                               "JOIN pragma_table_info(m.name) p WHERE m.type = 'table'")) {
            c.notNull[Upper(r[0])][Upper(r[1])] = r[2] == "1";
            keep("column", r);
        }
        for (auto& r : Rows(s, "SELECT i.name, i.\"unique\" FROM sqlite_master m "
                               "JOIN pragma_index_list(m.name) i WHERE m.type = 'table'"))
            if (r[1] == "1")
                c.uniqueIndexes.insert(Upper(r[0]));
        for (auto& r : Rows(s, "SELECT m.name, f.\"table\", f.\"from\" FROM sqlite_master m "
                               "JOIN pragma_foreign_key_list(m.name) f WHERE m.type = 'table'"))
            c.foreignKeys.insert(Upper(r[0]) + "." + Upper(r[2]) + ">" + Upper(r[1]));
        for (auto& r : Rows(s, "SELECT name FROM sqlite_master WHERE type = 'view'"))
            c.views.insert(Upper(r[0]));
        for (auto& r : Rows(s, "SELECT type, name, sql FROM sqlite_master"))
            keep("master", r);
    }
    std::sort(c.dump.begin(), c.dump.end());
    return c;
}

// The record type a script column must come back as.
TXSQLStructDataType ExpectedType(const TXDBField& f) {
    switch (f.Type) {
    case dftChar:
    case dftVarchar:
        return sftString;
    case dftNumber:
        return f.Decimals == 0 ? sftInteger : f.Decimals <= 4 ? sftCurrency : sftFloat;
    case dftDate:
    case dftDateTime:
    case dftTime:
        return sftDateTime;
    case dftBlob:
        return sftBlob;
    }
    return sftUnknown;
}

const std::vector<std::string> kViews = {"VPLANTIO_NCP_DUPL", "VPLANTIO_NCC_DUPL", "VCOLETA_NCC_DUPL"};

// Every table, column (record type, size, nullability), unique index and foreign key of the script is in
// the live database, and the report views answer.
void ExpectMatchesScript(TSess& s, const TXDBDataBaseStructure& db) {
    const TCatalog live = ReadCatalog(s);
    for (size_t i = 0; i < db.TableCount(); ++i) {
        const TXDBTable& t = db.Table(i);
        ASSERT_TRUE(live.notNull.count(t.Name())) << t.Name();
        const auto& cols = live.notNull.at(t.Name());
        EXPECT_EQ(cols.size(), t.FieldCount()) << t.Name();
        TSelectResult r = s.Select("SELECT * FROM " + t.Name() + " WHERE 1 = 0");
        ASSERT_EQ(r.error, "") << t.Name();
        ASSERT_EQ(r.fields.size(), t.FieldCount()) << t.Name();
        for (size_t k = 0; k < t.FieldCount(); ++k) {
            const TXDBField& f = t.Field(k);
            const std::string where = t.Name() + "." + f.Name;
            ASSERT_TRUE(cols.count(f.Name)) << where;
            // PostgreSQL makes primary key columns NOT NULL whatever the script says.
            const bool notNull = !f.Nullable || (UsePostgres() && f.PrimaryKeyPosition > 0);
            EXPECT_EQ(cols.at(f.Name), notNull) << where;
            EXPECT_EQ(Upper(r.fields[k].name), f.Name) << where;
            EXPECT_EQ(r.fields[k].type, ExpectedType(f)) << where;
            if (f.Type == dftChar || f.Type == dftVarchar) {
                EXPECT_EQ(r.fields[k].size, f.Size) << where;
            }
        }
        for (const auto& ix : t.Indexes())
            if (ix->Unique) {
                EXPECT_TRUE(live.uniqueIndexes.count(Upper(ix->Name()))) << ix->Name();
            }
        for (const auto& fk : t.ForeignKeys()) {
            const TXDBTable* parent = db.TableByName(fk->ReferencedTable());
            // A key whose columns do not match the parent's primary key cannot be declared.
            if (!parent || parent->PrimaryKey().FieldCount() != fk->FieldCount())
                continue;
            if (UsePostgres()) {
                EXPECT_TRUE(live.foreignKeys.count(t.Name() + "." + fk->Name())) << fk->Name();
            } else {
                for (const std::string& col : fk->Fields())
                    EXPECT_TRUE(live.foreignKeys.count(t.Name() + "." + col + ">" + parent->Name()))
                        << fk->Name() << " " << col;
            }
        }
    }
    size_t unique = 0;
    for (size_t i = 0; i < db.TableCount(); ++i)
        for (const auto& ix : db.Table(i).Indexes())
            unique += ix->Unique ? 1 : 0;
    EXPECT_EQ(unique, 4u);
    for (const std::string& v : kViews) {
        EXPECT_TRUE(live.views.count(v)) << v;
        EXPECT_EQ(s.Select("SELECT * FROM " + v).error, "") << v;
    }
}

} // namespace

class UpgradeTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped())
            return;
        SetupAppStructure(app);
        Start();
    }
    std::string DbFile() const { return server->DataDir() + "/" + kCfg + ".db"; }

    TXDBDataBaseStructure app;
};

TEST_F(UpgradeTest, EmptyDatabaseGetsTheApplicationSchemaAndARepeatChangesNothing) {
    TTestClient c(Port());
    ASSERT_TRUE(Login(c, kCfg, ""));
    ASSERT_EQ(Version(c), "0.0.0");
    LockExclusive(c);
    const TUpgradeReply first = UpgradeBegin(c, AppScriptText(), false, false);
    ASSERT_FALSE(first.failed) << first.error;
    EXPECT_FALSE(first.updated);
    EXPECT_GT(first.messages.size(), app.TableCount()); // progress per statement

    TSess s(c, 1);
    ExpectMatchesScript(s, app);
    // The unique indexes hold.
    EXPECT_EQ(s.Exec("INSERT INTO CODLOCAL (ID, CODIGO) VALUES (1, 'A')"), "");
    EXPECT_NE(s.Exec("INSERT INTO CODLOCAL (ID, CODIGO) VALUES (2, 'A')"), "");
    const TCatalog before = ReadCatalog(s);

    // Again before the version is stored (a client that failed in its population): nothing to do,
    // and the population must still run.
    const TUpgradeReply again = UpgradeBegin(c, AppScriptText());
    ASSERT_FALSE(again.failed) << again.error;
    EXPECT_FALSE(again.updated);
    EXPECT_EQ(ReadCatalog(s).dump, before.dump);

    ASSERT_TRUE(EndAndSetVersion(c, AppScriptText(), "1.0.13"));
    Unlock(c);

    // A later client with the same script finds it done.
    TTestClient d(Port());
    ASSERT_TRUE(Login(d, kCfg, ""));
    EXPECT_EQ(Version(d), "1.0.13");
    LockExclusive(d);
    const TUpgradeReply done = UpgradeBegin(d, AppScriptText());
    ASSERT_FALSE(done.failed) << done.error;
    EXPECT_TRUE(done.updated);
    EXPECT_EQ(ReadCatalog(s).dump, before.dump);
    if (!UsePostgres()) { // nothing was about to change, so nothing to back up
        EXPECT_FALSE(std::filesystem::exists(DbFile() + ".bak-1.0.13"));
    }
}

TEST_F(UpgradeTest, ClientsWaitingForTheLockFindTheUpgradeDone) {
    TTestClient a(Port()), b(Port()), old(Port());
    for (TTestClient* t : {&a, &b, &old}) {
        ASSERT_TRUE(Login(*t, kCfg, ""));
        ASSERT_EQ(Version(*t), "0.0.0");
    }
    LockExclusive(a);
    b.Send("CFG", "LOCK", CfgPayload(kCfg));
    b.WaitFor("CFG", "LOCK");
    old.Send("CFG", "LOCK", CfgPayload(kCfg));
    old.WaitFor("CFG", "LOCK");

    const TUpgradeReply ra = UpgradeBegin(a, AppScriptText());
    ASSERT_FALSE(ra.failed) << ra.error;
    EXPECT_FALSE(ra.updated);
    ASSERT_TRUE(EndAndSetVersion(a, AppScriptText(), "1.0.13"));
    Unlock(a);

    // Same script: the version stored for it is reached.
    b.WaitFor("CFG", "LOCKEXCLUSIVE");
    const TUpgradeReply rb = UpgradeBegin(b, AppScriptText());
    ASSERT_FALSE(rb.failed) << rb.error;
    EXPECT_TRUE(rb.updated);
    Unlock(b);

    // An older client whose script is part of the new one: the version moved on since it asked and
    // there is nothing of its script left to create.
    old.WaitFor("CFG", "LOCKEXCLUSIVE");
    std::string older(AppScriptText());
    older = older.substr(0, older.find("CREATE TABLE MUNICIPIO"));
    const TUpgradeReply ro = UpgradeBegin(old, older);
    ASSERT_FALSE(ro.failed) << ro.error;
    EXPECT_TRUE(ro.updated);
}

TEST_F(UpgradeTest, ScriptWithErrorsIsRefusedAndNothingIsApplied) {
    TTestClient c(Port());
    ASSERT_TRUE(Login(c, kCfg, ""));
    LockExclusive(c);
    TSess s(c, 1);
    const TCatalog before = ReadCatalog(s);
    // A good table first: it must not be created either.
    const std::string bad = "CREATE TABLE BOA (ID NUMBER(9) NOT NULL);\r\n"
                            "CREATE TABLE RUIM (ID NUMBER(9) NOT NULL, DATE VARCHAR2(10));\r\n";
    const TUpgradeReply r = UpgradeBegin(c, bad);
    ASSERT_TRUE(r.failed);
    EXPECT_NE(r.error.find("2 \"DATE\": invalid FIELD NAME"), std::string::npos) << r.error;
    EXPECT_EQ(ReadCatalog(s).dump, before.dump);

    const TUpgradeReply empty = UpgradeBegin(c, "\r\n");
    EXPECT_TRUE(empty.failed);
    EXPECT_EQ(ReadCatalog(s).dump, before.dump);
}

TEST_F(UpgradeTest, FailureHalfWayLeavesTheDatabaseAsItWas) {
    TTestClient c(Port());
    ASSERT_TRUE(Login(c, kCfg, ""));
    TSess s(c, 1);
    // An older CODLOCAL whose rows break the unique index the script adds last; before it come every
    // other table and the columns CODLOCAL lacks.
    ASSERT_EQ(s.Exec("CREATE TABLE CODLOCAL (ID INTEGER NOT NULL, CODIGO VARCHAR(20), CONSTRAINT XPKCODLOCAL "
                     "PRIMARY KEY (ID))"),
              "");
    ASSERT_EQ(s.Exec("INSERT INTO CODLOCAL (ID, CODIGO) VALUES (1, 'X')"), "");
    ASSERT_EQ(s.Exec("INSERT INTO CODLOCAL (ID, CODIGO) VALUES (2, 'X')"), "");
    const TCatalog before = ReadCatalog(s);

    LockExclusive(c);
    const TUpgradeReply r = UpgradeBegin(c, AppScriptText());
    ASSERT_TRUE(r.failed);
    EXPECT_NE(r.error.find("XAK_CODLOCAL_UNIQUE_01"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("nothing applied"), std::string::npos) << r.error;
    EXPECT_GT(r.messages.size(), app.TableCount()); // it got that far
    EXPECT_EQ(ReadCatalog(s).dump, before.dump);
    EXPECT_EQ(s.Select("SELECT ID FROM CODLOCAL").rows.size(), 2u);
    EXPECT_EQ(Version(c), "0.0.0");

    // Once the rows are put right the same upgrade goes through.
    ASSERT_EQ(s.Exec("UPDATE CODLOCAL SET CODIGO = 'Y' WHERE ID = 2"), "");
    const TUpgradeReply ok = UpgradeBegin(c, AppScriptText());
    ASSERT_FALSE(ok.failed) << ok.error;
    EXPECT_FALSE(ok.updated);
    // Columns added to an existing table are nullable (its rows have no value), so only their presence.
    const TCatalog after = ReadCatalog(s);
    for (size_t i = 0; i < app.TableCount(); ++i) {
        const TXDBTable& t = app.Table(i);
        ASSERT_TRUE(after.notNull.count(t.Name())) << t.Name();
        EXPECT_EQ(after.notNull.at(t.Name()).size(), t.FieldCount()) << t.Name();
    }
    for (const std::string& v : kViews)
        EXPECT_TRUE(after.views.count(v)) << v;
    EXPECT_EQ(s.Select("SELECT ID FROM CODLOCAL").rows.size(), 2u);
}

TEST_F(UpgradeTest, BackupFlagCopiesTheSQLiteFilesBeforeChangingAVersionedDatabase) {
    if (UsePostgres())
        GTEST_SKIP() << "PostgreSQL relies on the transaction";
    TTestClient c(Port());
    ASSERT_TRUE(Login(c, kCfg, ""));
    TSess s(c, 1);
    const std::string older = AppScriptText().substr(0, AppScriptText().find("CREATE TABLE MUNICIPIO"));
    LockExclusive(c);
    // No real version yet: no copy, whatever the flag says.
    ASSERT_FALSE(UpgradeBegin(c, older, true, true).failed);
    ASSERT_TRUE(EndAndSetVersion(c, older, "1.0.12"));
    EXPECT_FALSE(std::filesystem::exists(DbFile() + ".bak-0.0.0"));
    ASSERT_EQ(s.Exec("INSERT INTO UF (ID, NOME) VALUES (7, 'PARANA')"), "");

    const TUpgradeReply r = UpgradeBegin(c, AppScriptText(), true, true);
    ASSERT_FALSE(r.failed) << r.error;
    EXPECT_FALSE(r.updated);
    const std::string bak = DbFile() + ".bak-1.0.12";
    ASSERT_TRUE(std::filesystem::exists(bak));
    EXPECT_TRUE(std::filesystem::exists(bak + ".xds")); // the generators' companion
    bool mentioned = false;
    for (const std::string& m : r.messages)
        mentioned = mentioned || m.find(bak) != std::string::npos;
    EXPECT_TRUE(mentioned);

    // The copy is the database as it was: the old tables and rows, none of the new tables.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(bak.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    auto count = [&](const char* sql) {
        sqlite3_stmt* st = nullptr;
        int n = -1;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
        return n;
    };
    EXPECT_EQ(count("SELECT COUNT(*) FROM UF WHERE ID = 7"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM sqlite_master WHERE name = 'MUNICIPIO'"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM XDS_VERSION WHERE VERSION_TEXT = '1.0.12'"), 1);
    sqlite3_close(db);
    ExpectMatchesScript(s, app);

    // Without the flag no further copy is made, though there is something to create.
    ASSERT_TRUE(EndAndSetVersion(c, AppScriptText(), "1.0.13"));
    const TUpgradeReply plain =
        UpgradeBegin(c, AppScriptText() + "\r\nCREATE TABLE NOVA (ID NUMBER(9) NOT NULL);\r\n", true, false);
    ASSERT_FALSE(plain.failed) << plain.error;
    EXPECT_FALSE(plain.updated);
    EXPECT_FALSE(std::filesystem::exists(DbFile() + ".bak-1.0.13"));
}

TEST_F(UpgradeTest, OnlyTheHolderOfTheExclusiveLockMayUpgrade) {
    TTestClient a(Port()), b(Port());
    ASSERT_TRUE(Login(a, kCfg, ""));
    ASSERT_TRUE(Login(b, kCfg, ""));
    TSess s(a, 1);
    const TCatalog before = ReadCatalog(s);

    // Not queued at all, then queued behind another.
    for (int round = 0; round < 2; ++round) {
        if (round == 1) {
            LockExclusive(a);
            b.Send("CFG", "LOCK", CfgPayload(kCfg));
            b.WaitFor("CFG", "LOCK");
        }
        const TUpgradeReply r = UpgradeBegin(b, AppScriptText());
        ASSERT_TRUE(r.failed);
        EXPECT_NE(r.error.find("not locked"), std::string::npos) << r.error;
        EXPECT_TRUE(r.messages.empty());
        b.Send("CFG", "UPGRADEEND", Pack([&](TXData& d) {
                   PutS(d, kCfg);
                   PutS(d, AppScriptText());
               }));
        TXData e = b.WaitFor("ERR", "UPGRADE").Data();
        EXPECT_EQ(GetS(e), kCfg);
        b.Barrier();
        EXPECT_FALSE(b.Has("CFG", "UPGRADEEND"));
    }
    EXPECT_EQ(ReadCatalog(s).dump, before.dump);
    // Not logged in to the configuration at all.
    TTestClient stranger(Port());
    stranger.Send("CFG", "UPGRADEBEGIN", Pack([&](TXData& d) {
                      PutS(d, kCfg);
                      PutS(d, AppScriptText());
                      PutBool(d, true);
                      PutBool(d, true);
                  }));
    TXData m = stranger.WaitFor("ERR", "MUSTBELOGGED").Data();
    EXPECT_EQ(GetS(m), kCfg);
}
