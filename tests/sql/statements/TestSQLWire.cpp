// Statement, structure, record and page formats: exact bytes, round trips, version and length errors.
#include "SQLTestSupport.h"
#include "sql/UXSQLWireRows.h"

#include <gtest/gtest.h>

namespace {

const std::vector<TXSQLWireField> kAllTypes = {
    {"S", sftString, 10},  {"I", sftInteger, 4}, {"C", sftCurrency, 8}, {"F", sftFloat, 8},
    {"D", sftDateTime, 8}, {"B", sftBlob, 0},    {"U", sftUnknown, 0},
};

std::string RecordBytes(const std::vector<TXSQLWireField>& fields, const std::vector<TXVariant>& values) {
    TXData d;
    Init(d);
    WriteRecord(d, fields, values);
    return Finished(d);
}

std::string ExpectError(const std::string& bytes, void (*read)(TXData&)) {
    TXData d = Loaded(bytes);
    try {
        read(d);
    } catch (const EXDataError& e) {
        return e.what();
    }
    return "<no error>";
}

} // namespace

TEST(SQLWireRecord, EveryTypeHasItsExactEncoding) {
    std::vector<TXVariant> values = {S("ab"),
                                     I(7),
                                     TXVariant::FromCurrencyScaled(12345),
                                     TXVariant::FromDouble(2.5),
                                     TXVariant::FromDate(1.0),
                                     S(std::string("\x00\x01", 2)),
                                     TXVariant::FromInt(5)};
    EXPECT_EQ(Hex(RecordBytes(kAllTypes, values)), "01000000"
                                                   "00"
                                                   "020000006162"
                                                   "00"
                                                   "0700000000000000"
                                                   "00"
                                                   "3930000000000000"
                                                   "00"
                                                   "00000000000000a00040"
                                                   "00"
                                                   "0000000000000080ff3f"
                                                   "00"
                                                   "020000000001"
                                                   "00");
}

TEST(SQLWireRecord, ReadsBackTheTypesOfTheStructure) {
    std::vector<TXVariant> values = {S("ab"),
                                     TXVariant::FromInt(7), // written as 64-bit, read as 64-bit
                                     TXVariant::FromCurrencyScaled(12345),
                                     TXVariant::FromDouble(2.5),
                                     TXVariant::FromDate(45000.5),
                                     S(std::string("\x00\xff", 2)),
                                     TXVariant::FromInt(5)};
    TXData d = Loaded(RecordBytes(kAllTypes, values));
    auto back = ReadRecord(d, kAllTypes);
    ASSERT_EQ(back.size(), 7u);
    EXPECT_EQ(back[0], S("ab"));
    EXPECT_EQ(back[1], I(7));
    EXPECT_EQ(back[2], TXVariant::FromCurrencyScaled(12345));
    EXPECT_EQ(back[3], TXVariant::FromDouble(2.5));
    EXPECT_EQ(back[4], TXVariant::FromDate(45000.5));
    EXPECT_EQ(back[5], S(std::string("\x00\xff", 2)));
    EXPECT_TRUE(back[6].IsEmpty()); // unknown type: no value travels
    EXPECT_TRUE(d.AtEnd());
}

TEST(SQLWireRecord, AllNullsTakeOneBytePerField) {
    std::vector<TXVariant> values(kAllTypes.size(), TXVariant::Null());
    values[2] = TXVariant(); // empty travels as null too
    std::string bytes = RecordBytes(kAllTypes, values);
    EXPECT_EQ(Hex(bytes), "01000000"
                          "01010101010101");
    TXData d = Loaded(bytes);
    for (const auto& v : ReadRecord(d, kAllTypes)) {
        EXPECT_TRUE(v.IsNull());
    }
    EXPECT_TRUE(d.AtEnd());
}

