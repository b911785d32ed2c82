// The login window against a real data server: first run with the upgrade, users and rights,
// configuration passwords, the connection steps and the settings file.

#include "foundation/UCp1252.h"
#include "foundation/UXCipher.h"
#include "foundation/UXData.h"
#include "foundation/UXDialogs.h"
#include "shell/UAppUser.h"
#include "shell/UFLogin.h"
#include "shell/UFXDBUpdate.h"
#include "shell/UXDBUpgrade.h"
#include "shell/UXUserRights.h"
#include "shell/login/UShellServer.h"
#include "sql/UTBStruct_App.h"
#include "sql/UXDBDataBaseStructure.h"
#include "support/UTestMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

class LoginTest : public testing::Test {
protected:
    void SetUp() override {
        SetDialogService(&dialogs);
        SetupAppStructure(structure);
        UserRights().ClearRights();
    }
    void TearDown() override {
        login.reset();
        SetDialogService(nullptr);
    }

    void WriteSettings(uint16_t port, const std::string& cfgPassword = "",
                       const std::string& ip = "127.0.0.1") {
        TXLoginSettings s;
        s.IP = ip;
        s.Port = std::to_string(port);
        s.UseIPSeek = false;
        s.Configurations = {{"SARVOLENTIS", cfgPassword}};
        ASSERT_TRUE(s.Save(TXLoginSettings::FilePath(Folder(), "SARVOLENTIS")));
    }
    std::string Folder() const { return dir.path().toStdString() + "/"; }

    TFLogin& Open(TXDBDataBaseStructure* program = nullptr) {
        TXLoginLinks links;
        links.DataClient = &conn.dc;
        links.AppUser = &user;
        links.Structure = program ? program : &structure;
        links.IsFatal = [this] { return fatal; };
        links.SetFatal = [this] { fatal = true; };
        links.OnClosed = [this](TFXLogin&) { ++closed; };
        login = std::make_unique<TFLogin>(links);
        login->SettingsFolder = Folder();
        login->ConfigAllowed = true;
        login->BindEvents();
        login->show();
        return *login;
    }
    void TypeLogin(const std::string& code, const std::string& password) {
        login->UserEdit()->setText(QString::fromStdString(code));
        login->PasswordEdit()->setText(QString::fromStdString(password));
        login->LoginButton()->click();
    }
    bool InputsEnabled() const { return login->LoginButton()->isEnabled() && login->UserEdit()->isEnabled(); }

    QTemporaryDir dir;
    TXScriptedDialogs dialogs;
    TXDBDataBaseStructure structure;
    TShellConn conn;
    TAppUser user;
    bool fatal = false;
    int closed = 0;
    std::unique_ptr<TFLogin> login;
};

// Runs the first login on a fresh database: the upgrade to the script's version, then the login
// that the empty user table lets through.
void FirstRun(TFLogin& l) {
    ASSERT_TRUE(WaitFor([&] { return l.UpgradeScreen() != nullptr; }, 15000))
        << l.windowTitle().toStdString();
    TFXDBUpdate& up = *l.UpgradeScreen();
    ASSERT_TRUE(WaitFor([&] { return up.Logic().Finished() || up.Logic().Fatal(); }, 30000))
        << up.Logic().Row(0).Status;
    ASSERT_TRUE(up.Logic().Finished()) << up.Logic().Row(0).Status;
    EXPECT_EQ(up.Logic().Row(0).Status, TXDBUpgrade::kTerminado);
    EXPECT_EQ(up.ExitButton()->text(), "Terminado");
    up.ExitButton()->click();
    ASSERT_TRUE(WaitFor([&] { return l.LoginButton()->isEnabled(); }));
}

TEST_F(LoginTest, FirstRunUpgradesTheEmptyDatabaseAndLetsTheFirstUserInWithEveryRight) {
    DataServerProcess server;
    WriteSettings(server.Port());
    TFLogin& l = Open();
    FirstRun(l);
    EXPECT_EQ(l.CFGStatus(0), "*");
    EXPECT_EQ(dialogs.Texts(mtError), std::vector<std::string>{});

    TypeLogin("ADMIN", "X");
    ASSERT_TRUE(WaitFor([&] { return closed == 1; }, 15000));
    EXPECT_TRUE(user.Logged());
    EXPECT_EQ(user.LoginCode(), "ADMIN");
    EXPECT_EQ(dialogs.Texts(mtWarning), std::vector<std::string>{Utf8ToCp1252(
                                            "Login permitido devido à falta de usuários cadastrados")});
    EXPECT_TRUE(UserRights().HasRight("LCULTURA", "MEN"));
    EXPECT_TRUE(UserRights().HasRight("TFUsuarioSel", "ADM"));

    // The stored version now matches: the next login needs no upgrade.
    login.reset();
    conn.pack.Deactivate();
    TFLogin& second = Open();
    ASSERT_TRUE(WaitFor([&] { return InputsEnabled(); }, 15000));
    EXPECT_EQ(second.UpgradeScreen(), nullptr);
}

