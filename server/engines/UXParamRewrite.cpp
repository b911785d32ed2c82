#include "server/engines/UXParamRewrite.h"

#include "server/engines/UXEngineValues.h"

namespace {

bool NameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool NamePart(char c) {
    return NameStart(c) || (c >= '0' && c <= '9') || c == '$';
}

} // namespace

TXParamRewrite RewriteNamedParams(std::string_view sql) {
    TXParamRewrite r;
    r.text.reserve(sql.size() + 8);
    size_t i = 0, n = sql.size();
    while (i < n) {
        char c = sql[i];
        if (c == '\'' || c == '"') {
            // Literal or quoted name; a doubled quote is an escaped one and keeps us inside.
            size_t j = i + 1;
            while (j < n) {
                if (sql[j] == c) {
                    if (j + 1 < n && sql[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
            r.text.append(sql.substr(i, j - i));
            i = j;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            size_t j = sql.find('\n', i);
            j = j == std::string_view::npos ? n : j;
            r.text.append(sql.substr(i, j - i));
            i = j;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            size_t j = sql.find("*/", i + 2);
            j = j == std::string_view::npos ? n : j + 2;
            r.text.append(sql.substr(i, j - i));
            i = j;
        } else if (c == ':' && i + 1 < n && sql[i + 1] == ':') {
            r.text.append("::");
            i += 2;
        } else if (c == ':' && i + 1 < n && NameStart(sql[i + 1])) {
            size_t j = i + 1;
            while (j < n && NamePart(sql[j]))
                ++j;
            std::string_view name = sql.substr(i + 1, j - i - 1);
            size_t k = 0;
            while (k < r.names.size() && !EqualsNoCase(r.names[k], name))
                ++k;
            if (k == r.names.size())
                r.names.emplace_back(name);
            r.text += '$';
            r.text += std::to_string(k + 1);
            i = j;
        } else {
            r.text += c;
            ++i;
        }
    }
    return r;
}
