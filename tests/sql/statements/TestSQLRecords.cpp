// Fetched records: pages and placeholders, the cursor, editing, inserting and deleting, Locate and
// filters, the position stack, masters and details.
#include "SQLTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const std::vector<TXSQLWireField> kFields = {{"ID", sftInteger, 4}, {"NOME", sftString, 40}};

std::vector<std::vector<TXVariant>> Rows(int n) {
    std::vector<std::vector<TXVariant>> rows;
    for (int i = 0; i < n; ++i) {
        rows.push_back({I(i), S(i % 2 == 0 ? "par" : "impar")});
    }
    return rows;
}

std::string Message(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "<no error>";
}

std::vector<int64_t> Ids(const TXSQL& sql) {
    std::vector<int64_t> ids;
    for (int i = 0; i < sql.RecordCount(); ++i) {
        ids.push_back(sql.FieldValueAt(i, "ID").AsInt64());
    }
    return ids;
}

TXData Page(const std::vector<std::vector<TXVariant>>& rows, size_t first, size_t count) {
    std::vector<std::vector<TXVariant>> slice(rows.begin() + static_cast<long>(first),
                                              rows.begin() + static_cast<long>(first + count));
    std::vector<const std::vector<TXVariant>*> entries;
    for (const auto& r : slice) {
        entries.push_back(&r);
    }
    TXData d;
    Init(d);
    WritePageEntries(d, kFields, static_cast<int32_t>(first), entries);
    return Loaded(Finished(d));
}

} // namespace

TEST(SQLFetch, LargeResultIsCompleteOnlyAfterItsLastPage) {
    auto rows = Rows(250);
    TXSQL sql;
    TXData s;
    Init(s);
    WriteStructure(s, kFields);
    TXData structure = Loaded(Finished(s));
    sql.Records().Complete = false; // the session does this when the SELECT goes out
    sql.FetchStructIn(structure, 250);
    EXPECT_EQ(sql.RecordCount(), 250);
    EXPECT_EQ(sql.RecNo(), -1);
    EXPECT_EQ(sql.RecordState(0), rsPlaceholder);

    TXData p1 = Page(rows, 0, 100);
    TXSQLFetchResult r1 = sql.FetchIn(p1);
    EXPECT_EQ(r1.First, 0);
    EXPECT_EQ(r1.Count, 100);
    EXPECT_EQ(sql.RecNo(), 0); // a first page with records moves to the first record
    EXPECT_FALSE(sql.Records().Complete);
    EXPECT_EQ(sql.Records().LoadedCount, 100);
    EXPECT_EQ(sql.FieldValueAt(99, "ID"), I(99));
    EXPECT_TRUE(sql.FieldValueAt(120, "ID").IsNull());
    EXPECT_EQ(sql.RecordState(120), rsPlaceholder);

    sql.SetRecNo(5);
    TXData p2 = Page(rows, 100, 100);
    sql.FetchIn(p2);
    EXPECT_EQ(sql.RecNo(), 5); // later pages leave the cursor alone
    EXPECT_EQ(sql.FieldValueAt(120, "NOME"), S("par"));
    EXPECT_FALSE(sql.Records().Complete);
    TXData p3 = Page(rows, 200, 50);
    sql.FetchIn(p3);
    EXPECT_TRUE(sql.Records().Complete);
    EXPECT_EQ(sql.Records().LoadedCount, 250);
    EXPECT_EQ(sql.RecordState(249), rsLoaded);
}

TEST(SQLFetch, SkippedPositionsStayPlaceholdersAndRepeatsCountOnce) {
    auto rows = Rows(3);
    TXSQL sql;
    TXData s;
    Init(s);
    WriteStructure(s, kFields);
    TXData structure = Loaded(Finished(s));
    sql.Records().Complete = false;
    sql.FetchStructIn(structure, 3);
    TXData d;
    Init(d);
    WritePageEntries(d, kFields, 0, {&rows[0], nullptr, &rows[2]});
    std::string page = Finished(d);
    TXData a = Loaded(page);
    sql.FetchIn(a);
    TXData b = Loaded(page);
    sql.FetchIn(b);
    EXPECT_EQ(sql.Records().LoadedCount, 2);
    EXPECT_FALSE(sql.Records().Complete);
    EXPECT_EQ(sql.RecordState(1), rsPlaceholder);
    TXData c = Page(rows, 1, 1);
    sql.FetchIn(c);
    EXPECT_TRUE(sql.Records().Complete);
    EXPECT_EQ(Ids(sql), (std::vector<int64_t>{0, 1, 2}));
}

