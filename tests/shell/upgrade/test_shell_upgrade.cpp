// The database upgrade's rows and population chain against a real data server; the replies that
// drive the rows are handed to the logic directly, as the login screen passes them on.

#include "foundation/UCp1252.h"
#include "foundation/UXDialogs.h"
#include "shell/UFDBUpdate.h"
#include "shell/UFXDBUpdate.h"
#include "shell/login/UShellServer.h"
#include "sql/UTBStruct_App.h"
#include "sql/UXDBDataBaseStructure.h"
#include "support/UTestMain.h"

#include <QApplication>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>


namespace {

const TXVersion kScript = StrToVersion("1.0.13");

// The tables the population links write to, as far as they need them.
const char* kTables[] = {
    "CREATE TABLE direito (codigo VARCHAR(3) PRIMARY KEY, nome VARCHAR(20), tipo CHAR(1), direitosistema "
    "CHAR(1), "
    "obs BLOB)",
    "CREATE TABLE pessoa (id INTEGER PRIMARY KEY, nome VARCHAR(60), usuario_genot CHAR(1))",
    "CREATE TABLE api_modelo (id INTEGER PRIMARY KEY, nome VARCHAR(30))",
};
const char* kGenotipagem = "CREATE TABLE genotipagem (id INTEGER PRIMARY KEY, digito_placa INTEGER, "
                           "tipo_amostra INTEGER, status_prod INTEGER, status_merge INTEGER)";
const char* kGenotipagemOld = "CREATE TABLE genotipagem (id INTEGER PRIMARY KEY, digito_placa INTEGER, "
                              "status_prod INTEGER, status_merge INTEGER)";

class UpgradeTest : public testing::Test {
protected:
    void SetUp() override {
        SetDialogService(&dialogs);
        ASSERT_TRUE(conn.Open(server.Port()));
        SetupAppStructure(structure);
    }
    void TearDown() override { SetDialogService(nullptr); }

    void CreateTables(bool withSampleType) {
        TShellSQL sql(conn.dc);
        for (const char* t : kTables)
            ASSERT_EQ(sql.Exec(t), "");
        ASSERT_EQ(sql.Exec(withSampleType ? kGenotipagem : kGenotipagemOld), "");
        ASSERT_EQ(sql.Exec("INSERT INTO pessoa (id, nome) VALUES (1, 'ANA')"), "");
        ASSERT_EQ(sql.Exec("INSERT INTO genotipagem (id) VALUES (7)"), "");
    }

    // A logic for SARVOLENTIS at serverVersion whose session is ready.
    std::unique_ptr<TFDBUpdate> Logic(const std::string& serverVersion) {
        auto logic = std::make_unique<TFDBUpdate>();
        logic->OnFatal = [this] { ++fatal; };
        logic->OnCloseNow = [this] { ++closeNow; };
        logic->Setup(conn.dc);
        EXPECT_TRUE(WaitFor([&] { return logic->Session().Ready(); }));
        logic->AddConfiguration("SARVOLENTIS", StrToVersion(serverVersion), kScript, &structure);
        return logic;
    }

    std::string Errors() const {
        std::string all;
        for (const auto& t : dialogs.Texts(mtError))
            all += t + "|";
        return all;
    }

