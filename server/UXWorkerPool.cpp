#include "server/UXWorkerPool.h"

#include "server/UXServerLog.h"

#include <exception>
#include <string>

TXWorkerPool::TXWorkerPool(size_t coreThreads, size_t maxThreads) : mMax(maxThreads < 1 ? 1 : maxThreads) {
    std::lock_guard lock(mMutex);
    for (size_t i = 0; i < coreThreads && mThreads.size() < mMax; ++i)
        StartThreadLocked();
}

TXWorkerPool::~TXWorkerPool() {
    Shutdown();
}

void TXWorkerPool::StartThreadLocked() {
    mThreads.emplace_back([this] { WorkerLoop(); });
}

void TXWorkerPool::Submit(std::function<void()> task) {
    std::lock_guard lock(mMutex);
    mTasks.push_back(std::move(task));
    if (mTasks.size() > mIdle && mThreads.size() < mMax)
        StartThreadLocked();
    mWake.notify_one();
}

size_t TXWorkerPool::ThreadCount() const {
    std::lock_guard lock(mMutex);
    return mThreads.size();
}

void TXWorkerPool::WorkerLoop() {
    std::unique_lock lock(mMutex);
    for (;;) {
        ++mIdle;
        mWake.wait(lock, [this] { return !mTasks.empty() || mStopping; });
        --mIdle;
        if (mTasks.empty())
            return; // stopping and nothing left
        auto task = std::move(mTasks.front());
        mTasks.pop_front();
        lock.unlock();
        try {
            task();
        } catch (const std::exception& e) {
            ServerLog(std::string("worker: unexpected error: ") + e.what());
        } catch (...) {
            ServerLog("worker: unexpected error");
        }
        lock.lock();
    }
}

void TXWorkerPool::Shutdown() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mMutex);
        mStopping = true;
        mWake.notify_all();
    }
    // Threads may still be added by tasks submitted while draining; join until none remain.
    for (;;) {
        {
            std::lock_guard lock(mMutex);
            threads.swap(mThreads);
        }
        if (threads.empty())
            break;
        for (auto& t : threads)
            if (t.joinable())
                t.join();
        threads.clear();
    }
}
