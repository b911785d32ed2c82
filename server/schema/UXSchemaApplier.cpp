#include "server/schema/UXSchemaApplier.h"

#include "sql/UXDBDataBaseStructure.h"

#include <stdexcept>

namespace {

// Names reach the DDL unquoted; the script's tokenizer only yields identifiers, but a structure may also be
// built by hand.
const std::string& Checked(const std::string& name) {
    bool ok = !name.empty() && !(name[0] >= '0' && name[0] <= '9');
    for (char c : name)
        ok = ok && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_');
    if (!ok)
        throw std::invalid_argument("invalid name in schema: " + name);
    return name;
}

std::string NameList(const std::vector<std::string>& names) {
    std::string s;
    for (const std::string& n : names) {
        if (!s.empty())
            s += ", ";
        s += Checked(n);
    }
    return s;
}

std::string ColumnDefinition(const TXDBField& f, TXSchemaDialect dialect, bool withNotNull) {
    std::string s = Checked(f.Name) + " " + SchemaColumnType(f, dialect);
    if (withNotNull && !f.Nullable)
        s += " NOT NULL";
    return s;
}

// "REFERENCES parent (its primary key columns)"; empty when the parent is unknown or the arity differs.
std::string References(const TXDBDataBaseStructure& db, const TXDBForeignKey& fk) {
    const TXDBTable* parent = db.TableByName(fk.ReferencedTable());
    if (!parent || parent->PrimaryKey().FieldCount() != fk.FieldCount() || fk.FieldCount() == 0)
        return {};
    return "REFERENCES " + Checked(parent->Name()) + " (" + NameList(parent->PrimaryKey().Fields()) + ")";
}

std::string CreateTable(const TXDBDataBaseStructure& db, const TXDBTable& t, TXSchemaDialect dialect) {
    std::string s = "CREATE TABLE " + Checked(t.Name()) + " (";
    for (size_t i = 0; i < t.FieldCount(); ++i) {
        if (i > 0)
            s += ", ";
        s += ColumnDefinition(t.Field(i), dialect, true);
    }
    if (t.PrimaryKey().FieldCount() > 0)
        s += ", CONSTRAINT " + Checked(t.PrimaryKey().Name()) + " PRIMARY KEY (" +
             NameList(t.PrimaryKey().Fields()) + ")";
    if (dialect == sdSQLite) {
        for (const auto& fk : t.ForeignKeys()) {
            const std::string ref = References(db, *fk);
            if (!ref.empty())
                s += ", CONSTRAINT " + Checked(fk->Name()) + " FOREIGN KEY (" + NameList(fk->Fields()) +
                     ") " + ref;
        }
    }
    return s + ")";
}

std::string CreateIndex(const TXDBTable& t, const TXDBIndex& ix) {
    std::string cols;
    for (const std::string& stored : ix.Fields()) {
        if (!cols.empty())
            cols += ", ";
        cols += Checked(std::string(TXDBIndex::ColumnName(stored)));
        cols += TXDBIndex::IsDescending(stored) ? " DESC" : " ASC";
    }
    return std::string(ix.Unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + Checked(ix.Name()) + " ON " +
           Checked(t.Name()) + " (" + cols + ")";
}

} // namespace

std::string SchemaColumnType(const TXDBField& f, TXSchemaDialect dialect) {
    const std::string size = std::to_string(f.Size);
    const std::string precision = f.Decimals > 0 ? size + "," + std::to_string(f.Decimals) : size;
    if (dialect == sdSQLite) {
        switch (f.Type) {
        case dftChar:
            return "CHAR(" + size + ")";
        case dftVarchar:
            return "VARCHAR2(" + size + ")";
        case dftNumber:
            return "NUMBER(" + precision + ")";
        case dftDate:
            return "DATE";
        case dftDateTime:
            return "DATETIME";
        case dftTime:
            return "TIME";
        case dftBlob:
            return "BLOB";
        }
        return "BLOB";
    }
    switch (f.Type) {
    case dftChar:
        return "char(" + size + ")";
    case dftVarchar:
        return "varchar(" + size + ")";
    case dftNumber:
        if (f.Decimals > 0 || f.Size <= 0)
            return f.Size > 0 ? "numeric(" + precision + ")" : "numeric";
        if (f.Size <= 4)
            return "smallint";
        if (f.Size <= 9)
            return "integer";
        if (f.Size <= 18)
            return "bigint";
        return "numeric(" + size + ")";
    case dftDate:
    case dftDateTime:
        return "timestamp";
    case dftTime:
        return "time";
    case dftBlob:
        return "bytea";
    }
    return "bytea";
}

std::vector<std::string> SchemaChanges(const TXDBDataBaseStructure& db, const TXLiveCatalog& live,
                                       TXSchemaDialect dialect) {
    std::vector<std::string> out;
    for (size_t i = 0; i < db.TableCount(); ++i) {
        const TXDBTable& t = db.Table(i);
        if (!live.HasTable(t.Name())) {
            out.push_back(CreateTable(db, t, dialect));
            continue;
        }
        for (size_t c = 0; c < t.FieldCount(); ++c) {
            const TXDBField& f = t.Field(c);
            if (live.HasColumn(t.Name(), f.Name))
                continue;
            std::string s =
                "ALTER TABLE " + Checked(t.Name()) + " ADD COLUMN " + ColumnDefinition(f, dialect, false);
            if (dialect == sdSQLite) {
                // The only way SQLite takes a new foreign key on an existing table.
                for (const auto& fk : t.ForeignKeys()) {
                    const std::string ref = References(db, *fk);
                    if (fk->FieldCount() == 1 && fk->Fields()[0] == f.Name && !ref.empty()) {
                        s += " CONSTRAINT " + Checked(fk->Name()) + " " + ref;
                        break;
                    }
                }
            }
            out.push_back(std::move(s));
        }
    }
    if (dialect == sdPostgres) {
        for (size_t i = 0; i < db.TableCount(); ++i) {
            const TXDBTable& t = db.Table(i);
            for (const auto& fk : t.ForeignKeys()) {
                const std::string ref = References(db, *fk);
                if (ref.empty() || live.HasForeignKey(t.Name(), fk->Name()))
                    continue;
                out.push_back("ALTER TABLE " + Checked(t.Name()) + " ADD CONSTRAINT " + Checked(fk->Name()) +
                              " FOREIGN KEY (" + NameList(fk->Fields()) + ") " + ref);
            }
        }
    }
    for (size_t i = 0; i < db.TableCount(); ++i) {
        const TXDBTable& t = db.Table(i);
        for (const auto& ix : t.Indexes())
            if (ix->FieldCount() > 0 && !live.HasIndex(ix->Name()))
                out.push_back(CreateIndex(t, *ix));
    }
    return out;
}

std::vector<std::string> ReportViewChanges(const TXDBDataBaseStructure& db, const TXLiveCatalog& live,
                                           TXSchemaDialect /*dialect*/) {
    struct TView {
        const char* name;
        const char* table;
        std::vector<const char*> columns;
        const char* sql;
    };
    static const std::vector<TView> views = {
        {"vplantio_ncp_dupl",
         "PLANTIO",
         {"ID_GENOTIPAGEM", "ID_LOTE", "NC_PLANTIO"},
         "SELECT id_genotipagem, id_lote, nc_plantio FROM plantio WHERE nc_plantio IS NOT NULL "
         "GROUP BY id_genotipagem, id_lote, nc_plantio HAVING COUNT(*) > 1"},
        {"vplantio_ncc_dupl",
         "PLANTIO",
         {"ID_GENOTIPAGEM", "NCC"},
         "SELECT id_genotipagem, ncc FROM plantio GROUP BY id_genotipagem, ncc HAVING COUNT(*) > 1"},
        {"vcoleta_ncc_dupl",
         "GENOTIP_PLACA_POCO",
         {"ID_GENOTIPAGEM", "NCC"},
         "SELECT id_genotipagem, ncc FROM genotip_placa_poco WHERE ncc IS NOT NULL "
         "GROUP BY id_genotipagem, ncc HAVING COUNT(*) > 1"},
    };
    std::vector<std::string> out;
    for (const TView& v : views) {
        if (live.HasView(v.name))
            continue;
        const TXDBTable* t = db.TableByName(v.table);
        bool ok = t != nullptr;
        for (const char* c : v.columns)
            ok = ok && t->FieldByName(c) != nullptr;
        if (ok)
            out.push_back(std::string("CREATE VIEW ") + v.name + " AS " + v.sql);
    }
    return out;
}
