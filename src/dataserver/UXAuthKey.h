#pragma once
// The CHECK key is the decimal text of ConnectionId * m + a; client and data server share m and a.

#include <cstdint>
#include <string>

inline constexpr int64_t kAuthKeyMultiplier = 73;
inline constexpr int64_t kAuthKeyAddend = 5821;

inline std::string AuthKeyFor(int64_t connectionId) {
    return std::to_string(connectionId * kAuthKeyMultiplier + kAuthKeyAddend);
}
