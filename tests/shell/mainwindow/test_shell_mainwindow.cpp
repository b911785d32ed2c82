// The main window: opening screens, the login cycle, closing and destruction, the clock check and
// the connection and data-client events.
#include "UMainWindowTest.h"

#include "dataserver/UXDataClient.h"
#include "dataserver/UXTCPClientPack.h"
#include "foundation/UPTFormat.h"
#include "foundation/UXAppFolder.h"
#include "foundation/UXData.h"
#include "shell/UXClockFile.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace {

// ---- OpenFrame ------------------------------------------------------------------------------------

enum Where { wMainTab, wOwnTab, wWindow, wPanel };
enum Given { gNone, gPanel, gPageControl };

struct OpenCase {
    const char* name;
    bool bare; // a TFXMain without page control
    TXFrameKind kind;
    Given given;
    int mode;
    int setting; // RG item
    Where where;
};

const OpenCase kOpenCases[] = {
    {"OtherDefault", false, fkOther, gNone, omDefault, 3, wMainTab},
    {"SelDefault", false, fkSel, gNone, omDefault, 3, wMainTab},
    {"CadDefaultNoContainer", false, fkCad, gNone, omDefault, 3, wMainTab},
    {"CadDefaultInContainer", false, fkCad, gPanel, omDefault, 3, wPanel},
    {"SelDefaultIgnoresContainer", false, fkSel, gPanel, omDefault, 3, wMainTab},
    {"OtherDefaultIgnoresContainer", false, fkOther, gPanel, omDefault, 3, wMainTab},
    {"PanelWithoutContainerIsDefault", false, fkOther, gNone, omPanel, 3, wMainTab},
    {"PanelWithoutContainerCad", false, fkCad, gNone, omPanel, 3, wMainTab},
    {"Panel", false, fkOther, gPanel, omPanel, 3, wPanel},
    {"Window", false, fkSel, gNone, omWindow, 3, wWindow},
    {"TabInGivenPageControl", false, fkOther, gPageControl, omTab, 3, wOwnTab},
    {"TabWithPanelUsesMain", false, fkOther, gPanel, omTab, 3, wMainTab},
    {"SelModeIsTab", false, fkOther, gPanel, omSel, 3, wMainTab},
    {"CadModeWithContainer", false, fkOther, gPanel, omCad, 3, wPanel},
    {"CadModeWithoutContainer", false, fkOther, gNone, omCad, 3, wMainTab},
    {"UnknownNumberIsDefault", false, fkCad, gPanel, 9, 3, wPanel},
    {"SettingAba", false, fkCad, gPanel, omDefault, 0, wMainTab},
    {"SettingForm", false, fkCad, gPanel, omDefault, 1, wWindow},
    {"SettingPainel", false, fkSel, gPanel, omDefault, 2, wPanel},
    {"SettingPainelNoContainer", false, fkCad, gNone, omDefault, 2, wMainTab},
    {"SettingOnlyForDefault", false, fkOther, gNone, omWindow, 0, wWindow},
    {"BareTab", true, fkOther, gNone, omTab, 3, wWindow},
    {"BareDefault", true, fkOther, gNone, omDefault, 3, wWindow},
    {"BareCadNoContainer", true, fkCad, gNone, omDefault, 3, wWindow},
    {"BareCadInContainer", true, fkCad, gPanel, omDefault, 3, wPanel},
    {"BareGivenPageControl", true, fkSel, gPageControl, omTab, 3, wOwnTab},
};

class OpenFrameModes : public testing::TestWithParam<OpenCase> {};

