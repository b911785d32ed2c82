#pragma once
// The password scramble of the control protocol and the storage cipher of the settings file.

#include <string>
#include <string_view>

// Byte p (1-based) with key byte K: (b + K + p) mod 256 when p is even, (b - K + p) mod 256 when odd.
std::string Scramble(std::string_view bytes, std::string_view key);
std::string Unscramble(std::string_view bytes, std::string_view key);

std::string EscapePrintable(std::string_view bytes);
std::string UnescapePrintable(std::string_view text);

std::string EncryptText(std::string_view text, std::string_view key);
std::string DecryptText(std::string_view stored, std::string_view key);

// Keys of the stored forms, kept together so the client and tests agree.
inline constexpr std::string_view kSettingsKey = "SvLgn#Cfg!2041";
inline constexpr std::string_view kUserPasswordKey = "SvUsr$Pwd*7730";
