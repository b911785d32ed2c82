#pragma once
// What a live database already holds: tables with their columns, indexes, named foreign keys and views.
// Names are compared without regard to case.

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

enum TXSchemaDialect : uint8_t {
    sdSQLite,
    sdPostgres,
};

class TXLiveCatalog {
public:
    void AddTable(std::string_view table);
    void AddColumn(std::string_view table, std::string_view column); // adds the table too
    void AddIndex(std::string_view index);
    void AddForeignKey(std::string_view table, std::string_view name);
    void AddView(std::string_view view);

    bool HasTable(std::string_view table) const;
    bool HasColumn(std::string_view table, std::string_view column) const;
    bool HasIndex(std::string_view index) const;
    bool HasForeignKey(std::string_view table, std::string_view name) const;
    bool HasView(std::string_view view) const;

private:
    std::map<std::string, std::set<std::string>> mTables;
    std::set<std::string> mIndexes;
    std::set<std::string> mForeignKeys; // table + "." + name
    std::set<std::string> mViews;
};

// Catalog queries of an engine. Tables: (table); Columns: (table, column); Indexes: (index);
// ForeignKeys: (table, constraint), empty for SQLite, which keeps no names; Views: (view).
struct TXCatalogQueries {
    std::string Tables, Columns, Indexes, ForeignKeys, Views;
};
TXCatalogQueries CatalogQueries(TXSchemaDialect dialect);

// Runs one catalog query and returns its rows as text.
using TXCatalogQueryFn = std::function<std::vector<std::vector<std::string>>(const std::string& sql)>;
TXLiveCatalog ReadLiveCatalog(TXSchemaDialect dialect, const TXCatalogQueryFn& query);
