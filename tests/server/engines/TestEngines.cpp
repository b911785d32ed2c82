// Engine conformance: the same tests run against SQLite (SV_ENGINE unset or "sqlite") and PostgreSQL
// (SV_ENGINE=postgres, database from SV_PG_CONNINFO; each test works in a fresh schema of its own).

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <set>
#include <thread>
#include <unistd.h>

#include "foundation/UXData.h"
#include "server/engines/UXEngine.h"
#include "server/engines/UXParamRewrite.h"

namespace {

std::string Kind() {
    const char* e = std::getenv("SV_ENGINE");
    return e && *e ? e : "sqlite";
}
bool IsPg() {
    return Kind() == "postgres";
}

TXEngineParam Prm(std::string name, TXVariant v, bool blob = false) {
    return TXEngineParam{std::move(name), std::move(v), blob};
}

std::string Lower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

class EngineTest : public testing::Test {
protected:
    void SetUp() override {
        if (IsPg()) {
            const char* ci = std::getenv("SV_PG_CONNINFO");
            if (!ci || !*ci)
                GTEST_SKIP() << "SV_PG_CONNINFO not set";
            mConninfo = ci;
            static std::atomic<int> counter{0};
            mSchema = "eng_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
            AdminExec("CREATE SCHEMA " + mSchema);
            if (mConninfo.rfind("postgres", 0) == 0 && mConninfo.find("://") != std::string::npos)
                mLocation = mConninfo + (mConninfo.find('?') == std::string::npos ? "?" : "&") +
                            "options=-csearch_path%3D" + mSchema;
            else
                mLocation = mConninfo + " options='-csearch_path=" + mSchema + "'";
        } else {
            auto base = std::filesystem::temp_directory_path() / "sv-engines-XXXXXX";
            std::string tmpl = base.string();
            ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
            mDir = tmpl;
            mLocation = mDir + "/test.db";
        }
        mEngine = TXEngine::Open(Kind(), mLocation);
    }
    void TearDown() override {
        mEngine.reset();
        if (!mSchema.empty())
            AdminExec("DROP SCHEMA " + mSchema + " CASCADE");
        if (!mDir.empty())
            std::filesystem::remove_all(mDir);
    }

    void AdminExec(const std::string& sql) {
        PGconn* c = PQconnectdb(mConninfo.c_str());
        ASSERT_EQ(PQstatus(c), CONNECTION_OK) << PQerrorMessage(c);
        PQsetNoticeProcessor(
            c, [](void*, const char*) {}, nullptr);
        PGresult* r = PQexec(c, sql.c_str());
        EXPECT_EQ(PQresultStatus(r), PGRES_COMMAND_OK) << PQresultErrorMessage(r);
        PQclear(r);
        PQfinish(c);
    }

    static std::string Ddl(std::string sqlite, std::string pg) { return IsPg() ? pg : sqlite; }

    TXEngineResult Run(std::string_view sql, const std::vector<TXEngineParam>& params = {}) {
        auto c = mEngine->Acquire();
        auto r = c->Execute(sql, params);
        mEngine->Release(std::move(c));
        return r;
    }
    int64_t Count(const std::string& sql) { return Run(sql).rows.at(0).at(0).AsInt64(); }

