#pragma once

#include <chrono>

namespace Corvane::Common
{

void SleepMilliseconds(unsigned milliseconds);

// Measures elapsed time on the monotonic clock from its construction (or the last Restart).
class CStopwatch
{
public:
    CStopwatch() : Start(std::chrono::steady_clock::now()) {}
    void Restart() { Start = std::chrono::steady_clock::now(); }
    double ElapsedSeconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    }

private:
    std::chrono::steady_clock::time_point Start;
};

} // namespace Corvane::Common
