#pragma once
// Byte FIFO over one wrapping block: the transport's send and receive queues.

#include <cstdint>
#include <memory>

// Data lies in [read, write) or, once wrapped, in [read, wrap end) followed by [0, write).
class TXBuffer {
public:
    explicit TXBuffer(int32_t capacity = 8192);

    void Clear(bool dropMemory = false);

    void Write(const void* bytes, int32_t n);
    int32_t FreeContiguous() const; // writable bytes at the write position
    char* Reserve(int32_t n);       // at least n contiguous writable bytes; returns the write position
    char* WritePtr() { return mBlock.get() + mWrite; }
    void Commit(int32_t n); // n bytes were written at WritePtr()

    int32_t Count() const { return mCount; }
    bool Empty() const { return mCount == 0; }
    int32_t ContiguousReadable() const;
    const char* ReadPtr(int32_t n); // at least n contiguous readable bytes (n <= Count())
    const char* Peek() const { return mBlock.get() + mRead; }
    void Consume(int32_t n);

    int32_t Capacity() const { return mCapacity; }
    bool Wrapped() const { return mWrapped; }
    int32_t ReadPos() const { return mRead; }
    int32_t WritePos() const { return mWrite; }

private:
    void EnsureRoom(int32_t n);
    void Reallocate(int32_t capacity);

    std::unique_ptr<char[]> mBlock;
    int32_t mCapacity = 0;
    int32_t mCount = 0;
    int32_t mRead = 0;
    int32_t mWrite = 0;
    int32_t mWrapEnd = 0;
    bool mWrapped = false;
};
