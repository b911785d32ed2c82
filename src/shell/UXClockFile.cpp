#include "shell/UXClockFile.h"

#include "foundation/UXAppFolder.h"
#include "foundation/UXData.h"

#include <fstream>
#include <iterator>

std::string ClockFilePath() {
    return AppFolder() + "Sarvolentis.dta";
}

bool ReadClockFile(const std::string& path, double& dayNumber) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
        TXData d;
        Load(d, bytes);
        dayNumber = GetE(d);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool WriteClockFile(const std::string& path, double dayNumber) {
    TXData d;
    Init(d);
    PutE(d, dayNumber);
    Finish(d);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(d.Data.data(), static_cast<std::streamsize>(d.Data.size()));
    return static_cast<bool>(out.flush());
}
