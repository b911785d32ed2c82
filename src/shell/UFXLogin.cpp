// The login window: layout, settings, configuration rows, the configuration area and closing.
// The connection steps and the replies are in UFXLoginSteps.cpp.

#include "shell/UFXLogin.h"

#include "dataserver/UXDataClient.h"
#include "dataserver/UXSQLSessionGUI.h"
#include "dataserver/UXTCPClientPack.h"
#include "foundation/UCp1252.h"
#include "foundation/UXAppFolder.h"
#include "foundation/UXDialogs.h"
#include "foundation/UXQtText.h"
#include "shell/UFXDBUpdate.h"
#include "shell/UXAppUser.h"
#include "shell/UXDBUpgrade.h"
#include "update/UXIPSeek.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

TFXLogin* gCurrent = nullptr;

constexpr int kWidth = 380;

// Typed letters become upper case.
void UpperInput(QLineEdit* e) {
    QObject::connect(e, &QLineEdit::textEdited, e, [e](const QString& text) {
        const QString upper = text.toUpper();
        if (upper == text)
            return;
        const int pos = e->cursorPosition();
        e->setText(upper);
        e->setCursorPosition(pos);
    });
}

void PasswordInput(QLineEdit* e) {
    e->setEchoMode(QLineEdit::Password);
    e->setStyleSheet(QStringLiteral("lineedit-password-character: 35"));
}

} // namespace

struct TFXLogin::TXSavedHandlers {
    std::function<void()> OnConnect;
    std::function<void(const std::string&)> OnConnectError;
    std::function<void()> OnDisconnect;
    std::function<void()> OnIDReceived;
    decltype(TXDataClient::OnAuthCheck) OnAuthCheck;
    decltype(TXDataClient::OnCFGVersion) OnCFGVersion;
    decltype(TXDataClient::OnLockResult) OnLockResult;
    decltype(TXDataClient::OnLockExclusive) OnLockExclusive;
    decltype(TXDataClient::OnUpgradeBeginCompleted) OnUpgradeBeginCompleted;
    decltype(TXDataClient::OnUpgradedVersion) OnUpgradedVersion;
    decltype(TXDataClient::OnUpgradeEndCompleted) OnUpgradeEndCompleted;
    decltype(TXDataClient::OnUpgradeMsg) OnUpgradeMsg;
};

TFXLogin::TFXLogin(const TXLoginLinks& links, QWidget* parent) : QDialog(parent), mLinks(links) {
    if (!mLinks.Transport && mLinks.DataClient)
        mLinks.Transport = mLinks.DataClient->TCPClientPack();
    ConfigAllowed = ParamIndex("config") > 0;
    WaitMode = ParamIndex("WAIT") > 0;
    mIPSeek = new TXIPSeek(this);
    mIPSeek->OnSeekEnd = [this](TXIPSeek*, bool ok) { SeekEnded(ok); };
    BuildWidgets();
    gCurrent = this;

    mStepTimer.setSingleShot(true);
    connect(&mStepTimer, &QTimer::timeout, this, &TFXLogin::RunStep);
    mStepTimer.start(kFirstStepMs);
    mHeightTimer.setInterval(1);
    connect(&mHeightTimer, &QTimer::timeout, this, &TFXLogin::AnimateHeight);
    connect(this, &QDialog::finished, this, [this] {
        if (mClosedReported)
            return;
        mClosedReported = true;
        mStepTimer.stop();
        mHeightTimer.stop();
        ReleaseLoginSession();
        if (gCurrent == this)
            gCurrent = nullptr;
        if (mLinks.OnClosed)
            mLinks.OnClosed(*this);
    });
}

TFXLogin::~TFXLogin() {
    UnbindEvents();
    if (gCurrent == this)
        gCurrent = nullptr;
    if (mLoginSession)
        mLoginSession->Release();
}

TFXDBUpdate* TFXLogin::UpgradeScreen() const {
    return mUpgradeScreen.data();
}

TFXLogin* TFXLogin::Current() {
    return gCurrent;
}

