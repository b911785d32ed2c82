#pragma once
// The client's requests on the session service, read from their payloads. Readers throw
// (EXDataError or std::runtime_error) on short or malformed data; the caller closes the connection.

#include "server/engines/UXEngine.h"
#include "sql/UXSQLWire.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TXSessKind {
    Unknown,
    Create,
    Free,
    Select,
    Command,
    Fetch,
    FreeSql,
    Sequence,
    FreeSequence,
    SemaphoreAcquire,
    SemaphoreRelease,
};

struct TXSessRequest {
    TXSessKind kind = TXSessKind::Unknown;
    int32_t csid = 0;
    std::string cfg;
    int32_t ssid = -1;
    std::string op;      // Create
    std::string id;      // statement or sequence id
    int32_t number = -1; // statement number (Select, FreeSql); -1 where the request has none
    TXSQLWireStatement statement;
    std::string table, field; // Sequence, FreeSequence
    int64_t value = 0;        // FreeSequence: first value given back
    int32_t quantity = 0;
    std::string semaphore, data, key; // Semaphore*
    bool firstOption = false, secondOption = false;
};

TXSessKind SessKindOf(std::string_view command);
TXSessRequest ReadSessRequest(std::string_view command, std::string_view payload);

// Statement parameters as the engines bind them: the type prefix picks the value's type.
std::vector<TXEngineParam> EngineParams(const std::vector<TXSQLWireParam>& params);