TEST_P(OpenFrameModes, PlaceTheScreen) {
    const OpenCase& c = GetParam();
    std::unique_ptr<TFXMain> main;
    if (c.bare)
        main = std::make_unique<TestBareMain>();
    else
        main = std::make_unique<TestMain>();
    main->SetOpenModeSetting(c.setting);
    auto* panel = new QWidget(main.get());
    auto* pages = new QTabWidget(main.get());
    QWidget* given = c.given == gPanel         ? panel
                     : c.given == gPageControl ? static_cast<QWidget*>(pages)
                                               : nullptr;
    const TXFrameClass cls{"TTeste", c.kind,
                           [](QWidget* w) { return new TestFrame(w, QStringLiteral("Tela X")); }};

    auto data = std::make_unique<TXCallData>();
    data->Id = "call-1";
    TFXFrame* caller = c.given == gPanel ? main->OpenFrame(cls, nullptr, nullptr, panel, omPanel) : nullptr;
    const int before = main->FrameCount();
    TFXFrame* frame = main->OpenFrame(cls, caller, std::move(data), given, c.mode);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(main->FrameCount(), before + 1);
    EXPECT_EQ(main->Frame(before), frame);
    EXPECT_EQ(frame->Caller(), caller);
    EXPECT_EQ(frame->CallData().Id, "call-1");
    QWidget* holder = frame->Container();
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(frame->parentWidget(), holder);

    switch (c.where) {
    case wMainTab:
    case wOwnTab: {
        QTabWidget* tabs = c.where == wOwnTab ? pages : main->GetPageControl();
        ASSERT_NE(tabs, nullptr);
        const int index = tabs->indexOf(holder);
        ASSERT_GE(index, 0);
        EXPECT_EQ(tabs->currentIndex(), index) << "the new tab is the active page";
        EXPECT_EQ(tabs->tabText(index), QStringLiteral("Tela X"));
        EXPECT_TRUE(frame->OwnsContainer());
        break;
    }
    case wWindow:
        EXPECT_TRUE(holder->isWindow());
        EXPECT_TRUE(holder->isVisible());
        EXPECT_TRUE(holder->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_TRUE(holder->testAttribute(Qt::WA_DeleteOnClose));
        EXPECT_EQ(holder->size(), QSize(324, 204)) << "the frame's size + 4";
        EXPECT_EQ(holder->windowTitle(), QStringLiteral("Tela X"));
        break;
    case wPanel:
        EXPECT_EQ(holder, panel);
        EXPECT_FALSE(frame->OwnsContainer());
        break;
    }

    // Closing releases the screen and the container made for it.
    QPointer<QWidget> holderAlive(holder);
    EXPECT_TRUE(frame->Close(1, false));
    EXPECT_EQ(frame->CloseValue(), 1);
    EXPECT_EQ(main->FrameCount(), before);
    TXMainExec::Instance().Drain();
    EXPECT_EQ(holderAlive.isNull(), c.where != wPanel);
}

INSTANTIATE_TEST_SUITE_P(Cases, OpenFrameModes, testing::ValuesIn(kOpenCases),
                         [](const testing::TestParamInfo<OpenCase>& i) { return std::string(i.param.name); });

TEST(OpenFrame, ModalWindowReturnsOnceClosedAndFreeOperationNeedsAMainWindow) {
    const TXFrameClass cls{"TTeste", fkOther, [](QWidget* w) { return new TestFrame(w); }};
    EXPECT_EQ(OpenFrame(cls), nullptr) << "no main window: nothing";
    TestMain main;
    bool wasModal = false;
    QTimer::singleShot(50, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        wasModal = modal && modal->windowFlags() & Qt::WindowStaysOnTopHint && main.FrameCount() == 1;
        if (modal)
            modal->close();
    });
    EXPECT_EQ(OpenFrame(cls, nullptr, nullptr, nullptr, omModal), nullptr) << "freed when its window closed";
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(main.FrameCount(), 0);

    FrameClassScope classes;
    classes.Add("TTesteSel", fkSel);
    EXPECT_NE(OpenFrame("ttestesel"), nullptr) << "registered classes are found ignoring case";
    EXPECT_EQ(OpenFrame("TNaoExiste"), nullptr);
    EXPECT_EQ(main.PCMain()->count(), 1);
}

TEST(OpenFrame, CloseAllFramesClosesEveryScreenForced) {
    struct Stubborn : TestFrame {
        using TestFrame::TestFrame;
        bool CanClose() override { return false; }
    };
    TestMain main;
    const TXFrameClass cls{"TStubborn", fkOther, [](QWidget* w) { return new Stubborn(w); }};
    TFXFrame* a = main.OpenFrame(cls, nullptr, nullptr, nullptr, omTab);
    main.OpenFrame(cls, nullptr, nullptr, nullptr, omWindow);
    EXPECT_FALSE(a->Close(1, false)) << "an unforced close may be refused";
    EXPECT_EQ(main.FrameCount(), 2);
    main.CloseAllFrames();
    EXPECT_EQ(main.FrameCount(), 0);
    EXPECT_EQ(a->CloseValue(), 0);
    EXPECT_EQ(main.PCMain()->count(), 0);
}

