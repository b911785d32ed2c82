// Queries through the session component against a real data server: paging into placeholders, typed
// parameters and values, abandoned fetches, ids, notify calls and written-back edits.
#include "USessionFixture.h"

#include "foundation/UCp1252.h"
#include "foundation/UXData.h"

#include <algorithm>
#include <cmath>

namespace {

// Rows 1..n in table NUMS (ID, NOME), inserted by the engine itself.
void FillNumbers(TSess& s, int n) {
    ASSERT_EQ(s.Exec("CREATE TABLE NUMS (ID INTEGER NOT NULL PRIMARY KEY, NOME VARCHAR(60))"), "");
    if (n > 0) {
        ASSERT_EQ(
            s.Exec("INSERT INTO NUMS (ID, NOME) WITH RECURSIVE C(X) AS (SELECT 1 UNION ALL SELECT X + 1 "
                   "FROM C WHERE X < " +
                   std::to_string(n) + ") SELECT X, 'nome ' || X FROM C"),
            "");
    }
}

} // namespace

class Paging : public SessionsTest, public testing::WithParamInterface<int> {};

TEST_P(Paging, EveryRecordLandsInItsPlaceholderAndTheSelectCompletesOnce) {
    const int n = GetParam();
    FillNumbers(*sess, 30000);
    sess->log.clear();
    TXSQL* q = sess->Query("SELECT ID, NOME FROM NUMS WHERE ID <= :N ORDER BY ID",
                           [&](TXSQL& s) { s.ParamInteger("N", n); });
    ASSERT_NE(q, nullptr) << sess->error;
    const std::string id = sess->lastId;

    ASSERT_EQ(q->RecordCount(), n);
    EXPECT_TRUE(q->Records().Complete);
    EXPECT_EQ(q->Records().LoadedCount, n);
    EXPECT_EQ(sess->gui.PendingSelects(), 0);
    ASSERT_EQ(q->Struct().FieldCount(), 2);
    EXPECT_EQ(q->Struct().Field(0).Type, sftInteger);
    EXPECT_EQ(q->Struct().Field(1).Type, sftString);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(q->FieldValueAt(i, "ID").AsInt64(), i + 1) << i;
        ASSERT_EQ(q->FieldValueAt(i, "nome").AsString(), "nome " + std::to_string(i + 1)) << i;
        ASSERT_EQ(q->RecordState(i), rsLoaded);
    }
    EXPECT_EQ(q->RecNo(), n > 0 ? 0 : -1) << "the first page moves the cursor to the first record";

    // Event order: the structure, one page per FETCH (the pages add up), then the select once.
    ASSERT_GE(sess->log.size(), 3u);
    EXPECT_EQ(sess->log.front(), "fetchstruct:" + id + ":" + std::to_string(n));
    EXPECT_EQ(sess->log.back(), "select:" + id);
    EXPECT_EQ(std::count(sess->log.begin(), sess->log.end(), "select:" + id), 1);
    int sum = 0;
    for (int32_t c : sess->pages)
        sum += c;
    EXPECT_EQ(sum, n);
    if (n == 0) {
        EXPECT_EQ(sess->log[1], "fetch:" + id + ":0:0") << "an empty result still takes one empty page";
    }
    if (n == 30000) {
        EXPECT_GT(sess->pages.size(), 2u) << "a large result comes in several pages";
    }

    sess->gui.FreeSQL(id);
    EXPECT_EQ(sess->gui.FindSQL(id), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Sizes, Paging, testing::Values(0, 1, 250, 30000));

