#include "foundation/UXMainExec.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace {

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QPointer<TXMainExec> gInstance;

} // namespace

TXMainExec& TXMainExec::Instance() {
    if (!gInstance)
        gInstance = new TXMainExec(QCoreApplication::instance());
    return *gInstance;
}

TXMainExec::TXMainExec(QObject* parent) : QObject(parent) {
    mTimer.setSingleShot(true);
    connect(&mTimer, &QTimer::timeout, this, &TXMainExec::RunDue);
}

void TXMainExec::Post(int delayMs, std::function<void()> procedure, QObject* context) {
    if (!procedure)
        return;
    if (QThread::currentThread() != thread()) {
        // From a worker: queue the post itself onto the UI thread.
        QPointer<QObject> ctx(context);
        const bool hasContext = context != nullptr;
        QMetaObject::invokeMethod(
            this,
            [this, delayMs, procedure = std::move(procedure), ctx, hasContext]() mutable {
                if (hasContext && !ctx)
                    return;
                Post(delayMs, std::move(procedure), ctx.data());
            },
            Qt::QueuedConnection);
        return;
    }
    const int64_t due = NowMs() + std::max(0, delayMs);
    auto it = mCalls.begin();
    while (it != mCalls.end() && it->Due <= due)
        ++it;
    mCalls.insert(it, TXCall{due, std::move(procedure), context != nullptr, context});
    Arm();
}

void TXMainExec::FreeLater(QObject* form) {
    if (form == nullptr)
        return;
    for (const auto& f : mForms)
        if (f == form)
            return;
    mForms.emplace_back(form);
    Arm();
}

void TXMainExec::Arm() {
    if (mCalls.empty() && mForms.empty()) {
        mTimer.stop();
        return;
    }
    int interval = 1;
    if (mForms.empty()) {
        const int64_t wait = mCalls.front().Due - NowMs();
        interval = static_cast<int>(std::clamp<int64_t>(wait, 1, INT32_MAX));
    }
    mTimer.start(interval);
}

void TXMainExec::RunCall(TXCall& call) {
    if (call.HasContext && !call.Context)
        return;
    try {
        call.Procedure();
    } catch (...) {
        // A failing call must not stop the ones after it.
    }
}

void TXMainExec::RunDue() {
    // Only the calls due now: what they post runs on a later pass, after pending events.
    const int64_t now = NowMs();
    std::list<TXCall> due;
    auto end = mCalls.begin();
    while (end != mCalls.end() && end->Due <= now)
        ++end;
    due.splice(due.end(), mCalls, mCalls.begin(), end);
    for (auto& call : due)
        RunCall(call);
    DeleteForms();
    Arm();
}

void TXMainExec::DeleteForms() {
    std::vector<QPointer<QObject>> forms;
    forms.swap(mForms);
    for (auto& f : forms)
        delete f.data();
}

void TXMainExec::Drain() {
    mTimer.stop();
    // Bounded: a call that keeps re-posting itself cannot hold up the shutdown.
    for (int pass = 0; pass < 1000 && !mCalls.empty(); ++pass) {
        const int64_t now = NowMs();
        std::list<TXCall> due;
        auto end = mCalls.begin();
        while (end != mCalls.end() && end->Due <= now)
            ++end;
        if (end == mCalls.begin())
            break;
        due.splice(due.end(), mCalls, mCalls.begin(), end);
        for (auto& call : due)
            RunCall(call);
        DeleteForms();
    }
    mCalls.clear();
    DeleteForms();
    mTimer.stop();
}