// A database carrying just the tables the user login reads, at the program's own version.
class UsersTest : public LoginTest {
protected:
    void SetUp() override {
        LoginTest::SetUp();
        program.SetVersion("0.0.0"); // what an empty database reports
        TShellConn setup;
        ASSERT_TRUE(setup.Open(server.Port()));
        TShellSQL sql(setup.dc);
        for (const char* ddl :
             {"CREATE TABLE pessoa (id INTEGER PRIMARY KEY, nome VARCHAR(60), usuario CHAR(1))",
              "CREATE TABLE usuario (id INTEGER PRIMARY KEY, codigo VARCHAR(15), senha VARCHAR(200), "
              "favoritos BLOB, "
              "usercultura INTEGER, usersafra INTEGER, userconvenio INTEGER)",
              "CREATE TABLE cultura (id INTEGER PRIMARY KEY, nome VARCHAR(30))",
              "CREATE TABLE safra (id INTEGER PRIMARY KEY, codigo VARCHAR(10))",
              "CREATE TABLE convenio (id INTEGER PRIMARY KEY, nome VARCHAR(30))",
              "CREATE TABLE usuariogrusuario (id_usuario INTEGER, id_grusuario INTEGER)",
              "CREATE TABLE grusuariodireito (id_grusuario INTEGER, opcao VARCHAR(30), direitos BLOB)",
              "INSERT INTO pessoa VALUES (5, 'JOAO DA SILVA', 'S')", "INSERT INTO cultura VALUES (3, 'SOJA')",
              "INSERT INTO safra VALUES (4, '24/25')", "INSERT INTO usuariogrusuario VALUES (5, 1)",
              "INSERT INTO usuariogrusuario VALUES (5, 2)",
              "INSERT INTO grusuariodireito VALUES (1, '*', 'GLB')",
              "INSERT INTO grusuariodireito VALUES (2, 'LCULTURA', 'MEN;INC')"})
            ASSERT_EQ(sql.Exec(ddl), "") << ddl;
        ASSERT_EQ(sql.Exec("INSERT INTO usuario (id, codigo, senha, usercultura, usersafra) VALUES (5, "
                           "'JOAO', :s, 3, 4)",
                           [](TXSQL& q) { q.ParamString("s", EncryptText("SEGREDO", kUserPasswordKey)); }),
                  "");
    }
    DataServerProcess server;
    TXDBDataBaseStructure program;
};

TEST_F(UsersTest, WrongPasswordsAreRejectedAndTheRightOneLoadsUserAndGroupRights) {
    WriteSettings(server.Port(), "", "127.000.000.001");
    TFLogin& l = Open(&program);
    ASSERT_TRUE(WaitFor([&] { return InputsEnabled(); }, 15000)) << l.windowTitle().toStdString();
    EXPECT_EQ(conn.pack.IP, "127.0.0.1"); // the typed address, normalised
    EXPECT_EQ(l.windowTitle(), "Login");

    struct Case {
        const char* code;
        const char* password;
    } rejected[] = {{"JOAO", "ERRADA"}, {"JOAO", "SEGREDO1"}, {"MARIA", "SEGREDO"}};
    for (const auto& c : rejected) {
        dialogs.Clear();
        TypeLogin(c.code, c.password);
        ASSERT_TRUE(WaitFor([&] { return InputsEnabled(); }, 15000)) << c.code;
        EXPECT_EQ(dialogs.Texts(mtError), std::vector<std::string>{"Login rejeitado"})
            << c.code << c.password;
        EXPECT_FALSE(user.Logged());
        EXPECT_EQ(closed, 0);
    }
    dialogs.Clear();
    TypeLogin("JOAO", "SEGREDO");
    ASSERT_TRUE(WaitFor([&] { return closed == 1; }, 15000)) << dialogs.Texts(mtError).size();
    EXPECT_TRUE(user.Logged());
    EXPECT_EQ(user.Id(), 5);
    EXPECT_EQ(user.Name(), "JOAO DA SILVA");
    EXPECT_EQ(user.CultureId(), 3);
    EXPECT_EQ(user.CultureName(), "SOJA");
    EXPECT_EQ(user.SeasonCode(), "24/25");
    EXPECT_EQ(user.AgreementId(), -1);
    EXPECT_TRUE(UserRights().HasRight("QUALQUER", "GLB"));
    EXPECT_TRUE(UserRights().HasRight("LCULTURA", "INC"));
    EXPECT_FALSE(UserRights().HasRight("LCULTURA", "EXC"));
    EXPECT_FALSE(UserRights().HasRight("QUALQUER", "ADM")); // users exist: no grant for all
    EXPECT_TRUE(dialogs.Texts(mtWarning).empty());
}

