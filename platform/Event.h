#pragma once

#include <condition_variable>
#include <mutex>

namespace Corvane::Common
{

// An auto-reset event: Set lets exactly one Wait through (now or later), after which the event is
// unsignalled again. It starts unsignalled.
class CAutoResetEvent
{
public:
    CAutoResetEvent() = default;
    CAutoResetEvent(const CAutoResetEvent&) = delete;
    CAutoResetEvent& operator=(const CAutoResetEvent&) = delete;

    void Set();
    void Reset();
    void Wait();
    // Waits at most the given time; true when the event was signalled (and is now consumed).
    bool WaitFor(unsigned milliseconds);

private:
    std::mutex Mutex;
    std::condition_variable Signalled;
    bool IsSet = false;
};

} // namespace Corvane::Common
