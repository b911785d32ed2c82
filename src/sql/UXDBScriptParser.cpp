#include "sql/UXDBScriptParser.h"

#include "sql/UXDBDataBaseStructure.h"

#include <array>
#include <charconv>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 31> kReserved = {
    "ADD",    "ALTER", "ALTERNATE", "AND",       "BLOB",    "BY",       "CHAR",    "CONSTRAINT",
    "CREATE", "DATE",  "DATETIME",  "DROP",      "FOREIGN", "FROM",     "GROUP",   "INDEX",
    "KEY",    "NOT",   "NULL",      "NUMBER",    "OR",      "ORDER",    "PRIMARY", "REFERENCES",
    "SELECT", "TABLE", "TIME",      "TIMESTAMP", "VARCHAR", "VARCHAR2", "WHERE"};

bool IsReserved(const std::string& upper) {
    for (std::string_view r : kReserved)
        if (r == upper)
            return true;
    return false;
}

struct TTypeInfo {
    std::string_view Name;
    TXDBFieldType Type;
    bool SizeAllowed;
    bool SizeRequired;
    bool DecimalsAllowed;
};

constexpr std::array<TTypeInfo, 9> kTypes = {{
    {"BLOB", dftBlob, false, false, false},
    {"CHAR", dftChar, true, false, false},
    {"DATE", dftDate, false, false, false},
    {"DATETIME", dftDateTime, false, false, false},
    {"NUMBER", dftNumber, true, true, true},
    {"NUMERIC", dftNumber, true, true, true},
    {"TIME", dftTime, false, false, false},
    {"VARCHAR", dftVarchar, true, true, false},
    {"VARCHAR2", dftVarchar, true, true, false},
}};

const TTypeInfo* FindType(const std::string& upper) {
    for (const TTypeInfo& t : kTypes)
        if (t.Name == upper)
            return &t;
    return nullptr;
}

bool ToInt32(const TXWord* w, int32_t& out) {
    if (!w || w->Kind != wkInteger)
        return false;
    const char* b = w->Text.data();
    const char* e = b + w->Text.size();
    auto [p, ec] = std::from_chars(b, e, out);
    return ec == std::errc() && p == e;
}

} // namespace

TXDBScriptParser::TXDBScriptParser(TXDBDataBaseStructure& db, std::vector<std::string>* errors)
    : mDb(db), mErrors(errors) {}

void TXDBScriptParser::Parse(const std::vector<std::string>& lines) {
    mWords.Tokenize(lines);
    while (!mWords.AtEnd())
        ParseStatement();
}

bool TXDBScriptParser::IsKeyword(const char* upperKeyword) const {
    const TXWord* w = mWords.Current();
    return w && w->Kind == wkIdentifier && DBUpper(w->Text) == upperKeyword;
}

bool TXDBScriptParser::IsSymbol(char c) const {
    const TXWord* w = mWords.Current();
    return w && w->Kind == wkSymbol && w->Text.size() == 1 && w->Text[0] == c;
}

bool TXDBScriptParser::Take(const char* upperKeyword) {
    if (!IsKeyword(upperKeyword)) {
        Error(std::string("\"") + upperKeyword + "\" expected");
        return false;
    }
    mWords.Next();
    return true;
}

bool TXDBScriptParser::Take(char symbol) {
    if (!IsSymbol(symbol)) {
        Error(std::string("\"") + symbol + "\" expected");
        return false;
    }
    mWords.Next();
    return true;
}

bool TXDBScriptParser::IsIdentifier() const {
    const TXWord* w = mWords.Current();
    return w && w->Kind == wkIdentifier;
}

void TXDBScriptParser::Error(const std::string& message) {
    ErrorAt(mWords.Current(), message);
}

void TXDBScriptParser::ErrorAt(const TXWord* word, const std::string& message) {
    if (!mErrors)
        return;
    int32_t line = 0;
    std::string text;
    if (word) {
        line = word->Line;
        text = word->Text;
    } else if (mWords.Count() > 0) {
        // End of the script: the line of the last token, no token text.
        line = mWords.Word(mWords.Count() - 1).Line;
    }
    mErrors->push_back(std::to_string(line) + " \"" + text + "\": " + message);
}

