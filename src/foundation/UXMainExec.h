#pragma once
// The process-wide queue of deferred calls on the UI thread: work that must run after the current
// event has returned. One timer, set to the earliest due time.

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <list>
#include <vector>

class TXMainExec : public QObject {
    Q_OBJECT
public:
    // Created at first use, which must be on the UI thread (the main window uses it at start-up).
    static TXMainExec& Instance();

    // Runs procedure after delayMs, after every call due earlier or at the same time. With a context,
    // the call is dropped when the context is destroyed before it is due. Other threads may post too;
    // the call still runs on the UI thread.
    void Post(int delayMs, std::function<void()> procedure, QObject* context = nullptr);
    // Deletes form on the next pass of the queue (a form may not delete itself inside its own event).
    void FreeLater(QObject* form);

    // At shutdown: runs the calls that are due (and those they post with no delay), drops the
    // later ones and deletes the kept forms.
    void Drain();

    int PendingCount() const { return static_cast<int>(mCalls.size()); }
    int PendingForms() const { return static_cast<int>(mForms.size()); }
    // Interval of the armed timer in ms, -1 when idle.
    int TimerInterval() const { return mTimer.isActive() ? mTimer.interval() : -1; }

private:
    explicit TXMainExec(QObject* parent);

    struct TXCall {
        int64_t Due;
        std::function<void()> Procedure;
        bool HasContext;
        QPointer<QObject> Context;
    };

    void RunDue();
    void RunCall(TXCall& call);
    void DeleteForms();
    void Arm();

    std::list<TXCall> mCalls;
    std::vector<QPointer<QObject>> mForms;
    QTimer mTimer;
};

inline void Post(int delayMs, std::function<void()> procedure, QObject* context = nullptr) {
    TXMainExec::Instance().Post(delayMs, std::move(procedure), context);
}
