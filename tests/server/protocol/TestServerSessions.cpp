// SQL sessions of the data server over real TCP: results in pages, commands, transactions,
// generators and semaphores, on SQLite or PostgreSQL.

#include "UServerFixture.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

namespace {

// A page stops at the first record that reaches 64 KiB, plus the reply's own header.
constexpr size_t TXServerPageLimit = 64 * 1024 + 512;

std::string Ddl(const std::string& sqlite, const std::string& postgres) {
    return UsePostgres() ? postgres : sqlite;
}

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

int64_t Count(TSess& s, const std::string& sql) {
    TSelectResult r = s.Select(sql);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.rows.size(), 1u);
    return r.rows.empty() ? -1 : r.rows[0][0].AsInt64();
}

class SessionTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped())
            return;
        Start();
        client = std::make_unique<TTestClient>(Port());
        ASSERT_TRUE(Login(*client, "SARVOLENTIS", ""));
        sess = std::make_unique<TSess>(*client, 0);
    }
    void TearDown() override {
        sess.reset();
        client.reset();
        ServerTest::TearDown();
    }
    std::unique_ptr<TTestClient> Connect() {
        auto c = std::make_unique<TTestClient>(Port());
        EXPECT_TRUE(Login(*c, "SARVOLENTIS", ""));
        return c;
    }
    std::unique_ptr<TTestClient> client;
    std::unique_ptr<TSess> sess;
};

} // namespace

TEST_F(SessionTest, CreateAndRequestErrors) {
    TTestClient& c = *client;
    c.Send("SESS", "CREATE", Pack([](TXData& d) {
               PutI(d, 7);
               PutS(d, "SARVOLENTIS");
               PutS(d, "nada");
           }));
    TXData op = c.WaitFor("SESS", "UNKNOWNOP").Data();
    GetI(op);
    EXPECT_EQ(GetS(op), "nada");

    c.Send("SESS", "CREATE", Pack([](TXData& d) {
               PutI(d, 7);
               PutS(d, "NENHUMA");
               PutS(d, "geral");
           }));
    c.WaitFor("SESS", "UNKNOWNCFG");

    TSess login(c, 1, "SARVOLENTIS", "login");
    EXPECT_NE(login.Ssid(), sess->Ssid());

    // A session that does not exist, or whose CSID does not match.
    c.Send("SESS", "FETCH", Pack([&](TXData& d) {
               PutI(d, 0);
               PutS(d, "SARVOLENTIS");
               PutI(d, 999);
               PutS(d, "x");
               PutB(d, 1);
           }));
    c.WaitFor("SESS", "UNKNOWNSESS");
    c.Send("SESS", "FETCH", Pack([&](TXData& d) {
               PutI(d, 5);
               PutS(d, "SARVOLENTIS");
               PutI(d, sess->Ssid());
               PutS(d, "x");
               PutB(d, 1);
           }));
    c.WaitFor("SESS", "UNKNOWNSESS");
    sess->SendFetch("never-selected");
    c.WaitFor("SESS", "UNKNOWNSQLID");

    // Without CHECK of the configuration, nothing of it.
    TTestClient other(Port());
    other.Send("SESS", "CREATE", Pack([](TXData& d) {
                   PutI(d, 0);
                   PutS(d, "SARVOLENTIS");
                   PutS(d, "geral");
               }));
    TXData e = other.WaitFor("ERR", "MUSTBELOGGED").Data();
    EXPECT_EQ(GetS(e), "SARVOLENTIS");
    c.Send("AUTH", "LOGOUT");
    sess->SendCommand("after-logout", "SELECT 1");
    c.WaitFor("ERR", "MUSTBELOGGED");
}

