#pragma once
// SQLite engine: one database file in WAL mode, several connections to it.
// Text is stored as UTF-8 (converted from and to Windows-1252), blobs as they are, date-times as
// text "YYYY-MM-DD HH:MM:SS.mmm" so that SQLite's date functions and comparisons work on them.

#include "server/engines/UXEngineBase.h"

class TXEngineSQLite : public TXEngineBase {
public:
    explicit TXEngineSQLite(std::string path);
    ~TXEngineSQLite() override;
    std::string_view EngineName() const override { return "sqlite"; }

protected:
    std::unique_ptr<TXEngineConnection> Connect() override;
    std::vector<std::string> ColumnsOf(TXEngineConnection& c, const std::string& table) override;

private:
    std::string mPath;
};
