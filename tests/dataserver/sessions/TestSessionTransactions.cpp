// The session's transaction against a real data server: marks, commit with and without statements,
// the refused rest of a failed transaction, local rollback, row locks and a lost connection.
#include "USessionFixture.h"

namespace {

void MakeTable(TSess& s) {
    ASSERT_EQ(s.Exec("CREATE TABLE ITENS (ID INTEGER NOT NULL PRIMARY KEY, NOME VARCHAR(40))"), "");
}

std::function<void(TXSQL&)> Row(int id, const std::string& nome) {
    return [=](TXSQL& s) {
        s.ParamInteger("ID", id);
        s.ParamString("NOME", nome);
    };
}

const char* kInsert = "INSERT INTO ITENS (ID, NOME) VALUES (:ID, :NOME)";

} // namespace

TEST_F(SessionsTest, TransactionMarksAndCommit) {
    MakeTable(*sess);
    TXSQLSessionGUI& g = sess->gui;
    g.StartTransaction();
    EXPECT_TRUE(g.InTransaction());
    EXPECT_EQ(g.SQL().TransactionMark, tsStart);
    try {
        g.StartTransaction();
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Session already in transaction");
    }
    const std::string first = sess->Post(kInsert, Row(1, "um"));
    EXPECT_EQ(g.FindSQL(first)->TransactionMark, tsStart);
    EXPECT_EQ(g.SQL().TransactionMark, tsRunning) << "every later statement continues the transaction";
    const std::string second = sess->Post(kInsert, Row(2, "dois"));
    EXPECT_EQ(g.FindSQL(second)->TransactionMark, tsRunning);
    EXPECT_EQ(sess->Outcome(first, "command:"), "");
    EXPECT_EQ(sess->Outcome(second, "command:"), "");

    // Not visible to another connection before the commit.
    auto other = Connect();
    auto reader = OpenSession(*other);
    EXPECT_EQ(reader->Count("SELECT COUNT(*) FROM ITENS"), 0);

    g.Commit("fim");
    EXPECT_FALSE(g.InTransaction());
    EXPECT_EQ(g.SQL().TransactionMark, tsNone);
    EXPECT_EQ(g.FindSQL("fim")->TransactionMark, tsCommit);
    EXPECT_EQ(sess->Outcome("fim", "command:"), "");
    EXPECT_EQ(reader->Count("SELECT COUNT(*) FROM ITENS"), 2);

    for (auto op : {+[](TXSQLSessionGUI& s) { s.Commit("x"); }, +[](TXSQLSessionGUI& s) { s.Rollback(); }}) {
        try {
            op(g);
            ADD_FAILURE() << "no error";
        } catch (const std::exception& e) {
            EXPECT_STREQ(e.what(), "Session not in transaction");
        }
    }
}

TEST_F(SessionsTest, CommitWithNothingSentCompletesAtOnce) {
    TXSQLSessionGUI& g = sess->gui;
    g.IdPrefix = "auto";
    g.StartTransaction();
    g.Commit(); // no round trip: the event comes before Commit returns
    EXPECT_TRUE(sess->Has("command:auto0"));
    EXPECT_FALSE(g.InTransaction());
    EXPECT_EQ(g.SQL().TransactionMark, tsNone);
    EXPECT_EQ(g.FindSQL("auto0"), nullptr) << "nothing was sent under the id";
    // The session carries on outside a transaction.
    MakeTable(*sess);
    EXPECT_EQ(sess->Exec(kInsert, Row(1, "um")), "");
    EXPECT_EQ(sess->Count("SELECT COUNT(*) FROM ITENS"), 1);
}

TEST_F(SessionsTest, AFailedStatementRefusesTheRestOfItsTransaction) {
    MakeTable(*sess);
    EXPECT_EQ(sess->Exec(kInsert, Row(1, "antes")), "");
    TXSQLSessionGUI& g = sess->gui;
    g.StartTransaction();
    const std::string ok = sess->Post(kInsert, Row(2, "dois"));
    const std::string dup = sess->Post(kInsert, Row(1, "repetido")); // primary key violation
    const std::string after = sess->Post(kInsert, Row(3, "tres"));
    g.Commit("fim");
    EXPECT_EQ(sess->Outcome(ok, "command:"), "");
    const std::string engineText = sess->Outcome(dup, "command:");
    EXPECT_NE(engineText, "");
    EXPECT_NE(engineText, "ROLLBACK");
    EXPECT_NE(engineText, "timeout");
    EXPECT_EQ(sess->Outcome(after, "command:"), "ROLLBACK");
    EXPECT_EQ(sess->Outcome("fim", "command:"), "ROLLBACK");
    for (const std::string& id : {ok, dup, after, std::string("fim")})
        EXPECT_EQ(g.FindSQL(id), nullptr) << id;

    TXSQL* q = sess->Query("SELECT ID, NOME FROM ITENS ORDER BY ID");
    ASSERT_NE(q, nullptr) << sess->error;
    ASSERT_EQ(q->RecordCount(), 1) << "the statement that had succeeded was rolled back too";
    EXPECT_EQ(q->FieldValueAt(0, "NOME").AsString(), "antes");

    // The next transaction starts clean.
    g.StartTransaction();
    sess->Post(kInsert, Row(4, "quatro"));
    g.Commit("de novo");
    EXPECT_EQ(sess->Outcome("de novo", "command:"), "");
    EXPECT_EQ(sess->Count("SELECT COUNT(*) FROM ITENS"), 2);
}

