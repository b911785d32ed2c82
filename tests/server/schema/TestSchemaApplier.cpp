// Schema applier: the DDL it plans, and that DDL run on real SQLite and PostgreSQL databases.

#include "server/schema/UXSchemaApplier.h"
#include "sql/UTBStruct_App.h"
#include "sql/UXDBDataBaseStructure.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Rows = std::vector<std::vector<std::string>>;

void ParseClean(TXDBDataBaseStructure& db, const std::string& script) {
    db.SetScriptText(script);
    std::vector<std::string> errors;
    db.ParseScript(&errors);
    if (!errors.empty())
        throw std::runtime_error(errors.front());
}

TEST(SchemaApplierTypes, MapsEveryScriptType) {
    TXDBDataBaseStructure db;
    ParseClean(db, "CREATE TABLE T (A NUMBER(4), B NUMBER(5), C NUMBER(9), D NUMBER(10), E NUMBER(18),"
                   " F NUMBER(19), G NUMBER(12,2), H VARCHAR2(60), I VARCHAR(3), J CHAR, K CHAR(2), L DATE,"
                   " M DATETIME, N TIME, O BLOB);");
    const std::vector<std::pair<std::string, std::string>> want = {
        {"NUMBER(4)", "smallint"},
        {"NUMBER(5)", "integer"},
        {"NUMBER(9)", "integer"},
        {"NUMBER(10)", "bigint"},
        {"NUMBER(18)", "bigint"},
        {"NUMBER(19)", "numeric(19)"},
        {"NUMBER(12,2)", "numeric(12,2)"},
        {"VARCHAR2(60)", "varchar(60)"},
        {"VARCHAR2(3)", "varchar(3)"},
        {"CHAR(1)", "char(1)"},
        {"CHAR(2)", "char(2)"},
        {"DATE", "timestamp"},
        {"DATETIME", "timestamp"},
        {"TIME", "time"},
        {"BLOB", "bytea"},
    };
    const TXDBTable& t = db.Table(0);
    ASSERT_EQ(t.FieldCount(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(SchemaColumnType(t.Field(i), sdSQLite), want[i].first) << t.Field(i).Name;
        EXPECT_EQ(SchemaColumnType(t.Field(i), sdPostgres), want[i].second) << t.Field(i).Name;
    }
}

const char* const kSmall =
    "CREATE TABLE P (ID NUMBER(9) NOT NULL, NOME VARCHAR2(30), CONSTRAINT XPKP PRIMARY KEY (ID));\n"
    "CREATE TABLE C (ID NUMBER(9) NOT NULL, ID_P NUMBER(9), CONSTRAINT XPKC PRIMARY KEY (ID),"
    " CONSTRAINT R_P_C FOREIGN KEY (ID_P) REFERENCES P);\n"
    "CREATE UNIQUE INDEX XAKC ON C (ID_P ASC, ID DESC);";

TEST(SchemaApplierPlan, EmptyDatabaseGetsEverything) {
    TXDBDataBaseStructure db;
    ParseClean(db, kSmall);
    const TXLiveCatalog none;
    EXPECT_EQ(
        SchemaChanges(db, none, sdSQLite),
        (std::vector<std::string>{
            "CREATE TABLE P (ID NUMBER(9) NOT NULL, NOME VARCHAR2(30), CONSTRAINT XPKP PRIMARY KEY (ID))",
            "CREATE TABLE C (ID NUMBER(9) NOT NULL, ID_P NUMBER(9), CONSTRAINT XPKC PRIMARY KEY (ID), "
            "CONSTRAINT R_P_C FOREIGN KEY (ID_P) REFERENCES P (ID))",
            "CREATE UNIQUE INDEX XAKC ON C (ID_P ASC, ID DESC)"}));
    EXPECT_EQ(SchemaChanges(db, none, sdPostgres),
              (std::vector<std::string>{
                  "CREATE TABLE P (ID integer NOT NULL, NOME varchar(30), CONSTRAINT XPKP PRIMARY KEY (ID))",
                  "CREATE TABLE C (ID integer NOT NULL, ID_P integer, CONSTRAINT XPKC PRIMARY KEY (ID))",
                  "ALTER TABLE C ADD CONSTRAINT R_P_C FOREIGN KEY (ID_P) REFERENCES P (ID)",
                  "CREATE UNIQUE INDEX XAKC ON C (ID_P ASC, ID DESC)"}));
}

TEST(SchemaApplierPlan, OnlyWhatIsMissingAndNeverNotNullOnOldRows) {
    TXDBDataBaseStructure db;
    ParseClean(db, kSmall);
    TXLiveCatalog live;
    live.AddColumn("p", "id");
    live.AddColumn("P", "Nome");
    live.AddColumn("c", "ID");
    live.AddColumn("c", "OLD_COLUMN"); // not in the script: left alone
    live.AddTable("XDS_VERSION");
    EXPECT_EQ(SchemaChanges(db, live, sdSQLite),
              (std::vector<std::string>{
                  "ALTER TABLE C ADD COLUMN ID_P NUMBER(9) CONSTRAINT R_P_C REFERENCES P (ID)",
                  "CREATE UNIQUE INDEX XAKC ON C (ID_P ASC, ID DESC)"}));
    live.AddColumn("C", "ID_P");
    live.AddIndex("xakc");
    EXPECT_TRUE(SchemaChanges(db, live, sdSQLite).empty());
    EXPECT_EQ(
        SchemaChanges(db, live, sdPostgres),
        std::vector<std::string>{"ALTER TABLE C ADD CONSTRAINT R_P_C FOREIGN KEY (ID_P) REFERENCES P (ID)"});
    live.AddForeignKey("c", "r_p_c");
    EXPECT_TRUE(SchemaChanges(db, live, sdPostgres).empty());

    TXDBDataBaseStructure wider;
    ParseClean(wider, "CREATE TABLE P (ID NUMBER(9) NOT NULL, NOME VARCHAR2(30), CODIGO VARCHAR2(5) NOT NULL,"
                      " CONSTRAINT XPKP PRIMARY KEY (ID));");
    EXPECT_EQ(SchemaChanges(wider, live, sdPostgres),
              std::vector<std::string>{"ALTER TABLE P ADD COLUMN CODIGO varchar(5)"});
}

TEST(SchemaApplierPlan, RefusesNamesThatAreNotIdentifiers) {
    TXDBDataBaseStructure db;
    db.AddTable("T; DROP TABLE X").AddField("A");
    EXPECT_THROW(SchemaChanges(db, TXLiveCatalog(), sdPostgres), std::invalid_argument);
}

// ---- real SQLite

class SQLiteDb {
public:
    SQLiteDb() {
        if (sqlite3_open(":memory:", &mDb) != SQLITE_OK)
            throw std::runtime_error("sqlite open");
        Exec("PRAGMA foreign_keys = ON");
    }
    ~SQLiteDb() { sqlite3_close(mDb); }
    Rows Query(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(mDb, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(sql + ": " + sqlite3_errmsg(mDb));
        Rows rows;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const unsigned char* t = sqlite3_column_text(st, i);
                row.emplace_back(t ? reinterpret_cast<const char*>(t) : "");
            }
            rows.push_back(std::move(row));
        }
        const std::string err = sqlite3_errmsg(mDb);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            throw std::runtime_error(sql + ": " + err);
        return rows;
    }
    void Exec(const std::string& sql) { Query(sql); }
    TXLiveCatalog Catalog() {
        return ReadLiveCatalog(sdSQLite, [this](const std::string& sql) { return Query(sql); });
    }

private:
    sqlite3* mDb = nullptr;
};