    std::string mConninfo, mSchema, mDir, mLocation;
    std::unique_ptr<TXEngine> mEngine;
};

TEST_F(EngineTest, EveryParameterKindRoundTrips) {
    Run(Ddl("CREATE TABLE RT (ID NUMBER(9) NOT NULL PRIMARY KEY, I NUMBER(19), C NUMBER(18,4), "
            "F DOUBLE PRECISION, D TIMESTAMP, S VARCHAR2(300), B BLOB)",
            "CREATE TABLE RT (ID NUMERIC(9) NOT NULL PRIMARY KEY, I NUMERIC(19), C NUMERIC(18,4), "
            "F DOUBLE PRECISION, D TIMESTAMP, S VARCHAR(300), B BYTEA)"));
    std::string big(1 << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    struct Row {
        TXVariant i, c, f, d, s, b;
    };
    const TXVariant N = TXVariant::Null();
    const std::vector<Row> rows = {
        {N, N, N, N, N, N},
        {TXVariant::FromInt64(INT64_MAX), TXVariant::FromCurrencyScaled(123456789012345),
         TXVariant::FromDouble(0.1), TXVariant::FromDate(EncodeDateTime(2024, 2, 29, 13, 45, 30, 123)),
         TXVariant::FromString("S\xE3o Jos\xE9 \xE1\xE7\xE3\xF5\xC7 \x80\x8A\x9F\x96 'q'"),
         TXVariant::FromString(big)},
        {TXVariant::FromInt64(INT64_MIN), TXVariant::FromCurrencyScaled(-1), TXVariant::FromDouble(-2.5e-300),
         TXVariant::FromDate(EncodeDateTime(1850, 6, 1, 6, 0, 0, 0)), TXVariant::FromString(""),
         TXVariant::FromString("")},
        {TXVariant::FromInt(42), TXVariant::FromCurrencyScaled(50000),
         TXVariant::FromDouble(3.141592653589793), TXVariant::FromDate(0.0), TXVariant::FromString("x"),
         TXVariant::FromString(std::string("\0\x01\xFF", 3))},
        {TXVariant::FromInt64(-7), TXVariant::FromCurrencyScaled(123456), TXVariant::FromDouble(1e300),
         TXVariant::FromDate(EncodeDateTime(9999, 12, 31, 23, 59, 59, 999)), TXVariant::FromString("z"),
         TXVariant::FromString("\x80\x81")},
    };
    auto c = mEngine->Acquire();
    for (size_t k = 0; k < rows.size(); ++k) {
        const Row& r = rows[k];
        auto res =
            c->Execute("INSERT INTO RT (ID, I, C, F, D, S, B) VALUES (:id, :i, :c, :f, :d, :s, :b)",
                       {Prm("ID", TXVariant::FromInt(static_cast<int>(k))), Prm("i", r.i), Prm("c", r.c),
                        Prm("f", r.f), Prm("d", r.d), Prm("s", r.s), Prm("b", r.b, true)});
        EXPECT_EQ(res.affected, 1);
        EXPECT_FALSE(res.hasRows);
    }
    auto res = c->Execute("SELECT ID, I, C, F, D, S, B FROM RT ORDER BY ID", {});
    mEngine->Release(std::move(c));
    ASSERT_TRUE(res.hasRows);
    ASSERT_EQ(res.columns.size(), 7u);
    const TXSQLStructDataType types[] = {sftInteger,  sftInteger, sftCurrency, sftFloat,
                                         sftDateTime, sftString,  sftBlob};
    for (size_t k = 0; k < 7; ++k)
        EXPECT_EQ(res.columns[k].type, types[k]) << res.columns[k].name;
    EXPECT_EQ(res.columns[2].scale, 4);
    EXPECT_EQ(res.columns[5].size, 300);
    EXPECT_TRUE(Lower(res.columns[6].name) == "b");
    ASSERT_EQ(res.rows.size(), rows.size());
    auto norm = [](const TXVariant& v, TXSQLStructDataType t) {
        if (v.IsNull())
            return v;
        switch (t) {
        case sftInteger:
            return TXVariant::FromInt64(v.AsInt64());
        case sftFloat:
            return TXVariant::FromDouble(v.AsDouble());
        default:
            return v;
        }
    };
    for (size_t k = 0; k < rows.size(); ++k) {
        const auto& got = res.rows[k];
        const Row& r = rows[k];
        EXPECT_EQ(got[0], TXVariant::FromInt64(static_cast<int64_t>(k)));
        EXPECT_EQ(got[1], norm(r.i, sftInteger)) << "row " << k;
        EXPECT_EQ(got[2], r.c) << "row " << k << " " << got[2].AsString();
        EXPECT_EQ(got[3], norm(r.f, sftFloat)) << "row " << k;
        EXPECT_EQ(got[4], r.d) << "row " << k << " " << got[4].AsDouble();
        EXPECT_EQ(got[5], r.s) << "row " << k;
        EXPECT_TRUE(got[6] == r.b) << "row " << k << " blob of " << got[6].AsString().size() << " bytes";
    }
    if (!IsPg()) {
        // Date-times are stored as text that SQLite's own date functions understand.
        auto t = Run("SELECT typeof(D), '[' || D || ']', date(D) FROM RT WHERE ID = 1");
        EXPECT_EQ(t.rows[0][0].AsString(), "text");
        EXPECT_EQ(t.rows[0][1].AsString(), "[2024-02-29 13:45:30.123]");
        EXPECT_EQ(t.rows[0][2].AsString(), "2024-02-29");
    }
    // Parameters compare with stored values of their kind.
    auto w = Run("SELECT ID FROM RT WHERE D = :d AND C = :c AND F = :f",
                 {Prm("d", rows[1].d), Prm("c", rows[1].c), Prm("f", rows[1].f)});
    ASSERT_EQ(w.rows.size(), 1u);
    EXPECT_EQ(w.rows[0][0].AsInt64(), 1);
}

TEST_F(EngineTest, Windows1252TextPassesByteForByte) {
    Run(Ddl("CREATE TABLE W (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR2(300))",
            "CREATE TABLE W (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(300))"));
    std::string all;
    for (int b = 1; b < 256; ++b) {
        // A UTF-8 PostgreSQL database has no characters for the five bytes Windows-1252 leaves undefined.
        if (IsPg() && (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D))
            continue;
        all += static_cast<char>(b);
    }
    Run("INSERT INTO W (ID, S) VALUES (1, :s)", {Prm("s", TXVariant::FromString(all))});
    Run("INSERT INTO W (ID, S) VALUES (2, 'Jos\xE9 Concei\xE7\xE3o')");
    auto r = Run("SELECT S FROM W ORDER BY ID");
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.rows[0][0].AsString(), all);
    EXPECT_EQ(r.rows[1][0].AsString(), "Jos\xE9 Concei\xE7\xE3o");
    // Literals in the SQL text are Windows-1252 too; LIKE is case-sensitive.
    EXPECT_EQ(Count("SELECT COUNT(*) FROM W WHERE S = 'Jos\xE9 Concei\xE7\xE3o'"), 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM W WHERE S LIKE 'Jos%'"), 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM W WHERE S LIKE 'jos%'"), 0);
    if (IsPg()) { // refused, never stored as something else
        EXPECT_THROW(Run("INSERT INTO W (ID, S) VALUES (3, :s)", {Prm("s", TXVariant::FromString("a\x81"))}),
                     EXEngineError);
    }
    if (!IsPg()) {
        auto h = Run("SELECT hex(S) FROM W WHERE ID = 2"); // the file holds UTF-8
        EXPECT_EQ(h.rows[0][0].AsString(), "4A6F73C3A920436F6E636569C3A7C3A36F");
    }
}