TEST(SQLFetch, PageOutsideThePlaceholdersChangesNothing) {
    auto rows = Rows(4);
    TXSQL sql;
    TXData s;
    Init(s);
    WriteStructure(s, kFields);
    TXData structure = Loaded(Finished(s));
    sql.FetchStructIn(structure, 2);
    for (size_t first : {size_t(1), size_t(2)}) {
        TXData page = Page(rows, first, 2);
        EXPECT_EQ(Message([&] { sql.FetchIn(page); }), "invalid position in TXSQLRecordList.FetchIn");
    }
    EXPECT_EQ(sql.Records().LoadedCount, 0);
    EXPECT_EQ(sql.RecordState(1), rsPlaceholder);
}

TEST(SQLFetch, NewStructureEmptiesTheList) {
    TXSQL sql;
    FillFromServer(sql, kFields, Rows(3));
    sql.DeleteRecord(0);
    FillFromServer(sql, {{"X", sftString, 1}}, {{S("a")}});
    EXPECT_EQ(sql.RecordCount(), 1);
    EXPECT_TRUE(sql.Records().Deleted().empty());
    EXPECT_EQ(sql.Struct().FieldCount(), 1);
    EXPECT_EQ(sql.FieldValue("x"), S("a"));
}

TEST(SQLCursor, BoundsAndErrors) {
    TXSQL sql;
    FillFromServer(sql, kFields, {});
    EXPECT_TRUE(sql.Bof());
    EXPECT_TRUE(sql.Eof());
    EXPECT_EQ(Message([&] { sql.FieldValue("ID"); }), "Error accessing EOF");
    sql.First();
    EXPECT_TRUE(sql.Eof());

    FillFromServer(sql, kFields, Rows(3));
    EXPECT_EQ(sql.RecNo(), 0);
    sql.SetRecNo(-1);
    EXPECT_TRUE(sql.Bof());
    EXPECT_FALSE(sql.Eof());
    EXPECT_EQ(Message([&] { sql.FieldValue("ID"); }), "Error accessing BOF");
    EXPECT_EQ(Message([&] { sql.SetFieldValue("ID", I(1)); }), "Error accessing BOF");
    sql.SetRecNo(-7);
    EXPECT_EQ(sql.RecNo(), -1);
    sql.SetRecNo(99);
    EXPECT_EQ(sql.RecNo(), 3);
    EXPECT_TRUE(sql.Eof());
    sql.Next();
    EXPECT_EQ(sql.RecNo(), 3);
    EXPECT_EQ(Message([&] { sql.OldFieldValue("ID"); }), "Error accessing EOF");
    EXPECT_EQ(Message([&] { sql.FieldValueAt(-1, "ID"); }), "Error accessing BOF");
    EXPECT_EQ(Message([&] { sql.FieldValueAt(3, "ID"); }), "Error accessing EOF");
    EXPECT_EQ(Message([&] { sql.RecordState(3); }), "Error accessing EOF");

    sql.First();
    int seen = 0;
    for (; !sql.Eof(); sql.Next()) {
        EXPECT_EQ(sql.FieldValue("id"), I(seen++)); // names ignore letter case
    }
    EXPECT_EQ(seen, 3);
}

TEST(SQLCursor, UnknownFieldNamesTheTableAndItsFields) {
    TXSQL sql;
    FillFromServer(sql, kFields, Rows(1));
    sql.Struct().TableName = "CULTURA";
    EXPECT_EQ(Message([&] { sql.FieldValue("CODIGO"); }),
              "Field [CODIGO] not found in sql CULTURA contendo :\r\nID\r\nNOME\r\n");
    EXPECT_EQ(Message([&] { sql.FieldValueAt(0, "X"); }),
              "Field [X] not found in sql CULTURA contendo :\r\nID\r\nNOME\r\n");
}

