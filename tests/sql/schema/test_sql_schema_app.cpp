// The application's schema script parses into the data model the rest of the program relies on.

#include "sql/UTBStruct_App.h"
#include "sql/UXDBDataBaseStructure.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class AppSchema : public ::testing::Test {
protected:
    void SetUp() override {
        SetupAppStructure(mDb);
        mDb.ParseScript(&mErrors);
    }
    TXDBTable& T(const char* name) {
        TXDBTable* t = mDb.TableByName(name);
        if (!t)
            throw std::runtime_error(std::string("no table ") + name);
        return *t;
    }
    TXDBDataBaseStructure mDb;
    std::vector<std::string> mErrors;
};

TEST_F(AppSchema, ParsesWithoutErrorsAtItsVersion) {
    EXPECT_TRUE(mErrors.empty()) << mErrors.front();
    EXPECT_EQ(mDb.Version(), "1.0.13");
    EXPECT_EQ(mDb.DBOwner, "KVD");
    EXPECT_EQ(mDb.ManagerType, dbmInterbase);
    ASSERT_EQ(mDb.TableCount(), 47u);
    EXPECT_EQ(mDb.Table(0).Name(), "UF");
    EXPECT_EQ(mDb.Table(46).Name(), "GENOTIP_PLACA_POCO");
    size_t columns = 0, foreignKeys = 0;
    for (size_t i = 0; i < mDb.TableCount(); ++i) {
        columns += mDb.Table(i).FieldCount();
        foreignKeys += mDb.Table(i).ForeignKeys().size();
    }
    EXPECT_EQ(columns, 248u);
    EXPECT_EQ(foreignKeys, 65u);
}

TEST_F(AppSchema, EveryTableHasItsNamedPrimaryKeyOverRequiredColumns) {
    for (size_t i = 0; i < mDb.TableCount(); ++i) {
        const TXDBTable& t = mDb.Table(i);
        SCOPED_TRACE(t.Name());
        EXPECT_EQ(t.PrimaryKey().Name(), "XPK" + t.Name());
        ASSERT_GT(t.PrimaryKey().FieldCount(), 0u);
        for (size_t k = 0; k < t.PrimaryKey().FieldCount(); ++k) {
            const TXDBField* f = t.FieldByName(t.PrimaryKey().Fields()[k]);
            ASSERT_NE(f, nullptr);
            EXPECT_FALSE(f->Nullable) << f->Name;
            EXPECT_EQ(f->PrimaryKeyPosition, static_cast<int32_t>(k + 1)) << f->Name;
        }
    }
}

// Creating the tables in script order never meets a forward reference, and each foreign key matches the
// referenced primary key column for column, in type and size.
TEST_F(AppSchema, ForeignKeysReferEarlierTablesAndMatchTheirPrimaryKeys) {
    for (size_t i = 0; i < mDb.TableCount(); ++i) {
        const TXDBTable& t = mDb.Table(i);
        for (const auto& fk : t.ForeignKeys()) {
            SCOPED_TRACE(t.Name() + "." + fk->Name());
            EXPECT_EQ(fk->Name().rfind("R_", 0), 0u);
            const TXDBTable* parent = mDb.TableByName(fk->ReferencedTable());
            ASSERT_NE(parent, nullptr);
            size_t parentPos = 0;
            while (&mDb.Table(parentPos) != parent)
                ++parentPos;
            EXPECT_LT(parentPos, i);
            ASSERT_EQ(fk->FieldCount(), parent->PrimaryKey().FieldCount());
            for (size_t k = 0; k < fk->FieldCount(); ++k) {
                const TXDBField* child = t.FieldByName(fk->Fields()[k]);
                const TXDBField* key = parent->FieldByName(parent->PrimaryKey().Fields()[k]);
                ASSERT_TRUE(child && key);
                EXPECT_EQ(child->Type, key->Type) << child->Name;
                EXPECT_EQ(child->Size, key->Size) << child->Name;
            }
        }
    }
}

