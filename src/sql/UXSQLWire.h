#pragma once
// Byte formats of statements, result structures, result pages and records inside the session
// messages. Client and data server both use these, so each format is written down once.
// Every reader throws EXDataError (a std::runtime_error) on a bad version or short data.

#include "foundation/UXData.h"
#include "foundation/UXVariant.h"
#include "sql/UXSQLTypes.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum TXSQLTransactionStatus : int32_t {
    tsNone = 0,
    tsStart = 1,
    tsRunning = 2,
    tsCommit = 3,
    tsRollBack = 4,
};

std::string_view TransactionStatusName(TXSQLTransactionStatus s); // "tsNone", ...
// False (and s untouched) when the name is not one of the five.
bool TransactionStatusFromName(std::string_view name, TXSQLTransactionStatus& s);

// Version checks; the texts are the system's own.
inline constexpr std::string_view kStatementVersionError = "Incorrect version in TXSQL.LoadFromData ";
inline constexpr std::string_view kStructVersionError = "Incorrect version in TXSQLRecord.LoadFromData";
inline constexpr std::string_view kRecordVersionError = "Incorrect version in TXSQLRecordLoadFromData ";
inline constexpr std::string_view kPageVersionError = "invalid version in TXSQLRecordList.FetchIn";

// ---- statement ----------------------------------------------------------------------------------

struct TXSQLWireParam {
    std::string name; // without prefix
    char prefix = 0;  // 'S','I','C','E','D','B','*'; 0 when the wire name was empty
    TXVariant value;
    bool IsBlob() const { return prefix == 'B'; }
};

struct TXSQLWireStatement {
    std::string text;
    std::string transactionMark = "tsNone";
    std::vector<TXSQLWireParam> params; // in wire order (sorted by name when written by a TXSQL)
};

// I version (1), S text, S transaction mark, I count, count x (S prefix+name, V value).
TXSQLWireStatement ReadStatement(TXData& d);
void WriteStatement(TXData& d, const TXSQLWireStatement& s);

// ---- structure ----------------------------------------------------------------------------------

struct TXSQLWireField {
    std::string name;
    TXSQLStructDataType type = sftUnknown;
    int32_t size = 0;
};

// I version (1), I n, n x (I version (1), S name, S type name, I size).
void WriteStructure(TXData& d, const std::vector<TXSQLWireField>& fields);
std::vector<TXSQLWireField> ReadStructure(TXData& d);

// ---- record -------------------------------------------------------------------------------------

// I version (1), then per field: B null flag (1 = null) and, when not null, the value by type.
// An empty or null variant is written as null. Values are converted to the field's type.
void WriteRecord(TXData& d, const std::vector<TXSQLWireField>& fields, const std::vector<TXVariant>& values);
void WriteRecordTypes(TXData& d, const std::vector<TXSQLStructDataType>& types,
                      const std::vector<TXVariant>& values);
// Null fields come back as TXVariant::Null(); an sftUnknown field that is not null as empty.
std::vector<TXVariant> ReadRecord(TXData& d, const std::vector<TXSQLWireField>& fields);
std::vector<TXVariant> ReadRecordTypes(TXData& d, const std::vector<TXSQLStructDataType>& types);

// ---- page ---------------------------------------------------------------------------------------

// I version (1), I n, when n > 0: I first position, n x (B present, record when present).
// Entry i of a page belongs to the absolute position first + i.
struct TXSQLWirePage {
    int32_t firstPosition = 0;
    std::vector<std::optional<std::vector<TXVariant>>> entries; // nullopt: position skipped
};

TXSQLWirePage ReadPage(TXData& d, const std::vector<TXSQLWireField>& fields);
TXSQLWirePage ReadPageTypes(TXData& d, const std::vector<TXSQLStructDataType>& types);

// Writes rows [first, ...) as one page, all present, adding rows until their bytes reach maxBytes
// (so at least one row when any remain). Returns the number of rows written; first beyond
// the end writes an empty page.
size_t WritePage(TXData& d, const std::vector<TXSQLWireField>& fields,
                 const std::vector<std::vector<TXVariant>>& rows, size_t first,
                 size_t maxBytes = std::numeric_limits<size_t>::max());
// A page of count entries already encoded (presence byte and record each).
void WritePageBytes(TXData& d, int32_t firstPosition, int32_t count, std::string_view entries);
// A page with explicit entries; a null pointer is a skipped position.
void WritePageEntries(TXData& d, const std::vector<TXSQLWireField>& fields, int32_t firstPosition,
                      const std::vector<const std::vector<TXVariant>*>& entries);