void TFXLogin::BuildWidgets() {
    setWindowTitle(QStringLiteral("Login"));
    setFixedWidth(kWidth);
    setFixedHeight(kClosedHeight);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(4, 4, 4, 4);
    root->setSizeConstraint(QLayout::SetNoConstraint);

    mTopPanel = new QFrame(this);
    mTopPanel->setAutoFillBackground(true);
    auto* top = new QGridLayout(mTopPanel);
    mUserLabel = new QLabel(QString::fromUtf8("Usuário"), mTopPanel);
    mPasswordLabel = new QLabel(QStringLiteral("Senha"), mTopPanel);
    mUserEdit = new QLineEdit(mTopPanel);
    mUserEdit->setMaxLength(15);
    UpperInput(mUserEdit);
    mPasswordEdit = new QLineEdit(mTopPanel);
    mPasswordEdit->setMaxLength(20);
    UpperInput(mPasswordEdit);
    PasswordInput(mPasswordEdit);
    mLoginButton = new QPushButton(QStringLiteral("Login"), mTopPanel);
    top->addWidget(mUserLabel, 0, 0);
    top->addWidget(mUserEdit, 0, 1);
    top->addWidget(mPasswordLabel, 1, 0);
    top->addWidget(mPasswordEdit, 1, 1);
    top->addWidget(mLoginButton, 0, 2, 2, 1);
    root->addWidget(mTopPanel);

    mConfigButton = new QPushButton(QString::fromUtf8("Abrir configurações"), this);
    root->addWidget(mConfigButton);

    mPages = new QTabWidget(this);
    auto* server = new QWidget(mPages);
    auto* form = new QFormLayout(server);
    mIPEdit = new QLineEdit(server);
    mPortEdit = new QLineEdit(server);
    mSeekCheck = new QCheckBox(QStringLiteral("Utilizar busca de IP"), server);
    mHostEdit = new QLineEdit(server);
    mSeekUserEdit = new QLineEdit(server);
    mSeekPasswordEdit = new QLineEdit(server);
    PasswordInput(mSeekPasswordEdit);
    mFileEdit = new QLineEdit(server);
    form->addRow(QStringLiteral("IP"), mIPEdit);
    form->addRow(QStringLiteral("Port"), mPortEdit);
    form->addRow(mSeekCheck);
    form->addRow(QStringLiteral("Host"), mHostEdit);
    form->addRow(QString::fromUtf8("Usuário"), mSeekUserEdit);
    form->addRow(QStringLiteral("Password"), mSeekPasswordEdit);
    form->addRow(QStringLiteral("Arquivo"), mFileEdit);
    mPages->addTab(server, QStringLiteral("DataServer"));

    auto* db = new QWidget(mPages);
    auto* dbl = new QGridLayout(db);
    mCFGGrid = new QTableWidget(0, 2, db);
    mCFGGrid->setHorizontalHeaderLabels({QStringLiteral("CFG"), QString()});
    mCFGGrid->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    mCFGGrid->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    mCFGGrid->setColumnWidth(1, 28);
    mCFGGrid->verticalHeader()->hide();
    mCFGGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    mCFGGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    mAddCFGButton = new QPushButton(QStringLiteral("+"), db);
    mDeleteCFGButton = new QPushButton(QStringLiteral("-"), db);
    mCFGPasswordEdit = new QLineEdit(db);
    UpperInput(mCFGPasswordEdit);
    PasswordInput(mCFGPasswordEdit);
    mCFGLoginButton = new QPushButton(QStringLiteral("Login"), db);
    dbl->addWidget(mCFGGrid, 0, 0, 4, 1);
    dbl->addWidget(mAddCFGButton, 0, 1);
    dbl->addWidget(mDeleteCFGButton, 1, 1);
    dbl->addWidget(new QLabel(QStringLiteral("Senha"), db), 4, 0);
    dbl->addWidget(mCFGPasswordEdit, 5, 0);
    dbl->addWidget(mCFGLoginButton, 5, 1);
    mPages->addTab(db, QStringLiteral("DB Config"));
    root->addWidget(mPages, 1);

    connect(mLoginButton, &QPushButton::clicked, this, &TFXLogin::StartUserLogin);
    connect(mUserEdit, &QLineEdit::returnPressed, this, [this] { mPasswordEdit->setFocus(); });
    connect(mPasswordEdit, &QLineEdit::returnPressed, this, [this] {
        if (mLoginButton->isEnabled())
            StartUserLogin();
    });
    connect(mConfigButton, &QPushButton::clicked, this, &TFXLogin::ToggleConfigArea);
    connect(mIPEdit, &QLineEdit::textEdited, this, &TFXLogin::AddressFieldsEdited);
    connect(mPortEdit, &QLineEdit::textEdited, this, &TFXLogin::AddressFieldsEdited);
    connect(mAddCFGButton, &QPushButton::clicked, this, [this] {
        AddCFGRow({}, {});
        mCFGGrid->setCurrentCell(CFGRowCount() - 1, 0);
    });
    connect(mDeleteCFGButton, &QPushButton::clicked, this, [this] { DeleteCFGRow(mCFGGrid->currentRow()); });
    connect(mCFGGrid, &QTableWidget::currentCellChanged, this, [this](int row) {
        mCFGPasswordEdit->setText(row >= 0 ? ToQString(CFGPassword(row)) : QString());
    });
    connect(mCFGPasswordEdit, &QLineEdit::textEdited, this, [this] {
        const int row = mCFGGrid->currentRow();
        if (row >= 0)
            SetCFGPassword(row, FromQString(mCFGPasswordEdit->text()));
    });
    connect(mCFGLoginButton, &QPushButton::clicked, this, &TFXLogin::CFGLogin);

    EnableInputs(false);
    ApplySettings(TXLoginSettings());
    SetPanelState(lpsDisconnected);
}

