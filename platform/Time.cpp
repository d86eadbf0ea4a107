#include "Time.h"

#include <thread>

namespace Corvane::Common
{

void SleepMilliseconds(unsigned milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace Corvane::Common