TEST_F(EngineTest, DeclaredAndExpressionColumnTypes) {
    Run(Ddl("CREATE TABLE TY (ID NUMBER(9) NOT NULL PRIMARY KEY, N2 NUMBER(15,2), N6 NUMBER(12,6), "
            "V VARCHAR2(20), FL CHAR(1), DT DATE, BL BLOB, DB DOUBLE)",
            "CREATE TABLE TY (ID NUMERIC(9) NOT NULL PRIMARY KEY, N2 NUMERIC(15,2), N6 NUMERIC(12,6), "
            "V VARCHAR(20), FL CHAR(1), DT DATE, BL BYTEA, DB DOUBLE PRECISION)"));
    const double day = EncodeDateTime(2023, 5, 17);
    Run("INSERT INTO TY VALUES (:id, :n2, :n6, :v, :fl, :dt, :bl, :db)",
        {Prm("id", TXVariant::FromInt(1)), Prm("n2", TXVariant::FromCurrencyScaled(125000)),
         Prm("n6", TXVariant::FromDouble(1.123456)), Prm("v", TXVariant::FromString("abc")),
         Prm("fl", TXVariant::FromString("S")), Prm("dt", TXVariant::FromDate(day)),
         Prm("bl", TXVariant::FromString("raw"), true), Prm("db", TXVariant::FromDouble(2.5))});
    auto r = Run("SELECT * FROM TY");
    struct Want {
        const char* name;
        TXSQLStructDataType type;
        int32_t size, scale;
    };
    const Want want[] = {{"id", sftInteger, 0, 0}, {"n2", sftCurrency, 0, 2}, {"n6", sftFloat, 0, 6},
                         {"v", sftString, 20, 0},  {"fl", sftString, 1, 0},   {"dt", sftDateTime, 0, 0},
                         {"bl", sftBlob, 0, 0},    {"db", sftFloat, 0, 0}};
    ASSERT_EQ(r.columns.size(), std::size(want));
    for (size_t k = 0; k < std::size(want); ++k) {
        EXPECT_EQ(Lower(r.columns[k].name), want[k].name);
        EXPECT_EQ(r.columns[k].type, want[k].type) << want[k].name;
        EXPECT_EQ(r.columns[k].size, want[k].size) << want[k].name;
        EXPECT_EQ(r.columns[k].scale, want[k].scale) << want[k].name;
    }
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.rows[0][1], TXVariant::FromCurrencyScaled(125000));
    EXPECT_EQ(r.rows[0][2], TXVariant::FromDouble(1.123456));
    EXPECT_EQ(r.rows[0][4].AsString(), "S");
    EXPECT_EQ(r.rows[0][5], TXVariant::FromDate(day));
    EXPECT_EQ(r.rows[0][6].AsString(), "raw");

    auto e =
        Run("SELECT COUNT(*) AS CNT, MAX(DT) AS MDT, MAX(V) || 'x' AS VX, AVG(DB) AS ADB, SUM(ID) AS SID "
            "FROM TY");
    const TXSQLStructDataType et[] = {sftInteger, sftDateTime, sftString, sftFloat, sftInteger};
    ASSERT_EQ(e.columns.size(), std::size(et));
    for (size_t k = 0; k < std::size(et); ++k)
        EXPECT_EQ(e.columns[k].type, et[k]) << e.columns[k].name;
    EXPECT_EQ(Lower(e.columns[0].name), "cnt");
    EXPECT_EQ(e.rows[0][0], TXVariant::FromInt64(1));
    EXPECT_EQ(e.rows[0][1], TXVariant::FromDate(day));
    EXPECT_EQ(e.rows[0][2].AsString(), "abcx");
    EXPECT_EQ(e.rows[0][3], TXVariant::FromDouble(2.5));
    EXPECT_EQ(e.rows[0][4], TXVariant::FromInt64(1));

    auto none = Run("SELECT ID, V FROM TY WHERE ID < 0");
    EXPECT_TRUE(none.hasRows);
    EXPECT_TRUE(none.rows.empty());
    EXPECT_EQ(none.columns.at(0).type, sftInteger);
    EXPECT_EQ(none.columns.at(1).type, sftString);

    EXPECT_EQ(Run("UPDATE TY SET V = 'new' WHERE ID >= 0").affected, 1);
    EXPECT_EQ(Run("DELETE FROM TY WHERE ID = 99").affected, 0);
}

