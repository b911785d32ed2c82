#pragma once
// SQLite engine: one database file in WAL mode, several connections to it.
// Text is stored as UTF-8 (converted from and to Windows-1252), blobs as they are, date-times as
// text "YYYY-MM-DD HH:MM:SS.mmm" so that SQLite's date functions and comparisons work on them.
// The generators live in a companion file (database file + ".xds", attached as "xds"): SQLite has one
// writer per file, and a generator must not wait for a client's open transaction to end. Only the
// generators' own connections attach it (BEGIN IMMEDIATE would lock every attached file).

#include "server/engines/UXEngineBase.h"

class TXEngineSQLite : public TXEngineBase {
public:
    explicit TXEngineSQLite(std::string path);
    ~TXEngineSQLite() override;
    std::string_view EngineName() const override { return "sqlite"; }

protected:
    std::unique_ptr<TXEngineConnection> Connect() override;
    std::unique_ptr<TXEngineConnection> AcquireGenerator() override;
    void ReleaseGenerator(std::unique_ptr<TXEngineConnection> c) override;
    void BeginGenerator(TXEngineConnection& c) override;
    std::string SequenceTable() const override { return "xds.XDS_SEQUENCE"; }
    std::vector<std::string> ColumnsOf(TXEngineConnection& c, const std::string& table) override;

private:
    std::string mPath;
    std::mutex mGenMutex;
    std::vector<std::unique_ptr<TXEngineConnection>> mGenIdle;
};
