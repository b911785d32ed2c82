#pragma once
// Consistent copies of a SQLite configuration's files, taken before an upgrade changes them.

#include <string>
#include <vector>

// Copies dbPath, and its generators' companion file dbPath + ".xds" when there is one, to
// dbPath + ".bak-" + tag (and that + ".xds"); a copy already there is kept and the next free name
// ("-2", "-3", ...) taken. Returns the files written. Throws std::runtime_error with SQLite's text.
std::vector<std::string> BackupSQLiteDatabase(const std::string& dbPath, const std::string& tag);