TEST(ParamRewrite, NamesBecomePositions) {
    struct Case {
        const char* in;
        const char* out;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"SELECT * FROM t WHERE a=:a AND b=:B AND c=:A",
         "SELECT * FROM t WHERE a=$1 AND b=$2 AND c=$1",
         {"a", "B"}},
        {"SELECT ':x', 'it''s :y', \"q:z\" FROM t WHERE v=:v",
         "SELECT ':x', 'it''s :y', \"q:z\" FROM t WHERE v=$1",
         {"v"}},
        {"SELECT a::int, :p -- :c\n/* :d */ FROM t", "SELECT a::int, $1 -- :c\n/* :d */ FROM t", {"p"}},
        {"SELECT :a1_$b+:_x", "SELECT $1+$2", {"a1_$b", "_x"}},
        {"SELECT 'open :x", "SELECT 'open :x", {}},
        {"x = : y", "x = : y", {}},
    };
    for (const auto& c : cases) {
        auto r = RewriteNamedParams(c.in);
        EXPECT_EQ(r.text, c.out) << c.in;
        EXPECT_EQ(r.names, c.names) << c.in;
    }
}

TEST_F(EngineTest, NamedParametersSkipLiteralsQuotedNamesAndComments) {
    Run("CREATE TABLE QN (ID INTEGER NOT NULL PRIMARY KEY, \"A:B\" VARCHAR(10))");
    Run("INSERT INTO QN VALUES (1, 'q')");
    auto r = Run("SELECT ':x' AS L1, 'it''s :y' AS L2, \"A:B\" AS Q, :v AS V1, :V AS V2 /* :w */ "
                 "FROM QN WHERE ID = :id -- :u",
                 {Prm("v", TXVariant::FromString("abc")), Prm("ID", TXVariant::FromInt(1))});
    ASSERT_EQ(r.rows.size(), 1u);
    const char* want[] = {":x", "it's :y", "q", "abc", "abc"};
    for (size_t k = 0; k < 5; ++k)
        EXPECT_EQ(r.rows[0][k].AsString(), want[k]);
    try {
        Run("SELECT ID FROM QN WHERE ID = :missing");
        ADD_FAILURE() << "a parameter without a value must fail";
    } catch (const EXEngineError& e) {
        EXPECT_NE(std::string(e.what()).find("missing"), std::string::npos) << e.what();
    }
    // A parameter the engine cannot type from its context still works.
    auto n = Run("SELECT COUNT(*) FROM QN WHERE :p IS NULL OR ID = :p", {Prm("p", TXVariant::FromInt(1))});
    EXPECT_EQ(n.rows[0][0].AsInt64(), 1);
}