void Apply(SQLiteDb& sql, const TXDBDataBaseStructure& db) {
    for (const std::string& s : SchemaChanges(db, sql.Catalog(), sdSQLite))
        sql.Exec(s);
    for (const std::string& s : ReportViewChanges(db, sql.Catalog(), sdSQLite))
        sql.Exec(s);
}

TEST(SchemaApplierSQLite, CreatesTheApplicationSchemaOnceAndKeepsDeclaredTypes) {
    TXDBDataBaseStructure app;
    SetupAppStructure(app);
    SQLiteDb sql;
    Apply(sql, app);
    const TXLiveCatalog live = sql.Catalog();
    EXPECT_TRUE(SchemaChanges(app, live, sdSQLite).empty());
    EXPECT_TRUE(ReportViewChanges(app, live, sdSQLite).empty());
    EXPECT_EQ(sql.Query("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'")[0][0], "47");
    EXPECT_EQ(sql.Query("SELECT COUNT(*) FROM sqlite_master m JOIN pragma_foreign_key_list(m.name) f "
                        "WHERE m.type = 'table' AND f.seq = 0")[0][0],
              "65");
    EXPECT_EQ(
        sql.Query("SELECT type, \"notnull\", pk FROM pragma_table_info('TRATAMENTO') WHERE name = 'NCC'"),
        (Rows{{"NUMBER(18)", "1", "2"}}));
    EXPECT_EQ(
        sql.Query("SELECT type FROM pragma_table_info('GENOTIPAGEM') WHERE name IN ('OBS', 'DATA_ENVIO',"
                  " 'LOG_DATA') ORDER BY name"),
        (Rows{{"DATE"}, {"VARCHAR2(20)"}, {"BLOB"}}));
    // Foreign keys are enforced: a plate of a batch that does not exist is refused.
    sql.Exec("INSERT INTO GENOTIPAGEM (ID) VALUES (1)");
    EXPECT_THROW(
        sql.Exec("INSERT INTO GENOTIP_PLACA (ID_GENOTIPAGEM, ID_PLACA, ID_LOTE_LAB) VALUES (1, 1, 7)"),
        std::runtime_error);
    EXPECT_THROW(sql.Exec("INSERT INTO USUARIO (ID, CODIGO) VALUES (1, 'X')"),
                 std::runtime_error); // no PESSOA
}

