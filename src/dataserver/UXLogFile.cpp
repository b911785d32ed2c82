#include "dataserver/UXLogFile.h"

#include <cstdio>
#include <fstream>

namespace {

constexpr size_t kHeaderWidth = 79;
constexpr size_t kContextWidth = 15;
constexpr size_t kMessageWidth = 52;
constexpr size_t kContinuationIndent = 28;

std::string TwoDigits(int v) {
    char s[16];
    std::snprintf(s, sizeof s, "%02d", v);
    return s;
}

} // namespace

std::string TXLogFile::FormatEntry(const std::tm& when, std::string_view context, std::string_view message) {
    std::string header = TwoDigits(when.tm_mday) + "/" + TwoDigits(when.tm_mon + 1) + "/" +
                         std::to_string(when.tm_year + 1900);
    if (header.size() < kHeaderWidth)
        header.append(kHeaderWidth - header.size(), '-');

    std::string text(message);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32)
            c = ' ';

    std::string out = "\r\n" + header + "\r\n\r\n";
    out += "  " + TwoDigits(when.tm_hour) + ":" + TwoDigits(when.tm_min) + ":" + TwoDigits(when.tm_sec) + " ";
    std::string ctx(context);
    if (ctx.size() < kContextWidth)
        ctx.append(kContextWidth - ctx.size(), ' ');
    out += ctx + " ";

    std::string_view rest = text;
    bool first = true;
    do {
        std::string_view line = rest;
        if (rest.size() > kMessageWidth) {
            const size_t blank = rest.substr(0, kMessageWidth).rfind(' ');
            if (blank != std::string_view::npos && blank > 0) {
                line = rest.substr(0, blank);
                rest.remove_prefix(blank + 1);
            } else {
                line = rest.substr(0, kMessageWidth);
                rest.remove_prefix(kMessageWidth);
            }
        } else {
            rest = {};
        }
        if (!first)
            out.append(kContinuationIndent, ' ');
        out.append(line);
        out += "\r\n";
        first = false;
    } while (!rest.empty());
    return out;
}

void TXLogFile::Add(std::string_view context, std::string_view message) const {
    if (mFileName.empty())
        return;
    try {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::ofstream file(mFileName, std::ios::binary | std::ios::app);
        file << FormatEntry(local, context, message);
    } catch (...) {
    }
}
