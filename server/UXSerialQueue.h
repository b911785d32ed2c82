#pragma once
// Runs the tasks posted to it one after another, in order, on a worker pool: one per session, so a
// session's statements never overlap while different sessions run side by side.

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class TXWorkerPool;

class TXSerialQueue : public std::enable_shared_from_this<TXSerialQueue> {
public:
    explicit TXSerialQueue(TXWorkerPool& pool) : mPool(pool) {}
    static std::shared_ptr<TXSerialQueue> Create(TXWorkerPool& pool) {
        return std::make_shared<TXSerialQueue>(pool);
    }
    void Post(std::function<void()> task);
    // Nothing queued or running: an answer given elsewhere now cannot overtake a task posted before.
    bool Idle();

private:
    void RunOne();

    TXWorkerPool& mPool;
    std::mutex mMutex;
    std::deque<std::function<void()>> mTasks;
    bool mRunning = false;
};
