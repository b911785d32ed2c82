#include "server/UXServerLog.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

namespace {
std::mutex gLogMutex;
}

void ServerLog(std::string_view line) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm{};
    localtime_r(&t, &tm);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
    std::string out;
    out.reserve(line.size() + 40);
    out += stamp;
    out += ' ';
    // Control bytes from clients must not break the one-line-per-event log.
    for (char c : line)
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? ' ' : c;
    out += '\n';
    std::lock_guard lock(gLogMutex);
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}