TEST_F(AppSchema, UniqueIndexes) {
    struct Want {
        const char* table;
        const char* name;
        std::vector<std::string> columns;
    };
    const std::vector<Want> want = {
        {"CODLOCAL", "XAK_CODLOCAL_UNIQUE_01", {"CODIGO"}},
        {"USUARIO", "XAK1USUARIO", {"CODIGO"}},
        {"LOTE_LAB", "AK_ID_LOTE_LAB", {"ID_LOTE_LAB"}},
        {"GENOTIP_PCTE_CHIPPER", "XAK1GENOTIP_PCTE_CHIPPER", {"ID_GENOTIPAGEM", "BARCODE_ENV"}},
    };
    size_t total = 0;
    for (size_t i = 0; i < mDb.TableCount(); ++i)
        total += mDb.Table(i).Indexes().size();
    EXPECT_EQ(total, want.size());
    for (const Want& w : want) {
        SCOPED_TRACE(w.name);
        const TXDBTable& t = T(w.table);
        ASSERT_EQ(t.Indexes().size(), 1u);
        EXPECT_EQ(t.Indexes()[0]->Name(), w.name);
        EXPECT_TRUE(t.Indexes()[0]->Unique);
        EXPECT_EQ(t.Indexes()[0]->Fields(), w.columns);
    }
}

TEST_F(AppSchema, KeysAndColumnsOtherPartsRelyOn) {
    const TXDBTable& loteLab = T("LOTE_LAB");
    ASSERT_EQ(loteLab.ForeignKeys().size(), 3u);
    EXPECT_EQ(loteLab.ForeignKeyByName("R_PESSOA_USUARIO_RESP")->ReferencedTable(), "PESSOA");
    EXPECT_EQ(loteLab.ForeignKeyByName("R_USUARIO_LOTE_LAB_RESP_ENV")->ReferencedTable(), "USUARIO");
    EXPECT_EQ(loteLab.ForeignKeyByName("R_PESSOA_USUARIO_RESP")->Fields(),
              std::vector<std::string>{"ID_USUARIO_ENVIO"});
    EXPECT_EQ(loteLab.ForeignKeyByName("R_USUARIO_LOTE_LAB_RESP_ENV")->Fields(),
              std::vector<std::string>{"ID_USUARIO_ENVIO"});

    EXPECT_EQ(T("GENOTIP_PLACA").ForeignKeyByName("R_GENOTIP_LOTE_LAB_PLACA")->Fields(),
              (std::vector<std::string>{"ID_GENOTIPAGEM", "ID_LOTE_LAB"}));
    EXPECT_TRUE(T("GENOTIP_PLACA").FieldByName("ID_LOTE_LAB")->Nullable);
    EXPECT_EQ(T("GENOTIP_PLACA_POCO").PrimaryKey().Fields(),
              (std::vector<std::string>{"ID_GENOTIPAGEM", "ID_PLACA", "PLACA", "POCO", "STATUS_POCO"}));
    EXPECT_EQ(T("PLANTIO").PrimaryKey().Fields(),
              (std::vector<std::string>{"ID_GENOTIPAGEM", "ID_LOTE", "ID_SLOTE", "NCC", "ORIGEM_PLANTIO"}));
    EXPECT_EQ(T("GENOTIP_PLACA_POCO").ForeignKeyByName("R_PLANTIO_PLACA_POCO")->ReferencedTable(), "PLANTIO");

    for (auto [table, column] : {std::pair{"CONVENIO", "ID"},
                                 {"GENOTIPAGEM", "ID_CONVENIO"},
                                 {"USUARIO", "USERCONVENIO"},
                                 {"CONVENIOCULTURA", "ID_CONVENIO"},
                                 {"CONVENIOCULTURAUSUARIO", "ID_CONVENIO"}}) {
        const TXDBField* f = T(table).FieldByName(column);
        ASSERT_NE(f, nullptr) << table << "." << column;
        EXPECT_EQ(f->Type, dftNumber);
        EXPECT_EQ(f->Size, 5) << table << "." << column;
    }

    const TXDBTable& tratamento = T("tratamento");
    EXPECT_EQ(tratamento.FieldByName("NCC")->Size, 18);
    EXPECT_FALSE(tratamento.FieldByName("NCC")->Nullable);
    EXPECT_EQ(T("GENOTIPAGEM").FieldByName("OBS")->Type, dftBlob);
    EXPECT_EQ(T("GENOTIPAGEM").FieldByName("LOG_DATA")->Type, dftVarchar);
    EXPECT_EQ(T("GENOTIPAGEM").FieldByName("LOG_DATA")->Size, 20);
    EXPECT_EQ(T("GENOTIPAGEM").FieldByName("DATA_ENVIO")->Type, dftDate);
    EXPECT_EQ(T("PESSOA").FieldByName("usuario_genot")->Type, dftChar);
    EXPECT_EQ(T("PESSOA").FieldByName("usuario_genot")->Size, 1);
    EXPECT_EQ(T("GENOTIPAGEM").FieldCount(), 25u);
}

} // namespace
