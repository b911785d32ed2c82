// The main menu and its actions by rights, and the favourite buttons.
#include "UMainWindowTest.h"

#include "foundation/UXData.h"
#include "shell/UALMain.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Captions of the drawn entries under a menu, visible ones only when asked.
QStringList Entries(const QList<QAction*>& actions, bool visibleOnly) {
    QStringList out;
    for (QAction* a : actions)
        if (!a->isSeparator() || !a->text().isEmpty())
            if (!visibleOnly || a->isVisible())
                out << a->text();
    return out;
}

QMenu* Submenu(const QList<QAction*>& actions, const QString& caption) {
    for (QAction* a : actions)
        if (a->text() == caption && a->menu())
            return a->menu();
    return nullptr;
}

// A main window with a user logged in under the rights set by setup.
struct LoggedMain {
    explicit LoggedMain(const std::function<void(TXUserRights&)>& setup) {
        UserRights().ClearRights();
        setup(UserRights());
        login = ShowUntilLogin(main, hook);
        if (login)
            login->Accept();
    }
    ~LoggedMain() { UserRights().ClearRights(); }
    LoginHook hook;
    TestMain main;
    TestLogin* login = nullptr;
};

TEST(MainMenu, BarHoldsTheMenusInOrderWithTheirEntries) {
    TestMain main;
    const QList<QAction*> bar = main.menuBar()->actions();
    EXPECT_EQ(Entries(bar, false), (QStringList{"Genotipagem", "Cadastros", U("Segurança"), "Outros"}));
    QMenu* gen = Submenu(bar, "Genotipagem");
    ASSERT_NE(gen, nullptr);
    EXPECT_EQ(Entries(gen->actions(), false), (QStringList{"Lista", "Gene a Analisar", "Modelo de Gabarito",
                                                           "Genotipagem", "Local de Plantio"}));
    EXPECT_EQ(Entries(Submenu(gen->actions(), "Lista")->actions(), false),
              (QStringList{"Grupo Lista", "Lista", "Valor"}));
    EXPECT_EQ(Entries(Submenu(gen->actions(), "Genotipagem")->actions(), false),
              (QStringList{"Genotipagem / Proj.", "Finalidade", "Tipo de Teste", "Amostra",
                           "Localizar Genotipag.", "Amostra - Controle"}));
    EXPECT_EQ(Entries(Submenu(gen->actions(), "Local de Plantio")->actions(), false),
              (QStringList{"Local de Plantio", U("Município"), U("País"), "UF"}));
    EXPECT_EQ(Entries(Submenu(bar, "Cadastros")->actions(), false),
              (QStringList{"Cultura / Safra", "Cultura", "Safra", U("Convênio"), U("Pessoa/Usuário")}));
    EXPECT_EQ(Entries(Submenu(bar, U("Segurança"))->actions(), false),
              (QStringList{"Direito", U("Grupo de Usuário"), "Troca de Senha", "Lote Laboratorio",
                           "Servidores API", "Log API - Comm"}));
    EXPECT_EQ(Entries(Submenu(bar, "Outros")->actions(), false),
              (QStringList{"Logout", U("Atualização"), "-- Maquina C --", "JSON - Tavrin - Maq C"}));

    EXPECT_EQ(main.ALMain().Count(), 28);
    ASSERT_NE(main.ALMain().Find("lpessoa"), nullptr) << "names compare ignoring case";
    EXPECT_EQ(main.ALMain().Find("LPESSOA")->Caption, QStringLiteral("Pessoas"));
    EXPECT_EQ(main.ALMain().Find("LGRUSUARIO")->Caption, U("Grupo de Usuários"));
    EXPECT_EQ(main.ALMain().Find("LCULTURA")->ClassName, "TFCulturaSel");
    TXMenuItem* outros = main.MM().Child("Outros");
    EXPECT_TRUE(outros->Item(2).Break);
    EXPECT_EQ(outros->Item(2).Action, nullptr);
    EXPECT_EQ(Entries(bar, true), QStringList{"Outros"}) << "only the column caption before a login";
    EXPECT_EQ(Entries(Submenu(bar, "Outros")->actions(), true), QStringList{"-- Maquina C --"});
}

struct RightsCase {
    const char* name;
    std::function<void(TXUserRights&)> rights;
    std::vector<std::string> visibleActions;
    QStringList visibleMenus;
};