TEST(SQLEdit, OldValuesAreThoseBeforeTheFirstEdit) {
    TXSQL sql;
    FillFromServer(sql, kFields, Rows(2));
    EXPECT_EQ(sql.OldFieldValue("NOME"), S("par"));
    sql.SetFieldValue("NOME", S("um"));
    sql.SetFieldValue("NOME", S("dois"));
    EXPECT_EQ(sql.FieldValue("NOME"), S("dois"));
    EXPECT_EQ(sql.OldFieldValue("NOME"), S("par"));
    EXPECT_EQ(sql.OldFieldValue("ID"), I(0));

    sql.SetFieldValueAt(1, "NOME", S("tres"));
    sql.Next();
    EXPECT_EQ(sql.FieldValue("NOME"), S("tres"));
    EXPECT_EQ(sql.OldFieldValue("NOME"), S("tres")); // not tracked

    sql.SetRecordMark(1, 7);
    EXPECT_EQ(sql.RecordMark(), 7);
    sql.SetRecordMark(3);
    EXPECT_EQ(sql.RecordMark(1), 3);
}

TEST(SQLEdit, InsertPutsTheCursorOnTheNewEmptyRecord) {
    TXSQL sql;
    FillFromServer(sql, kFields, Rows(3));
    sql.InsertRecord(-1, rsInserted);
    EXPECT_EQ(sql.RecNo(), 3);
    EXPECT_EQ(sql.RecordCount(), 4);
    EXPECT_TRUE(sql.FieldValue("ID").IsNull());
    EXPECT_EQ(sql.RecordState(), rsInserted);
    sql.InsertRecord(1, rsInserted);
    EXPECT_EQ(sql.RecNo(), 1);
    sql.SetFieldValue("ID", I(10));
    EXPECT_EQ(Ids(sql), (std::vector<int64_t>{0, 10, 1, 2, 0}));
    EXPECT_EQ(Message([&] { sql.InsertRecord(6, rsInserted); }), "Error accessing EOF");
    EXPECT_EQ(Message([&] { sql.InsertRecord(-2, rsInserted); }), "Error accessing BOF");

    TXSQL local; // a statement never fetched takes records too
    local.Struct().AddField("A", sftString);
    local.InsertRecord(-1, rsInserted);
    local.SetFieldValue("A", S("x"));
    EXPECT_EQ(local.FieldValueAt(0, "A"), S("x"));
}

TEST(SQLEdit, DeleteCursorRules) {
    struct Case {
        int cursor;
        int index;
        int cursorAfter;
    };
    const std::vector<Case> cases = {
        {2, 2, 2},   // current deleted: its successor becomes current
        {4, 4, 4},   // last deleted while current: EOF
        {3, 1, 2},   // before the cursor: the same record stays current
        {1, 3, 1},   // after the cursor: nothing moves
        {0, 0, 0},   //
        {-1, 0, -1}, // before the first
        {5, 2, 4},   // at EOF stays at EOF
    };
    for (const auto& c : cases) {
        TXSQL sql;
        FillFromServer(sql, kFields, Rows(5));
        sql.SetRecNo(c.cursor);
        sql.DeleteRecord(c.index);
        EXPECT_EQ(sql.RecNo(), c.cursorAfter) << c.cursor << "/" << c.index;
        EXPECT_EQ(sql.RecordCount(), 4);
        auto ids = Ids(sql);
        EXPECT_EQ(std::find(ids.begin(), ids.end(), c.index), ids.end());
    }
}

TEST(SQLEdit, OnlyLoadedRecordsAreKeptAsDeleted) {
    TXSQL sql;
    FillFromServer(sql, kFields, Rows(2));
    sql.InsertRecord(-1, rsInserted);
    sql.DeleteRecord(); // the current, inserted one
    EXPECT_TRUE(sql.Records().Deleted().empty());
    EXPECT_TRUE(sql.Eof());
    sql.First();
    sql.DeleteRecord();
    ASSERT_EQ(sql.Records().Deleted().size(), 1u);
    EXPECT_EQ(sql.Records().Deleted()[0].Value(0), I(0));
    EXPECT_EQ(sql.FieldValue("ID"), I(1));
    sql.Next();
    EXPECT_EQ(Message([&] { sql.DeleteRecord(); }), "Error accessing EOF");
}