// ---- creation, login cycle, status bar ------------------------------------------------------------

TEST(MainWindow, CaptionPanelAndStatusBar) {
    LoginHook hook;
    TestMain main;
    EXPECT_EQ(main.windowTitle(), QStringLiteral("Gerenciamento de Sarvolentis v1.0.59 - DataBase v1.0.13"));
    EXPECT_EQ(main.DSClient().Port, 80);
    EXPECT_EQ(main.DC().DefaultCFG, "SARVOLENTIS");
    EXPECT_EQ(MainForm(), &main);
    EXPECT_EQ(AppDatabaseStructure(), &main.DBase());
    EXPECT_FALSE(main.RG()->isVisibleTo(&main));
    EXPECT_EQ(main.OpenModeSetting(), 3);

    TestLogin* login = ShowUntilLogin(main, hook);
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(login->Log, std::vector<std::string>{"show"});
    EXPECT_EQ(main.size(), QSize(1135, 720));
    EXPECT_FALSE(main.PanelExpanded()) << "collapsed until a user logs in";

    login->Accept();
    EXPECT_TRUE(main.PanelExpanded());
    EXPECT_EQ(main.StatusPanel(0)->text(), QStringLiteral("ANA")) << "the login code after the login";
    auto* user = static_cast<TXShellUserRecord*>(main.User());
    user->SetCropName("Soja");
    EXPECT_EQ(main.StatusPanel(0)->text(), QStringLiteral("ANA / Ana Souza"));
    user->SetSeasonCode("23/24");
    EXPECT_EQ(main.StatusPanel(1)->text(), QStringLiteral("Soja"));
    EXPECT_EQ(main.StatusPanel(2)->text(), QStringLiteral("23/24"));
    EXPECT_EQ(main.StatusPanel(0)->width(), 100);
    EXPECT_EQ(main.StatusPanel(1)->width(), 150);

    main.BPMainClick();
    EXPECT_FALSE(main.PanelExpanded());
    EXPECT_EQ(main.findChild<QToolButton*>("BPMain")->text(), QStringLiteral(">"));
    main.BPMainClick();
    EXPECT_EQ(main.findChild<QToolButton*>("BPMain")->text(), QStringLiteral("<"));

    main.Logout();
    EXPECT_FALSE(main.User()->Logged());
    EXPECT_FALSE(main.PanelExpanded());
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(main.StatusPanel(i)->text().isEmpty());
    ASSERT_TRUE(WaitFor([&] { return hook.Logins.size() == 2; })) << "the login comes back";
}

TEST(MainWindow, AfterLoginOpensTheDefaultsScreenAndPasswordChangeOpensInATab) {
    LoginHook hook;
    FrameClassScope classes;
    classes.Add("TFDefaultsSelect").Add("TFAlteracaoUsuarioSenhaCad", fkCad);
    TestMain main;
    TestLogin* login = ShowUntilLogin(main, hook);
    ASSERT_NE(login, nullptr);
    UserRights().GrantAll();
    login->Accept("ANA", 42);
    ASSERT_EQ(main.FrameCount(), 1);
    EXPECT_EQ(main.Frame(0)->FrameCaption(), QStringLiteral("TFDefaultsSelect"));
    EXPECT_GE(main.PCMain()->indexOf(main.Frame(0)->Container()), 0);

    TXMenuItem* change =
        main.MM().Child(QString::fromUtf8("Segurança"))->Child(QStringLiteral("Troca de Senha"));
    ASSERT_NE(change, nullptr);
    ASSERT_FALSE(change->Views().empty());
    change->Views()[0]->trigger();
    ASSERT_EQ(main.FrameCount(), 2);
    auto* frame = static_cast<TestFrame*>(main.Frame(1));
    EXPECT_TRUE(frame->UpdateMode);
    EXPECT_EQ(frame->Params().ValueOf("id").AsInteger(), 42);
    EXPECT_EQ(main.PCMain()->currentWidget(), frame->Container());
    UserRights().ClearRights();
}

// ---- closing and destruction ----------------------------------------------------------------------