TEST_F(SessionsTest, EveryParameterTypeAndNullRoundTrips) {
    ASSERT_EQ(
        sess->Exec(Ddl("CREATE TABLE TIPOS (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(100), I INTEGER, "
                       "C NUMERIC(15,4), E DOUBLE PRECISION, D TIMESTAMP, B BLOB)",
                       "CREATE TABLE TIPOS (ID INTEGER NOT NULL PRIMARY KEY, S VARCHAR(100), I INTEGER, "
                       "C NUMERIC(15,4), E DOUBLE PRECISION, D TIMESTAMP, B BYTEA)")),
        "");
    // Windows-1252 with accents (and a euro sign), a 1 MiB blob with every byte value including 0.
    const std::string text = "A\xE7\xE3o \xE9 f\xE1\x63il \x80 5,00 \xC1GUA";
    std::string blob(1 << 20, '\0');
    for (size_t i = 0; i < blob.size(); ++i)
        blob[i] = char((i * 131 + i / 7) & 0xFF);
    const double when = EncodeDateTime(2024, 2, 29, 13, 45, 10);
    const char* insert = "INSERT INTO TIPOS (ID, S, I, C, E, D, B) VALUES (:ID, :S, :I, :C, :E, :D, :B)";
    ASSERT_EQ(sess->Exec(insert,
                         [&](TXSQL& s) {
                             s.ParamInteger("ID", 1);
                             s.ParamString("S", text);
                             s.ParamInteger("I", -2147483647);
                             s.ParamCurrency("C", TXVariant::FromCurrency(-12345.6789));
                             s.ParamFloat("E", 3.25e-7);
                             s.ParamDateTime("D", TXVariant::FromDate(when));
                             s.ParamBlob("B", TXVariant::FromString(blob));
                         }),
              "");
    ASSERT_EQ(sess->Exec(insert,
                         [&](TXSQL& s) {
                             s.ParamInteger("ID", 2);
                             s.ParamString("S", TXVariant::Null());
                             s.ParamInteger("I", TXVariant::Null());
                             s.ParamCurrency("C", TXVariant::Null());
                             s.ParamFloat("E", TXVariant::Null());
                             s.ParamDateTime("D", TXVariant::Null());
                             s.ParamBlob("B", TXVariant::Null());
                             EXPECT_TRUE(s.Params.Exists("*S"));
                         }),
              "");

    TXSQL* q = sess->Query("SELECT ID, S, I, C, E, D, B FROM TIPOS ORDER BY ID");
    ASSERT_NE(q, nullptr) << sess->error;
    ASSERT_EQ(q->RecordCount(), 2);
    const std::vector<TXSQLStructDataType> types{sftInteger, sftString,   sftInteger, sftCurrency,
                                                 sftFloat,   sftDateTime, sftBlob};
    for (int i = 0; i < q->Struct().FieldCount(); ++i)
        EXPECT_EQ(q->Struct().Field(i).Type, types[size_t(i)]) << q->Struct().Field(i).Name;

    EXPECT_EQ(q->FieldValueAt(0, "S").AsString(), text);
    EXPECT_EQ(q->FieldValueAt(0, "I").AsInt64(), -2147483647);
    EXPECT_EQ(q->FieldValueAt(0, "C").AsCurrencyScaled(), -123456789);
    EXPECT_DOUBLE_EQ(q->FieldValueAt(0, "E").AsDouble(), 3.25e-7);
    EXPECT_NEAR(q->FieldValueAt(0, "D").AsDouble(), when, 1.0 / 86400000.0);
    const std::string back = q->FieldValueAt(0, "B").AsString();
    EXPECT_EQ(back.size(), blob.size());
    EXPECT_TRUE(back == blob) << "blob bytes differ";
    for (const char* f : {"S", "I", "C", "E", "D", "B"})
        EXPECT_TRUE(q->FieldValueAt(1, f).IsNull()) << f;

    // A text parameter in a condition matches the accented value byte for byte.
    TXSQL* m = sess->Query("SELECT ID FROM TIPOS WHERE S = :S", [&](TXSQL& s) { s.ParamString("S", text); });
    ASSERT_NE(m, nullptr) << sess->error;
    EXPECT_EQ(m->RecordCount(), 1);
}

TEST_F(SessionsTest, AbandonedFetchesStopAndCountTheSelectOnce) {
    FillNumbers(*sess, 30000);

    // Abandoned at the structure: no FETCH goes out; the select stays pending until it is freed.
    sess->abortStruct = true;
    sess->gui.SQL().SQLText = "SELECT ID FROM NUMS";
    sess->gui.Select("struct");
    ASSERT_NE(sess->WaitLine({"fetchstruct:struct:"}), "");
    sess->abortStruct = false;
    EXPECT_EQ(sess->gui.PendingSelects(), 1);
    // The server answers a session's requests in order: had a FETCH gone out, its page would come first.
    ASSERT_NE(sess->Query("SELECT 1 AS X FROM NUMS WHERE ID = 1"), nullptr) << sess->error;
    EXPECT_FALSE(sess->WaitLine({"fetch:struct:"}, 0) != "");
    EXPECT_FALSE(sess->gui.FindSQL("struct")->Records().Complete);
    sess->gui.FreeSQL("struct");
    EXPECT_EQ(sess->gui.PendingSelects(), 0);

    // Abandoned on the first page of several: counted down once, and not again when freed.
    sess->abortFetch = true;
    sess->gui.SQL().SQLText = "SELECT ID, NOME FROM NUMS";
    sess->gui.Select("page");
    ASSERT_NE(sess->WaitLine({"fetch:page:"}), "");
    sess->abortFetch = false;
    EXPECT_EQ(sess->gui.PendingSelects(), 0);
    ASSERT_NE(sess->Query("SELECT 1 AS X FROM NUMS WHERE ID = 1"), nullptr) << sess->error;
    EXPECT_EQ(std::count_if(sess->log.begin(), sess->log.end(),
                            [](const std::string& l) { return l.rfind("fetch:page:", 0) == 0; }),
              1);
    EXPECT_FALSE(sess->Has("select:page"));
    TXSQL* partial = sess->gui.FindSQL("page");
    ASSERT_NE(partial, nullptr);
    EXPECT_GT(partial->Records().LoadedCount, 0);
    EXPECT_LT(partial->Records().LoadedCount, 30000);
    EXPECT_TRUE(partial->FieldValueAt(29999, "ID").IsNull()) << "a record whose page never came";
    sess->gui.FreeSQL("page");
    EXPECT_EQ(sess->gui.PendingSelects(), 0);
}

