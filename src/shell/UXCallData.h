#pragma once
// The records passed between a calling and a called screen.

#include "foundation/UXDataList.h"

#include <memory>
#include <string>
#include <vector>

class TXCallData {
public:
    std::string Id;
    bool AutoInsert = false;
    bool MultiSelect = false;
    int Position = 0;
    std::vector<std::unique_ptr<TXDataList>> Records;
};
