#pragma once
// Waiting on the event loop in tests: until a condition holds, or for a while.

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

// Processes events until done() holds or timeoutMs passed; returns done().
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Lets the event loop run for ms, at least one round (for checks that something does not happen).
inline void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    } while (t.elapsed() < ms);
}
