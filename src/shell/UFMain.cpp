#include "shell/UFMain.h"

#include "dataserver/UXDataClient.h"
#include "dataserver/UXSQLSessionGUI.h"
#include "dataserver/UXTCPClientPack.h"
#include "foundation/UCp1252.h"
#include "foundation/UPTFormat.h"
#include "foundation/UXAppFolder.h"
#include "foundation/UXDialogs.h"
#include "foundation/UXMainExec.h"
#include "foundation/UXQtText.h"
#include "foundation/UXText.h"
#include "shell/UALMain.h"
#include "shell/UFXFrame.h"
#include "shell/UXClockFile.h"
#include "shell/UXShellHooks.h"
#include "shell/UXShellUser.h"
#include "shell/UXUserRights.h"
#include "sql/UTBStruct_App.h"
#include "sql/UXDBDataBaseStructure.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>

namespace {
TFMain* gMainForm = nullptr;

QString Text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
} // namespace

TFMain* MainForm() {
    return gMainForm;
}

TXDBDataBaseStructure* AppDatabaseStructure() {
    return gMainForm ? &gMainForm->DBase() : nullptr;
}

TFMain::TFMain(QWidget* parent) : TFXMain(parent), mDBase(std::make_unique<TXDBDataBaseStructure>()) {
    if (!gMainForm)
        gMainForm = this;
    DSClient().Port = 80;
    DC().DefaultCFG = "SARVOLENTIS";
    Configuration().Application = "SARVOLENTIS";
    Configuration().ApplicationVersion = StrToVersion("1.0.59");
    SetupAppStructure(*mDBase);

    BuildLayout();
    BuildActions();
    BuildFavorites();
    RG()->setParent(mPMainInternal);
    RG()->setVisible(false);
    setWindowTitle(QStringLiteral("Gerenciamento de Sarvolentis v") +
                   ToQString(VersionToStr(Configuration().ApplicationVersion)) +
                   QStringLiteral(" - DataBase v") + ToQString(mDBase->Version()));
    ApplyRights();
}

TFMain::~TFMain() {
    FormDestroy();
    if (gMainForm == this)
        gMainForm = nullptr;
}

void TFMain::BuildLayout() {
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    mPMain = new QWidget(central);
    mPMain->setFixedWidth(125);
    mPMainInternal = new QWidget(mPMain);
    auto* title = new QLabel(QStringLiteral("Favoritos"), mPMainInternal);
    title->setGeometry(4, 2, 102, 16);
    mBPMain = new QToolButton(mPMain);
    mBPMain->setObjectName(QStringLiteral("BPMain"));
    QObject::connect(mBPMain, &QToolButton::clicked, this, [this] { BPMainClick(); });
    auto* panelRow = new QHBoxLayout(mPMain);
    panelRow->setContentsMargins(0, 0, 0, 0);
    panelRow->setSpacing(0);
    panelRow->addWidget(mPMainInternal, 1);
    panelRow->addWidget(mBPMain);
    mBPMain->setFixedWidth(14);
    mBPMain->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);

    mPCMain = new QTabWidget(central);
    mPCMain->setObjectName(QStringLiteral("PCMain"));
    row->addWidget(mPMain);
    row->addWidget(mPCMain, 1);
    setCentralWidget(central);

    for (int width : {100, 150, 150}) {
        auto* panel = new QLabel(this);
        panel->setFixedWidth(width);
        statusBar()->addWidget(panel);
        mStatus.push_back(panel);
    }
    SetPanelExpanded(true);
}

void TFMain::BuildActions() {
    BuildALMain(mActions, mMenu);
    for (int i = 0; i < mActions.Count(); ++i) {
        TXAction& a = mActions.Action(i);
        if (!a.ClassName.empty()) {
            const std::string cls = a.ClassName;
            a.Available = [cls] { return FindFrameClass(cls) != nullptr; };
            a.OnExecute = [this, cls] { OpenFrame(cls, nullptr, nullptr, nullptr, omDefault); };
        } else if (a.Name == "LLOGOUT") {
            a.OnExecute = [this] { Logout(); };
        } else if (a.Name == "LAPPUPDATE") {
            a.Available = [] { return static_cast<bool>(ShellHooks().ShowAppUpdate); };
            a.OnExecute = [this] {
                if (ShellHooks().ShowAppUpdate)
                    ShellHooks().ShowAppUpdate(*this);
            };
        }
    }
    if (TXMenuItem* security = mMenu.Child(Text("Segurança")))
        if (TXMenuItem* change = security->Child(Text(kPasswordChangeCaption))) {
            change->Available = [] { return FindFrameClass(kPasswordChangeClass) != nullptr; };
            change->OnClick = [this] { OpenPasswordChange(); };
        }
    mMenu.DrawInto(menuBar(), [this](TXMenuItem& item) { MenuClick(item); });
}

