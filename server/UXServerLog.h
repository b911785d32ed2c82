#pragma once
// One line per event on stderr, safe from any thread.

#include <string_view>

void ServerLog(std::string_view line);
