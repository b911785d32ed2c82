#pragma once
// The password scramble of the control protocol and the storage cipher of the settings file.

#include <string>
#include <string_view>

// Byte p (1-based) with key byte K: (b + K + p) mod 256 when p is even, (b - K + p) mod 256 when odd.
std::string Scramble(std::string_view bytes, std::string_view key);
std::string Unscramble(std::string_view bytes, std::string_view key);

// Bytes 0-33 become printable: a run of 2..220 such bytes as ' ', (length + 32), each byte + 65;
// a single one as '!', byte + 65. UnescapePrintable throws EXDataError on a malformed text.
std::string EscapePrintable(std::string_view bytes);
std::string UnescapePrintable(std::string_view text);

// Random on every call: the same text gives a different stored form each time.
std::string EncryptText(std::string_view text, std::string_view key);
// Throws EXDataError when stored is not a form EncryptText writes.
std::string DecryptText(std::string_view stored, std::string_view key);
// The key actually used for the random number n (100..999): the key completed from the pad to four
// characters, its first three interleaved with the digits of n, then the rest.
std::string CipherWorkingKey(std::string_view key, int n);

// Keys of the stored forms, kept together so the client and tests agree.
// User passwords: seven characters; the login settings file: eight.
inline constexpr std::string_view kSettingsKey = "Lg#n5Cf!";
inline constexpr std::string_view kUserPasswordKey = "Us$7rPw";
// Completes keys shorter than four characters.
inline constexpr std::string_view kCipherPad = "q7#K";
