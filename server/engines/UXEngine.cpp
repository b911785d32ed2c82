#include "server/engines/UXEngine.h"

#include "server/engines/UXEnginePostgres.h"
#include "server/engines/UXEngineSQLite.h"
#include "server/engines/UXEngineValues.h"

TXEngineConnection::~TXEngineConnection() = default;
TXEngine::~TXEngine() = default;
TXEngineRowSink::~TXEngineRowSink() = default;

TXEngineResult TXEngineConnection::Execute(std::string_view sql, const std::vector<TXEngineParam>& params) {
    struct TXCollect : TXEngineRowSink {
        std::vector<std::vector<TXVariant>> rows;
        void Columns(const std::vector<TXEngineColumn>&) override {}
        void Row(std::vector<TXVariant>& values) override { rows.push_back(std::move(values)); }
    } collect;
    TXEngineResult r = Execute(sql, params, collect);
    r.rows = std::move(collect.rows);
    return r;
}

std::unique_ptr<TXEngine> TXEngine::Open(std::string_view engine, std::string_view location) {
    if (EqualsNoCase(engine, "sqlite"))
        return std::make_unique<TXEngineSQLite>(std::string(location));
    if (EqualsNoCase(engine, "postgres") || EqualsNoCase(engine, "postgresql"))
        return std::make_unique<TXEnginePostgres>(std::string(location));
    throw EXEngineError("unknown database engine '" + std::string(engine) + "'");
}