void TFMain::MenuClick(TXMenuItem& item) {
    if (item.Action)
        item.Action->Execute();
    else if (item.OnClick)
        item.OnClick();
}

void TFMain::OpenPasswordChange() {
    TFXFrame* frame = OpenFrame(std::string(kPasswordChangeClass), nullptr, nullptr, nullptr, omCad);
    if (!frame)
        return;
    frame->SetUpdateMode();
    frame->Params().ValueOf("id").SetInteger(User() ? User()->Id() : 0);
}

void TFMain::ApplyRights() {
    const bool logged = User() && User()->Logged();
    for (int i = 0; i < mActions.Count(); ++i) {
        TXAction& a = mActions.Action(i);
        a.Visible = logged && a.IsAvailable() && UserRights().HasRight(a.Name, "MEN");
    }
    mMenu.UpdateVisibility();
}

void TFMain::UserChanged() {
    TXShellUser* user = User();
    if (!user)
        return;
    mStatus[0]->setText(ToQString(user->Code() + " / " + user->Name()));
    mStatus[1]->setText(ToQString(user->CropName()));
    mStatus[2]->setText(ToQString(user->SeasonCode()));
}

void TFMain::CreateMainSession() {
    mMainSession = std::make_unique<TXSQLSessionGUI>();
    mMainSession->OP = "geral";
    mMainSession->DC = &DC();
    mMainSession->OnSQLError = [](TXSQLSessionGUI&, const std::string& pid, const std::string& perror) {
        ShowError("Erro ao executar o comando \"" + pid + "\":\r\n" + perror);
    };
    try {
        mMainSession->Loaded();
    } catch (const std::exception& e) {
        ShowError(e.what());
    }
}

void TFMain::AfterLogin() {
    SetPanelExpanded(true);
    mStatus[0]->setText(ToQString(User()->Code()));
    CreateMainSession();
    ApplyRights();
    mFavorites.Reset();
    LoadFavorites();
    RefreshFavoriteButtons();
    OpenFrame(std::string(kDefaultsSelectClass), nullptr, nullptr, nullptr, omDefault);
}

void TFMain::Logout() {
    TFXMain::Logout();
    mMainSession.reset();
    SetPanelExpanded(false);
    for (QLabel* panel : mStatus)
        panel->clear();
    ApplyRights();
}

void TFMain::FormShow() {
    SetPanelExpanded(false);
    mClockOk = true;
    double last = 0;
    if (ReadClockFile(ClockFilePath(), last)) {
        const double now = NowDateTime();
        if (now < last - 1.0 / 144) {
            const std::string question =
                Utf8ToCp1252("A data da última execução é maior que a data atual.\r\n"
                             "Verifique o relógio do computador.\r\n"
                             "A data atual está certa? (") +
                DateTimeToStr(now) + ")";
            if (!Confirm(question)) {
                mClockOk = false;
                Post(
                    0, [this] { Terminate(); }, this);
            }
        }
    }
    if (!mClockOk)
        return;
    TFXMain::FormShow();
    resize(1135, 720);
    if (QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void TFMain::FormDestroy() {
    if (mDestroyed)
        return;
    TFXMain::FormDestroy();
    mMainSession.reset();
    if (mClockOk)
        WriteClockFile(ClockFilePath(), NowDateTime());
    if (PendingUpdate != 0) {
        ShowInfo(Utf8ToCp1252("A atualização será instalada agora"));
        StartProgram(AppFolder() + (PendingUpdate == 2 ? "setup.exe" : "Sarvolentis.exe"), {" "});
    }
}

void TFMain::UpgradedVersion(const std::string& cfg, bool, const TXVersion& v) {
    if (!SameText(cfg, "SARVOLENTIS"))
        return;
    if (VersionToStr(v) != mDBase->Version()) {
        ShowError(Utf8ToCp1252("Esta aplicação está com versão incorreta."));
        Terminate();
    }
}