bool TXDBScriptParser::SkipPast(char symbol) {
    while (!mWords.AtEnd()) {
        const bool hit = IsSymbol(symbol);
        mWords.Next();
        if (hit)
            return true;
    }
    return false;
}

TXDBScriptParser::TResult TXDBScriptParser::FailOrStop() {
    return SkipPast(',') ? TResult::Failed : TResult::Stopped;
}

void TXDBScriptParser::ParseStatement() {
    if (!IsKeyword("CREATE")) {
        Error("CREATE expected");
        SkipPast(';');
        return;
    }
    mWords.Next();
    if (IsKeyword("TABLE")) {
        mWords.Next();
        ParseTable();
    } else if (IsKeyword("UNIQUE")) {
        mWords.Next();
        if (!IsKeyword("INDEX")) {
            Error("INDEX expected");
            SkipPast(';');
            return;
        }
        mWords.Next();
        ParseIndex(true);
    } else if (IsKeyword("INDEX")) {
        mWords.Next();
        ParseIndex(false);
    } else {
        Error("\"TABLE\" / \"INDEX\" expected");
        SkipPast(';');
    }
}

void TXDBScriptParser::ExpectStatementEnd() {
    if (IsSymbol(';')) {
        mWords.Next();
        return;
    }
    Error("\";\" expected");
    // A forgotten ";" before the next statement must not swallow that statement.
    if (!IsKeyword("CREATE"))
        SkipPast(';');
}

void TXDBScriptParser::ParseTable() {
    if (!IsIdentifier()) {
        Error("TABLE NAME expected");
        SkipPast(';');
        return;
    }
    const TXWord* nameWord = mWords.Current();
    if (mDb.TableByName(nameWord->Text)) {
        Error("TABLE already created");
        SkipPast(';');
        return;
    }
    mWords.Next();
    if (!Take('(')) {
        SkipPast(';');
        return;
    }
    TXDBTable& table = mDb.AddTable(nameWord->Text);
    for (;;) {
        const TResult r = IsKeyword("CONSTRAINT") ? ParseConstraint(table) : ParseColumn(table);
        if (r == TResult::Stopped)
            return;
        if (r == TResult::Failed)
            continue;
        if (IsSymbol(',')) {
            mWords.Next();
            continue;
        }
        if (IsSymbol(')')) {
            mWords.Next();
            break;
        }
        Error("\")\" / \",\" expected");
        if (FailOrStop() == TResult::Stopped)
            return;
    }
    ExpectStatementEnd();
}