TEST_F(SessionsTest, LocalRollbackThenANewTransaction) {
    MakeTable(*sess);
    TXSQLSessionGUI& g = sess->gui;
    g.StartTransaction();
    EXPECT_EQ(sess->Exec(kInsert, Row(1, "desfeito")), "");
    g.SQL().SQLText = "half built";
    g.SQL().ParamInteger("X", 1);
    g.Rollback();
    EXPECT_FALSE(g.InTransaction());
    EXPECT_EQ(g.SQL().SQLText, "") << "what was being built in the transaction is dropped";
    EXPECT_EQ(g.SQL().Params.Count(), 0);
    EXPECT_EQ(g.SQL().TransactionMark, tsNone);

    g.StartTransaction();
    EXPECT_EQ(sess->Exec(kInsert, Row(2, "mantido")), "");
    g.Commit("fim");
    EXPECT_EQ(sess->Outcome("fim", "command:"), "");
    TXSQL* q = sess->Query("SELECT ID FROM ITENS");
    ASSERT_NE(q, nullptr) << sess->error;
    ASSERT_EQ(q->RecordCount(), 1) << "the rolled-back insert is gone";
    EXPECT_EQ(q->FieldValueAt(0, "ID").AsInt64(), 2);

    // Rolling back with nothing sent leaves the statement being built alone.
    g.StartTransaction();
    g.SQL().SQLText = "SELECT 1";
    g.Rollback();
    EXPECT_EQ(g.SQL().SQLText, "SELECT 1");
}

TEST_F(SessionsTest, ARowLockBlocksOnlyTheContendingSession) {
    MakeTable(*sess);
    EXPECT_EQ(sess->Exec(kInsert, Row(1, "original")), "");
    auto bConn = Connect();
    auto b = OpenSession(*bConn);
    auto third = OpenSession(*conn); // same connection as the lock holder

    sess->gui.StartTransaction();
    EXPECT_EQ(sess->Exec("UPDATE ITENS SET NOME = 'a' WHERE ID = 1"), "");
    const std::string waiting = b->Post("UPDATE ITENS SET NOME = 'b' WHERE ID = 1");
    // While b waits for the lock, a third session is answered.
    EXPECT_EQ(third->Count("SELECT COUNT(*) FROM ITENS"), 1);
    EXPECT_FALSE(b->Has("command:" + waiting)) << "b must wait for the lock";

    sess->gui.Commit("fim");
    EXPECT_EQ(sess->Outcome("fim", "command:"), "");
    EXPECT_EQ(b->Outcome(waiting, "command:"), "");
    TXSQL* q = third->Query("SELECT NOME FROM ITENS WHERE ID = 1");
    ASSERT_NE(q, nullptr) << third->error;
    EXPECT_EQ(q->FieldValueAt(0, "NOME").AsString(), "b");
}

TEST_F(SessionsTest, ALostConnectionCommitsNothingAndKeepsItsSlot) {
    MakeTable(*sess);
    auto aConn = Connect();
    auto a = OpenSession(*aConn);
    a->gui.StartTransaction();
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(a->Exec(kInsert, Row(i, "perdido")), "");
    EXPECT_EQ(a->gui.Session()->CSID(), 0);

    aConn->pack.Deactivate();
    ASSERT_FALSE(aConn->dc.Active());
    // Released while disconnected: the slot stays in use and nothing is sent.
    a->gui.Release();
    EXPECT_TRUE(aConn->dc.Session(0)->Active());
    EXPECT_FALSE(aConn->dc.Session(0)->InTransaction()) << "rolled back locally";

    // The server rolled the transaction back: the rows are not there and the lock is gone.
    EXPECT_EQ(sess->Exec("UPDATE ITENS SET NOME = 'livre' WHERE ID >= 0"), "");
    EXPECT_EQ(sess->Count("SELECT COUNT(*) FROM ITENS"), 0);

    // Reconnected, the next session takes another slot.
    ASSERT_TRUE(aConn->Open(server->Port()));
    auto again = OpenSession(*aConn);
    EXPECT_EQ(again->gui.Session()->CSID(), 1);
    EXPECT_EQ(again->Count("SELECT COUNT(*) FROM ITENS"), 0);
}

TEST_F(SessionsTest, ReleasedSlotsAreReusedWithTheirCSID) {
    auto second = OpenSession(*conn);
    EXPECT_EQ(second->gui.Session()->CSID(), 1);
    TXSQLSession* slot = second->gui.Session();
    second->gui.StartTransaction();
    MakeTable(*second);
    second.reset(); // destroyed: rolled back, statements and server session freed
    EXPECT_FALSE(slot->Active());
    EXPECT_EQ(sess->Count("SELECT COUNT(*) FROM ITENS"), -1) << "the table was never committed";

    auto third = OpenSession(*conn);
    EXPECT_EQ(third->gui.Session(), slot);
    EXPECT_EQ(slot->CSID(), 1);
    EXPECT_FALSE(slot->InTransaction());
    EXPECT_EQ(slot->PendingSelects(), 0);
    MakeTable(*third);
    EXPECT_EQ(sess->Count("SELECT COUNT(*) FROM ITENS"), 0);
}
