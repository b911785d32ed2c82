#pragma once
// PostgreSQL engine over libpq: sessions in client_encoding WIN1252 so text bytes pass unchanged;
// :name parameters rewritten to $n and sent as text of unknown type (blobs as binary bytea).

#include "server/engines/UXEngineBase.h"

class TXEnginePostgres : public TXEngineBase {
public:
    explicit TXEnginePostgres(std::string conninfo);
    ~TXEnginePostgres() override;
    std::string_view EngineName() const override { return "postgres"; }

protected:
    std::unique_ptr<TXEngineConnection> Connect() override;
    bool Usable(TXEngineConnection& c) override;
    void LockForCreate(TXEngineConnection& c) override;
    std::vector<std::string> ColumnsOf(TXEngineConnection& c, const std::string& table) override;

private:
    std::string mConninfo;
};
