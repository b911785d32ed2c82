#pragma once
// The clock file: the moment the program last ended normally, as one packed extended date-time.

#include <string>

// "Sarvolentis.dta" in the application folder.
std::string ClockFilePath();
// False when the file is missing, unreadable or damaged.
bool ReadClockFile(const std::string& path, double& dayNumber);
// Creates the file anew; false when it could not be written.
bool WriteClockFile(const std::string& path, double dayNumber);