TEST_F(SessionTest, SelectResultsArriveInPagesSizedByBytes) {
    ASSERT_EQ(sess->Exec("CREATE TABLE P (ID INTEGER NOT NULL PRIMARY KEY, NOME VARCHAR(40))"), "");
    ASSERT_EQ(sess->Exec("WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 30000) "
                         "INSERT INTO P (ID, NOME) SELECT n, 'nome ' || n FROM c"),
              "");
    for (int n : {0, 1, 250, 30000}) {
        SCOPED_TRACE(n);
        TSelectResult r = sess->Select("SELECT ID, NOME FROM P WHERE ID <= :N ORDER BY ID",
                                       {Param('I', "N", TXVariant::FromInt(n))});
        ASSERT_EQ(r.error, "");
        EXPECT_EQ(r.total, n);
        ASSERT_EQ(r.fields.size(), 2u);
        EXPECT_EQ(Upper(r.fields[0].name), "ID");
        EXPECT_EQ(r.fields[0].type, sftInteger);
        EXPECT_EQ(Upper(r.fields[1].name), "NOME");
        EXPECT_EQ(r.fields[1].type, sftString);
        ASSERT_EQ(r.rows.size(), static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(r.rows[i][0].AsInt64(), i + 1);
            ASSERT_EQ(r.rows[i][1].AsString(), "nome " + std::to_string(i + 1));
        }
        for (size_t b : r.pageBytes)
            EXPECT_LE(b, TXServerPageLimit);
        if (n <= 250) {
            EXPECT_EQ(r.pageSizes.size(), 1u);
        } else {
            EXPECT_GT(r.pageSizes.size(), 5u);
            for (size_t i = 0; i + 1 < r.pageBytes.size(); ++i)
                EXPECT_GE(r.pageBytes[i], 60u * 1024); // filled up to the byte budget, not by row count
        }
    }
}

TEST_F(SessionTest, TypedParametersAndNullsRoundTrip) {
    ASSERT_EQ(sess->Exec(Ddl("CREATE TABLE RT (ID NUMBER(9) NOT NULL PRIMARY KEY, C NUMBER(18,4), "
                             "F DOUBLE PRECISION, D TIMESTAMP, S VARCHAR2(100), B BLOB)",
                             "CREATE TABLE RT (ID NUMERIC(9) NOT NULL PRIMARY KEY, C NUMERIC(18,4), "
                             "F DOUBLE PRECISION, D TIMESTAMP, S VARCHAR(100), B BYTEA)")),
              "");
    const std::string blob("\x00\x01\xff\x00zz", 6);
    const std::string text = "S\xE3o Jos\xE9 'q'";
    const double day = EncodeDateTime(2024, 2, 29, 13, 45, 30);
    const std::string insert = "INSERT INTO RT (ID, C, F, D, S, B) VALUES (:ID, :C, :F, :D, :S, :B)";
    ASSERT_EQ(
        sess->Exec(
            insert, "tsNone",
            {Param('I', "ID", TXVariant::FromInt(1)), Param('C', "C", TXVariant::FromCurrency(1234.5678)),
             Param('E', "F", TXVariant::FromDouble(0.25)), Param('D', "D", TXVariant::FromDate(day)),
             Param('S', "S", TXVariant::FromString(text)), Param('B', "B", TXVariant::FromString(blob))}),
        "");
    const TXVariant N = TXVariant::Null();
    ASSERT_EQ(sess->Exec(insert, "tsNone",
                         {Param('I', "ID", TXVariant::FromInt(2)), Param('*', "C", N), Param('*', "F", N),
                          Param('*', "D", N), Param('*', "S", N), Param('*', "B", N)}),
              "");
    TSelectResult r = sess->Select("SELECT ID, C, F, D, S, B FROM RT ORDER BY ID");
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.fields[1].type, sftCurrency);
    EXPECT_EQ(r.fields[3].type, sftDateTime);
    EXPECT_EQ(r.fields[5].type, sftBlob);
    const auto& a = r.rows[0];
    EXPECT_EQ(a[1].AsCurrencyScaled(), 12345678);
    EXPECT_EQ(a[2].AsDouble(), 0.25);
    EXPECT_NEAR(a[3].AsDouble(), day, 1e-6);
    EXPECT_EQ(a[4].AsString(), text);
    EXPECT_EQ(a[5].AsString(), blob);
    for (int i = 1; i < 6; ++i)
        EXPECT_TRUE(r.rows[1][i].IsNull()) << i;

    // An SQL error answers SQLERROR with the engine's text.
    const std::string err = sess->Exec("INSERT INTO NOSUCH VALUES (1)");
    EXPECT_NE(err, "");
    EXPECT_NE(err, "ROLLBACK");
}