    DataServerProcess server;
    TShellConn conn;
    TXDBDataBaseStructure structure;
    TXScriptedDialogs dialogs;
    int fatal = 0;
    int closeNow = 0;
};

TEST_F(UpgradeTest, PopulationFromTheOldestVersionRunsEveryLinkInOneCommittedTransaction) {
    CreateTables(true);
    auto logic = Logic("1.0.1");
    logic->UpgradeBeginCompleted("SARVOLENTIS", false);
    EXPECT_EQ(logic->Row(0).Status, TXDBUpgrade::kPopulandoA);
    ASSERT_TRUE(WaitFor([&] { return !logic->StepRunning(); }, 15000)) << Errors();
    EXPECT_EQ(Errors(), "");
    EXPECT_EQ(fatal, 0);

    // Seen from another session, so only committed work counts.
    TShellSQL check(conn.dc);
    EXPECT_EQ(check.Value("SELECT COUNT(*) FROM direito WHERE tipo='L' AND direitosistema='S'"), "6");
    EXPECT_EQ(check.Value("SELECT obs FROM direito WHERE codigo='GTL'"),
              Utf8ToCp1252("- acesso a opçao de controle de tratamento/lote \r\n    do projeto "));
    EXPECT_EQ(check.Value("SELECT usuario_genot FROM pessoa WHERE id=1"), "N");
    EXPECT_EQ(check.Value("SELECT digito_placa FROM genotipagem WHERE id=7"), "0");
    EXPECT_EQ(check.Value("SELECT tipo_amostra FROM genotipagem WHERE id=7"), "0");
    EXPECT_EQ(check.Value("SELECT status_prod + status_merge FROM genotipagem WHERE id=7"), "0");
    EXPECT_EQ(check.Value("SELECT nome FROM api_modelo WHERE id=1"), "TAVRIN");

    // UPGRADEEND answered: step B, and the version the data client then sends.
    TXVersion v;
    v.Invalid = true;
    logic->UpgradeEndCompleted("SARVOLENTIS", v);
    EXPECT_EQ(logic->Row(0).Status, TXDBUpgrade::kPopulandoB);
    EXPECT_FALSE(v.Invalid);
    EXPECT_EQ(VersionToStr(v), "1.0.13");
    logic->UpgradedVersion("SARVOLENTIS", true, v);
    EXPECT_EQ(logic->Row(0).Status, TXDBUpgrade::kTerminado);
    EXPECT_TRUE(logic->Finished());
}

TEST_F(UpgradeTest, ChainStartsWhereTheServerVersionNeedsIt) {
    struct Case {
        int64_t n;
        TFDBUpdate::TLink link;
    } cases[] = {{0, TFDBUpdate::lkRights},         {10001, TFDBUpdate::lkRights},
                 {10002, TFDBUpdate::lkUsers},      {10003, TFDBUpdate::lkPlateDigit},
                 {10007, TFDBUpdate::lkPlateDigit}, {10008, TFDBUpdate::lkSampleType},
                 {10009, TFDBUpdate::lkSampleType}, {10010, TFDBUpdate::lkStatus},
                 {10011, TFDBUpdate::lkDone},       {20000, TFDBUpdate::lkDone}};
    for (const auto& c : cases)
        EXPECT_EQ(TFDBUpdate::FirstLink(c.n), c.link) << c.n;
    EXPECT_EQ(TFDBUpdate::VersionNumber(StrToVersion("1.0.11")), 10011);
}

TEST_F(UpgradeTest, ServerAtTheLastPopulatedVersionCommitsAtOnce) {
    auto logic = Logic("1.0.11"); // no tables at all: nothing may be sent
    logic->UpgradeBeginCompleted("SARVOLENTIS", false);
    EXPECT_FALSE(logic->StepRunning());
    EXPECT_EQ(fatal, 0);
    EXPECT_EQ(Errors(), "");
}

TEST_F(UpgradeTest, SqlErrorInTheSampleTypeLinkRollsEverythingBackAndEnds) {
    CreateTables(false);
    auto logic = Logic("1.0.1");
    logic->UpgradeBeginCompleted("SARVOLENTIS", false);
    ASSERT_TRUE(WaitFor([&] { return fatal > 0; }, 15000));
    const auto errors = dialogs.Texts(mtError);
    ASSERT_EQ(errors.size(), 2u) << Errors();
    EXPECT_EQ(errors[0].rfind("Erro populando : sql\r\n1.0.10.n1\r\n", 0), 0u) << errors[0];
    EXPECT_GT(errors[0].size(), std::string("Erro populando : sql\r\n1.0.10.n1\r\n").size());
    EXPECT_EQ(errors[1], "Erro ao popular banco de dados");
    EXPECT_EQ(closeNow, 1);
    EXPECT_TRUE(logic->Fatal());
    TShellSQL check(conn.dc);
    EXPECT_EQ(check.Value("SELECT COUNT(*) FROM direito"), "0");
    EXPECT_EQ(check.Value("SELECT COUNT(*) FROM pessoa WHERE usuario_genot IS NULL"), "1");
}

TEST_F(UpgradeTest, RepliesForAnUnknownConfigurationEndTheApplication) {
    struct Case {
        const char* message;
        std::function<void(TXDBUpgrade&)> reply;
    } cases[] = {
        {"Resposta inesperada a DCLockResult: OUTRA",
         [](TXDBUpgrade& l) { l.LockResult("OUTRA", "L", true); }},
        {"Resposta inesperada a DCLockExclusive: OUTRA", [](TXDBUpgrade& l) { l.LockExclusive("OUTRA"); }},
        {"Resposta inesperada a DCUpgradeBeginCompleted: OUTRA",
         [](TXDBUpgrade& l) { l.UpgradeBeginCompleted("OUTRA", false); }},
        {"Resposta inesperada a DCUpgradedVersion: OUTRA",
         [](TXDBUpgrade& l) { l.UpgradedVersion("OUTRA", true, TXVersion{}); }},
    };
    for (const auto& c : cases) {
        dialogs.Clear();
        fatal = closeNow = 0;
        auto logic = Logic("1.0.1");
        c.reply(*logic);
        EXPECT_EQ(dialogs.Texts(mtError), std::vector<std::string>{c.message});
        EXPECT_EQ(fatal, 1) << c.message;
        EXPECT_EQ(closeNow, 1) << c.message;
        // An UNLOCK reply is no lock result.
        logic->LockResult("OUTRA", "U", true);
        EXPECT_EQ(dialogs.Texts(mtError).size(), 1u);
    }
}

TEST_F(UpgradeTest, TwoConfigurationsLockInTurnAndFinishTogether) {
    TFXDBUpdate screen(std::make_unique<TFDBUpdate>(), conn.dc);
    TXDBUpgrade& logic = screen.Logic();
    logic.AddConfiguration("SARVOLENTIS", StrToVersion("1.0.11"), kScript, &structure);
    logic.AddConfiguration("SEGUNDA", StrToVersion("1.0.11"), kScript, &structure);
    auto status = [&](int r) { return logic.Row(r).Status; };
    EXPECT_EQ(status(1), TXDBUpgrade::kIniciando);

    logic.LockResult("SARVOLENTIS", "L", true);
    EXPECT_EQ(status(0), TXDBUpgrade::kAguardandoExclusivo);
    logic.LockExclusive("SARVOLENTIS");
    // The second has not been queued yet: nothing is sent.
    EXPECT_EQ(status(0), TXDBUpgrade::kExclusivoGarantido);
    logic.LockResult("SEGUNDA", "L", true);
    logic.LockExclusive("SEGUNDA");
    EXPECT_EQ(status(0), TXDBUpgrade::kEnviando);
    EXPECT_EQ(status(1), TXDBUpgrade::kEnviando);

    logic.UpgradeMsg("segunda", "tabela USUARIO");
    EXPECT_EQ(screen.Grid()->item(1, 3)->text(), QString::fromUtf8("enviando atualizações - tabela USUARIO"));
    logic.UpgradeBeginCompleted("SEGUNDA", true);
    EXPECT_EQ(status(1), TXDBUpgrade::kJaAtualizado);
    EXPECT_FALSE(logic.Finished());
    EXPECT_EQ(screen.ExitButton()->text(), "Sair");

    logic.UpgradeBeginCompleted("SARVOLENTIS", false);
    ASSERT_TRUE(WaitFor([&] { return !logic.StepRunning(); }));
    TXVersion v;
    v.Invalid = true;
    logic.UpgradeEndCompleted("SARVOLENTIS", v);
    logic.UpgradedVersion("SARVOLENTIS", true, v);
    EXPECT_TRUE(logic.Finished());
    EXPECT_EQ(screen.ExitButton()->text(), "Terminado");
    EXPECT_EQ(screen.Grid()->rowCount(), 2);
    EXPECT_EQ(screen.Grid()->item(0, 1)->text(), "1.0.11");
    EXPECT_EQ(screen.Grid()->item(0, 2)->text(), "1.0.13");
    EXPECT_EQ(screen.Grid()->item(0, 3)->text(), "terminado");
    EXPECT_EQ(Errors(), "");
}

TEST_F(UpgradeTest, RefusedLocksWaitForTheOtherClientOrEndWhenHalfLocked) {
    {
        auto logic = Logic("1.0.1");
        logic->AddConfiguration("SEGUNDA", StrToVersion("1.0.1"), kScript, &structure);
        logic->LockResult("SARVOLENTIS", "L", false);
        EXPECT_EQ(logic->Row(0).Status, TXDBUpgrade::kAguardandoAtualizacao);
        EXPECT_EQ(logic->Row(1).Status, TXDBUpgrade::kAguardandoAtualizacao);
        EXPECT_EQ(fatal, 0);
    }
    {
        auto logic = Logic("1.0.1");
        logic->AddConfiguration("SEGUNDA", StrToVersion("1.0.1"), kScript, &structure);
        logic->LockResult("SARVOLENTIS", "L", true);
        logic->LockResult("SEGUNDA", "L", false);
        EXPECT_EQ(dialogs.Texts(mtError), std::vector<std::string>{Utf8ToCp1252(
                                              "Erro crítico, não é possível travar todas as configurações")});
        EXPECT_EQ(fatal, 1);
        EXPECT_EQ(closeNow, 1);
    }
}

TEST_F(UpgradeTest, FailedVersionStoreShowsErrorAndClosingAsksUntilFinished) {
    TFXDBUpdate screen(std::make_unique<TFDBUpdate>(), conn.dc);
    TXDBUpgrade& logic = screen.Logic();
    logic.AddConfiguration("SARVOLENTIS", StrToVersion("1.0.11"), kScript, &structure);
    logic.UpgradedVersion("SARVOLENTIS", false, TXVersion{});
    EXPECT_EQ(logic.Row(0).Status, TXDBUpgrade::kErro);
    screen.show();
    dialogs.PushAnswer(mbNo);
    screen.ExitButton()->click();
    EXPECT_TRUE(screen.isVisible());
    ASSERT_EQ(dialogs.Calls.size(), 1u);
    EXPECT_EQ(dialogs.Calls[0].Text, Utf8ToCp1252("A atualização não está completa, sai da aplicação?"));
    EXPECT_EQ(dialogs.Calls[0].Default, mbYes);
    EXPECT_FALSE(logic.Fatal());
    dialogs.PushAnswer(mbYes);
    screen.close();
    EXPECT_FALSE(screen.isVisible());
    EXPECT_TRUE(logic.Fatal());

    // A finished upgrade closes without a question.
    TFXDBUpdate done(std::make_unique<TFDBUpdate>(), conn.dc);
    done.Logic().AddConfiguration("SARVOLENTIS", StrToVersion("1.0.11"), kScript, &structure);
    done.Logic().UpgradeBeginCompleted("SARVOLENTIS", true);
    done.show();
    dialogs.Clear();
    done.ExitButton()->click();
    EXPECT_FALSE(done.isVisible());
    EXPECT_TRUE(dialogs.Calls.empty());
}

} // namespace

int main(int argc, char** argv) {
    return RunQtTests<QApplication>(argc, argv);
}
