#pragma once
// Worker threads for engine calls. The pool grows while every worker is busy, so a call that waits
// on a row lock or a busy database never holds back work queued behind it.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class TXWorkerPool {
public:
    explicit TXWorkerPool(size_t coreThreads = 4, size_t maxThreads = 256);
    ~TXWorkerPool();
    TXWorkerPool(const TXWorkerPool&) = delete;
    TXWorkerPool& operator=(const TXWorkerPool&) = delete;

    void Submit(std::function<void()> task);
    // Runs what is queued (and what it queues in turn), then joins the threads.
    void Shutdown();
    size_t ThreadCount() const;

private:
    void StartThreadLocked();
    void WorkerLoop();

    mutable std::mutex mMutex;
    std::condition_variable mWake;
    std::deque<std::function<void()>> mTasks;
    std::vector<std::thread> mThreads;
    size_t mIdle = 0;
    size_t mMax;
    bool mStopping = false;
};
