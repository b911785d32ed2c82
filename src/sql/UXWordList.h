#pragma once
// Tokens of a schema script, read front to back by the parser.

#include "sql/UXWord.h"

#include <string>
#include <string_view>
#include <vector>

class TXWordList {
public:
    // Replaces the list by the tokens of the given lines (line numbers start at 1).
    void Tokenize(const std::vector<std::string>& lines);

    size_t Count() const { return mWords.size(); }
    const TXWord& Word(size_t i) const { return mWords[i]; }

    // Reading position.
    bool AtEnd() const { return mPos >= mWords.size(); }
    const TXWord* Current() const { return AtEnd() ? nullptr : &mWords[mPos]; }
    void Next() {
        if (!AtEnd())
            ++mPos;
    }
    size_t Position() const { return mPos; }
    void SetPosition(size_t pos) { mPos = pos < mWords.size() ? pos : mWords.size(); }

private:
    void TokenizeLine(std::string_view line, int32_t lineNo);

    std::vector<TXWord> mWords;
    size_t mPos = 0;
};