TEST(SQLLocate, MatchesFieldsFromTheCurrentRecordOn) {
    TXSQL sql;
    FillFromServer(sql, kFields, Rows(6));
    TXDataList impar;
    impar.ValueOf("NOME").SetString("impar");
    EXPECT_TRUE(sql.Locate(impar));
    EXPECT_EQ(sql.RecNo(), 1);
    EXPECT_TRUE(sql.Locate(impar)); // the current record matches again
    EXPECT_EQ(sql.RecNo(), 1);
    sql.Next();
    EXPECT_TRUE(sql.Locate(impar));
    EXPECT_EQ(sql.RecNo(), 3);

    TXDataList both;
    both.ValueOf("nome").SetString("par");
    both.ValueOf("ID").SetInteger(2); // a 32-bit value against the fetched 64-bit one
    both.ValueOf("NOT_A_FIELD").SetInteger(99);
    EXPECT_FALSE(sql.Locate(both)); // 2 lies behind the cursor
    EXPECT_TRUE(sql.Eof());
    EXPECT_TRUE(sql.Contains(both));
    EXPECT_TRUE(sql.Eof()); // Contains keeps the cursor
    sql.SetRecNo(-1);
    EXPECT_TRUE(sql.Locate(both)); // before the first: the search starts at the first
    EXPECT_EQ(sql.RecNo(), 2);

    TXDataList none;
    none.ValueOf("OTHER").SetInteger(1);
    sql.SetRecNo(4);
    EXPECT_TRUE(sql.Locate(none));
    EXPECT_EQ(sql.RecNo(), 4);
}

TEST(SQLLocate, ValueComparison) {
    struct Case {
        TXVariant a;
        TXVariant b;
        bool equal;
    };
    const std::vector<Case> cases = {
        {TXVariant::Null(), TXVariant::Null(), true},
        {TXVariant::Null(), TXVariant(), true},
        {TXVariant::Null(), S(""), false},
        {TXVariant::Null(), I(0), false},
        {I(5), TXVariant::FromInt(5), true},
        {I(5), TXVariant::FromWord(5), true},
        {I(5), TXVariant::FromDouble(5.0), true},
        {I(5), TXVariant::FromDouble(5.5), false},
        {I(5), TXVariant::FromCurrencyScaled(50000), true},
        {I(5), TXVariant::FromCurrencyScaled(50001), false},
        {TXVariant::FromCurrencyScaled(12345), TXVariant::FromDouble(1.2345), true},
        {TXVariant::FromDate(45000.0), TXVariant::FromDouble(45000.0), true},
        {S("abc"), S("abc"), true},
        {S("abc"), S("ABC"), false},
        {S("abc"), TXVariant::FromOleStr("abc"), true},
        {S(" 42 "), I(42), true},
        {S("42"), TXVariant::FromDouble(42.0), true},
        {S("4.5"), TXVariant::FromDouble(4.5), true},
        {S("42x"), I(42), false},
        {S(""), I(0), false},
        {TXVariant::FromBool(true), TXVariant::FromBool(true), true},
        {TXVariant::FromBool(true), I(1), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SQLValuesEqual(c.a, c.b), c.equal) << c.a.AsString() << " ~ " << c.b.AsString();
        EXPECT_EQ(SQLValuesEqual(c.b, c.a), c.equal) << c.b.AsString() << " ~ " << c.a.AsString();
    }
}

TEST(SQLFilter, HidesAndRestoresRecordsInTheirOrder) {
    TXSQL sql;
    FillFromServer(sql, kFields, Rows(6));
    sql.FilterValues().ValueOf("NOME").SetString("impar");
    sql.SetRecNo(5);
    sql.SetFiltered(true);
    EXPECT_TRUE(sql.Filtered());
    EXPECT_EQ(Ids(sql), (std::vector<int64_t>{1, 3, 5}));
    EXPECT_EQ(sql.RecNo(), 3); // clamped into the visible records
    ASSERT_EQ(sql.Records().Hidden().size(), 3u);
    EXPECT_EQ(sql.Records().Hidden()[0].Value(0), I(0));
    EXPECT_EQ(sql.Records().Hidden()[2].Value(0), I(4));

    sql.SetFiltered(false);
    EXPECT_EQ(Ids(sql), (std::vector<int64_t>{1, 3, 5, 0, 2, 4}));
    EXPECT_TRUE(sql.Records().Hidden().empty());

    sql.FilterValues().Clear();
    sql.FilterValues().ValueOf("ID").SetInteger(2); // 32-bit filter value, 64-bit records
    sql.FilterValues().ValueOf("NOME").SetString("par");
    sql.SetFiltered(true);
    EXPECT_EQ(Ids(sql), (std::vector<int64_t>{2}));
}