const std::vector<RightsCase>& RightsCases() {
    static const std::vector<RightsCase> cases = {
        {"NoRights", [](TXUserRights&) {}, {}, {"Outros"}},
        {"MenOnOneScreen",
         [](TXUserRights& r) { r.AddScreenRights("LCULTURA", "INC;MEN"); },
         {"LCULTURA"},
         {"Cadastros", "Outros"}},
        {"OtherCodesHide",
         [](TXUserRights& r) { r.AddScreenRights("LCULTURA", "INC;ALT;CON"); },
         {},
         {"Outros"}},
        {"DeepEntryShowsItsParents",
         [](TXUserRights& r) { r.AddScreenRights("luf", "men"); },
         {"LUF"},
         {"Genotipagem", "Outros"}},
        {"UnbuiltScreenStaysHidden",
         [](TXUserRights& r) {
             r.AddScreenRights("LSAFRA", "MEN");
             r.AddScreenRights("LLOTELAB", "MEN");
             r.AddScreenRights("LAPPUPDATE", "MEN");
         },
         {},
         {"Outros"}},
        {"GlobalMen",
         [](TXUserRights& r) { r.AddGlobalRights("MEN"); },
         {"LUF", "LCULTURA", "LDIREITO", "LLOGOUT"},
         {"Genotipagem", "Cadastros", U("Segurança"), "Outros"}},
        {"GrantAll",
         [](TXUserRights& r) { r.GrantAll(); },
         {"LUF", "LCULTURA", "LDIREITO", "LLOGOUT"},
         {"Genotipagem", "Cadastros", U("Segurança"), "Outros"}},
    };
    return cases;
}

class MenuRights : public testing::TestWithParam<size_t> {};

