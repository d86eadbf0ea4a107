#pragma once

#include "TestFiles.h"
#include "platform/Process.h"

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
    // The temporary folder of the run, where the tool keeps its card locks; empty: one of the
    // test's own, so that tests running side by side do not wait for each other's card.
    std::string TemporaryFolder;
    // A program that starts the tool, with its arguments before the tool's path (e.g. a shell
    // that first limits the size of files); empty: the tool is started directly.
    std::vector<std::string> Wrapper;
    unsigned TimeoutMilliseconds = 20000; // the run is killed after this
};

Corvane::Common::ProcessResult RunTool(const ToolRun& run);

// A paced step: once the output shows the text, type the line.
Corvane::Common::ProcessStep After(const std::string& output, const std::string& send);

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

// A scratch folder of this test program.
std::string ScratchPath(const std::string& name);

} // namespace MistleTest
