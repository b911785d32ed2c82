// The main window against the real data server: a lost connection and the stored favourites.
#include "UMainWindowTest.h"
#include "support/UDataServerProcess.h"

#include "dataserver/UXDataClient.h"
#include "dataserver/UXSQLSessionGUI.h"
#include "dataserver/UXTCPClientPack.h"
#include "sql/UXSQL.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

namespace {

// A main window whose (recording) login connects to the server and opens the default
// configuration, as the real login does before the user logs in.
class ServerMain : public testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<DataServerProcess>();
        main = std::make_unique<TestMain>();
        main->DSClient().IP = "127.0.0.1";
        main->DSClient().Port = server->Port();
        login = ShowUntilLogin(*main, hook);
        ASSERT_NE(login, nullptr);
        bool open = false;
        auto check = [this] { main->DC().CheckCFG("", "SARVOLENTIS"); };
        login->OnId = check;
        login->OnRepeat = [this, check] {
            main->DC().Logout();
            check();
        };
        login->OnAuth = [&open](bool ok) { open = ok; };
        main->DSClient().Activate(-1);
        ASSERT_TRUE(WaitFor([&] { return open; }, 15000)) << "the configuration did not open";
        EXPECT_EQ(login->Log[1], "connected");
        EXPECT_EQ(login->Log[2], "id");
    }

    void TearDown() override {
        helper.reset();
        main.reset();
        UserRights().ClearRights();
    }

    // A session of the test's own on the same connection.
    TXSQLSessionGUI& Helper() {
        if (!helper) {
            helper = std::make_unique<TXSQLSessionGUI>();
            helper->OP = "geral";
            helper->DC = &main->DC();
            helper->OnCommand = [this](TXSQLSessionGUI&, const std::string& id) { done.push_back(id); };
            helper->OnSelect = [this](TXSQLSessionGUI&, const std::string& id, TXSQL& sql) {
                sql.First();
                selected = sql.Eof() ? std::string("<none>") : sql.FieldValue("favoritos").AsString();
                done.push_back(id);
            };
            helper->OnSQLError = [this](TXSQLSessionGUI&, const std::string& id, const std::string& e) {
                done.push_back(id + " error " + e);
            };
            helper->OnCreateError = [this](TXSQLSessionGUI&, const std::string& e) {
                done.push_back("create error " + e);
            };
            helper->Loaded();
            EXPECT_TRUE(WaitFor([&] { return helper->Ready(); }))
                << (done.empty() ? std::string() : done.back());
        }
        return *helper;
    }

    bool Run(const std::string& id, const std::string& text, bool select = false) {
        TXSQLSessionGUI& h = Helper();
        h.SQL().SQLText = text;
        const size_t before = done.size();
        if (select)
            h.Select(id);
        else
            h.Command(id);
        return WaitFor([&] { return done.size() > before; }) && done.back() == id;
    }

    std::string Stored() {
        selected.clear();
        EXPECT_TRUE(Run("read", "select favoritos from usuario where codigo='ANA'", true));
        Helper().FreeSQL("read");
        return selected;
    }

    LoginHook hook;
    std::unique_ptr<DataServerProcess> server;
    std::unique_ptr<TestMain> main;
    TestLogin* login = nullptr;
    std::unique_ptr<TXSQLSessionGUI> helper;
    std::vector<std::string> done;
    std::string selected;
};

TEST_F(ServerMain, ALostConnectionSaysSoAndReturnsToTheLogin) {
    FrameClassScope classes;
    classes.Add("TFDefaultsSelect");
    TXScriptedDialogs dialogs;
    TXDialogServiceScope scope(dialogs);
    login->Accept();
    ASSERT_EQ(main->FrameCount(), 1);
    ASSERT_NE(main->MainSession(), nullptr);
    EXPECT_TRUE(WaitFor([&] { return main->MainSession()->Ready(); })) << "the favourites session opens";

    server->Kill();
    ASSERT_TRUE(WaitFor([&] { return !dialogs.Calls.empty(); }));
    EXPECT_EQ(dialogs.Texts(mtError), std::vector<std::string>{Cp("Conexão perdida")});
    ASSERT_TRUE(WaitFor([&] { return hook.Logins.size() == 2; })) << "the login comes back";
    EXPECT_EQ(hook.Last()->Log, std::vector<std::string>{"show"});
    EXPECT_EQ(main->FrameCount(), 0) << "the screens were closed";
    EXPECT_FALSE(main->User()->Logged());
    EXPECT_EQ(main->MainSession(), nullptr);
    EXPECT_FALSE(main->PanelExpanded());
}

