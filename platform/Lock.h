#pragma once

#include <cstdint>
#include <mutex>

namespace Corvane::Common
{

// A lock with an id drawn from one process-wide counter of lock objects (starting at 0).
class CLock
{
public:
    CLock();
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

    int32_t GetId() const { return Id; }
    void Enter() { Mutex.lock(); }
    void Leave() { Mutex.unlock(); }

private:
    int32_t Id;
    std::mutex Mutex;
};

// Holds a CLock for the lifetime of the holder.
class CLockHolder
{
public:
    explicit CLockHolder(CLock& lock) : Held(lock) { Held.Enter(); }
    ~CLockHolder() { Held.Leave(); }
    CLockHolder(const CLockHolder&) = delete;
    CLockHolder& operator=(const CLockHolder&) = delete;

private:
    CLock& Held;
};

} // namespace Corvane::Common