TEST_F(SessionsTest, IdsAreCheckedAndGeneratedPerComponent) {
    FillNumbers(*sess, 3);
    // A taken id: raises and sends nothing; the statement being built stays as it was.
    sess->gui.SQL().SQLText = "SELECT ID FROM NUMS";
    sess->gui.Select("dup");
    sess->gui.SQL().SQLText = "SELECT NOME FROM NUMS";
    try {
        sess->gui.Select("DUP");
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "id DUP already in use");
    }
    EXPECT_EQ(sess->gui.SQL().SQLText, "SELECT NOME FROM NUMS");
    EXPECT_EQ(sess->gui.PendingSelects(), 1);
    ASSERT_NE(sess->WaitLine({"select:dup"}), "");
    EXPECT_EQ(sess->gui.FindSQL("Dup"), sess->gui.FindSQL("dup")) << "ids compare without letter case";

    // Empty ids: the component's prefix and a running number that never resets.
    sess->gui.IdPrefix = "$$$reqseqauto";
    sess->gui.SQL().SQLText = "UPDATE NUMS SET NOME = 'x' WHERE ID = 1";
    sess->gui.Command();
    sess->gui.SQL().SQLText = "SELECT ID FROM NUMS";
    sess->gui.Select();
    ASSERT_NE(sess->WaitLine({"command:$$$reqseqauto0"}), "");
    ASSERT_NE(sess->WaitLine({"select:$$$reqseqauto1"}), "");
    EXPECT_EQ(sess->gui.FindSQL("$$$reqseqauto0"), nullptr) << "a completed command is freed";
    EXPECT_NE(sess->gui.FindSQL("$$$reqseqauto1"), nullptr);

    // An SQL error reaches the component with the server's text and frees the statement.
    const std::string bad = sess->Post("SELEC nonsense");
    EXPECT_NE(sess->gui.FindSQL(bad), nullptr);
    const std::string error = sess->Outcome(bad, "command:");
    EXPECT_NE(error, "");
    EXPECT_NE(error, "timeout");
    EXPECT_EQ(sess->gui.FindSQL(bad), nullptr);
}

TEST_F(SessionsTest, UninitialisedComponentAndDisconnectedClient) {
    TXSQLSessionGUI idle;
    EXPECT_FALSE(idle.Ready());
    for (const auto& op : std::vector<std::function<void()>>{
             [&] { idle.SQL(); },
             [&] { idle.Select("x"); },
             [&] { idle.Command("x"); },
             [&] { idle.StartTransaction(); },
             [&] { idle.Commit("x"); },
             [&] { idle.FreeSQL("x"); },
             [&] { idle.Sequence("x", "T", "ID", 1); },
             [&] { idle.SemaphoreAcquire("S", "", "1", false, false); },
             [&] { idle.PendingSelects(); },
         }) {
        try {
            op();
            ADD_FAILURE() << "no error";
        } catch (const std::exception& e) {
            EXPECT_EQ(std::string(e.what()), Utf8ToCp1252("Sessão não inicializada"));
        }
    }

    TConn offline; // never connected
    TXSQLSessionGUI g;
    g.DC = &offline.dc;
    try {
        g.Loaded();
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "TXDataClient error: Connection not active");
    }
    EXPECT_FALSE(g.Ready());
}