TEST(SQLWireRecord, MissingValuesAreWrittenAsNull) {
    std::string bytes = RecordBytes(kAllTypes, {S("x")});
    EXPECT_EQ(Hex(bytes), "01000000"
                          "00"
                          "0100000078"
                          "010101010101");
}

TEST(SQLWireStructure, ExactBytesAndRoundTrip) {
    TXData d;
    Init(d);
    WriteStructure(d, {{"ID", sftInteger, 4}});
    std::string bytes = Finished(d);
    EXPECT_EQ(Hex(bytes), "01000000"
                          "01000000"
                          "01000000"
                          "020000004944"
                          "0a000000736674496e7465676572"
                          "04000000");
    TXData all;
    Init(all);
    WriteStructure(all, kAllTypes);
    TXData r = Loaded(Finished(all));
    auto back = ReadStructure(r);
    ASSERT_EQ(back.size(), kAllTypes.size());
    for (size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(back[i].name, kAllTypes[i].name);
        EXPECT_EQ(back[i].type, kAllTypes[i].type);
        EXPECT_EQ(back[i].size, kAllTypes[i].size);
    }
}

TEST(SQLWireStructure, UnknownTypeNameGivesUnknownType) {
    TXData d;
    Init(d);
    PutI(d, 1);
    PutI(d, 1);
    PutI(d, 1);
    PutS(d, "X");
    PutS(d, "sftBogus");
    PutI(d, 3);
    TXData r = Loaded(Finished(d));
    auto back = ReadStructure(r);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].type, sftUnknown);
    EXPECT_EQ(back[0].size, 3);
}

TEST(SQLWireStatement, ExactBytesAndRoundTrip) {
    TXSQL sql;
    sql.SQLText = "SELECT 1";
    sql.TransactionMark = tsStart;
    sql.ParamInteger("id", 5);
    sql.ParamString("nome", TXVariant::Null());
    TXData d;
    Init(d);
    sql.SaveToData(d);
    std::string bytes = Finished(d);
    EXPECT_EQ(Hex(bytes), "01000000"
                          "0800000053454c4543542031"
                          "0700000074735374617274"
                          "02000000"
                          "050000002a6e6f6d65"
                          "0100"
                          "03000000496964"
                          "030005000000");
    TXData r = Loaded(bytes);
    TXSQLWireStatement s = ReadStatement(r);
    EXPECT_EQ(s.text, "SELECT 1");
    EXPECT_EQ(s.transactionMark, "tsStart");
    ASSERT_EQ(s.params.size(), 2u);
    EXPECT_EQ(s.params[0].prefix, '*');
    EXPECT_EQ(s.params[0].name, "nome");
    EXPECT_TRUE(s.params[0].value.IsNull());
    EXPECT_EQ(s.params[1].prefix, 'I');
    EXPECT_EQ(s.params[1].name, "id");
    EXPECT_EQ(s.params[1].value, TXVariant::FromInt(5));

    TXData w;
    Init(w);
    WriteStatement(w, s);
    EXPECT_EQ(Finished(w), bytes);
}

TEST(SQLWireStatement, TransactionMarkNames) {
    const std::vector<std::pair<TXSQLTransactionStatus, std::string>> cases = {{tsNone, "tsNone"},
                                                                               {tsStart, "tsStart"},
                                                                               {tsRunning, "tsRunning"},
                                                                               {tsCommit, "tsCommit"},
                                                                               {tsRollBack, "tsRollBack"}};
    for (const auto& [mark, name] : cases) {
        EXPECT_EQ(TransactionStatusName(mark), name);
        TXSQLTransactionStatus back = tsNone;
        EXPECT_TRUE(TransactionStatusFromName(name, back));
        EXPECT_EQ(back, mark);
    }
    TXSQLTransactionStatus s = tsCommit;
    EXPECT_FALSE(TransactionStatusFromName("tsnone", s));
    EXPECT_EQ(s, tsCommit);
}

