#pragma once
// Command-line values shared by the admin commands.

#include <cstdint>
#include <string>
#include <string_view>

// The whole text is a decimal integer.
bool ParseInt(std::string_view s, int64_t& v);

// "HOST:PORT" (the last colon splits); false with error set when it is not one.
bool ParseServerAddress(const std::string& text, std::string& host, int& port, std::string& error);
