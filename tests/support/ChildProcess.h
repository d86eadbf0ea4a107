#pragma once

// Runs a program as a child process with a paced conversation on its standard input, for the
// tests that run the tool itself.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Corvane::Common
{

struct ProcessResult
{
    bool Started = false;
    bool TimedOut = false;
    int ExitCode = 0;   // as the calling shell sees it: 0-255 on POSIX, the full value on Windows
    std::string Output; // everything the child wrote to standard output, byte for byte
    // The most memory the child held at once (resident set); 0 where the platform does not say.
    uint64_t PeakMemoryKilobytes = 0;
};

// One step of a paced conversation with a child: wait until its output shows a text, then
// optionally pause, then type something, or (POSIX) send it a signal.
struct ProcessStep
{
    std::string AfterOutput; // looked for in the output after where the previous step's text
                             // ended; empty: at once
    unsigned DelayMilliseconds = 0;
    std::string Send;
    int Signal = 0; // POSIX only; 0: none
};

struct ProcessRequest
{
    std::string Program;                // path of the executable
    std::vector<std::string> Arguments; // without the program name
    std::string Input;                  // fed to standard input first
    std::vector<ProcessStep> Steps;     // then these, in order; standard input closes after them
    std::vector<std::pair<std::string, std::string>> Environment; // added to (or replacing) ours
    std::vector<std::string> RemovedEnvironment; // variables the child must not see
    unsigned TimeoutMilliseconds = 20000;        // the child is killed after this
};

// True where a ProcessStep can send a signal (POSIX); elsewhere its Signal is ignored.
bool CanSignalChildren();
// The interruption signal of a terminal's Ctrl+C; 0 where children take no signals.
int InterruptSignal();
// The exit code that a calling shell sees when a program returns this value from its entry point.
int ShellExitCode(int programResult);

// A child's standard output as its program wrote it: undoes the text-mode translation of each new
// line into carriage return and new line that the Windows run-time library applies.
std::string ProgramOutputFromTextMode(const std::string& output);

// Runs a program to its end. Standard error is left alone.
ProcessResult RunProcess(const ProcessRequest& request);

} // namespace Corvane::Common