TEST_F(LoginTest, WrongConfigurationPasswordShowsErAndKeepsTheInputsDisabledUntilFixed) {
    DataServerOptions o;
    o.configJson = R"({"configurations":[{"name":"SARVOLENTIS","password":"CERTA","engine":"sqlite",)"
                   R"("location":"SARVOLENTIS.db"}]})";
    DataServerProcess server(o);
    WriteSettings(server.Port(), "ERRADA");
    TXDBDataBaseStructure program;
    program.SetVersion("0.0.0");
    TFLogin& l = Open(&program);
    ASSERT_TRUE(WaitFor([&] { return l.CFGStatus(0) == "er"; }, 15000));
    Pump(300);
    EXPECT_FALSE(InputsEnabled());
    EXPECT_EQ(l.PanelState(), lpsConnected);

    l.SetCFGPassword(0, "CERTA");
    l.CFGLoginButton()->click();
    ASSERT_TRUE(WaitFor([&] { return InputsEnabled(); }, 15000));
    EXPECT_EQ(l.CFGStatus(0), "*");

    // Losing the server: back to maroon, and the steps start again after a while.
    server.Kill();
    ASSERT_TRUE(WaitFor([&] { return l.PanelState() == lpsDisconnected; }, 15000));
    EXPECT_FALSE(InputsEnabled());
    EXPECT_EQ(l.LoginStep(), 4);
    EXPECT_EQ(l.LabelColor(), QColor(Qt::white));
}

TEST_F(LoginTest, WithoutAServerTheStepsWaitBetweenRounds) {
    struct Case {
        const char* ip;
        const char* caption;
    } cases[] = {{"999.1.1.1", "Aguardando"}, {"", "Aguardando"}};
    for (const auto& c : cases) {
        TXLoginSettings s;
        s.IP = c.ip;
        s.UseIPSeek = false;
        s.Save(TXLoginSettings::FilePath(Folder(), "SARVOLENTIS"));
        TFLogin& l = Open();
        ASSERT_TRUE(WaitFor([&] { return l.LoginStep() == 4; }, 5000)) << c.ip;
        EXPECT_EQ(l.windowTitle().toStdString(), c.caption);
        EXPECT_EQ(l.PanelState(), lpsDisconnected);
        login.reset();
    }
}

TEST_F(LoginTest, ClosingWithoutLoginAsksAndYesEndsTheApplication) {
    TXLoginSettings s;
    s.IP.clear();
    s.Save(TXLoginSettings::FilePath(Folder(), "SARVOLENTIS"));
    TFLogin& l = Open();
    dialogs.PushAnswer(mbNo);
    l.close();
    EXPECT_TRUE(l.isVisible());
    ASSERT_EQ(dialogs.Calls.size(), 1u);
    EXPECT_EQ(dialogs.Calls[0].Text, Utf8ToCp1252("Deseja fechar a aplicação?"));
    EXPECT_EQ(dialogs.Calls[0].Default, mbYes);
    EXPECT_FALSE(fatal);
    dialogs.PushAnswer(mbYes);
    l.close();
    EXPECT_FALSE(l.isVisible());
    EXPECT_TRUE(fatal);
    EXPECT_EQ(closed, 1);
}