TEST(SchemaApplierSQLite, UpgradesAnOlderDatabaseWithoutLosingRows) {
    TXDBDataBaseStructure old;
    ParseClean(
        old,
        "CREATE TABLE pessoa (id NUMBER(9) NOT NULL, nome VARCHAR2(60), CONSTRAINT XPKPESSOA PRIMARY KEY "
        "(id));\nCREATE TABLE GENOTIPAGEM (id NUMBER(9) NOT NULL, CONSTRAINT XPKGENOTIPAGEM PRIMARY KEY "
        "(id));");
    SQLiteDb sql;
    Apply(sql, old);
    sql.Exec("INSERT INTO pessoa (id, nome) VALUES (7, 'ANA')");
    TXDBDataBaseStructure app;
    SetupAppStructure(app);
    Apply(sql, app);
    EXPECT_TRUE(SchemaChanges(app, sql.Catalog(), sdSQLite).empty());
    EXPECT_EQ(sql.Query("SELECT id, nome, usuario_genot IS NULL FROM pessoa"), (Rows{{"7", "ANA", "1"}}));
    EXPECT_EQ(sql.Query("SELECT COUNT(*) FROM pragma_table_info('GENOTIPAGEM')")[0][0], "25");
}

TEST(SchemaApplierSQLite, DuplicateViewsGiveOneRowPerDuplicatedKey) {
    TXDBDataBaseStructure app;
    SetupAppStructure(app);
    SQLiteDb sql;
    sql.Exec("PRAGMA foreign_keys = OFF");
    Apply(sql, app);
    // Project 1: NCC 10 planted from two origins with the same planting code (twice a duplicate, counted
    // once), NCC 11 once; project 2: a single planting.
    sql.Exec(
        "INSERT INTO PLANTIO (ID_GENOTIPAGEM, NCC, NC_PLANTIO, ID_LOTE, ID_SLOTE, ORIGEM_PLANTIO) VALUES "
        "(1, 10, 500, 1, 1, 'A'), (1, 10, 500, 1, 1, 'B'), (1, 10, 500, 1, 1, 'C'), (1, 11, 501, 1, 1, 'A'),"
        " (1, 12, NULL, 1, 1, 'A'), (1, 13, NULL, 1, 1, 'A'), (2, 10, 500, 1, 1, 'A')");
    sql.Exec(
        "INSERT INTO GENOTIP_PLACA_POCO (ID_GENOTIPAGEM, ID_PLACA, PLACA, POCO, STATUS_POCO, NCC) VALUES "
        "(1, 1, 1, 'A01', 1, 10), (1, 1, 1, 'A02', 1, 10), (1, 1, 1, 'A03', 1, NULL), (1, 1, 1, 'A04', 1, "
        "NULL),"
        " (1, 1, 1, 'A05', 1, 11), (2, 1, 1, 'A01', 1, 10)");
    EXPECT_EQ(sql.Query("SELECT id_genotipagem, id_lote, nc_plantio FROM vplantio_ncp_dupl"),
              (Rows{{"1", "1", "500"}}));
    EXPECT_EQ(sql.Query("SELECT id_genotipagem, ncc FROM vplantio_ncc_dupl"), (Rows{{"1", "10"}}));
    EXPECT_EQ(sql.Query("SELECT id_genotipagem, ncc FROM vcoleta_ncc_dupl"), (Rows{{"1", "10"}}));
}

// ---- real PostgreSQL (SV_PG_CONNINFO), in a schema of its own

