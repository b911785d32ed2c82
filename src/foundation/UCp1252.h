#pragma once
// Windows-1252 <-> UTF-8, all 256 bytes (the five undefined bytes of 0x80-0x9F map to U+0081 etc.).

#include <string>
#include <string_view>

std::string Cp1252ToUtf8(std::string_view bytes);
// Characters with no Windows-1252 byte become '?'; malformed UTF-8 bytes are taken as Latin-1.
std::string Utf8ToCp1252(std::string_view text);

// One character each way; the QString helpers build on these.
char16_t Cp1252ToUnicode(unsigned char byte);
// The Windows-1252 byte of a code point, or -1 when it has none.
int UnicodeToCp1252(char32_t codePoint);