TEST(SQLFilter, BadFilterFieldsRaiseAndChangeNothing) {
    std::vector<TXSQLWireField> fields = kFields;
    fields.push_back({"FOTO", sftBlob, 0});
    fields.push_back({"X", sftUnknown, 0});
    struct Case {
        std::string field;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"CODIGO", "campo CODIGO inexistente para filtro"},
        {"FOTO", "Invalid filter of datatype BLOB"},
        {"X", "Invalid filter of datatype BLOB"},
    };
    for (const auto& c : cases) {
        TXSQL sql;
        FillFromServer(sql, fields,
                       {{I(1), S("a"), S("b"), TXVariant()}, {I(2), S("b"), S("b"), TXVariant()}});
        sql.FilterValues().ValueOf("NOME").SetString("a");
        sql.FilterValues().ValueOf(c.field).SetString("b");
        EXPECT_EQ(Message([&] { sql.SetFiltered(true); }), c.message);
        EXPECT_FALSE(sql.Filtered());
        EXPECT_EQ(sql.RecordCount(), 2);
    }
}

TEST(SQLPosition, StackRestoresCursorAndSuspendedFilter) {
    TXSQL sql;
    FillFromServer(sql, kFields, Rows(6));
    sql.FilterValues().ValueOf("NOME").SetString("par");
    sql.SetFiltered(true);
    sql.SetRecNo(1); // id 2
    sql.PushPosition(true);
    EXPECT_FALSE(sql.Filtered());
    EXPECT_EQ(sql.RecordCount(), 6);
    sql.PushPosition(false);
    sql.SetRecNo(5);
    sql.PopPosition();
    EXPECT_EQ(sql.RecNo(), 1);
    EXPECT_FALSE(sql.Filtered());
    sql.SetRecNo(5);
    sql.PopPosition();
    EXPECT_TRUE(sql.Filtered());
    EXPECT_EQ(sql.RecNo(), 1);
    EXPECT_EQ(sql.FieldValue("ID"), I(2));

    sql.PushPosition(false); // not suspended: the filter stays as it is
    EXPECT_TRUE(sql.Filtered());
    sql.DeleteRecord(0);
    sql.DeleteRecord(0);
    sql.PopPosition();
    EXPECT_EQ(sql.RecNo(), 1); // clamped to the one left plus EOF
    EXPECT_TRUE(sql.Eof());
    sql.PopPosition(); // an empty stack changes nothing
    EXPECT_EQ(sql.RecNo(), 1);
}

TEST(SQLMaster, LinksWithoutCycles) {
    auto a = std::make_unique<TXSQL>();
    auto b = std::make_unique<TXSQL>();
    auto c = std::make_unique<TXSQL>();
    b->SetMaster(a.get());
    c->SetMaster(b.get());
    EXPECT_EQ(b->Master(), a.get());
    EXPECT_EQ(a->Details(), (std::vector<TXSQL*>{b.get()}));

    a->SetMaster(c.get()); // a -> c -> b -> a would be a cycle
    EXPECT_EQ(a->Master(), nullptr);
    a->SetMaster(a.get());
    EXPECT_EQ(a->Master(), nullptr);

    c->SetMaster(a.get()); // moves: the old master forgets it
    EXPECT_TRUE(b->Details().empty());
    EXPECT_EQ(a->Details(), (std::vector<TXSQL*>{b.get(), c.get()}));

    a.reset(); // details lose their master, nothing dangles
    EXPECT_EQ(b->Master(), nullptr);
    EXPECT_EQ(c->Master(), nullptr);
    b->SetMaster(c.get());
    c.reset();
    EXPECT_EQ(b->Master(), nullptr);
}
