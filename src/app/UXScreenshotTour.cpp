#include "app/UXScreenshotTour.h"

#include "foundation/UXAppFolder.h"
#include "shell/UFMain.h"
#include "shell/UFXDBUpdate.h"
#include "shell/UFXLogin.h"
#include "shell/UXDBUpgrade.h"
#include "shell/UXLoginSettings.h"
#include "shell/UXShellUser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>

#include <cstdio>

TXScreenshotTour* TXScreenshotTour::FromEnvironment(TFMain& main, QObject* parent) {
    const QString folder = qEnvironmentVariable("SV_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return nullptr;
    // A server on another port (scripts/screenshots starts one on a free port): the login finds it
    // through a settings file of its own, as a user's saved settings would point at it.
    const QString port = qEnvironmentVariable("SV_SCREENSHOT_PORT");
    if (!port.isEmpty()) {
        TXLoginSettings settings;
        settings.Port = port.toStdString();
        settings.UseIPSeek = false;
        if (!settings.Save(TXLoginSettings::FilePath(AppFolder(), main.ConfigurationName())))
            Log(QStringLiteral("cannot write the login settings in %1")
                    .arg(QString::fromStdString(AppFolder())));
    }
    return new TXScreenshotTour(main, folder, qEnvironmentVariableIsEmpty("SV_SCREENSHOT_KEEP"), parent);
}

TXScreenshotTour::TXScreenshotTour(TFMain& main, const QString& folder, bool quitWhenDone, QObject* parent)
    : QObject(parent), mMain(main), mFolder(folder), mQuitWhenDone(quitWhenDone),
      mStart(std::chrono::steady_clock::now()) {
    QDir().mkpath(mFolder);
    Log(QStringLiteral("platform %1, pictures in %2").arg(QGuiApplication::platformName(), mFolder));
    mTimer.setInterval(kPollMs);
    connect(&mTimer, &QTimer::timeout, this, &TXScreenshotTour::Poll);
    mTimer.start();
}

void TXScreenshotTour::Log(const QString& line) {
    std::fprintf(stderr, "screenshot: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

void TXScreenshotTour::Save(QWidget* w, const char* name) {
    const QString path = QDir(mFolder).filePath(QString::fromLatin1(name));
    if (w->grab().save(path, "PNG"))
        Log(QStringLiteral("saved %1").arg(path));
    else
        Fail(QStringLiteral("cannot write %1").arg(path));
}

void TXScreenshotTour::Fail(const QString& why) {
    Log(QStringLiteral("failed: %1").arg(why));
    mStage = tsDone;
    mTimer.stop();
    QCoreApplication::exit(3);
}

// Every message the program shows is logged and answered as a user reading it would: OK, or the
// affirmative answer of a question.
bool TXScreenshotTour::HandleMessageBox() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box || !box->isVisible() || box == mAnswered)
            continue;
        mAnswered = box;
        const QString text = box->text();
        Log(QStringLiteral("message: %1")
                .arg(QString(text).replace(QLatin1String("\r\n"), QLatin1String(" / "))));
        if (text.contains(QString::fromUtf8("Login permitido devido à falta de usuários cadastrados")))
            Save(box, "login-warning.png");
        else
            Save(box, QStringLiteral("message-%1.png").arg(++mMessages).toLatin1().constData());
        QAbstractButton* answer = nullptr;
        for (QAbstractButton* b : box->buttons()) {
            const QMessageBox::ButtonRole role = box->buttonRole(b);
            if (role == QMessageBox::AcceptRole || role == QMessageBox::YesRole) {
                answer = b;
                break;
            }
        }
        if (!answer && !box->buttons().isEmpty())
            answer = box->buttons().first();
        // Answered after this poll has returned: the answer may start a modal loop of its own.
        QPointer<QMessageBox> guard(box);
        QPointer<QAbstractButton> button(answer);
        QTimer::singleShot(0, this, [guard, button] {
            if (button)
                button->click();
            else if (guard)
                guard->done(0);
        });
        return true;
    }
    return false;
}

// The upgrade screen: one picture while it works, one when it has finished, then "Terminado".
bool TXScreenshotTour::HandleUpgradeScreen() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* screen = qobject_cast<TFXDBUpdate*>(w);
        if (!screen || !screen->isVisible())
            continue;
        TXDBUpgrade& logic = screen->Logic();
        if (!mUpgradeSeen) {
            mUpgradeSeen = true;
            Save(screen, "upgrade.png");
        }
        if (logic.Fatal()) {
            Fail(QStringLiteral("the database upgrade failed"));
            return true;
        }
        if (logic.Finished() && !mUpgradeDone) {
            mUpgradeDone = true;
            Save(screen, "upgrade-done.png");
            Log(QStringLiteral("upgrade finished"));
            QPointer<QPushButton> exit(screen->ExitButton());
            QTimer::singleShot(0, this, [exit] {
                if (exit)
                    exit->click();
            });
        }
        return true;
    }
    return false;
}

void TXScreenshotTour::Poll() {
    if (mStage == tsDone)
        return;
    if (std::chrono::steady_clock::now() - mStart > std::chrono::milliseconds(kTimeoutMs)) {
        Fail(QStringLiteral("timed out at stage %1").arg(static_cast<int>(mStage)));
        return;
    }
    if (HandleMessageBox() || HandleUpgradeScreen())
        return;

    TFXLogin* login = TFXLogin::Current();
    switch (mStage) {
    case tsWaitLoginReady:
        if (login && login->isVisible() && !mLoginSeen) {
            mLoginSeen = true;
            Log(QStringLiteral("login shown"));
        }
        // Ready for the user once the version check (and any upgrade) is behind it.
        if (!login || !login->isVisible() || !login->LoginButton()->isEnabled() ||
            login->PanelState() != lpsReady)
            return;
        Log(QStringLiteral("login ready"));
        if (!login->ConfigAreaOpen())
            login->ToggleConfigArea();
        mStage = tsWaitConfigOpen;
        return;
    case tsWaitConfigOpen:
        if (!login) {
            Fail(QStringLiteral("the login closed before the user logged in"));
            return;
        }
        if (login->height() != login->TargetHeight())
            return;
        login->UserEdit()->setText(UserCode);
        login->PasswordEdit()->setText(Password);
        login->Pages()->setCurrentIndex(0);
        Save(login, "login-dataserver.png");
        login->Pages()->setCurrentIndex(1);
        Save(login, "login-dbconfig.png");
        login->Pages()->setCurrentIndex(0);
        Log(QStringLiteral("logging in as %1").arg(UserCode));
        QTimer::singleShot(0, login, [login] { login->StartUserLogin(); });
        mStage = tsWaitLogged;
        return;
    case tsWaitLogged:
        if (login || mMain.Login() || !mMain.User() || !mMain.User()->Logged() || !mMain.PanelExpanded() ||
            !mMain.isVisible())
            return;
        Save(&mMain, "main.png");
        Log(QStringLiteral("main window ready: %1").arg(mMain.windowTitle()));
        mStage = tsDone;
        mTimer.stop();
        if (mQuitWhenDone)
            QTimer::singleShot(0, &mMain, [main = &mMain] { main->RequestExit(); });
        return;
    case tsDone:
        return;
    }
}
