#include "shell/UFXMain.h"

#include "dataserver/UXDataClient.h"
#include "dataserver/UXTCPClientPack.h"
#include "foundation/UCp1252.h"
#include "foundation/UXDialogs.h"
#include "foundation/UXMainExec.h"
#include "shell/UFXFrame.h"
#include "shell/UXMainLogin.h"
#include "shell/UXShellHooks.h"
#include "shell/UXShellUser.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QGroupBox>
#include <QRadioButton>
#include <QTabWidget>
#include <QThreadPool>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {
TFXMain* gMainWindow = nullptr;
}

TFXMain* MainWindow() {
    return gMainWindow;
}

TFXFrame* OpenFrame(const TXFrameClass& frameClass, TFXFrame* caller, std::unique_ptr<TXCallData> callData,
                    QWidget* container, int openMode) {
    TFXMain* main = MainWindow();
    return main ? main->OpenFrame(frameClass, caller, std::move(callData), container, openMode) : nullptr;
}

TFXFrame* OpenFrame(const std::string& className, TFXFrame* caller, std::unique_ptr<TXCallData> callData,
                    QWidget* container, int openMode) {
    TFXMain* main = MainWindow();
    return main ? main->OpenFrame(className, caller, std::move(callData), container, openMode) : nullptr;
}

TFXMain::TFXMain(QWidget* parent)
    : QMainWindow(parent), mDSClient(std::make_unique<TXTCPClientPack>()),
      mDC(std::make_unique<TXDataClient>()) {
    if (!gMainWindow)
        gMainWindow = this;
    mDSClient->Port = 59504;
    mDC->SetTCPClientPack(mDSClient.get());

    mRG = new QGroupBox(QStringLiteral(" Abrir "), this);
    mRGButtons = new QButtonGroup(mRG);
    auto* layout = new QVBoxLayout(mRG);
    int id = 0;
    for (const char* item : {"aba", "form", "painel", "default"}) {
        auto* b = new QRadioButton(QString::fromLatin1(item), mRG);
        layout->addWidget(b);
        mRGButtons->addButton(b, id++);
    }
    SetOpenModeSetting(3);
    mRG->setVisible(false);

    ConnectEvents();
}

TFXMain::~TFXMain() {
    FormDestroy();
    if (gMainWindow == this)
        gMainWindow = nullptr;
}

std::string TFXMain::ConfigurationName() const {
    return mConfiguration.Application.empty() ? std::string("Default") : mConfiguration.Application;
}

int TFXMain::OpenModeSetting() const {
    return mRGButtons->checkedId();
}

void TFXMain::SetOpenModeSetting(int item) {
    if (auto* b = mRGButtons->button(item))
        b->setChecked(true);
}

// ---- frames ---------------------------------------------------------------------------------------

void TFXMain::RegisterFrame(TFXFrame* frame) {
    if (frame && std::find(mFrames.begin(), mFrames.end(), frame) == mFrames.end())
        mFrames.push_back(frame);
}

void TFXMain::UnregisterFrame(TFXFrame* frame) {
    auto it = std::find(mFrames.begin(), mFrames.end(), frame);
    if (it != mFrames.end())
        mFrames.erase(it);
}

void TFXMain::CloseAllFrames() {
    while (!mFrames.empty()) {
        TFXFrame* first = mFrames.front();
        first->Close(0, true);
        UnregisterFrame(first); // a frame that refused even a forced close must not hold the loop
    }
}

int TFXMain::ResolveOpenMode(TXFrameKind kind, QWidget* container, int openMode,
                             QTabWidget** pageControl) const {
    int mode = openMode < omDefault || openMode > omModal ? omDefault : openMode;
    if (mode == omDefault) {
        static constexpr int kSetting[] = {omTab, omWindow, omPanel, omDefault};
        const int item = OpenModeSetting();
        if (item >= 0 && item < 4)
            mode = kSetting[item];
    }
    if (mode == omPanel && !container)
        mode = omDefault;
    if (mode == omDefault)
        mode = kind == fkSel ? omSel : kind == fkCad ? omCad : omTab;
    if (mode == omSel)
        mode = omTab;
    else if (mode == omCad)
        mode = container ? omPanel : omTab;
    QTabWidget* pc = nullptr;
    if (mode == omTab) {
        pc = qobject_cast<QTabWidget*>(container);
        if (!pc)
            pc = GetPageControl();
        if (!pc)
            mode = omWindow;
    }
    if (pageControl)
        *pageControl = pc;
    return mode;
}

QWidget* TFXMain::CreateContainer(int mode, QTabWidget* pageControl, QWidget* container,
                                  const QString& caption) {
    switch (mode) {
    case omTab: {
        auto* sheet = new QWidget(this);
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(0, 0, 0, 0);
        const int index = pageControl->addTab(sheet, caption);
        pageControl->setCurrentIndex(index);
        return sheet;
    }
    case omWindow:
    case omModal: {
        auto* window = new QDialog(this, Qt::Window | Qt::WindowStaysOnTopHint);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowTitle(caption);
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(2, 2, 2, 2);
        return window;
    }
    default:
        return container;
    }
}