TXDBScriptParser::TResult TXDBScriptParser::ParseColumn(TXDBTable& table) {
    if (!IsIdentifier()) {
        Error("FIELD NAME expected");
        return FailOrStop();
    }
    const TXWord* nameWord = mWords.Current();
    const std::string name = DBUpper(nameWord->Text);
    // A column that cannot be added is still read through, so that its own faults are reported
    // and the list stays in step.
    bool keep = true;
    if (IsReserved(name)) {
        Error("invalid FIELD NAME");
        keep = false;
    } else if (table.FieldByName(name)) {
        Error("FIELD already created");
        keep = false;
    }
    mWords.Next();
    const TTypeInfo* type = IsIdentifier() ? FindType(DBUpper(mWords.Current()->Text)) : nullptr;
    if (!type) {
        Error("FIELD TYPE expected");
        return FailOrStop();
    }
    mWords.Next();
    TXDBField scratch;
    TXDBField& field = keep ? table.AddField(name) : scratch;
    field.Type = type->Type;

    bool sized = false;
    if (IsSymbol('(')) {
        if (!type->SizeAllowed) {
            Error("FIELD TYPE can't have a size");
            return FailOrStop();
        }
        mWords.Next();
        if (!ToInt32(mWords.Current(), field.Size)) {
            Error("FIELD SIZE expected");
            return FailOrStop();
        }
        mWords.Next();
        if (IsSymbol(',')) {
            if (!type->DecimalsAllowed) {
                Error("FIELD TYPE can't have decimals");
                return FailOrStop();
            }
            mWords.Next();
            if (!ToInt32(mWords.Current(), field.Decimals)) {
                Error("FIELD DECIMALS expected");
                return FailOrStop();
            }
            mWords.Next();
            if (!Take(')'))
                return FailOrStop();
        } else if (IsSymbol(')')) {
            mWords.Next();
        } else {
            Error("\",\" / \")\" expected");
            return FailOrStop();
        }
        sized = true;
    } else if (type->SizeRequired) {
        Error(type->Type == dftVarchar ? "VARCHAR TYPE must have a size" : "NUMERIC TYPE must have a size");
        return FailOrStop();
    }

    if (IsKeyword("NULL")) {
        mWords.Next();
        field.Nullable = true;
    } else if (IsKeyword("NOT")) {
        mWords.Next();
        if (!Take("NULL"))
            return FailOrStop();
        field.Nullable = false;
    } else if (!IsSymbol(',') && !IsSymbol(')')) {
        Error(type->SizeAllowed && !sized ? "\"(\" / \")\" / \",\" / \"NOT\" / \"NULL\" expected"
                                          : "\")\" / \",\" / \"NOT\" / \"NULL\" expected");
        return FailOrStop();
    }
    return TResult::Ok;
}

TXDBScriptParser::TResult TXDBScriptParser::ParseConstraint(TXDBTable& table) {
    mWords.Next(); // CONSTRAINT
    if (!IsIdentifier()) {
        Error("CONSTRAINT NAME expected");
        return FailOrStop();
    }
    const TXWord* nameWord = mWords.Current();
    mWords.Next();

    if (IsKeyword("PRIMARY")) {
        mWords.Next();
        if (!Take("KEY"))
            return FailOrStop();
        if (!Take('('))
            return FailOrStop();
        table.PrimaryKey().SetName(nameWord->Text);
        return ParseKeyColumns(table, table.PrimaryKey(), TKeyKind::Primary, false);
    }

    if (IsKeyword("UNIQUE")) {
        const bool duplicate = table.UniqueKeyByName(nameWord->Text) != nullptr;
        if (duplicate)
            ErrorAt(nameWord, "UNIQUE KEY already in table");
        mWords.Next();
        if (!Take('('))
            return FailOrStop();
        TXDBUniqueKey scratch(&table, nameWord->Text);
        TXDBUniqueKey& key = duplicate ? scratch : table.AddUniqueKey(nameWord->Text);
        return ParseKeyColumns(table, key, TKeyKind::Unique, duplicate);
    }

    if (IsKeyword("FOREIGN")) {
        const bool duplicate = table.ForeignKeyByName(nameWord->Text) != nullptr;
        if (duplicate)
            ErrorAt(nameWord, "FOREIGN KEY already in table");
        mWords.Next();
        if (!Take("KEY"))
            return FailOrStop();
        if (!Take('('))
            return FailOrStop();
        TXDBForeignKey scratch(&table, nameWord->Text);
        TXDBForeignKey& key = duplicate ? scratch : table.AddForeignKey(nameWord->Text);
        const TResult r = ParseKeyColumns(table, key, TKeyKind::Foreign, duplicate);
        if (r != TResult::Ok)
            return r;
        // The one keyword written exactly: capitals only.
        const TXWord* w = mWords.Current();
        if (!w || w->Kind != wkIdentifier || w->Text != "REFERENCES") {
            Error("\"REFERENCES\" expected");
            return FailOrStop();
        }
        mWords.Next();
        if (!IsIdentifier()) {
            Error("TABLE NAME expected");
            return FailOrStop();
        }
        key.SetReferencedTable(mWords.Current()->Text);
        mWords.Next();
        return TResult::Ok;
    }

    Error("\"PRIMARY\" / \"UNIQUE\" / \"FOREIGN\" expected");
    return FailOrStop();
}