// ---- event binding without a main window -------------------------------------------------------------

void TFXLogin::BindEvents() {
    if (mBound || !mLinks.DataClient)
        return;
    mBound = true;
    mSaved = std::make_unique<TXSavedHandlers>();
    TXDataClient& dc = *mLinks.DataClient;
    if (TXTCPClientPack* t = mLinks.Transport) {
        mSaved->OnConnect = std::exchange(t->OnConnect, [this] { Connected(); });
        mSaved->OnConnectError =
            std::exchange(t->OnConnectError, [this](const std::string& m) { ConnectError(m); });
        mSaved->OnDisconnect = std::exchange(t->OnDisconnect, [this] { Disconnected(); });
        mSaved->OnIDReceived = std::exchange(t->OnIDReceived, [this] { IDReceived(); });
    }
    mSaved->OnAuthCheck = std::exchange(
        dc.OnAuthCheck, [this](const std::string& c, bool ok, int32_t left) { AuthCheck(c, ok, left); });
    mSaved->OnCFGVersion = std::exchange(
        dc.OnCFGVersion, [this](const std::string& c, const TXVersion& v) { CFGVersion(c, v); });
    mSaved->OnLockResult = std::exchange(dc.OnLockResult, [this](const std::string& c, const std::string& lu,
                                                                 bool ok) { LockResult(c, lu, ok); });
    mSaved->OnLockExclusive =
        std::exchange(dc.OnLockExclusive, [this](const std::string& c) { LockExclusive(c); });
    mSaved->OnUpgradeBeginCompleted = std::exchange(
        dc.OnUpgradeBeginCompleted, [this](const std::string& c, bool u) { UpgradeBeginCompleted(c, u); });
    mSaved->OnUpgradedVersion =
        std::exchange(dc.OnUpgradedVersion, [this](const std::string& c, bool ok, const TXVersion& v) {
            UpgradedVersion(c, ok, v);
        });
    mSaved->OnUpgradeEndCompleted = std::exchange(
        dc.OnUpgradeEndCompleted, [this](const std::string& c, TXVersion& v) { UpgradeEndCompleted(c, v); });
    mSaved->OnUpgradeMsg = std::exchange(
        dc.OnUpgradeMsg, [this](const std::string& c, const std::string& m) { UpgradeMsg(c, m); });
}

void TFXLogin::UnbindEvents() {
    if (!mBound)
        return;
    mBound = false;
    if (mLinks.DataClient) {
        TXDataClient& dc = *mLinks.DataClient;
        dc.OnAuthCheck = std::move(mSaved->OnAuthCheck);
        dc.OnCFGVersion = std::move(mSaved->OnCFGVersion);
        dc.OnLockResult = std::move(mSaved->OnLockResult);
        dc.OnLockExclusive = std::move(mSaved->OnLockExclusive);
        dc.OnUpgradeBeginCompleted = std::move(mSaved->OnUpgradeBeginCompleted);
        dc.OnUpgradedVersion = std::move(mSaved->OnUpgradedVersion);
        dc.OnUpgradeEndCompleted = std::move(mSaved->OnUpgradeEndCompleted);
        dc.OnUpgradeMsg = std::move(mSaved->OnUpgradeMsg);
    }
    if (TXTCPClientPack* t = mLinks.Transport) {
        t->OnConnect = std::move(mSaved->OnConnect);
        t->OnConnectError = std::move(mSaved->OnConnectError);
        t->OnDisconnect = std::move(mSaved->OnDisconnect);
        t->OnIDReceived = std::move(mSaved->OnIDReceived);
    }
    mSaved.reset();
}