TFXFrame* TFXMain::OpenFrame(const TXFrameClass& frameClass, TFXFrame* caller,
                             std::unique_ptr<TXCallData> callData, QWidget* container, int openMode) {
    if (!frameClass.Create)
        return nullptr;
    QTabWidget* pageControl = nullptr;
    const int mode = ResolveOpenMode(frameClass.Kind, container, openMode, &pageControl);
    QWidget* holder = CreateContainer(mode, pageControl, container, QString());
    TFXFrame* frame = nullptr;
    try {
        frame = frameClass.Create(holder);
    } catch (...) {
        if (holder != container)
            delete holder;
        throw;
    }
    if (!frame) {
        if (holder != container)
            delete holder;
        return nullptr;
    }
    frame->SetOwnsContainer(holder != container);
    frame->SetCaller(caller);
    frame->SetCallData(std::move(callData));
    const QString caption = frame->FrameCaption();
    if (mode == omTab) {
        pageControl->setTabText(pageControl->indexOf(holder), caption);
        return frame;
    }
    if (mode == omWindow || mode == omModal) {
        auto* window = static_cast<QDialog*>(holder);
        window->setWindowTitle(caption);
        window->resize(frame->width() + 4, frame->height() + 4);
        const QRect r = window->frameGeometry();
        window->move(geometry().center() - QPoint(r.width() / 2, r.height() / 2));
        if (mode == omModal) {
            QPointer<TFXFrame> alive(frame);
            window->exec();
            return alive.data();
        }
        window->show();
    }
    return frame;
}

TFXFrame* TFXMain::OpenFrame(const std::string& className, TFXFrame* caller,
                             std::unique_ptr<TXCallData> callData, QWidget* container, int openMode) {
    const TXFrameClass* frameClass = FindFrameClass(className);
    return frameClass ? OpenFrame(*frameClass, caller, std::move(callData), container, openMode) : nullptr;
}

// ---- the login cycle -------------------------------------------------------------------------------

std::unique_ptr<TXShellUser> TFXMain::GetUserClass() {
    if (ShellHooks().CreateUser)
        if (auto user = ShellHooks().CreateUser())
            return user;
    return std::make_unique<TXShellUserRecord>();
}

void TFXMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!mShown) {
        mShown = true;
        FormShow();
    }
}

void TFXMain::FormShow() {
    if (!mUser) {
        mUser = GetUserClass();
        mUser->OnChange = [this] { UserChanged(); };
    }
    Post(
        0, [this] { Logout(); }, this);
}

void TFXMain::Logout() {
    if (mUser)
        mUser->SetLogged(false);
    CloseAllFrames();
    Post(
        0, [this] { ShowLogin(); }, this);
}

void TFXMain::ShowLogin() {
    if (mLogin || mDestroyed || mTerminating || !ShellHooks().CreateLogin)
        return;
    mLogin = ShellHooks().CreateLogin(*this);
    if (mLogin)
        mLogin->ShowModal();
}

void TFXMain::LoginClosed(TXMainLogin* login) {
    if (!login || login != mLogin)
        return;
    mLogin = nullptr;
    if (mEnding) {
        Terminate();
        return;
    }
    if (mUser && mUser->Logged())
        AfterLogin();
}

void TFXMain::RequestExit() {
    mEnding = true;
    if (TXMainLogin* login = mLogin)
        login->CloseLogin();
    else
        Terminate();
}

void TFXMain::Terminate() {
    mTerminating = true;
    QCoreApplication::quit();
}

// ---- closing ---------------------------------------------------------------------------------------

void TFXMain::closeEvent(QCloseEvent* event) {
    if (FormClose())
        event->accept();
    else
        event->ignore();
}

bool TFXMain::FormClose() {
    if (!mFrames.empty()) {
        if (!Confirm(Utf8ToCp1252("Isto fechará todas as telas abertas.\r\nConfirma?")))
            return false;
        CloseAllFrames();
    }
    return true;
}

void TFXMain::FormDestroy() {
    if (mDestroyed)
        return;
    mDestroyed = true;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(DestroyWaitMs);
    while (std::chrono::steady_clock::now() < until) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    TXMainExec::Instance().Drain();
    mUser.reset();
    QThreadPool::globalInstance()->waitForDone();
    // Screens still open go before the window's own parts do.
    while (!mFrames.empty()) {
        TFXFrame* frame = mFrames.front();
        UnregisterFrame(frame);
        if (frame->OwnsContainer() && frame->Container())
            delete frame->Container();
        else
            delete frame;
    }
}
