// Schema script tokenizer and parser fed arbitrary bytes, alone or after the application's script.

#include "sql/UTBStruct_App.h"
#include "sql/UXDBDataBaseStructure.h"
#include "sql/UXWordList.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const bool afterApp = data[0] & 1;
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);

    std::string text = afterApp ? std::string(AppSchemaScript()) : std::string();
    text += input;
    TXDBDataBaseStructure db;
    db.SetScriptText(text);

    TXWordList words;
    words.Tokenize(db.Script());
    for (size_t i = 0; i < words.Count(); ++i)
        if (words.Word(i).Line < 1 || static_cast<size_t>(words.Word(i).Line) > db.Script().size())
            std::abort();

    std::vector<std::string> errors;
    db.ParseScript(&errors, false);
    for (size_t i = 0; i < db.TableCount(); ++i) {
        const TXDBTable& t = db.Table(i);
        if (db.TableByName(t.Name()) != &t)
            std::abort();
        for (size_t f = 0; f < t.FieldCount(); ++f)
            if (t.FieldByName(t.Field(f).Name) != &t.Field(f))
                std::abort();
        for (const std::string& k : t.PrimaryKey().Fields())
            if (!t.FieldByName(k))
                std::abort(); // key columns are always columns of the table
        for (const auto& ix : t.Indexes())
            for (const std::string& c : ix->Fields())
                if (!t.FieldByName(TXDBIndex::ColumnName(c)))
                    std::abort();
    }
    // Parsing again while keeping the tables only adds errors, never tables already there.
    const size_t tables = db.TableCount();
    db.ParseScript(nullptr, true);
    if (db.TableCount() < tables)
        std::abort();
    return 0;
}