TEST_F(SessionTest, FailedStatementRollsTheTransactionBackAndRefusesTheRest) {
    ASSERT_EQ(sess->Exec("CREATE TABLE TX (ID INTEGER NOT NULL PRIMARY KEY, V VARCHAR(10))"), "");
    const std::string ins = "INSERT INTO TX (ID, V) VALUES (:ID, 'v')";
    auto id = [](int v) { return std::vector<TXSQLWireParam>{Param('I', "ID", TXVariant::FromInt(v))}; };

    EXPECT_EQ(sess->Exec(ins, "tsStart", id(1)), "");
    const std::string err = sess->Exec("INSERT INTO NOSUCH VALUES (1)", "tsRunning");
    EXPECT_NE(err, "");
    EXPECT_NE(err, "ROLLBACK");
    EXPECT_EQ(sess->Exec(ins, "tsRunning", id(2)), "ROLLBACK");
    EXPECT_EQ(sess->Exec("", "tsCommit"), "ROLLBACK");
    EXPECT_EQ(Count(*sess, "SELECT COUNT(*) FROM TX"), 0);

    // A clean transaction commits; the commit is answered under its own id.
    EXPECT_EQ(sess->Exec(ins, "tsStart", id(3)), "");
    EXPECT_EQ(sess->Exec(ins, "tsRunning", id(4)), "");
    sess->SendCommand("the-commit", "", "tsCommit");
    EXPECT_EQ(sess->ReplyError("the-commit"), "");
    EXPECT_EQ(Count(*sess, "SELECT COUNT(*) FROM TX"), 2);

    // tsNone or a new tsStart while a transaction is open rolls the old one back first.
    EXPECT_EQ(sess->Exec(ins, "tsStart", id(5)), "");
    EXPECT_EQ(sess->Exec(ins, "tsNone", id(6)), "");
    EXPECT_EQ(sess->Exec(ins, "tsStart", id(7)), "");
    EXPECT_EQ(sess->Exec(ins, "tsStart", id(8)), "");
    EXPECT_EQ(sess->Exec("", "tsCommit"), "");
    TSelectResult r = sess->Select("SELECT ID FROM TX ORDER BY ID");
    std::vector<int64_t> ids;
    for (auto& row : r.rows)
        ids.push_back(row[0].AsInt64());
    EXPECT_EQ(ids, (std::vector<int64_t>{3, 4, 6, 8}));

    // Nothing open: a continuation is refused rather than run on its own.
    EXPECT_EQ(sess->Exec(ins, "tsRunning", id(9)), "ROLLBACK");
    EXPECT_EQ(Count(*sess, "SELECT COUNT(*) FROM TX WHERE ID = 9"), 0);

    // A SELECT inside a transaction sees its uncommitted rows.
    EXPECT_EQ(sess->Exec(ins, "tsStart", id(10)), "");
    TSelectResult inside = sess->Select("SELECT COUNT(*) FROM TX", {}, "tsRunning");
    ASSERT_EQ(inside.rows.size(), 1u);
    EXPECT_EQ(inside.rows[0][0].AsInt64(), 5);
    sess->Free(); // rolls back
    TSess fresh(*client, 1);
    EXPECT_EQ(Count(fresh, "SELECT COUNT(*) FROM TX"), 4);
}

TEST_F(SessionTest, DroppedConnectionMidTransactionCommitsNothing) {
    ASSERT_EQ(sess->Exec("CREATE TABLE DR (ID INTEGER NOT NULL PRIMARY KEY, V VARCHAR(10))"), "");
    {
        auto c = Connect();
        TSess s(*c, 0);
        EXPECT_EQ(s.Exec("INSERT INTO DR (ID, V) VALUES (1, 'lost')", "tsStart"), "");
        c->Close();
    }
    // The same key is free again once the dead transaction has been rolled back.
    EXPECT_EQ(sess->Exec("INSERT INTO DR (ID, V) VALUES (1, 'kept')", "tsStart"), "");
    EXPECT_EQ(sess->Exec("", "tsCommit"), "");
    TSelectResult r = sess->Select("SELECT V FROM DR");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.rows[0][0].AsString(), "kept");
}

TEST_F(SessionTest, SessionWaitingOnALockBlocksNoOtherSession) {
    ASSERT_EQ(sess->Exec("CREATE TABLE LK (ID INTEGER NOT NULL PRIMARY KEY, V INTEGER)"), "");
    ASSERT_EQ(sess->Exec("INSERT INTO LK (ID, V) VALUES (1, 0)"), "");
    ASSERT_EQ(sess->Exec("UPDATE LK SET V = 1 WHERE ID = 1", "tsStart"), "");

    auto b = Connect();
    TSess waiting(*b, 0);
    TSess third(*b, 1); // same connection as the waiting one
    waiting.SendCommand("blocked", "UPDATE LK SET V = 2 WHERE ID = 1", "tsStart");
    EXPECT_EQ(Count(third, "SELECT COUNT(*) FROM LK"), 1);
    EXPECT_EQ(third.Acquire("SMF_PRJ", "1"), "SEMAPHOREACQUIRED");
    EXPECT_EQ(Count(third, "SELECT V FROM LK WHERE ID = 1"), 0) << "the uncommitted update is not seen";
    b->Barrier();
    for (auto& p : b->Backlog())
        EXPECT_NE(p.command, "FETCH") << "the blocked update was answered before the lock was released";

    EXPECT_EQ(sess->Exec("", "tsCommit"), "");
    EXPECT_EQ(waiting.ReplyError("blocked"), "");
    EXPECT_EQ(waiting.Exec("", "tsCommit"), "");
    EXPECT_EQ(Count(*sess, "SELECT V FROM LK WHERE ID = 1"), 2);
}