// ---- settings ---------------------------------------------------------------------------------------

TXLoginSettings TFXLogin::CurrentSettings() const {
    TXLoginSettings s;
    s.IP = FromQString(mIPEdit->text());
    s.Port = FromQString(mPortEdit->text());
    s.UseIPSeek = mSeekCheck->isChecked();
    s.Host = FromQString(mHostEdit->text());
    s.User = FromQString(mSeekUserEdit->text());
    s.Password = FromQString(mSeekPasswordEdit->text());
    s.FileName = FromQString(mFileEdit->text());
    s.Configurations.clear();
    for (int i = 0; i < CFGRowCount(); ++i)
        s.Configurations.emplace_back(CFGName(i), CFGPassword(i));
    return s;
}

void TFXLogin::ApplySettings(const TXLoginSettings& s) {
    mIPEdit->setText(ToQString(s.IP));
    mPortEdit->setText(ToQString(s.Port));
    mSeekCheck->setChecked(s.UseIPSeek);
    mHostEdit->setText(ToQString(s.Host));
    mSeekUserEdit->setText(ToQString(s.User));
    mSeekPasswordEdit->setText(ToQString(s.Password));
    mFileEdit->setText(ToQString(s.FileName));
    mCFGGrid->setRowCount(0);
    for (const auto& [name, password] : s.Configurations)
        AddCFGRow(name, password);
    mLoadedIP = s.IP;
}

std::string TFXLogin::SettingsPath() const {
    return TXLoginSettings::FilePath(SettingsFolder.empty() ? AppFolder() : SettingsFolder,
                                     mLinks.Application);
}

void TFXLogin::LoadSettings() {
    TXLoginSettings s;
    if (s.Load(SettingsPath()))
        ApplySettings(s);
    if (WaitMode) {
        mIPEdit->clear();
        mSeekCheck->setChecked(false);
    }
}

void TFXLogin::SaveSettings() {
    CurrentSettings().Save(SettingsPath());
    mLoadedIP = FromQString(mIPEdit->text());
}

// ---- configuration rows -----------------------------------------------------------------------------

int TFXLogin::CFGRowCount() const {
    return mCFGGrid->rowCount();
}

std::string TFXLogin::CFGName(int row) const {
    const QTableWidgetItem* item = mCFGGrid->item(row, 0);
    return item ? FromQString(item->text().trimmed()) : std::string();
}

std::string TFXLogin::CFGPassword(int row) const {
    const QTableWidgetItem* item = mCFGGrid->item(row, 0);
    return item ? item->data(Qt::UserRole).toByteArray().toStdString() : std::string();
}

std::string TFXLogin::CFGStatus(int row) const {
    const QTableWidgetItem* item = mCFGGrid->item(row, 1);
    return item ? FromQString(item->text()) : std::string();
}

void TFXLogin::AddCFGRow(const std::string& name, const std::string& password) {
    const int row = mCFGGrid->rowCount();
    mCFGGrid->insertRow(row);
    auto* nameItem = new QTableWidgetItem(ToQString(name));
    // The row's password object: kept with the name, never shown.
    nameItem->setData(Qt::UserRole, QByteArray::fromStdString(password));
    mCFGGrid->setItem(row, 0, nameItem);
    auto* status = new QTableWidgetItem();
    status->setFlags(status->flags() & ~Qt::ItemIsEditable);
    mCFGGrid->setItem(row, 1, status);
}

void TFXLogin::DeleteCFGRow(int row) {
    if (row >= 0 && row < CFGRowCount())
        mCFGGrid->removeRow(row);
}

void TFXLogin::SetCFGPassword(int row, const std::string& password) {
    if (QTableWidgetItem* item = mCFGGrid->item(row, 0))
        item->setData(Qt::UserRole, QByteArray::fromStdString(password));
    if (row == mCFGGrid->currentRow() && FromQString(mCFGPasswordEdit->text()) != password)
        mCFGPasswordEdit->setText(ToQString(password));
}

