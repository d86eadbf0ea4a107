#include "ElapsedTimeCounter.h"

#include "platform/Print.h"

#include <cstdio>

namespace Corvane::Common
{

bool ProgramElapsedTimeCounter()
{
    PrintText("\nProgramming the elapsed-time counter is not available yet.\n");
    return false;
}

} // namespace Corvane::Common
