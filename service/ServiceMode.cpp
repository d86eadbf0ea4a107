#include "ServiceMode.h"

#include <cstdio>
#include <cstring>

namespace Corvane::Common
{

namespace
{
const char* const ServiceOptions[] = {"/r", "/w", "/c", "/v"};

bool IsServiceOption(const char* word)
{
    for (const char* option : ServiceOptions)
        if (std::strcmp(word, option) == 0)
            return true;
    return false;
}
} // namespace

int RunServiceMode(bool applicationModeCheck, bool serviceModeCheck, int argc,
                   const char* const* argv)
{
    if (applicationModeCheck)
    {
        std::fputs("\nSystem is not in application mode!\n", stdout);
        return -1;
    }
    if (serviceModeCheck)
    {
        std::fputs("\nSystem is in service mode.\n", stdout);
        return 0;
    }
    for (int i = 1; i < argc; ++i)
    {
        if (IsServiceOption(argv[i]))
        {
            // The boot-loader page protocol is not built yet.
            std::printf("\nService-mode option %s is not available yet.\n", argv[i]);
            return -1;
        }
    }
    return 0;
}

} // namespace Corvane::Common