void TFXLogin::SetCFGStatus(int row, const std::string& status) {
    if (QTableWidgetItem* item = mCFGGrid->item(row, 1))
        item->setText(ToQString(status));
}

// ---- look ----------------------------------------------------------------------------------------------

QColor TFXLogin::PanelColor() const {
    switch (mPanelState) {
    case lpsDisconnected:
        return QColor(128, 0, 0); // maroon
    case lpsConnected:
        return QColor(255, 255, 0); // yellow
    case lpsOpen:
        return QColor(128, 128, 0); // olive
    case lpsReady:
        break;
    }
    return palette().color(QPalette::Button);
}

QColor TFXLogin::LabelColor() const {
    return mPanelState == lpsDisconnected ? QColor(Qt::white) : QColor(Qt::black);
}

void TFXLogin::SetPanelState(TXLoginPanelState s) {
    mPanelState = s;
    QPalette p = mTopPanel->palette();
    p.setColor(QPalette::Window, PanelColor());
    p.setColor(QPalette::WindowText, LabelColor());
    mTopPanel->setPalette(p);
}

void TFXLogin::SetCaption(const std::string& text) {
    setWindowTitle(ToQString(text));
}

void TFXLogin::EnableInputs(bool on) {
    mUserEdit->setEnabled(on);
    mPasswordEdit->setEnabled(on);
    mLoginButton->setEnabled(on);
    if (on && mPanelState != lpsDisconnected)
        SetPanelState(lpsReady);
}

void TFXLogin::ToggleConfigArea() {
    mConfigOpen = !mConfigOpen;
    mConfigButton->setText(QString::fromUtf8(mConfigOpen ? "Fechar configurações" : "Abrir configurações"));
    mPages->widget(1)->setEnabled(ConfigAllowed);
    mTargetHeight = mConfigOpen ? kOpenHeight : kClosedHeight;
    mHeightTimer.start();
    if (!mConfigOpen)
        SaveSettings();
}

void TFXLogin::AnimateHeight() {
    const int h = height();
    if (h == mTargetHeight) {
        mHeightTimer.stop();
        return;
    }
    const int next = h < mTargetHeight ? std::min(h + kHeightStep, mTargetHeight)
                                       : std::max(h - kHeightStep, mTargetHeight);
    setFixedHeight(next);
}

// ---- showing and closing -------------------------------------------------------------------------------

void TFXLogin::ShowModal() {
    open();
}

void TFXLogin::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (mShownOnce)
        return;
    mShownOnce = true;
    mPages->widget(1)->setEnabled(ConfigAllowed);
    LoadSettings();
}

bool TFXLogin::Fatal() const {
    return mFatal || (mLinks.IsFatal && mLinks.IsFatal());
}

bool TFXLogin::Logged() const {
    return mLinks.AppUser && mLinks.AppUser->Logged();
}

void TFXLogin::EndApplication() {
    mFatal = true;
    if (mLinks.SetFatal)
        mLinks.SetFatal();
    mForceClose = true;
    if (isVisible())
        QDialog::reject();
    else
        done(Rejected);
}

void TFXLogin::CloseLogin() {
    mForceClose = true;
    if (isVisible())
        QDialog::reject();
    else
        done(Rejected);
}

bool TFXLogin::CloseAllowed() {
    if (mForceClose || Fatal())
        return true;
    if (Logged()) {
        ReleaseLoginSession();
        return true;
    }
    if (!Confirm(Utf8ToCp1252("Deseja fechar a aplicação?")))
        return false;
    mFatal = true;
    if (mLinks.SetFatal)
        mLinks.SetFatal();
    return true;
}

// The window's close button and Escape come here (QDialog's close event rejects).
void TFXLogin::reject() {
    if (CloseAllowed())
        QDialog::reject();
}

void TFXLogin::AcceptLogin() {
    if (mLinks.AppUser)
        mLinks.AppUser->SetLogged(true);
    ReleaseLoginSession();
    accept();
}

void TFXLogin::RejectLogin(const std::string& text) {
    ShowError(text);
    if (mLinks.AppUser)
        mLinks.AppUser->SetLogged(false);
    EnableInputs(true);
}

void TFXLogin::ReleaseLoginSession() {
    if (!mLoginSession)
        return;
    TXSQLSessionGUI* s = mLoginSession.release();
    s->Release();
    // Its own event may be running: delete it afterwards.
    s->deleteLater();
}
