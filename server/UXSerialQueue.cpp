#include "server/UXSerialQueue.h"

#include "server/UXServerLog.h"
#include "server/UXWorkerPool.h"

#include <exception>
#include <string>

void TXSerialQueue::Post(std::function<void()> task) {
    std::lock_guard lock(mMutex);
    mTasks.push_back(std::move(task));
    if (!mRunning) {
        mRunning = true;
        mPool.Submit([self = shared_from_this()] { self->RunOne(); });
    }
}

bool TXSerialQueue::Idle() {
    std::lock_guard lock(mMutex);
    return !mRunning;
}

// One task per turn, then back into the pool's queue: a busy session does not starve the others.
void TXSerialQueue::RunOne() {
    std::function<void()> task;
    {
        std::lock_guard lock(mMutex);
        task = std::move(mTasks.front());
        mTasks.pop_front();
    }
    try {
        task();
    } catch (const std::exception& e) {
        ServerLog(std::string("session task: unexpected error: ") + e.what());
    } catch (...) {
        ServerLog("session task: unexpected error");
    }
    std::lock_guard lock(mMutex);
    if (mTasks.empty())
        mRunning = false;
    else
        mPool.Submit([self = shared_from_this()] { self->RunOne(); });
}
