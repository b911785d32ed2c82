#pragma once
// Append-only error log of the transport: a dated header line, then the entry wrapped to fit.

#include <ctime>
#include <string>
#include <string_view>

class TXLogFile {
public:
    explicit TXLogFile(std::string fileName = {}) : mFileName(std::move(fileName)) {}

    const std::string& FileName() const { return mFileName; }
    void SetFileName(std::string fileName) { mFileName = std::move(fileName); }

    // Appends one entry stamped with the local time; never throws (a log must not break its caller).
    void Add(std::string_view context, std::string_view message) const;

    // The bytes of one entry, header included.
    static std::string FormatEntry(const std::tm& when, std::string_view context, std::string_view message);

private:
    std::string mFileName;
};