TEST(SQLWirePage, SkippedPositionsAndFirstPosition) {
    const std::vector<TXSQLWireField> fields = {{"ID", sftInteger, 4}};
    std::vector<TXVariant> a = {I(1)}, b = {I(2)};
    TXData d;
    Init(d);
    WritePageEntries(d, fields, 10, {&a, nullptr, &b});
    std::string bytes = Finished(d);
    EXPECT_EQ(Hex(bytes), "01000000"
                          "03000000"
                          "0a000000"
                          "01"
                          "01000000000100000000000000"
                          "00"
                          "01"
                          "01000000000200000000000000");
    TXData r = Loaded(bytes);
    TXSQLWirePage page = ReadPage(r, fields);
    EXPECT_EQ(page.firstPosition, 10);
    ASSERT_EQ(page.entries.size(), 3u);
    EXPECT_EQ((*page.entries[0])[0], I(1));
    EXPECT_FALSE(page.entries[1].has_value());
    EXPECT_EQ((*page.entries[2])[0], I(2));
}

TEST(SQLWirePage, EmptyPageHasNoFirstPosition) {
    TXData d;
    Init(d);
    EXPECT_EQ(WritePage(d, {}, {}, 0), 0u);
    EXPECT_EQ(Hex(Finished(d)), "0100000000000000");
}

TEST(SQLWirePage, PagesBySizeCoverEveryRowOnce) {
    const std::vector<TXSQLWireField> fields = {{"ID", sftInteger, 4}, {"NOME", sftString, 40}};
    std::vector<std::vector<TXVariant>> rows;
    for (int i = 0; i < 25; ++i) {
        rows.push_back({I(i), S(std::string(static_cast<size_t>(i), 'x'))});
    }
    for (size_t maxBytes : {size_t(0), size_t(50), size_t(300), size_t(1) << 20}) {
        size_t next = 0;
        int pages = 0;
        while (next < rows.size()) {
            TXData d;
            Init(d);
            size_t n = WritePage(d, fields, rows, next, maxBytes);
            ASSERT_GE(n, 1u);
            TXData r = Loaded(Finished(d));
            TXSQLWirePage page = ReadPage(r, fields);
            EXPECT_EQ(page.firstPosition, static_cast<int32_t>(next));
            ASSERT_EQ(page.entries.size(), n);
            for (size_t i = 0; i < n; ++i) {
                EXPECT_EQ((*page.entries[i])[0], I(static_cast<int64_t>(next + i)));
                EXPECT_EQ((*page.entries[i])[1], rows[next + i][1]);
            }
            EXPECT_TRUE(r.AtEnd());
            next += n;
            ++pages;
        }
        EXPECT_EQ(next, rows.size());
        if (maxBytes == 0) {
            EXPECT_EQ(pages, 25);
        }
        if (maxBytes == (size_t(1) << 20)) {
            EXPECT_EQ(pages, 1);
        }
    }
}

// A result encoded once and taken page by page, as the data server sends it.
TEST(SQLWirePage, EncodedRowsAreTakenInPagesThenEmpty) {
    const std::vector<TXSQLWireField> fields = {{"ID", sftInteger, 4}, {"NOME", sftString, 40}};
    TXSQLWireRows encoded({sftInteger, sftString}, 300);
    for (int i = 0; i < 40; ++i) {
        encoded.Add({I(i), i % 7 == 0 ? TXVariant::Null() : S(std::string(static_cast<size_t>(i), 'y'))});
    }
    EXPECT_EQ(encoded.Count(), 40u);
    size_t next = 0;
    for (int pages = 0; next < 40; ++pages) {
        ASSERT_LT(pages, 40);
        TXData d;
        Init(d);
        const size_t n = encoded.TakePage(d);
        ASSERT_GE(n, 1u);
        EXPECT_LT(n, 40u) << "300 bytes hold only some of the rows";
        TXData r = Loaded(Finished(d));
        TXSQLWirePage page = ReadPage(r, fields);
        EXPECT_EQ(page.firstPosition, static_cast<int32_t>(next));
        ASSERT_EQ(page.entries.size(), n);
        for (size_t i = 0; i < n; ++i) {
            EXPECT_EQ((*page.entries[i])[0], I(static_cast<int64_t>(next + i)));
            EXPECT_EQ((*page.entries[i])[1].IsNull(), (next + i) % 7 == 0);
        }
        next += n;
    }
    EXPECT_EQ(next, 40u);
    TXData d;
    Init(d);
    EXPECT_EQ(encoded.TakePage(d), 0u);
    EXPECT_EQ(Hex(Finished(d)), "0100000000000000");
}

