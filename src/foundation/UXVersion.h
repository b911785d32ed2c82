#pragma once
// Three-part version number stored per configuration and compared at login and upgrade.

#include <cstdint>
#include <string>
#include <string_view>

struct TXVersion {
    int16_t Major = 0;
    int16_t Minor = 0;
    int32_t Build = 0;
    bool Invalid = false;
};

std::string VersionToStr(const TXVersion& v);
TXVersion StrToVersion(std::string_view text);
int CompareVersions(const TXVersion& a, const TXVersion& b); // <0, 0, >0