TEST_F(ServerMain, FavouritesAreStoredWithTheUpdateStatement) {
    ASSERT_TRUE(Run("create", "CREATE TABLE usuario (codigo VARCHAR(15), favoritos BLOB)"));
    ASSERT_TRUE(Run("insert", "insert into usuario (codigo) values ('ANA')"));
    FrameClassScope classes;
    classes.Add("TFCulturaSel", fkSel);
    UserRights().AddScreenRights("LCULTURA", "MEN");
    TXScriptedDialogs dialogs;
    TXDialogServiceScope scope(dialogs);
    login->Accept("ANA");
    ASSERT_TRUE(WaitFor([&] { return main->MainSession() && main->MainSession()->Ready(); }));

    // The copied "Cultura" entry of the popup binds F02 and stores the buttons.
    QMenu* cadastros = nullptr;
    for (QAction* a : main->PMFavoritos()->actions())
        if (a->text() == "Cadastros")
            cadastros = a->menu();
    ASSERT_NE(cadastros, nullptr);
    main->SetPopupTarget(2);
    for (QAction* a : cadastros->actions())
        if (a->text() == "Cultura")
            a->trigger();
    EXPECT_EQ(main->FavoriteButton(2)->text(), QStringLiteral("Cultura"));
    TXSQL* sent = main->MainSession()->FindSQL("usuario.favoritos.1");
    ASSERT_NE(sent, nullptr) << "sent under an id beginning with usuario.favoritos";
    EXPECT_EQ(sent->EffectiveText(), "update usuario set favoritos=:favoritos where codigo=:codigo");
    ASSERT_EQ(sent->Params.Count(), 2);
    EXPECT_EQ(sent->Params.Find("Scodigo")->AsString(), "ANA");
    const std::string packed = main->Favorites().Pack();
    EXPECT_EQ(sent->Params.Find("Bfavoritos")->AsString(), packed);
    EXPECT_EQ(main->User()->Favorites(), packed);
    ASSERT_TRUE(WaitFor([&] { return !main->MainSession()->FindSQL("usuario.favoritos.1"); }));
    EXPECT_EQ(Stored(), packed) << "the bytes arrive in the database unchanged";

    // Unchanged buttons send nothing; changing back to the earlier layout still stores it.
    main->SetPopupTarget(5);
    for (QAction* a : main->PMFavoritos()->actions())
        if (a->text() == "Vazio")
            a->trigger();
    EXPECT_EQ(main->MainSession()->FindSQL("usuario.favoritos.2"), nullptr);
    main->SetPopupTarget(2);
    for (QAction* a : main->PMFavoritos()->actions())
        if (a->text() == "Vazio")
            a->trigger();
    ASSERT_NE(main->MainSession()->FindSQL("usuario.favoritos.2"), nullptr);
    ASSERT_TRUE(WaitFor([&] { return !main->MainSession()->FindSQL("usuario.favoritos.2"); }));
    EXPECT_EQ(Stored(), TXFavorites(TFMain::kFavoriteCount).Pack());

    // A failed save shows the server's text with the command id; the buttons keep their layout.
    ASSERT_TRUE(Run("drop", "DROP TABLE usuario"));
    main->SetPopupTarget(1);
    for (QAction* a : cadastros->actions())
        if (a->text() == "Cultura")
            a->trigger();
    ASSERT_TRUE(WaitFor([&] { return !dialogs.Texts(mtError).empty(); }));
    const std::string shown = dialogs.Texts(mtError)[0];
    EXPECT_EQ(shown.rfind("Erro ao executar o comando \"usuario.favoritos.3\":\r\n", 0), 0u) << shown;
    EXPECT_GT(shown.size(), std::string("Erro ao executar o comando \"usuario.favoritos.3\":\r\n").size());
    EXPECT_EQ(main->FavoriteButton(1)->text(), QStringLiteral("Cultura"));
}

} // namespace

int main(int argc, char** argv) {
    return RunMainWindowTests(argc, argv);
}
