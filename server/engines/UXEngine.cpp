#include "server/engines/UXEngine.h"

#include "server/engines/UXEnginePostgres.h"
#include "server/engines/UXEngineSQLite.h"
#include "server/engines/UXEngineValues.h"

TXEngineConnection::~TXEngineConnection() = default;
TXEngine::~TXEngine() = default;

std::unique_ptr<TXEngine> TXEngine::Open(std::string_view engine, std::string_view location) {
    if (EqualsNoCase(engine, "sqlite"))
        return std::make_unique<TXEngineSQLite>(std::string(location));
    if (EqualsNoCase(engine, "postgres") || EqualsNoCase(engine, "postgresql"))
        return std::make_unique<TXEnginePostgres>(std::string(location));
    throw EXEngineError("unknown database engine '" + std::string(engine) + "'");
}