TEST(MainWindow, CloseAsksOnlyWithOpenScreens) {
    TXScriptedDialogs dialogs;
    TXDialogServiceScope scope(dialogs);
    TestMain main;
    main.show();
    EXPECT_TRUE(main.close());
    EXPECT_TRUE(dialogs.Calls.empty()) << "no screen open: no question";

    main.show();
    const TXFrameClass cls{"TTeste", fkOther, [](QWidget* w) { return new TestFrame(w); }};
    main.OpenFrame(cls, nullptr, nullptr, nullptr, omTab);
    main.OpenFrame(cls, nullptr, nullptr, nullptr, omWindow);
    dialogs.PushAnswer(mbNo);
    EXPECT_FALSE(main.close());
    ASSERT_EQ(dialogs.Calls.size(), 1u);
    EXPECT_EQ(dialogs.Calls[0].Kind, TXScriptedDialogs::dkAsk);
    EXPECT_EQ(dialogs.Calls[0].Text, Cp("Isto fechará todas as telas abertas.\r\nConfirma?"));
    EXPECT_EQ(dialogs.Calls[0].Buttons, mbYesNo);
    EXPECT_TRUE(main.isVisible());
    EXPECT_EQ(main.FrameCount(), 2);

    dialogs.PushAnswer(mbYes);
    EXPECT_TRUE(main.close());
    EXPECT_EQ(main.FrameCount(), 0);
    EXPECT_FALSE(main.isVisible());
}

TEST(MainWindow, DestructionRunsTheQueueWritesTheClockAndHandsOverTheUpdate) {
    struct UpdateCase {
        int pending;
        const char* program;
    };
    for (const UpdateCase& c :
         {UpdateCase{0, ""}, UpdateCase{2, "setup.exe"}, UpdateCase{1, "Sarvolentis.exe"}}) {
        SCOPED_TRACE(c.pending);
        TXScriptedDialogs dialogs;
        TXDialogServiceScope scope(dialogs);
        LoginHook hook;
        std::filesystem::remove(ClockFilePath());
        bool queued = false;
        bool timerFired = false;
        {
            TestMain main;
            main.DestroyWaitMs = 150;
            ASSERT_NE(ShowUntilLogin(main, hook), nullptr);
            main.PendingUpdate = c.pending;
            Post(60000, [&] { queued = true; });
            QTimer::singleShot(30, [&] { timerFired = true; });
        }
        EXPECT_TRUE(timerFired) << "window messages are processed for a while";
        EXPECT_FALSE(queued) << "calls not yet due are dropped by the drain";
        EXPECT_EQ(TXMainExec::Instance().PendingCount(), 0);
        double written = 0;
        ASSERT_TRUE(ReadClockFile(ClockFilePath(), written));
        EXPECT_NEAR(written, NowDateTime(), 1.0 / 1440);
        if (c.pending == 0) {
            EXPECT_TRUE(dialogs.Calls.empty());
            continue;
        }
        ASSERT_EQ(dialogs.Calls.size(), 2u);
        EXPECT_EQ(dialogs.Calls[0].Type, mtInformation);
        EXPECT_EQ(dialogs.Calls[0].Text, Cp("A atualização será instalada agora"));
        EXPECT_EQ(dialogs.Calls[1].Kind, TXScriptedDialogs::dkStart);
        EXPECT_EQ(dialogs.Calls[1].Text, AppFolder() + c.program);
        EXPECT_EQ(dialogs.Calls[1].Args, std::vector<std::string>{" "});
    }
}

// ---- the clock check ------------------------------------------------------------------------------

struct ClockCase {
    const char* name;
    double offsetDays; // stored last run - now; NaN: no file; 1e9: a damaged file
    bool asked;
    TXMsgDlgBtn answer;
    bool continues;
};

const ClockCase kClockCases[] = {
    {"NoFile", std::nan(""), false, mbYes, true},
    {"DamagedFile", 1e9, false, mbYes, true},
    {"Earlier", -1.0, false, mbYes, true},
    {"LaterByFiveMinutes", 5.0 / 1440, false, mbYes, true},
    {"LaterByElevenMinutesAccepted", 11.0 / 1440, true, mbYes, true},
    {"LaterByADayRejected", 1.0, true, mbNo, false},
};

class ClockCheck : public testing::TestWithParam<ClockCase> {};

