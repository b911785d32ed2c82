// The client: the main window, the event loop and the shutdown report of objects still alive.

#include "app/UXScreenshotTour.h"
#include "foundation/UXMainExec.h"
#include "foundation/UXObject.h"
#include "foundation/UXProcessMemory.h"
#include "shell/UFLogin.h"
#include "shell/UFMain.h"
#include "shell/UXUserRights.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

int gSignalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = write(gSignalPipe[1], &c, 1);
}

// SIGTERM and SIGINT end the program as the menu would, through the main window, so the shutdown
// still drains the queue and writes the clock file. A second signal quits at once.
void QuitOnSignals(TFMain& main) {
    if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &main);
    QObject::connect(notifier, &QSocketNotifier::activated, &main, [&main] {
        char buf[16];
        while (read(gSignalPipe[0], buf, sizeof buf) > 0) {
        }
        static bool requested = false;
        if (requested) {
            QCoreApplication::exit(0);
            return;
        }
        requested = true;
        main.RequestExit();
    });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    KeepFreedMemory();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sarvolentis"));
    InstallLogin();

    int rc = 0;
    {
        auto main = std::make_unique<TFMain>();
        QuitOnSignals(*main);
        std::unique_ptr<TXScreenshotTour> tour(TXScreenshotTour::FromEnvironment(*main, nullptr));
        main->show();
        rc = QApplication::exec();
        tour.reset();
        main.reset();
    }
    TXMainExec::Instance().Drain();
    FreeUserRights(); // process-wide, so it would always show in the report of objects left alive
    WriteObjectRegistryReport();
    return rc;
}
