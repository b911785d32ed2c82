#include "server/schema/UXLiveCatalog.h"

#include "sql/UXDBRelationStruct.h"

void TXLiveCatalog::AddTable(std::string_view table) {
    mTables[DBUpper(table)];
}

void TXLiveCatalog::AddColumn(std::string_view table, std::string_view column) {
    mTables[DBUpper(table)].insert(DBUpper(column));
}

void TXLiveCatalog::AddIndex(std::string_view index) {
    mIndexes.insert(DBUpper(index));
}

void TXLiveCatalog::AddForeignKey(std::string_view table, std::string_view name) {
    mForeignKeys.insert(DBUpper(table) + "." + DBUpper(name));
}

void TXLiveCatalog::AddView(std::string_view view) {
    mViews.insert(DBUpper(view));
}

bool TXLiveCatalog::HasTable(std::string_view table) const {
    return mTables.count(DBUpper(table)) > 0;
}

bool TXLiveCatalog::HasColumn(std::string_view table, std::string_view column) const {
    auto it = mTables.find(DBUpper(table));
    return it != mTables.end() && it->second.count(DBUpper(column)) > 0;
}

bool TXLiveCatalog::HasIndex(std::string_view index) const {
    return mIndexes.count(DBUpper(index)) > 0;
}

bool TXLiveCatalog::HasForeignKey(std::string_view table, std::string_view name) const {
    return mForeignKeys.count(DBUpper(table) + "." + DBUpper(name)) > 0;
}

bool TXLiveCatalog::HasView(std::string_view view) const {
    return mViews.count(DBUpper(view)) > 0;
}

TXCatalogQueries CatalogQueries(TXSchemaDialect dialect) {
    if (dialect == sdSQLite)
        return {
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'",
            "SELECT m.name, p.name FROM sqlite_master m JOIN pragma_table_info(m.name) p WHERE m.type = "
            "'table'",
            "SELECT name FROM sqlite_master WHERE type = 'index'",
            "",
            "SELECT name FROM sqlite_master WHERE type = 'view'",
        };
    return {
        "SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema() AND "
        "table_type = 'BASE TABLE'",
        "SELECT table_name, column_name FROM information_schema.columns WHERE table_schema = "
        "current_schema()",
        "SELECT indexname FROM pg_indexes WHERE schemaname = current_schema()",
        "SELECT table_name, constraint_name FROM information_schema.table_constraints WHERE table_schema = "
        "current_schema() AND constraint_type = 'FOREIGN KEY'",
        "SELECT table_name FROM information_schema.views WHERE table_schema = current_schema()",
    };
}

TXLiveCatalog ReadLiveCatalog(TXSchemaDialect dialect, const TXCatalogQueryFn& query) {
    const TXCatalogQueries q = CatalogQueries(dialect);
    TXLiveCatalog live;
    for (const auto& row : query(q.Tables))
        if (!row.empty())
            live.AddTable(row[0]);
    for (const auto& row : query(q.Columns))
        if (row.size() >= 2)
            live.AddColumn(row[0], row[1]);
    for (const auto& row : query(q.Indexes))
        if (!row.empty())
            live.AddIndex(row[0]);
    if (!q.ForeignKeys.empty())
        for (const auto& row : query(q.ForeignKeys))
            if (row.size() >= 2)
                live.AddForeignKey(row[0], row[1]);
    for (const auto& row : query(q.Views))
        if (!row.empty())
            live.AddView(row[0]);
    return live;
}