class PgDb {
public:
    explicit PgDb(const char* conninfo) : mConn(PQconnectdb(conninfo)) {
        if (PQstatus(mConn) != CONNECTION_OK)
            throw std::runtime_error(PQerrorMessage(mConn));
        std::random_device rd;
        mSchema = "sv_schema_test_" + std::to_string(rd());
        Exec("SET client_min_messages TO warning");
        Exec("CREATE SCHEMA " + mSchema);
        Exec("SET search_path TO " + mSchema);
    }
    ~PgDb() {
        Exec("DROP SCHEMA " + mSchema + " CASCADE");
        PQfinish(mConn);
    }
    Rows Query(const std::string& sql) {
        PGresult* r = PQexec(mConn, sql.c_str());
        const ExecStatusType st = PQresultStatus(r);
        if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK) {
            const std::string err = PQresultErrorMessage(r);
            PQclear(r);
            throw std::runtime_error(sql + ": " + err);
        }
        Rows rows;
        for (int i = 0; i < PQntuples(r); ++i) {
            std::vector<std::string> row;
            for (int c = 0; c < PQnfields(r); ++c)
                row.emplace_back(PQgetvalue(r, i, c));
            rows.push_back(std::move(row));
        }
        PQclear(r);
        return rows;
    }
    void Exec(const std::string& sql) { Query(sql); }
    TXLiveCatalog Catalog() {
        return ReadLiveCatalog(sdPostgres, [this](const std::string& sql) { return Query(sql); });
    }

private:
    PGconn* mConn;
    std::string mSchema;
};

TEST(SchemaApplierPostgres, CreatesUpgradesAndReadsTheViews) {
    const char* conninfo = std::getenv("SV_PG_CONNINFO");
    if (!conninfo || !*conninfo)
        GTEST_SKIP() << "SV_PG_CONNINFO not set";
    PgDb pg(conninfo);
    TXDBDataBaseStructure old;
    ParseClean(old, "CREATE TABLE pessoa (id NUMBER(9) NOT NULL, CONSTRAINT XPKPESSOA PRIMARY KEY (id));");
    for (const std::string& s : SchemaChanges(old, pg.Catalog(), sdPostgres))
        pg.Exec(s);
    pg.Exec("INSERT INTO pessoa (id) VALUES (7)");

    TXDBDataBaseStructure app;
    SetupAppStructure(app);
    for (const std::string& s : SchemaChanges(app, pg.Catalog(), sdPostgres))
        pg.Exec(s);
    for (const std::string& s : ReportViewChanges(app, pg.Catalog(), sdPostgres))
        pg.Exec(s);
    const TXLiveCatalog live = pg.Catalog();
    EXPECT_TRUE(SchemaChanges(app, live, sdPostgres).empty());
    EXPECT_TRUE(ReportViewChanges(app, live, sdPostgres).empty());
    EXPECT_EQ(pg.Query("SELECT COUNT(*) FROM information_schema.table_constraints WHERE table_schema = "
                       "current_schema() AND constraint_type = 'FOREIGN KEY'")[0][0],
              "65");
    EXPECT_EQ(
        pg.Query("SELECT data_type FROM information_schema.columns WHERE table_schema = current_schema() AND "
                 "table_name = 'tratamento' AND column_name = 'ncc'")[0][0],
        "bigint");
    EXPECT_EQ(pg.Query("SELECT id FROM pessoa"), (Rows{{"7"}}));
    pg.Exec("INSERT INTO genotipagem (id) VALUES (1)");
    pg.Exec("INSERT INTO tratamento (id_genotipagem, ncc, nc) VALUES (1, 10, 1)");
    pg.Exec("INSERT INTO lote_plantio (id_genotipagem, id_lote) VALUES (1, 1)");
    pg.Exec("INSERT INTO slote_plantio (id_genotipagem, id_lote, id_slote) VALUES (1, 1, 1)");
    pg.Exec("INSERT INTO plantio (id_genotipagem, ncc, nc_plantio, id_lote, id_slote, origem_plantio) VALUES "
            "(1, 10, 500, 1, 1, 'A'), (1, 10, 500, 1, 1, 'B')");
    EXPECT_EQ(pg.Query("SELECT id_genotipagem, id_lote, nc_plantio FROM vplantio_ncp_dupl"),
              (Rows{{"1", "1", "500"}}));
    EXPECT_EQ(pg.Query("SELECT id_genotipagem, ncc FROM vplantio_ncc_dupl"), (Rows{{"1", "10"}}));
    EXPECT_TRUE(pg.Query("SELECT * FROM vcoleta_ncc_dupl").empty());
    EXPECT_THROW(
        pg.Exec("INSERT INTO plantio (id_genotipagem, ncc, id_lote, id_slote, origem_plantio) VALUES "
                "(1, 99, 1, 1, 'A')"),
        std::runtime_error); // no such treatment
}

} // namespace
