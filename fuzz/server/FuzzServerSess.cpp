// The readers of session requests on arbitrary payloads: the first byte picks the command, the
// rest is the payload. They may throw, never crash; accepted statements convert to engine parameters.

#include "server/UXSessRequest.h"

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kCommands[] = {
        "CREATE",   "FREE",         "SELECT",           "COMMAND",          "FETCH", "FREESQL",
        "SEQUENCE", "FREESEQUENCE", "SEMAPHOREACQUIRE", "SEMAPHORERELEASE", "NOSUCH"};
    if (size == 0)
        return 0;
    const char* command = kCommands[data[0] % (sizeof kCommands / sizeof kCommands[0])];
    std::string_view payload(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        TXSessRequest r = ReadSessRequest(command, payload);
        auto params = EngineParams(r.statement.params);
        (void)params;
    } catch (const std::exception&) {
    }
    return 0;
}
