#pragma once
// An unattended walk through the first start for documentation and smoke tests: watches the top-level
// windows on a timer, saves PNGs of the login (both configuration pages), the database upgrade while
// it runs, the first-login warning and the main window after the login, answering what a user would.
// Enabled by SV_SCREENSHOT_DIR; the program quits after the last picture unless SV_SCREENSHOT_KEEP
// is set. SV_SCREENSHOT_PORT writes login settings pointing at a data server on 127.0.0.1 and that port.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>

class QWidget;
class TFMain;

class TXScreenshotTour : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollMs = 25;
    static constexpr int kTimeoutMs = 90000;

    // Null when SV_SCREENSHOT_DIR is not set.
    static TXScreenshotTour* FromEnvironment(TFMain& main, QObject* parent);

    TXScreenshotTour(TFMain& main, const QString& folder, bool quitWhenDone, QObject* parent = nullptr);

    // The code and password typed into the login.
    QString UserCode = QStringLiteral("ADMIN");
    QString Password = QStringLiteral("ADMIN");

private:
    enum TStage { tsWaitLoginReady, tsWaitConfigOpen, tsWaitLogged, tsDone };

    void Poll();
    bool HandleUpgradeScreen();
    bool HandleMessageBox();
    void Save(QWidget* w, const char* name);
    void Fail(const QString& why);
    static void Log(const QString& line);

    TFMain& mMain;
    QString mFolder;
    bool mQuitWhenDone;
    TStage mStage = tsWaitLoginReady;
    bool mLoginSeen = false;
    bool mUpgradeSeen = false;
    bool mUpgradeDone = false;
    QPointer<QWidget> mAnswered; // the message box whose answer is on its way
    int mMessages = 0;
    QTimer mTimer;
    std::chrono::steady_clock::time_point mStart;
};
