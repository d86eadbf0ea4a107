#include "Mistle.h"

#include "ApplicationMode.h"
#include "ApplicationOptions.h"
#include "CardList.h"
#include "CardSelection.h"
#include "ConfigImage.h"
#include "FirstPass.h"
#include "OptionMatching.h"
#include "OptionWords.h"
#include "RunReport.h"
#include "link/FirmwareLink.h"
#include "link/Mailbox.h"
#include "platform/Interruption.h"
#include "platform/OutputCapture.h"
#include "platform/Print.h"
#include "service/BootLoader.h"
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

int RunServiceModeReporting(const FirstPassOptions& options, int argc, const char* const* argv)
{
    RunReport()["program"] = "boot_loader";
    ServiceResults results;
    const int exitCode = RunServiceMode(options.ApplicationModeCheck, options.ServiceModeCheck,
                                        argc, argv, IsOptionWord, IsApplicationOption, results);
    if (const uint16_t* version = BootloaderVersionNumbers())
        RunReport()["version"] = VersionDocument(version);
    ReportServiceResults(results);
    return exitCode;
}

int RunWithCard(const FirstPassOptions& options, int argc, const char* const* argv)
{
    if (const std::optional<int> ended = SelectAndOpenCard(options))
        return EndRun(*ended);
    if (IsServiceMode(options))
    {
        if (options.ReadStatus && !options.ApplicationModeCheck && !options.ServiceModeCheck)
        {
            RunReport()["program"] = "boot_loader";
            PrintText("\nThe card runs its boot loader, which keeps no status record.\n");
            return EndRun(-1);
        }
        return EndRun(RunServiceModeReporting(options, argc, argv));
    }
    RunReport()["program"] = "application";
    return EndRun(RunApplicationMode(options, argc, argv));
}

bool HasWord(int argc, const char* const* argv, const char* word)
{
    for (int i = 1; i < argc; ++i)
        if (IsWord(argv[i], word))
            return true;
    return false;
}

// What the JSON document reports on; null for a run that "/json" does not serve. Of the options
// that may stand together, the first names the document, which holds what each of them found.
const char* JsonCommand(const FirstPassOptions& options, int argc, const char* const* argv)
{
    if (options.ListCards)
        return "list";
    if (options.ReadStatus)
        return "status";
    struct CommandWord
    {
        const char* Name;
        const char* Command;
    };
    static const CommandWord commands[] = {
        {"/v", "version"}, {"/w", "write"}, {"/c", "compare"}, {"/r", "read"}};
    for (int i = 1; i < argc; ++i)
        if (const CommandWord* command = FindOption(argv[i], commands))
            return command->Command;
    return nullptr;
}

int RunCommands(int argc, const char* const* argv)
{
    const FirstPassResult firstPass = RunFirstPass(argc, argv);
    if (firstPass.ExitCode)
        return EndRun(*firstPass.ExitCode);
    const FirstPassOptions& options = firstPass.Options;
    if (options.ImageFileName)
        return EndRun(WriteConfigImage(options.Gain0, options.Gain1, *options.ImageFileName));
    if (options.Json)
    {
        const char* command = JsonCommand(options, argc, argv);
        if (command == nullptr)
        {
            // Everything else prints as it goes, or asks; one document would hide it all.
            PrintText("\n/json goes with /list, /status, /v, /w, /c or /r.\n");
            return EndRun(-1);
        }
        // A mode check answers before any command runs: the document then reports on none.
        if (options.ListCards || !(options.ApplicationModeCheck || options.ServiceModeCheck))
            RunReport()["command"] = command;
    }
    if (options.ListCards)
        return EndRun(ListCards());
    return RunWithCard(options, argc, argv);
}

// Runs with everything the run prints held back, and prints the one JSON document instead.
int RunForJson(int argc, const char* const* argv)
{
    COutputCapture capture;
    if (!capture.Start())
    {
        PrintText("\nStandard output cannot be held back for the JSON document.\n");
        return EndRun(-1);
    }
    const int exitCode = RunCommands(argc, argv);
    PrintText(FinishRunReport(exitCode, capture.Finish()).c_str());
    return exitCode;
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
    // Known before the first pass, which may already print.
    if (HasWord(argc, argv, "/json"))
        return RunForJson(argc, argv);
    return RunCommands(argc, argv);
}

} // namespace Corvane::Common