TEST_F(EngineTest, TransactionsCommitRollbackAndSurviveFailedStatements) {
    Run("CREATE TABLE TX (ID INTEGER NOT NULL PRIMARY KEY, V VARCHAR(10))");
    auto c = mEngine->Acquire();
    EXPECT_FALSE(c->InTransaction());
    c->Begin();
    EXPECT_TRUE(c->InTransaction());
    EXPECT_THROW(c->Begin(), EXEngineError);
    c->Execute("INSERT INTO TX VALUES (1, 'a')", {});
    c->Rollback();
    EXPECT_FALSE(c->InTransaction());
    EXPECT_EQ(Count("SELECT COUNT(*) FROM TX"), 0);

    c->Begin();
    c->Execute("INSERT INTO TX VALUES (2, 'b')", {});
    try {
        c->Execute("INSERT INTO TX VALUES (2, 'dup')", {});
        ADD_FAILURE() << "duplicate key accepted";
    } catch (const EXEngineError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find(IsPg() ? "duplicate key" : "UNIQUE constraint failed"), std::string::npos)
            << what;
    }
    EXPECT_TRUE(c->InTransaction());
    c->Execute("INSERT INTO TX VALUES (3, 'c')", {});
    c->Commit();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM TX WHERE ID IN (2, 3)"), 2);

    // Released with the transaction open: rolled back.
    c->Begin();
    c->Execute("INSERT INTO TX VALUES (4, 'd')", {});
    mEngine->Release(std::move(c));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM TX WHERE ID = 4"), 0);

    try {
        Run("SELECT * FROM NO_SUCH_TABLE");
        ADD_FAILURE() << "missing table accepted";
    } catch (const EXEngineError& e) {
        EXPECT_NE(Lower(e.what()).find("no_such_table"), std::string::npos) << e.what();
    }
}

