#include "Mistle.h"

#include "ApplicationMode.h"
#include "CardList.h"
#include "CardSelection.h"
#include "ConfigImage.h"
#include "FirstPass.h"
#include "OptionWords.h"
#include "link/LinkState.h"
#include "link/Mailbox.h"
#include "platform/Interruption.h"
#include "platform/Print.h"
#include "service/ServiceMode.h"

#include <cstdio>

namespace Corvane::Common
{

namespace
{

int EndRun(int exitCode)
{
    Shutdown();
    RunHasEnded();
    return exitCode;
}

// Force application mode wins over force service mode and over the microcontroller's own
// report, which is read only when neither is forced.
bool IsServiceMode(const FirstPassOptions& options)
{
    if (options.ForceApplicationMode)
        return false;
    return options.ForceServiceMode || (ReadMailboxStatus() & MAILBOX_SERVICE_MODE) != 0;
}

int RunApplicationMode(const FirstPassOptions& options, int argc, const char* const* argv)
{
    if (options.ApplicationModeCheck)
    {
        PrintText("\nSystem is in application mode\n");
        return 0;
    }
    if (options.ServiceModeCheck)
    {
        PrintText("\nSystem is not in service mode!\n");
        return -1;
    }
    return RunApplicationCommands(argc, argv);
}

int RunWithCard(const FirstPassOptions& options, int argc, const char* const* argv)
{
    if (const std::optional<int> ended = SelectAndOpenCard(options))
        return EndRun(*ended);
    if (IsServiceMode(options))
        return EndRun(RunServiceMode(options.ApplicationModeCheck, options.ServiceModeCheck, argc,
                                     argv, IsOptionWord));
    return EndRun(RunApplicationMode(options, argc, argv));
}

} // namespace

int RunMistle(int argc, const char* const* argv)
{
    // Two threads print: every line must reach the user (and a reader of a pipe) as soon as it is
    // printed, not when a buffer fills.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    // What standard input holds is then what the system says it holds, so the console can wait
    // for it and for an interruption at once.
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    CatchInterruptions();
    const FirstPassResult firstPass = RunFirstPass(argc, argv);
    if (firstPass.ExitCode)
        return EndRun(*firstPass.ExitCode);
    const FirstPassOptions& options = firstPass.Options;
    if (options.ImageFileName)
        return EndRun(WriteConfigImage(options.Gain0, options.Gain1, *options.ImageFileName));
    if (options.ListCards)
        return EndRun(ListCards());
    return RunWithCard(options, argc, argv);
}

} // namespace Corvane::Common
