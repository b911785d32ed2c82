// Tokenizer, parser rules, error lines and recovery of the schema script.

#include "sql/UXDBDataBaseStructure.h"
#include "sql/UXWordList.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Parse(TXDBDataBaseStructure& db, const std::string& text, bool keep = false) {
    std::vector<std::string> errors;
    db.SetScriptText(text);
    db.ParseScript(&errors, keep);
    return errors;
}

std::vector<std::string> Errors(const std::string& text) {
    TXDBDataBaseStructure db;
    return Parse(db, text);
}

TEST(SchemaTokenizer, KindsTextsLinesAndFirstOfLine) {
    TXWordList words;
    words.Tokenize({"  CREATE tab_1 12 3.25 'it''s' \"a'b\" ( ; ", "", "\t12ab 9.x x\xC3\xA9 \x01 'open",
                    "\"''\" 'q\"q'"});
    struct Want {
        TXWordKind kind;
        std::string text;
        int line;
        bool first;
    };
    const std::vector<Want> want = {
        {wkIdentifier, "CREATE", 1, true},  {wkIdentifier, "tab_1", 1, false}, {wkInteger, "12", 1, false},
        {wkNumber, "3.25", 1, false},       {wkString, "it's", 1, false},      {wkString, "a'b", 1, false},
        {wkSymbol, "(", 1, false},          {wkSymbol, ";", 1, false},         {wkInvalid, "12ab", 3, true},
        {wkInteger, "9", 3, false},         {wkSymbol, ".", 3, false},         {wkIdentifier, "x", 3, false},
        {wkInvalid, "x\xC3\xA9", 3, false}, {wkInvalid, "\x01", 3, false},     {wkInvalid, "'open", 3, false},
        {wkString, "'", 4, true},           {wkString, "q\"q", 4, false},
    };
    ASSERT_EQ(words.Count(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(words.Word(i).Kind, want[i].kind);
        EXPECT_EQ(words.Word(i).Text, want[i].text);
        EXPECT_EQ(words.Word(i).Line, want[i].line);
        EXPECT_EQ(words.Word(i).FirstInLine, want[i].first);
    }
}

TEST(SchemaTokenizer, ReadsFrontToBack) {
    TXWordList words;
    words.Tokenize({"A B"});
    ASSERT_FALSE(words.AtEnd());
    EXPECT_EQ(words.Current()->Text, "A");
    words.Next();
    EXPECT_EQ(words.Current()->Text, "B");
    words.Next();
    EXPECT_TRUE(words.AtEnd());
    EXPECT_EQ(words.Current(), nullptr);
    words.Next(); // stays at the end
    EXPECT_TRUE(words.AtEnd());
}

TEST(SchemaParser, ColumnTypesSizesAndNullability) {
    TXDBDataBaseStructure db;
    const auto errors =
        Parse(db, "create table t (\n"
                  "  a char, b char(3) not null, c varchar2(60) null, d varchar(5),\n"
                  "  e number(9) NOT NULL, f numeric(12,2), g date, h datetime, i time, j blob\n"
                  ");");
    ASSERT_TRUE(errors.empty()) << errors[0];
    TXDBTable* t = db.TableByName("T");
    ASSERT_NE(t, nullptr);
    struct Want {
        const char* name;
        TXDBFieldType type;
        int size, decimals;
        bool nullable;
    };
    const std::vector<Want> want = {
        {"A", dftChar, 1, 0, true},    {"B", dftChar, 3, 0, false},    {"C", dftVarchar, 60, 0, true},
        {"D", dftVarchar, 5, 0, true}, {"E", dftNumber, 9, 0, false},  {"F", dftNumber, 12, 2, true},
        {"G", dftDate, 1, 0, true},    {"H", dftDateTime, 1, 0, true}, {"I", dftTime, 1, 0, true},
        {"J", dftBlob, 1, 0, true},
    };
    ASSERT_EQ(t->FieldCount(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(want[i].name);
        const TXDBField& f = t->Field(i);
        EXPECT_EQ(f.Name, want[i].name);
        EXPECT_EQ(f.Type, want[i].type);
        EXPECT_EQ(f.Size, want[i].size);
        EXPECT_EQ(f.Decimals, want[i].decimals);
        EXPECT_EQ(f.Nullable, want[i].nullable);
        EXPECT_EQ(f.PrimaryKeyPosition, 0);
    }
    EXPECT_EQ(t->FieldByName("e"), &t->Field(4));
    EXPECT_EQ(t->FieldByName(" E "), &t->Field(4));
    EXPECT_EQ(t->FieldByName("Z"), nullptr);
}

TEST(SchemaParser, KeysAndIndexes) {
    TXDBDataBaseStructure db;
    const auto errors = Parse(db, "CREATE TABLE UF (ID NUMBER(9) NOT NULL, NOME VARCHAR2(30),\n"
                                  "  CONSTRAINT XPKUF PRIMARY KEY (ID));\n"
                                  "CREATE TABLE Loose (A NUMBER(9), B NUMBER(9), C CHAR(1),\n"
                                  "  constraint xpk primary key (B, a),\n"
                                  "  constraint ak1 unique (c),\n"
                                  "  constraint r_uf_loose foreign key (A) REFERENCES uf);\n"
                                  "CREATE TABLE NOKEY (X CHAR);\n"
                                  "create unique index XAK on loose (C ASC, B DESC);\n"
                                  "CREATE INDEX IX2 ON NOKEY (X);");
    ASSERT_TRUE(errors.empty()) << errors[0];
    ASSERT_EQ(db.TableCount(), 3u);
    EXPECT_EQ(db.Table(1).Name(), "LOOSE");

    TXDBTable* uf = db.TableByName("uf");
    ASSERT_NE(uf, nullptr);
    EXPECT_EQ(uf->PrimaryKey().Name(), "XPKUF");
    EXPECT_EQ(uf->PrimaryKey().Fields(), std::vector<std::string>{"ID"});
    EXPECT_EQ(uf->FieldByName("ID")->PrimaryKeyPosition, 1);

    TXDBTable* loose = db.TableByName("LOOSE");
    ASSERT_NE(loose, nullptr);
    EXPECT_EQ(loose->PrimaryKey().Name(), "XPK");
    EXPECT_EQ(loose->PrimaryKey().Fields(), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(loose->FieldByName("B")->PrimaryKeyPosition, 1);
    EXPECT_EQ(loose->FieldByName("A")->PrimaryKeyPosition, 2);
    EXPECT_EQ(loose->FieldByName("C")->PrimaryKeyPosition, 0);
    ASSERT_EQ(loose->UniqueKeys().size(), 1u);
    EXPECT_EQ(loose->UniqueKeys()[0]->Name(), "AK1");
    EXPECT_EQ(loose->UniqueKeys()[0]->Fields(), std::vector<std::string>{"C"});
    ASSERT_EQ(loose->ForeignKeys().size(), 1u);
    EXPECT_EQ(loose->ForeignKeys()[0]->Name(), "R_UF_LOOSE");
    EXPECT_EQ(loose->ForeignKeys()[0]->ReferencedTable(), "UF");
    EXPECT_EQ(loose->ForeignKeys()[0]->Fields(), std::vector<std::string>{"A"});
    ASSERT_EQ(loose->Indexes().size(), 1u);
    EXPECT_TRUE(loose->Indexes()[0]->Unique);
    EXPECT_EQ(loose->Indexes()[0]->Name(), "XAK");
    EXPECT_EQ(loose->Indexes()[0]->Fields(), (std::vector<std::string>{"C", "-B"}));

    TXDBTable* nokey = db.TableByName("NoKey");
    ASSERT_NE(nokey, nullptr);
    EXPECT_EQ(nokey->PrimaryKey().Name(), "PKNOKEY");
    EXPECT_EQ(nokey->PrimaryKey().FieldCount(), 0u);
    ASSERT_EQ(nokey->Indexes().size(), 1u);
    EXPECT_FALSE(nokey->Indexes()[0]->Unique);
}

// Each script yields exactly these error lines.
struct ErrorCase {
    const char* script;
    std::vector<std::string> errors;
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << c.script;
}

class SchemaErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(SchemaErrors, ErrorLines) {
    EXPECT_EQ(Errors(GetParam().script), GetParam().errors);
}

const char* const kMissingNameAtLine12 = "\n\n\n\n\n\n\n\n\n\n\nCREATE TABLE ( A CHAR );";

INSTANTIATE_TEST_SUITE_P(
    Messages, SchemaErrors,
    ::testing::Values(
        ErrorCase{"", {}}, ErrorCase{"DROP TABLE X;", {"1 \"DROP\": CREATE expected"}},
        ErrorCase{"CREATE VIEW X;", {"1 \"VIEW\": \"TABLE\" / \"INDEX\" expected"}},
        ErrorCase{kMissingNameAtLine12, {"12 \"(\": TABLE NAME expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR);\nCREATE TABLE t (B CHAR);", {"2 \"t\": TABLE already created"}},
        ErrorCase{"CREATE TABLE T A CHAR);", {"1 \"A\": \"(\" expected"}},
        ErrorCase{"CREATE TABLE T (1 CHAR);", {"1 \"1\": FIELD NAME expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR, a CHAR);", {"1 \"a\": FIELD already created"}},
        ErrorCase{"CREATE TABLE T (DATE DATE);", {"1 \"DATE\": invalid FIELD NAME"}},
        ErrorCase{"CREATE TABLE T (A TIMESTAMP);", {"1 \"TIMESTAMP\": FIELD TYPE expected"}},
        ErrorCase{"CREATE TABLE T (A VARCHAR2, B CHAR);", {"1 \",\": VARCHAR TYPE must have a size"}},
        ErrorCase{"CREATE TABLE T (A NUMERIC NOT NULL, B CHAR);",
                  {"1 \"NOT\": NUMERIC TYPE must have a size"}},
        ErrorCase{"CREATE TABLE T (A CHAR NOTNULL, B CHAR);",
                  {"1 \"NOTNULL\": \"(\" / \")\" / \",\" / \"NOT\" / \"NULL\" expected"}},
        ErrorCase{"CREATE TABLE T (A NUMBER(x), B CHAR);", {"1 \"x\": FIELD SIZE expected"}},
        ErrorCase{"CREATE TABLE T (A NUMBER(99999999999), B CHAR);",
                  {"1 \"99999999999\": FIELD SIZE expected"}},
        ErrorCase{"CREATE TABLE T (A DATE(8), B CHAR);", {"1 \"(\": FIELD TYPE can't have a size"}},
        ErrorCase{"CREATE TABLE T (A NUMBER(9 2), B CHAR);", {"1 \"2\": \",\" / \")\" expected"}},
        ErrorCase{"CREATE TABLE T (A NUMBER(9,), B CHAR);", {"1 \")\": FIELD DECIMALS expected"}},
        ErrorCase{"CREATE TABLE T (A VARCHAR(9,2), B CHAR);",
                  {"1 \",\": FIELD TYPE can't have decimals", "1 \"2\": FIELD NAME expected"}},
        ErrorCase{"CREATE TABLE T (A NUMBER(9,2, B CHAR);", {"1 \",\": \")\" expected"}},
        ErrorCase{"CREATE TABLE T (A BLOB DEFAULT, B CHAR);",
                  {"1 \"DEFAULT\": \")\" / \",\" / \"NOT\" / \"NULL\" expected"}},
        ErrorCase{"CREATE TABLE T (A NUMBER(9) NOT, B CHAR);", {"1 \",\": \"NULL\" expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR NULL B CHAR);", {"1 \"B\": \")\" / \",\" expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR)\nCREATE TABLE U (B CHAR);", {"2 \"CREATE\": \";\" expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR, CONSTRAINT 1 PRIMARY KEY (A), B CHAR);",
                  {"1 \"1\": CONSTRAINT NAME expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR, CONSTRAINT C CHECK (A), B CHAR);",
                  {"1 \"CHECK\": \"PRIMARY\" / \"UNIQUE\" / \"FOREIGN\" expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR, CONSTRAINT K1 UNIQUE (A), CONSTRAINT k1 UNIQUE (A));",
                  {"1 \"k1\": UNIQUE KEY already in table"}},
        ErrorCase{
            "CREATE TABLE U (A CHAR);\nCREATE TABLE T (A CHAR,\n CONSTRAINT R1 FOREIGN KEY (A) REFERENCES "
            "U,\n CONSTRAINT R1 FOREIGN KEY (A) REFERENCES U);",
            {"4 \"R1\": FOREIGN KEY already in table"}},
        ErrorCase{"CREATE TABLE T (A CHAR, CONSTRAINT P PRIMARY (A), B CHAR);",
                  {"1 \"(\": \"KEY\" expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR, CONSTRAINT P PRIMARY KEY A, B CHAR);",
                  {"1 \"A\": \"(\" expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR, CONSTRAINT P PRIMARY KEY (A, Z));",
                  {"1 \"Z\": unknown field in Primary Key"}},
        ErrorCase{"CREATE TABLE T (A CHAR, CONSTRAINT P PRIMARY KEY (A, a));",
                  {"1 \"a\": field already in Primary Key"}},
        ErrorCase{"CREATE TABLE T (A CHAR, CONSTRAINT ak UNIQUE (Z));",
                  {"1 \"Z\": unknown field in Unique Key AK"}},
        ErrorCase{"CREATE TABLE T (A CHAR, CONSTRAINT ak UNIQUE (A, A));",
                  {"1 \"A\": field already in Unique Key AK"}},
        ErrorCase{"CREATE TABLE T (A CHAR, CONSTRAINT r FOREIGN KEY (Z) REFERENCES U);",
                  {"1 \"Z\": unknown field in Foreign Key R"}},
        ErrorCase{"CREATE TABLE T (A CHAR, CONSTRAINT r FOREIGN KEY (A, A) REFERENCES U);",
                  {"1 \"A\": field already in Foreign Key R"}},
        ErrorCase{"create table t (a char, constraint r foreign key (a) references u);",
                  {"1 \"references\": \"REFERENCES\" expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR, CONSTRAINT r FOREIGN KEY (A) REFERENCES, B CHAR);",
                  {"1 \",\": TABLE NAME expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR);\nCREATE UNIQUE IDX I ON T (A);", {"2 \"IDX\": INDEX expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR);\nCREATE INDEX 1X ON T (A);", {"2 \"1X\": INDEX NAME expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR);\nCREATE INDEX I IN T (A);", {"2 \"IN\": \"ON\" expected"}},
        ErrorCase{"CREATE UNIQUE INDEX I ON T (A);\nCREATE TABLE T (A CHAR);", {"1 \"T\": TABLE not found"}},
        ErrorCase{"CREATE TABLE T (A CHAR);\nCREATE INDEX I ON T A;", {"2 \"A\": \"(\" expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR);\nCREATE INDEX i ON T (A, Z);",
                  {"2 \"Z\": unknown field in Index I"}},
        ErrorCase{"CREATE TABLE T (A CHAR);\nCREATE INDEX i ON T (A DESC, a);",
                  {"2 \"a\": field already in Index I"}},
        ErrorCase{"CREATE TABLE T (A CHAR, B CHAR);\nCREATE INDEX I ON T (A UP, B);",
                  {"2 \"UP\": ASC / DESC / \",\" / \")\" expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR, B CHAR);\nCREATE INDEX I ON T (A ASC B);",
                  {"2 \"B\": \",\" / \")\" expected"}},
        // End of the script: the last token's line and no token text.
        ErrorCase{"CREATE TABLE T (A CHAR,\nB NUMBER(9)",
                  {"2 \"\": \")\" / \",\" / \"NOT\" / \"NULL\" expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR,\nB NUMBER(9) NULL", {"2 \"\": \")\" / \",\" expected"}},
        ErrorCase{"CREATE", {"1 \"\": \"TABLE\" / \"INDEX\" expected"}},
        ErrorCase{"CREATE TABLE T (A CHAR) ", {"1 \"\": \";\" expected"}},
        ErrorCase{"CREATE TABLE T (A \x80X CHAR);", {"1 \"\x80X\": FIELD TYPE expected"}}));

// Recovery: what is parsed around an error.
TEST(SchemaRecovery, HeadErrorSkipsToTheNextStatement) {
    TXDBDataBaseStructure db;
    const auto errors = Parse(db, "CREATE TABLE 9 (A CHAR, B CHAR);\nCREATE TABLE T (A CHAR);");
    EXPECT_EQ(errors, std::vector<std::string>{"1 \"9\": TABLE NAME expected"});
    ASSERT_EQ(db.TableCount(), 1u);
    EXPECT_EQ(db.Table(0).Name(), "T");
}

TEST(SchemaRecovery, ColumnErrorSkipsToTheNextItemAndKeepsWhatWasParsed) {
    TXDBDataBaseStructure db;
    const auto errors = Parse(db, "CREATE TABLE T (A CHAR, B FOO, C NUMBER(x,\n 2), DATE CHAR(2) NOT NULL,\n"
                                  " D NUMBER(4) NOT NULL, CONSTRAINT P PRIMARY KEY (A, Q, D));");
    EXPECT_EQ(errors,
              (std::vector<std::string>{"1 \"FOO\": FIELD TYPE expected", "1 \"x\": FIELD SIZE expected",
                                        "2 \"2\": FIELD NAME expected", "2 \"DATE\": invalid FIELD NAME",
                                        "3 \"Q\": unknown field in Primary Key"}));
    TXDBTable* t = db.TableByName("T");
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->FieldCount(), 3u); // A, C (with its type read), D
    EXPECT_EQ(t->Field(1).Name, "C");
    EXPECT_EQ(t->Field(1).Type, dftNumber);
    EXPECT_EQ(t->Field(2).Name, "D");
    EXPECT_FALSE(t->Field(2).Nullable);
    EXPECT_EQ(t->PrimaryKey().Fields(), (std::vector<std::string>{"A", "D"}));
    EXPECT_EQ(t->FieldByName("D")->PrimaryKeyPosition, 2);
}

TEST(SchemaRecovery, NoCommaAfterAListErrorEndsTheScript) {
    TXDBDataBaseStructure db;
    const auto errors = Parse(db, "CREATE TABLE T (A CHAR, B FOO);\nCREATE TABLE U (X CHAR);");
    EXPECT_EQ(errors, std::vector<std::string>{"1 \"FOO\": FIELD TYPE expected"});
    EXPECT_EQ(db.TableCount(), 1u);
}

TEST(SchemaRecovery, ListSkipCarriesOnAtTheNextComma) {
    // The skip looks for the next "," wherever it is: the rest of U's columns land in T.
    TXDBDataBaseStructure db;
    const auto errors = Parse(db, "CREATE TABLE T (A CHAR, B FOO);\nCREATE TABLE U (X CHAR, Y CHAR);");
    EXPECT_EQ(errors, std::vector<std::string>{"1 \"FOO\": FIELD TYPE expected"});
    ASSERT_EQ(db.TableCount(), 1u);
    EXPECT_NE(db.Table(0).FieldByName("Y"), nullptr);
}

TEST(SchemaRecovery, DuplicateKeyIsReadThroughButNotAdded) {
    TXDBDataBaseStructure db;
    const auto errors = Parse(db, "CREATE TABLE T (A CHAR, B CHAR, CONSTRAINT K UNIQUE (A),\n"
                                  "CONSTRAINT K UNIQUE (B, Z), C CHAR);");
    EXPECT_EQ(errors, (std::vector<std::string>{"2 \"K\": UNIQUE KEY already in table",
                                                "2 \"Z\": unknown field in Unique Key K"}));
    TXDBTable* t = db.TableByName("T");
    ASSERT_EQ(t->UniqueKeys().size(), 1u);
    EXPECT_EQ(t->UniqueKeys()[0]->Fields(), std::vector<std::string>{"A"});
    EXPECT_NE(t->FieldByName("C"), nullptr);
}

TEST(SchemaStructure, ReparseDropsOrKeepsTables) {
    TXDBDataBaseStructure db;
    EXPECT_TRUE(Parse(db, "CREATE TABLE T (A CHAR);").empty());
    EXPECT_TRUE(Parse(db, "CREATE TABLE T (A CHAR);").empty());
    EXPECT_EQ(db.TableCount(), 1u);
    EXPECT_EQ(Parse(db, "CREATE TABLE T (A CHAR);\nCREATE TABLE U (A CHAR);", true),
              std::vector<std::string>{"1 \"T\": TABLE already created"});
    EXPECT_EQ(db.TableCount(), 2u);
    db.ParseScript(); // without an error list
    EXPECT_EQ(db.TableCount(), 2u);
}

TEST(SchemaStructure, DirectAddsRefuseDuplicates) {
    TXDBDataBaseStructure db;
    TXDBTable& t = db.AddTable("pais");
    EXPECT_EQ(db.TableByName("PAIS"), &t);
    try {
        db.AddTable("Pais");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Table already added");
    }
    t.AddField("nome");
    try {
        t.AddField("NOME");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "TXDBTable: Already added field NOME");
    }
    EXPECT_EQ(t.FieldCount(), 1u);
}

TEST(SchemaStructure, VersionAndScriptLines) {
    TXDBDataBaseStructure db;
    db.SetVersion("1.0.13");
    EXPECT_EQ(db.Version(), "1.0.13");
    EXPECT_EQ(db.VersionValue().Build, 13);
    db.SetScriptText("A\r\nB\n\nC");
    EXPECT_EQ(db.Script(), (std::vector<std::string>{"A", "B", "", "C"}));
}

} // namespace