TEST_F(EngineTest, WriterWaitsForAnotherTransactionsLock) {
    Run("CREATE TABLE LK (ID INTEGER NOT NULL PRIMARY KEY, V INTEGER)");
    Run("INSERT INTO LK VALUES (1, 0)");
    auto a = mEngine->Acquire();
    a->Begin();
    a->Execute("UPDATE LK SET V = 1 WHERE ID = 1", {});
    std::atomic<int> stage{0};
    std::string error;
    std::thread other([&] {
        auto b = mEngine->Acquire();
        stage = 1;
        try {
            b->Begin();
            b->Execute("UPDATE LK SET V = V + 10 WHERE ID = 1", {});
            b->Commit();
        } catch (const std::exception& e) {
            error = e.what();
        }
        stage = 2;
        mEngine->Release(std::move(b));
    });
    for (int i = 0; i < 500 && stage == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(stage.load(), 1) << "the second writer did not wait: " << error;
    a->Commit();
    other.join();
    mEngine->Release(std::move(a));
    EXPECT_EQ(error, "");
    EXPECT_EQ(Count("SELECT V FROM LK WHERE ID = 1"), 11);
}

TEST_F(EngineTest, SequencesAreSharedAndNonTransactional) {
    Run(Ddl("CREATE TABLE GEN (ID NUMBER(9) NOT NULL PRIMARY KEY)",
            "CREATE TABLE GEN (ID NUMERIC(9) NOT NULL PRIMARY KEY)"));
    Run("CREATE TABLE GEN2 (ID INTEGER)");
    Run("INSERT INTO GEN VALUES (5)");
    Run("INSERT INTO GEN VALUES (41)");
    EXPECT_EQ(mEngine->SequenceReserve("GEN", "ID", 10), 42);
    auto second = TXEngine::Open(Kind(), mLocation);
    EXPECT_EQ(second->SequenceReserve("gen", "id", 5), 52);
    second->SequenceFree("GEN", "ID", 52, 5); // the last run: taken back
    EXPECT_EQ(mEngine->SequenceReserve("GEN", "ID", 1), 52);
    mEngine->SequenceFree("GEN", "ID", 42, 10); // not the last run: kept
    EXPECT_EQ(mEngine->SequenceReserve("GEN", "ID", 1), 53);
    EXPECT_EQ(mEngine->SequenceReserve("GEN2", "ID", 3), 1);

    // Not undone by a client's rollback, and not held up by its open write transaction.
    auto c = mEngine->Acquire();
    c->Begin();
    c->Execute("INSERT INTO GEN VALUES (1000)", {});
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(mEngine->SequenceReserve("GEN", "ID", 1), 54);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    c->Rollback();
    mEngine->Release(std::move(c));
    EXPECT_EQ(second->SequenceReserve("GEN", "ID", 1), 55);

    // Two engines drawing at once never hand out the same value.
    std::vector<int64_t> got[2];
    std::string errors[2];
    auto draw = [&](TXEngine* e, int k) {
        try {
            for (int i = 0; i < 40; ++i)
                got[k].push_back(e->SequenceReserve("GEN", "ID", 1));
        } catch (const std::exception& ex) {
            errors[k] = ex.what();
        }
    };
    std::thread t1(draw, mEngine.get(), 0), t2(draw, second.get(), 1);
    t1.join();
    t2.join();
    EXPECT_EQ(errors[0], "");
    EXPECT_EQ(errors[1], "");
    std::set<int64_t> all(got[0].begin(), got[0].end());
    all.insert(got[1].begin(), got[1].end());
    ASSERT_EQ(all.size(), 80u);
    EXPECT_EQ(*all.begin(), 56);
    EXPECT_EQ(*all.rbegin(), 135);

    for (auto [table, column, word] : {std::tuple{"NOPE", "ID", "NOPE"}, std::tuple{"GEN", "NOPE", "NOPE"},
                                       std::tuple{"GEN; DROP TABLE GEN", "ID", "invalid"}}) {
        try {
            mEngine->SequenceReserve(table, column, 1);
            ADD_FAILURE() << table << "." << column;
        } catch (const EXEngineError& e) {
            EXPECT_NE(std::string(e.what()).find(word), std::string::npos) << e.what();
        }
    }
}

TEST_F(EngineTest, StoredVersion) {
    EXPECT_TRUE(mEngine->StoredVersion().Invalid);
    mEngine->StoreVersion(TXVersion{1, 0, 13, false});
    mEngine->StoreVersion(TXVersion{1, 0, 14, false});
    auto other = TXEngine::Open(Kind(), mLocation);
    TXVersion v = other->StoredVersion();
    EXPECT_FALSE(v.Invalid);
    EXPECT_EQ(VersionToStr(v), "1.0.14");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM XDS_VERSION"), 1);
}

} // namespace