TEST_F(SessionsTest, UnknownConfigurationAndOperationAreShown) {
    TRecordingDialogs dialogs;
    TXDialogServiceScope scope(dialogs);
    TSess cfg(&conn->dc, "geral", "NAOEXISTE");
    cfg.gui.Loaded();
    TSess op(&conn->dc, "inventada");
    op.gui.Loaded();
    // A statement sent before the session has its server id names no session there.
    TSess early(&conn->dc);
    early.gui.Loaded();
    early.gui.SQL().SQLText = "SELECT 1";
    early.gui.Select("cedo");
    ASSERT_TRUE(WaitFor([&] { return dialogs.Shown.size() == 3; }, 10000));
    EXPECT_EQ(dialogs.Shown[0], "unknown cfg");
    EXPECT_EQ(dialogs.Shown[1], "unknown op: inventada");
    EXPECT_EQ(dialogs.Shown[2], "unknown sess");
    EXPECT_FALSE(cfg.gui.Ready());
    EXPECT_FALSE(op.gui.Ready());
    EXPECT_TRUE(WaitFor([&] { return early.gui.Ready(); }));
}

namespace {
struct TNotes {
    std::vector<std::string> seen;
};
void NoteA(void* o, TXSQLSession& s) {
    static_cast<TNotes*>(o)->seen.push_back("A" + std::to_string(s.EventCode));
}
void NoteB(void* o, TXSQLSession& s) {
    static_cast<TNotes*>(o)->seen.push_back("B" + std::to_string(s.EventCode));
}
} // namespace

TEST_F(SessionsTest, NotifyCallsWaitForTheSessionAndFollowItsEvents) {
    TNotes notes;
    TSess other(&conn->dc);
    other.gui.AddNotify(&NoteA, &notes);
    other.gui.AddNotify(&NoteB, &notes);
    other.gui.AddNotify(&NoteB, &notes);
    other.gui.RemoveNotify(&NoteB, &notes); // the last registration goes
    bool dispatcherSawReady = false;
    other.gui.OnReady = [&](TXSQLSessionGUI&) { dispatcherSawReady = !notes.seen.empty(); };
    ASSERT_TRUE(other.Open());
    // Moved last-registered first, then called last-registered first: A, B, then the dispatcher.
    EXPECT_EQ(notes.seen, (std::vector<std::string>{"A11", "B11"}));
    EXPECT_TRUE(dispatcherSawReady);
    EXPECT_EQ(other.gui.Session()->CSID(), 1) << "the second session of the client takes the next slot";

    notes.seen.clear();
    other.gui.RemoveNotify(&NoteA, &notes);
    ASSERT_EQ(other.Exec("CREATE TABLE N1 (ID INTEGER)"), "");
    EXPECT_EQ(notes.seen, (std::vector<std::string>{"B1"}));
}

TEST_F(SessionsTest, EditedRecordsAreWrittenBackThroughTheComponent) {
    FillNumbers(*sess, 3);
    TXSQL* q = sess->Query("SELECT ID, NOME FROM NUMS ORDER BY ID");
    ASSERT_NE(q, nullptr) << sess->error;
    q->Struct().TableName = "NUMS";
    q->Struct().Field(0).Key = true;
    q->First();
    q->SetFieldValue("ID", TXVariant::FromInt(10));
    q->SetFieldValue("NOME", TXVariant::FromString("dez"));
    q->DeleteRecord(2);
    q->InsertRecord(-1, rsInserted);
    q->SetFieldValue("ID", TXVariant::FromInt(4));
    q->SetFieldValue("NOME", TXVariant::FromString("quatro"));

    sess->gui.IdPrefix = "upd";
    sess->gui.StartTransaction();
    q->GenerateUpdates(sess->gui, true);
    q->GenerateUpdates(sess->gui, false);
    sess->gui.Commit("gravar");
    ASSERT_NE(sess->WaitLine({"command:gravar", "sqlerror:"}), "");
    ASSERT_TRUE(sess->Has("command:gravar")) << sess->log.back();
    EXPECT_FALSE(sess->gui.InTransaction());

    TXSQL* r = sess->Query("SELECT ID, NOME FROM NUMS ORDER BY ID");
    ASSERT_NE(r, nullptr) << sess->error;
    ASSERT_EQ(r->RecordCount(), 3);
    EXPECT_EQ(r->FieldValueAt(0, "ID").AsInt64(), 2);
    EXPECT_EQ(r->FieldValueAt(1, "ID").AsInt64(), 4);
    EXPECT_EQ(r->FieldValueAt(1, "NOME").AsString(), "quatro");
    EXPECT_EQ(r->FieldValueAt(2, "ID").AsInt64(), 10);
    EXPECT_EQ(r->FieldValueAt(2, "NOME").AsString(), "dez");
}
