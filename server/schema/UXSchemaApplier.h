#pragma once
// Plans the DDL that brings a live database up to a parsed schema script: creates missing tables (columns and
// primary key), columns, foreign keys and indexes; never drops, retypes or narrows anything.

#include "server/schema/UXLiveCatalog.h"

#include <string>
#include <vector>

class TXDBDataBaseStructure;
struct TXDBField;

// Declared column type. SQLite keeps the script's readable names ("NUMBER(9)", "VARCHAR2(60)", "DATE") so
// that result types can be told from the declared type; PostgreSQL gets native types.
std::string SchemaColumnType(const TXDBField& field, TXSchemaDialect dialect);

// The statements, in execution order, that create what the live database lacks. The structure must come from
// a script parsed without errors. Columns added to existing tables are nullable (the rows already there have
// no value). SQLite cannot add a constraint to an existing table, so there a foreign key of an existing table
// is created only along with its one new column. Throws std::invalid_argument for a name that is not a plain
// identifier.
std::vector<std::string> SchemaChanges(const TXDBDataBaseStructure& db, const TXLiveCatalog& live,
                                       TXSchemaDialect dialect);

// The views the reports read beside the script's tables, created when missing (run after SchemaChanges):
// vplantio_ncp_dupl (id_genotipagem, id_lote, nc_plantio), vplantio_ncc_dupl (id_genotipagem, ncc) and
// vcoleta_ncc_dupl (id_genotipagem, ncc), one row per duplicated key.
std::vector<std::string> ReportViewChanges(const TXDBDataBaseStructure& db, const TXLiveCatalog& live,
                                           TXSchemaDialect dialect);