TEST_P(ClockCheck, AsksWhenTheLastRunLiesAhead) {
    const ClockCase& c = GetParam();
    const std::string path = ClockFilePath();
    std::filesystem::remove(path);
    double stored = 0;
    if (c.offsetDays == 1e9) {
        std::ofstream(path, std::ios::binary) << "xy";
    } else if (!std::isnan(c.offsetDays)) {
        stored = NowDateTime() + c.offsetDays;
        ASSERT_TRUE(WriteClockFile(path, stored));
    }
    TXScriptedDialogs dialogs;
    TXDialogServiceScope scope(dialogs);
    dialogs.PushAnswer(c.answer);
    LoginHook hook;
    {
        TestMain main;
        main.show();
        Pump(50);
        ASSERT_EQ(dialogs.Calls.size(), c.asked ? 1u : 0u);
        if (c.asked) {
            const std::string& q = dialogs.Calls[0].Text;
            EXPECT_EQ(q.rfind(Cp("A data da última execução é maior que a data atual.\r\n"
                                 "Verifique o relógio do computador.\r\nA data atual está certa? ("),
                              0),
                      0u)
                << q;
            EXPECT_EQ(q.back(), ')');
        }
        EXPECT_EQ(main.ClockOk(), c.continues);
        EXPECT_EQ(main.Terminated, c.continues ? 0 : 1);
        EXPECT_EQ(hook.Logins.size(), c.continues ? 1u : 0u) << "a rejected clock never shows the login";
    }
    double after = 0;
    if (c.continues) {
        ASSERT_TRUE(ReadClockFile(path, after));
        EXPECT_NEAR(after, NowDateTime(), 1.0 / 1440);
    } else {
        ASSERT_TRUE(ReadClockFile(path, after));
        EXPECT_EQ(after, stored) << "the clock file is not rewritten";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ClockCheck, testing::ValuesIn(kClockCases),
                         [](const testing::TestParamInfo<ClockCase>& i) {
                             return std::string(i.param.name);
                         });

TEST(ClockFile, HoldsOnePackedExtendedDateTime) {
    const std::string path = ClockFilePath();
    const double when = EncodeDateTime(2024, 3, 5, 14, 30, 15);
    ASSERT_TRUE(WriteClockFile(path, when));
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 10u);
    uint8_t expected[10];
    DoubleToExtended(when, expected);
    EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(expected), 10));
    double back = 0;
    ASSERT_TRUE(ReadClockFile(path, back));
    EXPECT_EQ(back, when);
}

// ---- data-client events ---------------------------------------------------------------------------

std::string Texts(std::initializer_list<const char*> texts) {
    TXData d;
    Init(d);
    for (const char* t : texts)
        PutS(d, t);
    Finish(d);
    return d.Data;
}

struct ErrCase {
    const char* code;
    std::vector<const char*> texts;
    const char* shown; // UTF-8; empty: nothing shown
    bool ends;
};

const ErrCase kErrCases[] = {
    {"MUSTBEADM", {}, "Erro crítico no sistema:\r\nUsuário não logado como ADM", false},
    {"MUSTBELOGGED", {"GAMA"}, "Erro crítico no sistema:\r\nUsuário não logado na configuração GAMA", false},
    {"UPGRADE",
     {"SARVOLENTIS", "falhou"},
     "Erro crítico de atualização do sistema:\r\nCFG:SARVOLENTIS falhou",
     true},
    {"CFGERROR", {"BETA", "arquivo"}, "Erro crítico de abertura da configuração BETA\r\nErro:arquivo", true},
    {"CFGERROR", {"BETA"}, "Erro crítico de abertura da configuração BETA\r\nErro:", true},
    {"UNKNOWNSEMAPHORE", {"SMF_PRJ", "12"}, "semáforo desconhecido SMF_PRJ.12", false},
    {"CFGOPENING", {"ALFA"}, "", false},
    {"OUTRO", {"x"}, "", false},
};