TEST_F(LoginTest, SettingsAreWrittenRotatedAndReadBack) {
    const std::string path = TXLoginSettings::FilePath(Folder(), "SARVOLENTIS");
    EXPECT_EQ(TXLoginSettings::FilePath("/x/", ""), "/x/Default.lgn");
    TXLoginSettings defaults;
    EXPECT_FALSE(defaults.Load(path)); // none yet: the data server's defaults
    EXPECT_EQ(defaults.IP, "127.0.0.1");
    EXPECT_EQ(defaults.Port, "59504");
    ASSERT_EQ(defaults.Configurations.size(), 1u);
    EXPECT_EQ(defaults.Configurations[0], std::make_pair(std::string("SARVOLENTIS"), std::string()));

    TXLoginSettings a;
    a.IP = "10.0.0.1";
    a.Host = "lista.exemplo";
    a.User = "U";
    a.Password = "P";
    a.FileName = "ips.txt";
    a.UseIPSeek = false;
    a.Port = "4000";
    a.Configurations = {{"SARVOLENTIS", "S1"}, {"OUTRA", "S\xE7"}};
    ASSERT_TRUE(a.Save(path));
    TXLoginSettings b = a;
    b.IP = "10.0.0.2";
    ASSERT_TRUE(b.Save(path));
    TXLoginSettings read, backup;
    ASSERT_TRUE(read.Load(path));
    ASSERT_TRUE(backup.Load(TXLoginSettings::BackupPath(path)));
    EXPECT_EQ(read.IP, "10.0.0.2");
    EXPECT_EQ(backup.IP, "10.0.0.1");
    EXPECT_EQ(read.Port, "4000");
    EXPECT_FALSE(read.UseIPSeek);
    EXPECT_EQ(read.Host, "lista.exemplo");
    EXPECT_EQ(read.FileName, "ips.txt");
    EXPECT_EQ(read.Configurations, a.Configurations);
    EXPECT_NE(a.ToStored(), a.ToStored()); // random on every write

    // Version 1 had no port.
    TXData d;
    Init(d);
    PutI(d, 1);
    PutS(d, "10.1.1.1");
    PutBool(d, true);
    for (int i = 0; i < 4; ++i)
        PutS(d, "");
    PutI(d, 1);
    PutS(d, "SARVOLENTIS");
    PutS(d, "");
    Finish(d);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << EncryptText(d.Data, kSettingsKey);
    TXLoginSettings v1;
    ASSERT_TRUE(v1.Load(path));
    EXPECT_EQ(v1.Port, "80");
    EXPECT_EQ(v1.IP, "10.1.1.1");

    // A damaged file leaves the defaults.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << "lixo";
    TXLoginSettings damaged;
    EXPECT_FALSE(damaged.Load(path));
    EXPECT_EQ(damaged.Port, "59504");

    // The screen: defaults shown, WAIT clears the address and the search; closing the area saves.
    std::filesystem::remove(path);
    TFLogin& l = [&]() -> TFLogin& {
        TXLoginLinks links;
        links.DataClient = &conn.dc;
        links.AppUser = &user;
        links.Structure = &structure;
        login = std::make_unique<TFLogin>(links);
        login->SettingsFolder = Folder();
        login->WaitMode = true;
        login->show();
        return *login;
    }();
    EXPECT_EQ(l.PortEdit()->text(), "59504");
    EXPECT_EQ(l.IPEdit()->text(), "");
    EXPECT_FALSE(l.SeekCheck()->isChecked());
    ASSERT_EQ(l.CFGRowCount(), 1);
    EXPECT_EQ(l.CFGName(0), "SARVOLENTIS");
    l.ConfigButton()->click();
    EXPECT_EQ(l.TargetHeight(), TFXLogin::kOpenHeight);
    ASSERT_TRUE(WaitFor([&] { return l.height() == TFXLogin::kOpenHeight; }, 3000));
    l.PortEdit()->setText("5000");
    l.ConfigButton()->click();
    ASSERT_TRUE(WaitFor([&] { return l.height() == TFXLogin::kClosedHeight; }, 3000));
    TXLoginSettings saved;
    ASSERT_TRUE(saved.Load(path));
    EXPECT_EQ(saved.Port, "5000");
}

TEST(AppUser, EverySetterThatChangesAValueNotifies) {
    TAppUser u;
    int changes = 0;
    u.OnChange = [&] { ++changes; };
    u.SetId(3);
    u.SetId(3);
    u.SetName("A");
    u.SetLogged(true);
    u.SetFavorites("F");
    u.SetCultureId(-1); // unchanged default
    u.SetSeasonCode("S");
    EXPECT_EQ(changes, 5);
    u.Clear();
    EXPECT_FALSE(u.Logged());
    EXPECT_EQ(u.CultureId(), -1);
    EXPECT_EQ(u.CropName(), "");
}

} // namespace

int main(int argc, char** argv) {
    return RunQtTests<QApplication>(argc, argv);
}
