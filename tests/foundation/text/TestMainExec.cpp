#include "foundation/UXMainExec.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

// Processes events until pred holds or timeoutMs passes.
template <typename Pred>
bool WaitFor(Pred pred, int timeoutMs = 3000) {
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return pred();
}

class MainExec : public ::testing::Test {
protected:
    void TearDown() override { TXMainExec::Instance().Drain(); }
    TXMainExec& exec = TXMainExec::Instance();
};

} // namespace

TEST_F(MainExec, EqualDueTimesKeepPostOrderAndEarlierDueRunsFirst) {
    std::vector<int> order;
    exec.Post(40, [&] { order.push_back(4); });
    exec.Post(0, [&] { order.push_back(1); });
    exec.Post(0, [&] { order.push_back(2); });
    exec.Post(0, [&] { order.push_back(3); });
    EXPECT_TRUE(order.empty()); // never inside Post
    ASSERT_TRUE(WaitFor([&] { return order.size() == 4; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(MainExec, ExceptionInOneCallDoesNotStopTheNext) {
    std::vector<int> order;
    exec.Post(0, [&] { order.push_back(1); });
    exec.Post(0, [&] {
        order.push_back(2);
        throw std::runtime_error("boom");
    });
    exec.Post(0, [] { throw 42; });
    exec.Post(0, [&] { order.push_back(3); });
    ASSERT_TRUE(WaitFor([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(exec.PendingCount(), 0);
}

TEST_F(MainExec, TimerIsSetToTheEarliestDueTime) {
    EXPECT_EQ(exec.TimerInterval(), -1);
    exec.Post(5000, [] {});
    EXPECT_GT(exec.TimerInterval(), 4900);
    EXPECT_LE(exec.TimerInterval(), 5000);
    exec.Post(300, [] {});
    EXPECT_GT(exec.TimerInterval(), 200);
    EXPECT_LE(exec.TimerInterval(), 300);
    exec.Post(8000, [] {}); // a later call does not move the timer
    EXPECT_LE(exec.TimerInterval(), 300);
    exec.Post(0, [] {});
    EXPECT_EQ(exec.TimerInterval(), 1); // at least 1 ms
    EXPECT_EQ(exec.PendingCount(), 4);
}

TEST_F(MainExec, CallsPostedWhileRunningWaitForTheNextPass) {
    std::vector<std::string> log;
    exec.Post(0, [&] {
        log.push_back("a");
        exec.Post(0, [&] { log.push_back("c"); });
    });
    exec.Post(0, [&] { log.push_back("b"); });
    ASSERT_TRUE(WaitFor([&] { return log.size() == 3; }));
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(MainExec, DelayedCallWaitsItsTime) {
    bool ran = false;
    QElapsedTimer t;
    t.start();
    exec.Post(80, [&] { ran = true; });
    ASSERT_TRUE(WaitFor([&] { return ran; }));
    EXPECT_GE(t.elapsed(), 79);
}

TEST_F(MainExec, CallIsDroppedWhenItsContextDies) {
    int runs = 0;
    auto* alive = new QObject;
    auto* doomed = new QObject;
    exec.Post(
        0, [&] { ++runs; }, doomed);
    exec.Post(
        0, [&] { runs += 10; }, alive);
    delete doomed;
    ASSERT_TRUE(WaitFor([&] { return exec.PendingCount() == 0; }));
    EXPECT_EQ(runs, 10);
    delete alive;
}

TEST_F(MainExec, FormsAreDeletedOnTheNextPass) {
    auto* form = new QObject;
    bool destroyed = false;
    QObject::connect(form, &QObject::destroyed, [&] { destroyed = true; });
    exec.FreeLater(form);
    exec.FreeLater(form); // handed twice, deleted once
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(exec.PendingForms(), 1);
    ASSERT_TRUE(WaitFor([&] { return destroyed; }));
    EXPECT_EQ(exec.PendingForms(), 0);

    // A form destroyed by someone else meanwhile is simply forgotten.
    auto* other = new QObject;
    exec.FreeLater(other);
    delete other;
    ASSERT_TRUE(WaitFor([&] { return exec.PendingForms() == 0; }));
}

TEST_F(MainExec, DrainRunsDueCallsDropsLaterOnesAndDeletesForms) {
    std::vector<int> order;
    auto* form = new QObject;
    bool destroyed = false;
    QObject::connect(form, &QObject::destroyed, [&] { destroyed = true; });
    exec.Post(0, [&] {
        order.push_back(1);
        exec.Post(0, [&] { order.push_back(2); });
    });
    exec.Post(60000, [&] { order.push_back(99); });
    exec.FreeLater(form);
    exec.Drain();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(exec.PendingCount(), 0);
    EXPECT_EQ(exec.TimerInterval(), -1);
}

TEST_F(MainExec, DrainEndsWhenACallKeepsRepostingItself) {
    int runs = 0;
    std::function<void()> again = [&] {
        ++runs;
        exec.Post(0, again);
    };
    exec.Post(0, again);
    exec.Drain();
    EXPECT_GT(runs, 0);
    EXPECT_EQ(exec.PendingCount(), 0);
}

TEST_F(MainExec, FreeFunctionPostUsesTheQueue) {
    bool ran = false;
    Post(0, [&] { ran = true; });
    EXPECT_EQ(exec.PendingCount(), 1);
    ASSERT_TRUE(WaitFor([&] { return ran; }));
}

TEST_F(MainExec, PostFromAWorkerRunsOnTheUiThread) {
    QThread* ranOn = nullptr;
    std::unique_ptr<QThread> worker(
        QThread::create([&] { Post(0, [&] { ranOn = QThread::currentThread(); }); }));
    worker->start();
    ASSERT_TRUE(worker->wait(3000));
    ASSERT_TRUE(WaitFor([&] { return ranOn != nullptr; }));
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());
}
