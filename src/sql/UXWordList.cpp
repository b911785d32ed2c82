#include "sql/UXWordList.h"

namespace {

bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t';
}
bool IsLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool IsPrintable(unsigned char c) {
    return c > ' ' && c < 0x7F;
}
// Control and non-ASCII characters: never part of a valid token outside quotes.
bool IsForeign(unsigned char c) {
    return !IsBlank(c) && !IsPrintable(c);
}

std::string_view Trim(std::string_view s) {
    auto blank = [](unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

void TXWordList::Tokenize(const std::vector<std::string>& lines) {
    mWords.clear();
    mPos = 0;
    int32_t lineNo = 0;
    for (const std::string& line : lines) {
        ++lineNo;
        TokenizeLine(Trim(line), lineNo);
    }
}

void TXWordList::TokenizeLine(std::string_view line, int32_t lineNo) {
    const size_t firstOfLine = mWords.size();
    size_t i = 0;
    const size_t n = line.size();
    auto at = [&](size_t k) -> unsigned char { return k < n ? static_cast<unsigned char>(line[k]) : 0; };
    // Letters, digits, "_" and foreign characters glued to a token make it one (invalid) token.
    auto swallowGlued = [&](size_t k) {
        while (k < n && (IsLetter(at(k)) || IsDigit(at(k)) || IsForeign(at(k))))
            ++k;
        return k;
    };
    while (i < n) {
        const unsigned char c = at(i);
        if (IsBlank(c)) {
            ++i;
            continue;
        }
        TXWord w;
        w.Line = lineNo;
        const size_t start = i;
        if (IsLetter(c)) {
            bool foreign = false;
            while (i < n && (IsLetter(at(i)) || IsDigit(at(i)) || IsForeign(at(i)))) {
                foreign = foreign || IsForeign(at(i));
                ++i;
            }
            w.Kind = foreign ? wkInvalid : wkIdentifier;
            w.Text = std::string(line.substr(start, i - start));
        } else if (IsDigit(c)) {
            w.Kind = wkInteger;
            while (IsDigit(at(i)))
                ++i;
            if (at(i) == '.' && IsDigit(at(i + 1))) {
                w.Kind = wkNumber;
                ++i;
                while (IsDigit(at(i)))
                    ++i;
            }
            if (i < n && (IsLetter(at(i)) || IsForeign(at(i)))) {
                w.Kind = wkInvalid;
                i = swallowGlued(i);
            }
            w.Text = std::string(line.substr(start, i - start));
        } else if (c == '"' || c == '\'') {
            ++i;
            bool closed = false;
            while (i < n) {
                const unsigned char d = at(i);
                if (d == '\'' && at(i + 1) == '\'') {
                    w.Text += '\'';
                    i += 2;
                    continue;
                }
                if (d == c) {
                    ++i;
                    closed = true;
                    break;
                }
                w.Text += static_cast<char>(d);
                ++i;
            }
            w.Kind = closed ? wkString : wkInvalid;
            if (!closed)
                w.Text = std::string(line.substr(start));
        } else if (IsPrintable(c)) {
            w.Kind = wkSymbol;
            w.Text = std::string(1, static_cast<char>(c));
            ++i;
        } else {
            w.Kind = wkInvalid;
            i = swallowGlued(i);
            w.Text = std::string(line.substr(start, i - start));
        }
        mWords.push_back(std::move(w));
    }
    if (mWords.size() > firstOfLine)
        mWords[firstOfLine].FirstInLine = true;
}
