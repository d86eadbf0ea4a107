#pragma once

#include "ChildProcess.h"
#include "TestFiles.h"

#include <string>
#include <vector>

namespace MistleTest
{

// One run of the real executable.
struct ToolRun
{
    std::vector<std::string> Arguments;
    std::string Input; // standard input, closed after it (and after Steps)
    std::vector<Corvane::Common::ProcessStep> Steps; // paced input after Input
    std::string SimConfiguration;     // text of a stand-in configuration; empty: the default card
    std::string SimConfigurationFile; // or a scenario of sim/scenarios/, by its file name
    bool WithBoardLibraries = true;   // false: the stand-in libraries cannot be found
    // The temporary folder of the run (TMPDIR), where the tool keeps its card locks on Linux;
    // empty: one of the test's own, so that tests running side by side, and other runs of the
    // tool on the machine, do not wait for each other's card. On Windows the card lock is a
    // named mutex for the whole machine, which no folder keeps apart.
    std::string TemporaryFolder;
    // A program that starts the tool, with its arguments before the tool's path (e.g. a shell
    // that first limits the size of files); empty: the tool is started directly.
    std::vector<std::string> Wrapper;
    unsigned TimeoutMilliseconds = 20000; // the run is killed after this
};

// What "/v" prints against the default simulated card.
inline const std::string VersionOutput = "0x56 0x4e \nVN=2.4.0.17\n";

// A run of the tool with these arguments and standard input, against the stand-in configured by
// this text.
ToolRun On(const std::string& configuration, const std::vector<std::string>& arguments,
           const std::string& input = "");

Corvane::Common::ProcessResult RunTool(const ToolRun& run);

// A paced step: once the output shows the text, and the delay after it has passed, type the line.
Corvane::Common::ProcessStep After(const std::string& output, const std::string& send,
                                   unsigned delayMilliseconds = 0);

// Shorthand for a run with arguments only, against the default simulated card.
Corvane::Common::ProcessResult RunTool(const std::vector<std::string>& arguments);

// Runs the tool and expects it to end by itself with exactly this output and exit code.
void ExpectRun(const ToolRun& run, const std::string& output, int exitCode);
void ExpectRun(const std::vector<std::string>& arguments, const std::string& output, int exitCode);

// The exit code that the shell sees for the tool's -1.
int FailureCode();

// The tool's executable file.
std::string ToolExecutable();

// A shipped scenario of the stand-in, by its file name.
std::string ScenarioPath(const std::string& name);

// A scratch file of this test program.
std::string ScratchPath(const std::string& name);

// The running test as "Suite-Name": test programs run side by side, each test on files of its own.
std::string TestName();

// A scratch file of the running test.
std::string TestScratchPath(const std::string& name);

// A scratch file named relative to the folder the test runs in, for the runs that show that a
// relative name works as well as an absolute one.
std::string RelativeScratchPath(const std::string& name);

// An empty folder, named relative to the folder the test runs in (as above).
std::string FreshFolder(const std::string& name);

// Leftovers of files that were never completed, in the folder, of names that begin with prefix.
size_t PartialFiles(const std::string& folder, const std::string& prefix = "");

} // namespace MistleTest