TXDBScriptParser::TResult TXDBScriptParser::ParseKeyColumns(TXDBTable& table, TXDBRelationStruct& key,
                                                            TKeyKind kind, bool scratch) {
    std::string unknown, already;
    switch (kind) {
    case TKeyKind::Primary:
        unknown = "unknown field in Primary Key";
        already = "field already in Primary Key";
        break;
    case TKeyKind::Unique:
        unknown = "unknown field in Unique Key " + key.Name();
        already = "field already in Unique Key " + key.Name();
        break;
    case TKeyKind::Foreign:
        unknown = "unknown field in Foreign Key " + key.Name();
        already = "field already in Foreign Key " + key.Name();
        break;
    }
    for (;;) {
        if (!IsIdentifier()) {
            Error("FIELD NAME expected");
            if (FailOrStop() == TResult::Stopped)
                return TResult::Stopped;
            continue;
        }
        TXDBField* field = table.FieldByName(mWords.Current()->Text);
        if (!field) {
            Error(unknown);
        } else if (key.HasField(field->Name)) {
            Error(already);
        } else {
            key.AddField(field->Name);
            if (kind == TKeyKind::Primary && !scratch)
                field->PrimaryKeyPosition = static_cast<int32_t>(key.FieldCount());
        }
        mWords.Next();
        if (IsSymbol(',')) {
            mWords.Next();
            continue;
        }
        if (IsSymbol(')')) {
            mWords.Next();
            return TResult::Ok;
        }
        Error("\",\" / \")\" expected");
        if (FailOrStop() == TResult::Stopped)
            return TResult::Stopped;
    }
}

void TXDBScriptParser::ParseIndex(bool unique) {
    if (!IsIdentifier()) {
        Error("INDEX NAME expected");
        SkipPast(';');
        return;
    }
    const TXWord* nameWord = mWords.Current();
    mWords.Next();
    if (!Take("ON")) {
        SkipPast(';');
        return;
    }
    if (!IsIdentifier()) {
        Error("TABLE NAME expected");
        SkipPast(';');
        return;
    }
    TXDBTable* table = mDb.TableByName(mWords.Current()->Text);
    if (!table) {
        Error("TABLE not found");
        SkipPast(';');
        return;
    }
    mWords.Next();
    if (!Take('(')) {
        SkipPast(';');
        return;
    }
    TXDBIndex& index = table->AddIndex(nameWord->Text, unique);
    if (ParseIndexColumns(*table, index) == TResult::Stopped)
        return;
    ExpectStatementEnd();
}

TXDBScriptParser::TResult TXDBScriptParser::ParseIndexColumns(TXDBTable& table, TXDBRelationStruct& index) {
    for (;;) {
        if (!IsIdentifier()) {
            Error("FIELD NAME expected");
            if (FailOrStop() == TResult::Stopped)
                return TResult::Stopped;
            continue;
        }
        const TXWord* columnWord = mWords.Current();
        TXDBField* field = table.FieldByName(columnWord->Text);
        mWords.Next();
        bool direction = false;
        bool descending = false;
        if (IsKeyword("ASC")) {
            direction = true;
            mWords.Next();
        } else if (IsKeyword("DESC")) {
            direction = true;
            descending = true;
            mWords.Next();
        }
        if (!field)
            ErrorAt(columnWord, "unknown field in Index " + index.Name());
        else if (index.HasField(field->Name))
            ErrorAt(columnWord, "field already in Index " + index.Name());
        else
            index.AddField(descending ? "-" + field->Name : field->Name);
        if (IsSymbol(',')) {
            mWords.Next();
            continue;
        }
        if (IsSymbol(')')) {
            mWords.Next();
            return TResult::Ok;
        }
        Error(direction ? "\",\" / \")\" expected" : "ASC / DESC / \",\" / \")\" expected");
        if (FailOrStop() == TResult::Stopped)
            return TResult::Stopped;
    }
}
