// Write-back commands: DELETE, INSERT and UPDATE texts and parameters, sent through the session seam.
#include "SQLTestSupport.h"
#include "sql/UXSQLCommandSink.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

// Records every command as the session component would send it, then starts a fresh statement.
class RecordingSink : public TXSQLCommandSink {
public:
    struct Sent {
        std::string id;
        std::string text;
        std::map<std::string, TXVariant> params;
    };

    TXSQL& SQL() override { return *mCurrent; }
    void Command(const std::string& id) override {
        Sent s{id, mCurrent->EffectiveText(), {}};
        for (int i = 0; i < mCurrent->Params.Count(); ++i) {
            s.params[mCurrent->Params.Name(i)] = mCurrent->Params.Value(i).AsVariant();
        }
        sent.push_back(std::move(s));
        mCurrent = std::make_unique<TXSQL>();
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const auto& s : sent) {
            t.push_back(s.text);
        }
        return t;
    }

    std::vector<Sent> sent;

private:
    std::unique_ptr<TXSQL> mCurrent = std::make_unique<TXSQL>();
};

// CULTURA with a key, a NOSAVE column and every other type.
void DeclareCultura(TXSQL& sql) {
    FillFromServer(
        sql,
        {{"ID", sftInteger, 4},
         {"NOME", sftString, 40},
         {"OBS", sftString, 80},
         {"VALOR", sftCurrency, 8},
         {"DT", sftDateTime, 8}},
        {{I(1), S("Soja"), S("x"), TXVariant::FromCurrencyScaled(25000), TXVariant::FromDate(45000.0)},
         {I(2), S("Milho"), TXVariant::Null(), TXVariant::Null(), TXVariant::FromDate(45001.0)}});
    TXSQLStruct& st = sql.Struct();
    st.TableName = "CULTURA";
    st.FindField("ID")->Key = true;
    st.FindField("OBS")->Save = false;
}

} // namespace

TEST(SQLUpdates, LoadedRecordsBecomeUpdatesKeyedByTheirFetchedValues) {
    TXSQL sql;
    DeclareCultura(sql);
    sql.SetRecNo(1);
    sql.SetFieldValue("ID", I(20)); // the key changes: the row is still found by 2
    sql.SetFieldValue("NOME", S("Milho verde"));
    sql.SetRecNo(0);
    RecordingSink sink;
    sql.GenerateUpdates(sink, false);
    ASSERT_EQ(sink.sent.size(), 2u); // every loaded record, edited or not
    EXPECT_EQ(sink.sent[0].text,
              "UPDATE CULTURA SET ID=:ID,NOME=:NOME,VALOR=:VALOR,DT=:DT WHERE ID=:velgrathkey_ID");
    EXPECT_EQ(sink.sent[0].params, (std::map<std::string, TXVariant>{
                                       {"IID", TXVariant::FromInt(1)},
                                       {"SNOME", S("Soja")},
                                       {"CVALOR", TXVariant::FromCurrencyScaled(25000)},
                                       {"DDT", TXVariant::FromDate(45000.0)},
                                       {"Ivelgrathkey_ID", TXVariant::FromInt(1)},
                                   }));
    EXPECT_EQ(sink.sent[1].text,
              "UPDATE CULTURA SET ID=:ID,NOME=:NOME,VALOR=NULL,DT=:DT WHERE ID=:velgrathkey_ID");
    EXPECT_EQ(sink.sent[1].params.at("IID"), TXVariant::FromInt(20));
    EXPECT_EQ(sink.sent[1].params.at("Ivelgrathkey_ID"), TXVariant::FromInt(2));
    EXPECT_EQ(sink.sent[1].params.count("CVALOR"), 0u);
    for (const auto& s : sink.sent) {
        EXPECT_EQ(s.id, ""); // the component names them
    }
    EXPECT_EQ(sql.RecNo(), 0);
}

TEST(SQLUpdates, InsertedRecordsBecomeInsertsAndPlaceholdersNothing) {
    TXSQL sql;
    DeclareCultura(sql);
    sql.InsertRecord(0, rsInserted);
    sql.SetFieldValue("ID", I(3));
    sql.SetFieldValue("NOME", S("Trigo"));
    sql.SetFieldValue("OBS", S("never written"));
    sql.InsertRecord(-1, rsPlaceholder);
    RecordingSink sink;
    sql.GenerateUpdates(sink, false);
    ASSERT_EQ(sink.sent.size(), 3u);
    EXPECT_EQ(sink.sent[0].text, "INSERT INTO CULTURA (ID,NOME,VALOR,DT) Values (:ID,:NOME,NULL,NULL)");
    EXPECT_EQ(sink.sent[0].params,
              (std::map<std::string, TXVariant>{{"IID", TXVariant::FromInt(3)}, {"SNOME", S("Trigo")}}));
    EXPECT_EQ(sink.sent[1].text.substr(0, 14), "UPDATE CULTURA");
    EXPECT_EQ(sink.sent[2].text.substr(0, 14), "UPDATE CULTURA");
}

