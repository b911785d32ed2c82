#include "dataserver/UXBuffer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

TXBuffer::TXBuffer(int32_t capacity) {
    if (capacity < 1)
        capacity = 1;
    mBlock.reset(new char[capacity]());
    mCapacity = capacity;
}

void TXBuffer::Clear(bool dropMemory) {
    mCount = mRead = mWrite = mWrapEnd = 0;
    mWrapped = false;
    if (dropMemory) {
        mBlock.reset(new char[1]());
        mCapacity = 1;
    }
}

int32_t TXBuffer::FreeContiguous() const {
    return mWrapped ? mRead - mWrite : mCapacity - mWrite;
}

int32_t TXBuffer::ContiguousReadable() const {
    return mWrapped ? mWrapEnd - mRead : mWrite - mRead;
}

void TXBuffer::EnsureRoom(int32_t n) {
    if (n < 0)
        throw std::invalid_argument("TXBuffer: negative size");
    if (FreeContiguous() >= n)
        return;
    if (mCount == 0) {
        mRead = mWrite = mWrapEnd = 0;
        mWrapped = false;
        if (mCapacity >= n)
            return;
    } else if (!mWrapped && mRead >= n) {
        // Enough room before the data: continue writing at the block start.
        mWrapEnd = mWrite;
        mWrite = 0;
        mWrapped = true;
        return;
    }
    const int32_t freeTotal = mCapacity - mCount;
    if (freeTotal >= n) {
        Reallocate(mCapacity); // only made contiguous
        return;
    }
    const int64_t need = int64_t(n) + mCount;
    const int64_t capacity = need + need / 4;
    if (capacity > std::numeric_limits<int32_t>::max())
        throw std::length_error("TXBuffer: capacity overflow");
    Reallocate(int32_t(capacity));
}

// Copies the queued bytes, in order, to the end of a new block; all free space is then in front of them.
void TXBuffer::Reallocate(int32_t capacity) {
    std::unique_ptr<char[]> block(new char[capacity]());
    const int32_t start = capacity - mCount;
    int32_t at = start;
    if (mCount > 0) {
        const int32_t first = ContiguousReadable();
        std::memcpy(block.get() + at, mBlock.get() + mRead, first);
        at += first;
        if (mWrapped)
            std::memcpy(block.get() + at, mBlock.get(), mWrite);
    }
    mBlock = std::move(block);
    mCapacity = capacity;
    if (mCount == 0) {
        mRead = mWrite = mWrapEnd = 0;
        mWrapped = false;
        return;
    }
    mRead = start;
    mWrite = 0;
    mWrapEnd = capacity;
    mWrapped = true;
}

void TXBuffer::Write(const void* bytes, int32_t n) {
    if (n <= 0)
        return;
    EnsureRoom(n);
    std::memcpy(mBlock.get() + mWrite, bytes, n);
    Commit(n);
}

char* TXBuffer::Reserve(int32_t n) {
    EnsureRoom(n);
    return WritePtr();
}

void TXBuffer::Commit(int32_t n) {
    if (n < 0 || n > FreeContiguous())
        throw std::out_of_range("TXBuffer: commit beyond the reserved space");
    mWrite += n;
    mCount += n;
}

const char* TXBuffer::ReadPtr(int32_t n) {
    if (n < 0 || n > mCount)
        throw std::out_of_range("TXBuffer: read beyond the queued bytes");
    if (ContiguousReadable() < n)
        Reallocate(mCapacity);
    return mBlock.get() + mRead;
}

void TXBuffer::Consume(int32_t n) {
    if (n < 0 || n > mCount)
        throw std::out_of_range("TXBuffer: consume beyond the queued bytes");
    while (n > 0) {
        const int32_t run = std::min(n, ContiguousReadable());
        mRead += run;
        mCount -= run;
        n -= run;
        if (mCount == 0) {
            mRead = mWrite = mWrapEnd = 0;
            mWrapped = false;
        } else if (mWrapped && mRead == mWrapEnd) {
            mRead = 0;
            mWrapEnd = 0;
            mWrapped = false;
        }
    }
}
