#pragma once
// The application's database: its schema script and schema version.

#include <string_view>

class TXDBDataBaseStructure;

inline constexpr std::string_view kAppSchemaVersion = "1.0.13";

// The script text, lines separated by "\n".
std::string_view AppSchemaScript();

// Fills db with the application's script, version, owner and manager type, and parses it.
void SetupAppStructure(TXDBDataBaseStructure& db);