TEST(SQLUpdates, DeletionsUseTheKeyFields) {
    TXSQL sql;
    DeclareCultura(sql);
    sql.First();
    sql.SetFieldValue("ID", I(100)); // edited before deletion: the stored row is still 1
    sql.DeleteRecord();
    sql.DeleteRecord();
    sql.InsertRecord(-1, rsInserted);
    sql.DeleteRecord(); // inserted locally: nothing to delete
    RecordingSink sink;
    sql.GenerateUpdates(sink, true);
    ASSERT_EQ(sink.Texts(), (std::vector<std::string>{"DELETE FROM CULTURA WHERE ID=:ID",
                                                      "DELETE FROM CULTURA WHERE ID=:ID"}));
    EXPECT_EQ(sink.sent[0].params, (std::map<std::string, TXVariant>{{"IID", TXVariant::FromInt(1)}}));
    EXPECT_EQ(sink.sent[1].params, (std::map<std::string, TXVariant>{{"IID", TXVariant::FromInt(2)}}));

    RecordingSink writes; // with deletions false the deleted records are left alone
    sql.GenerateUpdates(writes, false);
    EXPECT_TRUE(writes.sent.empty());
}

TEST(SQLUpdates, CompositeKeysAndNulls) {
    TXSQL sql;
    FillFromServer(sql, {{"A", sftInteger, 4}, {"B", sftString, 4}, {"C", sftFloat, 8}},
                   {{I(1), TXVariant::Null(), TXVariant::FromDouble(0.5)}});
    sql.Struct().TableName = "T";
    sql.Struct().FindField("A")->Key = true;
    sql.Struct().FindField("B")->Key = true;
    RecordingSink update;
    sql.GenerateUpdates(update, false);
    EXPECT_EQ(update.Texts(),
              (std::vector<std::string>{"UPDATE T SET A=:A,B=NULL,C=:C WHERE A=:velgrathkey_A AND B=NULL"}));
    EXPECT_EQ(update.sent[0].params,
              (std::map<std::string, TXVariant>{{"IA", TXVariant::FromInt(1)},
                                                {"EC", TXVariant::FromDouble(0.5)},
                                                {"Ivelgrathkey_A", TXVariant::FromInt(1)}}));
    sql.First();
    sql.DeleteRecord();
    RecordingSink del;
    sql.GenerateUpdates(del, true);
    EXPECT_EQ(del.Texts(), (std::vector<std::string>{"DELETE FROM T WHERE A=:A AND B=NULL"}));
}

TEST(SQLUpdates, NoCommandWithoutKeyForDeletesOrWithoutSaveFields) {
    TXSQL sql;
    FillFromServer(sql, {{"A", sftInteger, 4}}, {{I(1)}, {I(2)}});
    sql.Struct().TableName = "T";
    sql.First();
    sql.DeleteRecord();
    RecordingSink del;
    sql.GenerateUpdates(del, true);
    EXPECT_TRUE(del.sent.empty());

    sql.Struct().FindField("A")->Save = false;
    RecordingSink none;
    sql.GenerateUpdates(none, false);
    EXPECT_TRUE(none.sent.empty());
}

TEST(SQLUpdates, KeyNotSavedLeavesNoCondition) {
    TXSQL sql;
    FillFromServer(sql, {{"ID", sftInteger, 4}, {"N", sftString, 4}}, {{I(1), S("a")}});
    sql.Struct().TableName = "T";
    sql.Struct().FindField("ID")->Key = true;
    sql.Struct().FindField("ID")->Save = false;
    RecordingSink sink;
    sql.GenerateUpdates(sink, false);
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"UPDATE T SET N=:N WHERE "}));
}

TEST(SQLUpdates, RecordsHiddenByTheFilterAreWrittenToo) {
    TXSQL sql;
    DeclareCultura(sql);
    sql.FilterValues().ValueOf("NOME").SetString("Soja");
    sql.SetFiltered(true);
    sql.InsertRecord(-1, rsInserted);
    sql.SetFieldValue("ID", I(9));
    sql.SetFieldValue("NOME", S("Aveia"));
    RecordingSink sink;
    sql.GenerateUpdates(sink, false);
    ASSERT_EQ(sink.sent.size(), 3u);
    EXPECT_EQ(sink.sent[2].params.at("IID"), TXVariant::FromInt(2));
    EXPECT_TRUE(sql.Filtered());
    EXPECT_EQ(sql.RecordCount(), 2);
    EXPECT_EQ(sql.RecNo(), 1);
}

TEST(SQLUpdates, UnknownTypeParameterRaisesAndRestoresTheCursor) {
    TXSQL sql;
    FillFromServer(sql, {{"ID", sftInteger, 4}, {"X", sftUnknown, 0}}, {{I(1), TXVariant()}});
    sql.Struct().TableName = "T";
    sql.SetFieldValue("X", TXVariant::FromInt(3));
    sql.InsertRecord(-1, rsInserted);
    sql.SetRecNo(1);
    RecordingSink sink;
    try {
        sql.GenerateUpdates(sink, false);
        FAIL() << "no error";
    } catch (const EXSQLError& e) {
        EXPECT_STREQ(e.what(), "Invalid parameter type for field X");
    }
    EXPECT_TRUE(sink.sent.empty());
    EXPECT_EQ(sql.RecNo(), 1);
}
