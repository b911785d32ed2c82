#pragma once
// Database engines of the data server: one configuration's database behind a pool of connections.
// SQL arrives in the Interbase dialect with :name parameters; text travels as Windows-1252 bytes.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/UXVariant.h"
#include "foundation/UXVersion.h"
#include "sql/UXSQLTypes.h"

struct TXEngineColumn {
    std::string name; // as the engine reports it
    TXSQLStructDataType type = sftUnknown;
    int32_t size = 0;  // declared length of text columns, else 0
    int32_t scale = 0; // decimals of numerics, else 0
};

// name without colon or type prefix; null = TXVariant::Null(). Values: integers, currency, doubles,
// dates (day numbers), strings (Windows-1252 bytes); blob marks raw bytes that are never converted.
struct TXEngineParam {
    std::string name;
    TXVariant value;
    bool blob = false;
};

// Values: sftInteger FromInt64, sftCurrency FromCurrencyScaled, sftFloat FromDouble,
// sftDateTime FromDate (day number), sftString / sftBlob FromString, NULL Null().
struct TXEngineResult {
    bool hasRows = false; // the statement returns a result set (possibly empty)
    std::vector<TXEngineColumn> columns;
    std::vector<std::vector<TXVariant>> rows; // empty when the rows went to a sink
    int64_t affected = 0;                     // rows changed by INSERT / UPDATE / DELETE
};

// Takes a result's rows as they are read, so a large result is never held as values as well.
class TXEngineRowSink {
public:
    virtual ~TXEngineRowSink();
    // Once, before the first row, with the final column types.
    virtual void Columns(const std::vector<TXEngineColumn>& columns) = 0;
    // values is reused for the next row.
    virtual void Row(std::vector<TXVariant>& values) = 0;
};

// what() is the engine's own error text (Windows-1252).
class EXEngineError : public std::runtime_error {
public:
    explicit EXEngineError(const std::string& what) : std::runtime_error(what) {}
};

// One engine connection; used by one thread at a time.
class TXEngineConnection {
public:
    virtual ~TXEngineConnection();
    virtual void Begin() = 0;    // EXEngineError when already in a transaction
    virtual void Commit() = 0;   // no-op when not in a transaction
    virtual void Rollback() = 0; // no-op when not in a transaction
    virtual bool InTransaction() const = 0;
    // A failed statement inside a transaction leaves the transaction open and unchanged by it.
    // The rows go to the sink (Columns is called only for a statement that returns rows).
    virtual TXEngineResult Execute(std::string_view sql, const std::vector<TXEngineParam>& params,
                                   TXEngineRowSink& rows) = 0;
    // The rows materialised in the result.
    TXEngineResult Execute(std::string_view sql, const std::vector<TXEngineParam>& params);
};

// One configuration's database; thread-safe.
class TXEngine {
public:
    // engine "sqlite" (location: file path) or "postgres" (location: libpq connection string).
    // Creates the server's own tables (XDS_VERSION, XDS_SEQUENCE) when missing. Throws EXEngineError.
    static std::unique_ptr<TXEngine> Open(std::string_view engine, std::string_view location);
    virtual ~TXEngine();
    virtual std::string_view EngineName() const = 0; // "sqlite" | "postgres"

    virtual std::unique_ptr<TXEngineConnection> Acquire() = 0; // from the pool (may block a worker thread)
    virtual void
    Release(std::unique_ptr<TXEngineConnection> c) = 0; // back to the pool, rolled back if needed

    virtual TXVersion StoredVersion() = 0; // Invalid when none stored
    virtual void StoreVersion(const TXVersion& v) = 0;

    // Non-transactional generator of table.column: the first of count consecutive values.
    // EXEngineError when the table or column does not exist.
    virtual int64_t SequenceReserve(std::string_view table, std::string_view column, int32_t count) = 0;
    // Takes the run back when it is the last one handed out.
    virtual void SequenceFree(std::string_view table, std::string_view column, int64_t first,
                              int32_t count) = 0;
};
