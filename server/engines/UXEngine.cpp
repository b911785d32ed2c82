#include "server/engines/UXEngine.h"

TXEngineConnection::~TXEngineConnection() = default;
TXEngine::~TXEngine() = default;

std::unique_ptr<TXEngine> TXEngine::Open(std::string_view engine, std::string_view /*location*/) {
    throw EXEngineError("unknown engine " + std::string(engine));
}