TEST_P(MenuRights, ActionsAndEntriesFollowMenAndRegisteredScreens) {
    const RightsCase& c = RightsCases()[GetParam()];
    FrameClassScope classes;
    classes.Add("TFCulturaSel", fkSel).Add("TFUFSel", fkSel).Add("TFDireitoSel", fkSel);
    LoggedMain m(c.rights);
    ASSERT_NE(m.login, nullptr);
    std::vector<std::string> visible;
    for (int i = 0; i < m.main.ALMain().Count(); ++i)
        if (m.main.ALMain().Action(i).Visible)
            visible.push_back(m.main.ALMain().Action(i).Name);
    EXPECT_EQ(visible, c.visibleActions);
    const QList<QAction*> bar = m.main.menuBar()->actions();
    EXPECT_EQ(Entries(bar, true), c.visibleMenus);

    // Every drawn copy of an entry follows its action: menu bar and favourites popup alike.
    for (int i = 0; i < m.main.ALMain().Count(); ++i) {
        const TXAction& a = m.main.ALMain().Action(i);
        std::function<void(TXMenuItem&)> check = [&](TXMenuItem& item) {
            for (int k = 0; k < item.Count(); ++k) {
                TXMenuItem& child = item.Item(k);
                if (child.Action == &a) {
                    ASSERT_EQ(child.Views().size(), 2u) << a.Name;
                    for (const auto& view : child.Views())
                        EXPECT_EQ(view->isVisible(), a.Visible) << a.Name;
                }
                check(child);
            }
        };
        check(m.main.MM());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, MenuRights, testing::Range<size_t>(0, 7),
                         [](const testing::TestParamInfo<size_t>& i) {
                             return std::string(RightsCases()[i.param].name);
                         });

TEST(MainMenu, ChoosingAnEntryOpensItsScreenAndLogoutReturnsToTheLogin) {
    FrameClassScope classes;
    classes.Add("TFCulturaSel", fkSel);
    LoggedMain m([](TXUserRights& r) { r.AddGlobalRights("MEN"); });
    ASSERT_NE(m.login, nullptr);
    QMenu* cad = Submenu(m.main.menuBar()->actions(), "Cadastros");
    for (QAction* a : cad->actions())
        if (a->text() == "Cultura")
            a->trigger();
    ASSERT_EQ(m.main.FrameCount(), 1);
    EXPECT_EQ(m.main.PCMain()->currentWidget(), m.main.Frame(0)->Container())
        << "a selection screen opens in a tab";

    QMenu* outros = Submenu(m.main.menuBar()->actions(), "Outros");
    for (QAction* a : outros->actions())
        if (a->text() == "Logout")
            a->trigger();
    EXPECT_EQ(m.main.FrameCount(), 0);
    EXPECT_FALSE(m.main.User()->Logged());
    EXPECT_TRUE(WaitFor([&] { return m.hook.Logins.size() == 2; }));
    EXPECT_EQ(Entries(Submenu(m.main.menuBar()->actions(), "Cadastros")->actions(), true), QStringList{})
        << "nothing to choose while logged out";
}

TEST(MainMenu, EveryRightForTheFirstLoginUntilTheRightsAreLoadedAgain) {
    TXUserRights rights;
    rights.AddScreenRights("LCULTURA", "CON");
    rights.GrantAll();
    for (const char* code : {"MEN", "ADM", "INC", "GCU"})
        EXPECT_TRUE(rights.HasRight("QUALQUER", code)) << code;
    EXPECT_EQ(rights.ScreenCodes("LCULTURA"), nullptr) << "granting all starts from empty lists";
    rights.ClearRights();
    EXPECT_FALSE(rights.AllGranted());
    EXPECT_FALSE(rights.HasRight("QUALQUER", "MEN"));
}

TEST(MainMenu, UpdateActionNeedsTheUpdateWindow) {
    int shown = 0;
    ShellHooks().ShowAppUpdate = [&shown](TFXMain&) { ++shown; };
    {
        LoggedMain m([](TXUserRights& r) { r.GrantAll(); });
        ASSERT_NE(m.login, nullptr);
        TXAction* update = m.main.ALMain().Find("LAPPUPDATE");
        EXPECT_TRUE(update->Visible);
        update->Execute();
        EXPECT_EQ(shown, 1);
        EXPECT_FALSE(m.main.ALMain().Find("LLOTELAB")->Visible) << "no handler: never shown";
    }
    ShellHooks().ShowAppUpdate = nullptr;
}

// ---- favourites: the model ------------------------------------------------------------------------

struct EditCase {
    const char* name;
    std::string before; // one letter per button, '.' empty
    char op;            // 'V' Vazio, 'I' Inserir, 'E' Excluir
    int target;
    std::string after;
};

const EditCase kEditCases[] = {
    {"EmptyOne", "ABCDE", 'V', 2, "A.CDE"},
    {"InsertShiftsDownAndDropsTheLast", "ABCDE", 'I', 2, "A.BCD"},
    {"InsertOnTheFirst", "ABCDE", 'I', 1, ".ABCD"},
    {"InsertOnTheLastEmptiesIt", "ABCDE", 'I', 5, "ABCD."},
    {"DeleteShiftsUp", "ABCDE", 'E', 2, "ACDE."},
    {"DeleteOnTheLastEmptiesIt", "ABCDE", 'E', 5, "ABCD."},
    {"DeleteOverGaps", "A.C.E", 'E', 1, ".C.E."},
    {"OutOfRangeDoesNothing", "ABCDE", 'I', 6, "ABCDE"},
};

class FavoriteEdits : public testing::TestWithParam<EditCase> {};

TEST_P(FavoriteEdits, MoveTheButtons) {
    const EditCase& c = GetParam();
    TXActionList actions;
    for (char l : std::string("ABCDE"))
        actions.Add(std::string(1, l), QString(QChar(l)));
    TXFavorites f(5);
    for (int n = 1; n <= 5; ++n)
        if (c.before[n - 1] != '.')
            f.Bind(n, actions.Find(std::string(1, c.before[n - 1])));
    if (c.op == 'V')
        f.Empty(c.target);
    else if (c.op == 'I')
        f.Insert(c.target);
    else
        f.Delete(c.target);
    std::string after;
    for (int n = 1; n <= 5; ++n)
        after += f.At(n) ? f.At(n)->Name[0] : '.';
    EXPECT_EQ(after, c.after);
}

INSTANTIATE_TEST_SUITE_P(Cases, FavoriteEdits, testing::ValuesIn(kEditCases),
                         [](const testing::TestParamInfo<EditCase>& i) { return std::string(i.param.name); });

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

TEST(FavoritesStorage, PacksEveryButtonAndLoadsBackWhatStillExists) {
    TXActionList actions;
    TXAction& cultura = actions.Add("LCULTURA", "Cultura");
    TXAction& uf = actions.Add("LUF", "UF");
    TXAction& hidden = actions.Add("LSAFRA", "Safra");
    hidden.Visible = false;
    TXFavorites f(3);
    f.Bind(1, &cultura);
    f.Bind(3, &uf);
    const std::string packed = f.Pack();
    EXPECT_EQ(packed, Bytes({1, 0, 0, 0, 1, 8, 0, 0, 0}) + "LCULTURA" + Bytes({2, 0, 0, 0, 0}) +
                          Bytes({3, 0, 0, 0, 1, 3, 0, 0, 0}) + "LUF");

    auto find = [&](std::string_view name) -> TXAction* {
        TXAction* a = actions.Find(name);
        return a && a->Visible ? a : nullptr;
    };
    TXFavorites back(3);
    EXPECT_TRUE(back.Load(packed, find));
    EXPECT_EQ(back.At(1), &cultura);
    EXPECT_EQ(back.At(2), nullptr);
    EXPECT_EQ(back.At(3), &uf);
    EXPECT_EQ(back.Pack(), packed);

    // Entries of removed actions, hidden actions and buttons beyond the last are skipped; the rest load.
    TXData d;
    Init(d);
    for (auto [n, name] : std::vector<std::pair<int, std::string>>{
             {1, "LREMOVIDA"}, {2, "luf"}, {9, "LCULTURA"}, {3, "LSAFRA"}, {-1, "LCULTURA"}}) {
        PutI(d, n);
        PutB(d, 1);
        PutS(d, name);
    }
    Finish(d);
    TXFavorites odd(3);
    EXPECT_TRUE(odd.Load(d.Data, find));
    EXPECT_EQ(odd.At(1), nullptr);
    EXPECT_EQ(odd.At(2), &uf);
    EXPECT_EQ(odd.At(3), nullptr);

    TXFavorites damaged(3);
    EXPECT_FALSE(damaged.Load(packed.substr(0, packed.size() - 2), find)) << "a cut last entry";
    EXPECT_EQ(damaged.At(1), &cultura) << "the entries before the damage still load";
    EXPECT_TRUE(damaged.Load("", find));
}

// ---- favourites: the panel ------------------------------------------------------------------------

QAction* PopupEntry(QMenu* popup, const QString& caption) {
    for (QAction* a : popup->actions())
        if (a->text() == caption)
            return a;
    return nullptr;
}

TEST(FavoritesPanel, ButtonsLoadFromTheUserAndThePopupEditsThem) {
    FrameClassScope classes;
    classes.Add("TFCulturaSel", fkSel).Add("TFUFSel", fkSel);
    TXScriptedDialogs dialogs;
    TXDialogServiceScope scope(dialogs);
    LoginHook hook;
    TestMain main;
    TestLogin* login = ShowUntilLogin(main, hook);
    ASSERT_NE(login, nullptr);
    UserRights().AddScreenRights("LCULTURA", "MEN");
    UserRights().AddScreenRights("LUF", "MEN");
    UserRights().AddScreenRights("LLOGOUT", "MEN");
    {
        TXFavorites stored(TFMain::kFavoriteCount);
        TXAction culturaNamed;
        culturaNamed.Name = "LCULTURA";
        TXAction safraNamed; // not registered: hidden
        safraNamed.Name = "LSAFRA";
        stored.Bind(2, &culturaNamed);
        stored.Bind(5, &safraNamed);
        main.User()->SetFavorites(stored.Pack());
    }
    ASSERT_NE(main.FavoriteButton(52), nullptr);
    EXPECT_EQ(main.FavoriteButton(53), nullptr);
    EXPECT_EQ(main.FavoriteButton(1)->objectName(), QStringLiteral("F01"));
    EXPECT_EQ(main.FavoriteButton(1)->size(), QSize(102, 22));
    login->Accept();
    EXPECT_EQ(dialogs.Texts(mtError), std::vector<std::string>{"TXDataClient error: Connection not active"})
        << "not connected: the favourites session cannot open";
    dialogs.Clear();
    EXPECT_EQ(main.FavoriteButton(2)->text(), QStringLiteral("Cultura"));
    EXPECT_EQ(main.FavoriteButton(5)->text(), QString()) << "an action the user may not see is skipped";

    main.FavoriteButton(2)->click();
    ASSERT_EQ(main.FrameCount(), 1) << "the button runs its action";
    EXPECT_EQ(main.Frame(0)->FrameCaption(), QStringLiteral("TFCulturaSel"));

    QMenu* popup = main.PMFavoritos();
    EXPECT_EQ(Entries(popup->actions(), false).mid(0, 3), (QStringList{"Vazio", "Inserir", "Excluir"}));
    // The copied menu: choosing "UF" under Genotipagem > Local de Plantio binds it to the target.
    main.SetPopupTarget(4);
    Submenu(Submenu(popup->actions(), "Genotipagem")->actions(), "Local de Plantio")
        ->actions()
        .last()
        ->trigger();
    EXPECT_EQ(main.FavoriteButton(4)->text(), QStringLiteral("UF"));
    const std::string notReady = Cp("Favoritos não pode ser gravado, sessão não está pronta");
    EXPECT_EQ(dialogs.Texts(mtError), std::vector<std::string>{notReady}) << "no session to store them";

    main.SetPopupTarget(3);
    PopupEntry(popup, "Inserir")->trigger();
    EXPECT_EQ(main.FavoriteButton(2)->text(), QStringLiteral("Cultura"));
    EXPECT_EQ(main.FavoriteButton(3)->text(), QString());
    EXPECT_EQ(main.FavoriteButton(5)->text(), QStringLiteral("UF"));
    main.SetPopupTarget(1);
    PopupEntry(popup, "Excluir")->trigger();
    EXPECT_EQ(main.FavoriteButton(1)->text(), QStringLiteral("Cultura"));
    EXPECT_EQ(main.FavoriteButton(4)->text(), QStringLiteral("UF"));
    main.SetPopupTarget(1);
    PopupEntry(popup, "Vazio")->trigger();
    EXPECT_EQ(main.FavoriteButton(1)->text(), QString());
    EXPECT_EQ(dialogs.Texts(mtError).size(), 4u);
    EXPECT_NE(main.Favorites().Pack(), main.User()->Favorites()) << "nothing stored without the session";
    UserRights().ClearRights();
}

} // namespace