TEST(SQLWireErrors, VersionsAreCheckedWithTheirTexts) {
    auto withVersion = [](std::initializer_list<int32_t> ints) {
        TXData d;
        Init(d);
        for (int32_t i : ints) {
            PutI(d, i);
        }
        return Finished(d);
    };
    static const std::vector<TXSQLWireField> fields = {{"ID", sftInteger, 4}};
    struct Case {
        const char* what;
        std::string bytes;
        void (*read)(TXData&);
        std::string message;
    };
    const std::vector<Case> cases = {
        {"statement", withVersion({2}), [](TXData& d) { ReadStatement(d); },
         "Incorrect version in TXSQL.LoadFromData 2"},
        {"structure", withVersion({0, 0}), [](TXData& d) { ReadStructure(d); },
         "Incorrect version in TXSQLRecord.LoadFromData"},
        {"structure field", withVersion({1, 1, 2}), [](TXData& d) { ReadStructure(d); },
         "Incorrect version in TXSQLRecord.LoadFromData"},
        {"record", withVersion({7, 0}), [](TXData& d) { ReadRecord(d, fields); },
         "Incorrect version in TXSQLRecordLoadFromData 7 8"},
        {"page", withVersion({3, 0}), [](TXData& d) { ReadPage(d, fields); },
         "invalid version in TXSQLRecordList.FetchIn"},
        {"record inside a page", withVersion({1, 1, 0}) + '\x01' + withVersion({9}),
         [](TXData& d) { ReadPage(d, fields); }, "Incorrect version in TXSQLRecordLoadFromData 9 17"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExpectError(c.bytes, c.read), c.message) << c.what;
    }
}

TEST(SQLWireErrors, EveryTruncationOfAValidPayloadIsAnError) {
    std::vector<TXVariant> row = {S("abc"),
                                  I(-3),
                                  TXVariant::FromCurrencyScaled(-1),
                                  TXVariant::FromDouble(1.5),
                                  TXVariant::FromDate(2.0),
                                  S("blob"),
                                  TXVariant::Null()};
    std::vector<std::vector<TXVariant>> rows = {row, row};
    TXData p;
    Init(p);
    WritePage(p, kAllTypes, rows, 0);
    std::string page = Finished(p);
    TXData s;
    Init(s);
    WriteStructure(s, kAllTypes);
    std::string structure = Finished(s);
    TXSQL sql;
    sql.SQLText = "UPDATE T SET A=:A";
    sql.ParamString("A", "x");
    TXData t;
    Init(t);
    sql.SaveToData(t);
    std::string statement = Finished(t);

    for (size_t k = 0; k < page.size(); ++k) {
        TXData d = Loaded(page.substr(0, k));
        EXPECT_THROW(ReadPage(d, kAllTypes), EXDataError) << "page cut at " << k;
    }
    for (size_t k = 0; k < structure.size(); ++k) {
        TXData d = Loaded(structure.substr(0, k));
        EXPECT_THROW(ReadStructure(d), EXDataError) << "structure cut at " << k;
    }
    for (size_t k = 0; k < statement.size(); ++k) {
        TXData d = Loaded(statement.substr(0, k));
        EXPECT_THROW(ReadStatement(d), EXDataError) << "statement cut at " << k;
    }
}