TEST_F(SessionTest, SemaphoresAreExclusiveAcrossConnectionsAndDieWithTheirHolder) {
    auto b = Connect();
    TSess other(*b, 0);
    EXPECT_EQ(sess->Acquire("SMF_PRJ", "42"), "SEMAPHOREACQUIRED");
    EXPECT_EQ(sess->Acquire("SMF_PRJ", "42"), "SEMAPHOREACQUIRED") << "granted again to its holder";
    EXPECT_EQ(other.Acquire("SMF_PRJ", "42"), "SEMAPHOREINUSE");
    EXPECT_EQ(other.Acquire("SMF_PRJ", "43"), "SEMAPHOREACQUIRED");
    TSess sibling(*client, 1); // another session of the same connection is another holder
    EXPECT_EQ(sibling.Acquire("SMF_PRJ", "42"), "SEMAPHOREINUSE");

    other.Release("SMF_PRJ", "42"); // not its own: no effect
    EXPECT_EQ(other.Acquire("SMF_PRJ", "42"), "SEMAPHOREINUSE");
    sess->Release("SMF_PRJ", "42");
    EXPECT_EQ(other.Acquire("SMF_PRJ", "42"), "SEMAPHOREACQUIRED");

    b->Close(); // both of its semaphores go with the connection
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string got;
    while ((got = sess->Acquire("SMF_PRJ", "42")) != "SEMAPHOREACQUIRED" &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(got, "SEMAPHOREACQUIRED");
    EXPECT_EQ(sess->Acquire("SMF_PRJ", "43"), "SEMAPHOREACQUIRED");

    // FREE of the session frees its semaphores too.
    sess->Free();
    EXPECT_EQ(sibling.Acquire("SMF_PRJ", "42"), "SEMAPHOREACQUIRED");
}

TEST_F(SessionTest, SequencesReserveRunsAndTakeBackTheLastOne) {
    ASSERT_EQ(sess->Exec("CREATE TABLE GEN (ID INTEGER NOT NULL PRIMARY KEY, N INTEGER)"), "");
    ASSERT_EQ(sess->Exec("WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 10) "
                         "INSERT INTO GEN (ID) SELECT n FROM c"),
              "");
    TTestClient& c = *client;
    auto sequence = [&](const std::string& id, const std::string& table, const std::string& field, int qty) {
        c.Send("SESS", "SEQUENCE", Pack([&](TXData& d) {
                   sess->Head(d);
                   PutS(d, id);
                   PutS(d, table);
                   PutS(d, field);
                   PutI(d, qty);
               }));
        TPack p =
            c.WaitIf([](const TPack& q) { return q.command == "SEQUENCE" || q.command == "SEQUENCEERROR"; },
                     "sequence");
        TXData d = p.Data();
        EXPECT_EQ(GetI(d), sess->Csid());
        EXPECT_EQ(GetS(d), id);
        EXPECT_EQ(GetS(d), table);
        EXPECT_EQ(GetS(d), field);
        if (p.command == "SEQUENCEERROR") {
            const std::string e = GetS(d);
            EXPECT_NE(e, "");
            return int64_t{-1};
        }
        const int64_t first = GetI64(d);
        EXPECT_EQ(GetI(d), qty);
        return first;
    };
    EXPECT_EQ(sequence("s1", "GEN", "ID", 5), 11);
    EXPECT_EQ(sequence("s2", "GEN", "ID", 3), 16);
    c.Send("SESS", "FREESEQUENCE", Pack([](TXData& d) {
               PutS(d, "SARVOLENTIS");
               PutS(d, "GEN");
               PutS(d, "ID");
               PutI64(d, 16);
               PutI(d, 3);
           }));
    // FREESEQUENCE has no reply; a VERSION round trip behind it shows it was done.
    c.Send("CFG", "VERSION", Pack([](TXData& d) { PutS(d, "SARVOLENTIS"); }));
    c.WaitFor("CFG", "VERSION");
    EXPECT_EQ(sequence("s3", "GEN", "ID", 2), 16);
    EXPECT_EQ(sequence("s4", "NOSUCH", "ID", 1), -1);
    EXPECT_EQ(sequence("s5", "GEN", "NOSUCH", 1), -1);
}
