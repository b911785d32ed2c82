#pragma once
// Parser of the schema script: CREATE TABLE and CREATE [UNIQUE] INDEX statements into a structure.

#include "sql/UXWordList.h"

#include <string>
#include <vector>

class TXDBDataBaseStructure;
class TXDBTable;
class TXDBRelationStruct;

class TXDBScriptParser {
public:
    // Errors go to errors when given, one line each: line + " \"" + token + "\": " + message.
    TXDBScriptParser(TXDBDataBaseStructure& db, std::vector<std::string>* errors);

    // Adds the tables of the script to the structure; everything parsed before an error stays.
    void Parse(const std::vector<std::string>& lines);

private:
    enum class TResult { Ok, Failed, Stopped }; // Failed: reported, the caller's list recovers

    enum class TKeyKind { Primary, Unique, Foreign };

    bool IsKeyword(const char* upperKeyword) const;
    bool IsSymbol(char c) const;
    bool IsIdentifier() const;
    // Steps past the expected word, or reports it as expected ("\"KEY\" expected") and stays.
    bool Take(const char* upperKeyword);
    bool Take(char symbol);
    void Error(const std::string& message);
    void ErrorAt(const TXWord* word, const std::string& message);
    bool SkipPast(char symbol); // false (at the end) when the symbol does not follow

    void ParseStatement();
    void ParseTable();
    void ParseIndex(bool unique);
    void ExpectStatementEnd();
    TResult ParseColumn(TXDBTable& table);
    TResult ParseConstraint(TXDBTable& table);
    TResult ParseKeyColumns(TXDBTable& table, TXDBRelationStruct& key, TKeyKind kind, bool scratch);
    TResult ParseIndexColumns(TXDBTable& table, TXDBRelationStruct& index);
    TResult FailOrStop(); // after an error inside a list: skip to the next ","

    TXDBDataBaseStructure& mDb;
    std::vector<std::string>* mErrors;
    TXWordList mWords;
};
