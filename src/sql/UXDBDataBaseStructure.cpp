#include "sql/UXDBDataBaseStructure.h"

#include "sql/UXDBScriptParser.h"

#include <stdexcept>

void TXDBDataBaseStructure::SetScriptText(std::string_view text) {
    mScript.clear();
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        mScript.emplace_back(line);
        if (eol == std::string_view::npos)
            break;
        text.remove_prefix(eol + 1);
    }
}

void TXDBDataBaseStructure::ParseScript(std::vector<std::string>* errors, bool keepTables) {
    if (!keepTables)
        mTables.clear();
    TXDBScriptParser parser(*this, errors);
    parser.Parse(mScript);
}

TXDBTable* TXDBDataBaseStructure::TableByName(std::string_view name) const {
    const std::string wanted = DBUpper(name);
    for (const auto& t : mTables)
        if (t->Name() == wanted)
            return t.get();
    return nullptr;
}

TXDBTable& TXDBDataBaseStructure::AddTable(std::string_view name) {
    if (TableByName(name))
        throw std::runtime_error("Table already added");
    mTables.push_back(std::make_unique<TXDBTable>(name));
    return *mTables.back();
}
