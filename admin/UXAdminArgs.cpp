#include "admin/UXAdminArgs.h"

#include <charconv>

bool ParseInt(std::string_view s, int64_t& v) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && end == s.data() + s.size() && !s.empty();
}

bool ParseServerAddress(const std::string& text, std::string& host, int& port, std::string& error) {
    const size_t colon = text.rfind(':');
    int64_t p = 0;
    if (colon == std::string::npos || colon == 0 || !ParseInt(text.substr(colon + 1), p) || p < 1 ||
        p > 65535) {
        error = "--server takes HOST:PORT, not " + text;
        return false;
    }
    host = text.substr(0, colon);
    port = int(p);
    return true;
}
