#include "Event.h"

#include <chrono>

namespace Corvane::Common
{

void CAutoResetEvent::Set()
{
    {
        std::lock_guard<std::mutex> guard(Mutex);
        IsSet = true;
    }
    Signalled.notify_one();
}

void CAutoResetEvent::Reset()
{
    std::lock_guard<std::mutex> guard(Mutex);
    IsSet = false;
}

void CAutoResetEvent::Wait()
{
    std::unique_lock<std::mutex> lock(Mutex);
    Signalled.wait(lock, [this] { return IsSet; });
    IsSet = false;
}

bool CAutoResetEvent::WaitFor(unsigned milliseconds)
{
    std::unique_lock<std::mutex> lock(Mutex);
    if (!Signalled.wait_for(lock, std::chrono::milliseconds(milliseconds),
                            [this] { return IsSet; }))
        return false;
    IsSet = false;
    return true;
}

} // namespace Corvane::Common