TEST(MainWindowEvents, ErrorMessagesShowTheirTextAndEndWhereFatal) {
    for (bool loginOpen : {false, true}) {
        for (const ErrCase& c : kErrCases) {
            SCOPED_TRACE(std::string(c.code) + (loginOpen ? " with login" : ""));
            TXScriptedDialogs dialogs;
            TXDialogServiceScope scope(dialogs);
            LoginHook hook;
            TestMain main;
            TestLogin* login = nullptr;
            if (loginOpen) {
                ASSERT_NE(login = ShowUntilLogin(main, hook), nullptr);
            }
            TXData packed;
            Init(packed);
            for (const char* t : c.texts)
                PutS(packed, t);
            Finish(packed);
            TXData d;
            Load(d, packed.Data);
            main.DC().OnErrorMessage(c.code, d);
            if (*c.shown)
                EXPECT_EQ(dialogs.Texts(mtError), std::vector<std::string>{Cp(c.shown)});
            else
                EXPECT_TRUE(dialogs.Calls.empty());
            EXPECT_EQ(main.Ending(), c.ends);
            if (loginOpen) {
                EXPECT_EQ(main.Terminated, c.ends ? 1 : 0) << "the closed login ends the program";
                EXPECT_EQ(login->Log.back() == "close", c.ends);
            } else {
                EXPECT_EQ(main.Terminated, c.ends ? 1 : 0);
            }
        }
    }
}

TEST(MainWindowEvents, ConfigurationStillOpeningRetriesTheLoginAfterASecond) {
    LoginHook hook;
    TestMain main;
    TestLogin* login = ShowUntilLogin(main, hook);
    ASSERT_NE(login, nullptr);
    TXData d;
    Load(d, Texts({"ALFA"}));
    main.DC().OnErrorMessage("CFGOPENING", d);
    Pump(900);
    EXPECT_EQ(login->Log, std::vector<std::string>{"show"});
    ASSERT_TRUE(WaitFor([&] { return login->Log.size() == 2; }, 1000));
    EXPECT_EQ(login->Log[1], "repeat");
}

TEST(MainWindowEvents, WrongVersionAfterAnUpgradeEndsTheProgram) {
    struct VersionCase {
        const char* cfg;
        const char* version;
        bool ends;
    };
    for (const VersionCase& c :
         {VersionCase{"SARVOLENTIS", "1.0.13", false}, VersionCase{"sarvolentis", "1.0.12", true},
          VersionCase{"OUTRA", "1.0.12", false}, VersionCase{"Sarvolentis", "2.0.0", true}}) {
        for (bool loginOpen : {false, true}) {
            SCOPED_TRACE(std::string(c.cfg) + " " + c.version);
            TXScriptedDialogs dialogs;
            TXDialogServiceScope scope(dialogs);
            LoginHook hook;
            TestMain main;
            TestLogin* login = loginOpen ? ShowUntilLogin(main, hook) : nullptr;
            main.DC().OnUpgradedVersion(c.cfg, true, StrToVersion(c.version));
            if (login) {
                EXPECT_EQ(login->Log.back(), std::string("upgraded ") + c.cfg) << "passed on first";
            }
            EXPECT_EQ(main.Terminated, c.ends ? 1 : 0);
            EXPECT_EQ(dialogs.Texts(mtError),
                      c.ends ? std::vector<std::string>{Cp("Esta aplicação está com versão incorreta.")}
                             : std::vector<std::string>{});
        }
    }
}

TEST(MainWindowEvents, ServerLogoutClosesTheScreensAndBringsBackTheLogin) {
    LoginHook hook;
    FrameClassScope classes;
    classes.Add("TFDefaultsSelect");
    TestMain main;
    TestLogin* login = ShowUntilLogin(main, hook);
    ASSERT_NE(login, nullptr);
    main.DC().OnLogout();
    EXPECT_EQ(hook.Logins.size(), 1u) << "ignored while the login is open";
    login->Accept();
    EXPECT_EQ(main.FrameCount(), 1);
    main.DC().OnLogout();
    EXPECT_EQ(main.FrameCount(), 0);
    EXPECT_FALSE(main.User()->Logged());
    EXPECT_TRUE(WaitFor([&] { return hook.Logins.size() == 2; }));

    // A disconnect while the login is open is only passed on.
    TXScriptedDialogs dialogs;
    TXDialogServiceScope scope(dialogs);
    main.DSClient().OnDisconnect();
    EXPECT_EQ(hook.Last()->Log.back(), "disconnected");
    EXPECT_TRUE(dialogs.Calls.empty());
}

} // namespace

int main(int argc, char** argv) {
    return RunMainWindowTests(argc, argv);
}
