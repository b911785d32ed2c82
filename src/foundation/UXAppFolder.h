#pragma once
// Where the program keeps its own files (login settings, clock file, updates, transport log).

#include <string>
#include <string_view>

// $SARVOLENTIS_HOME when set, else the program's folder when writable, else the per-user data
// folder (created when missing). A native path with a trailing '/'.
std::string AppFolder();

// ParamIndex over the application's command-line arguments.
int ParamIndex(std::string_view name);
