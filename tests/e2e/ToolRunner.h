#pragma once

#include "ChildProcess.h"
#include "TestFiles.h"

#include <cstdio>
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
    // The temporary folder of the run (TMPDIR), where the tool keeps its card locks on Linux
    // (MISTLE_TEST_LOCK_FOLDER, in place of /run/lock);
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
// this text, or by the shipped scenario of this file name ("three-cards.ini").
ToolRun On(const std::string& configuration, const std::vector<std::string>& arguments,
           const std::string& input = "");

Corvane::Common::ProcessResult RunTool(const ToolRun& run);

// A paced step: once the output shows the text, and the delay after it has passed, type the line.
inline Corvane::Common::ProcessStep After(const std::string& output, const std::string& send,
                                          unsigned delayMilliseconds = 0)
{
    return {output, delayMilliseconds, send};
}

// The tool's -1, and the exit code that the shell sees for it.
constexpr int Failure = -1;
inline int FailureCode()
{
    return Corvane::Common::ShellExitCode(Failure);
}

// Runs the tool and expects it to end by itself with exactly this output and exit code (the
// tool's: 0 or Failure).
void ExpectRun(const ToolRun& run, const std::string& output, int exitCode);
void ExpectRun(const std::vector<std::string>& arguments, const std::string& output, int exitCode);
// The same for a run whose output ends with this text.
void ExpectRunEnding(const ToolRun& run, const std::string& ending, int exitCode);

// One run of a table.
struct Case
{
    std::string Configuration; // empty: the stand-in's default card
    std::vector<std::string> Arguments;
    std::string Output;
    int ExitCode; // 0 or Failure
    std::string Input = "";
};
void ExpectCases(const std::vector<Case>& cases);

// Card 0 of the stand-in with these settings.
std::string Card(const std::string& settings = "");

// The running test's state file, in which the stand-in keeps its cards' memory between runs.
std::string StatePath();

// The host section that names that file; and the same once the file is removed, so that the cards
// start erased.
std::string StateSection();
std::string FreshState();

// Bytes that differ from page to page and from their neighbours.
std::string Pattern(size_t size, unsigned seed);

template <typename... Values> std::string Format(const char* format, Values... values)
{
    char text[160];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// A scratch file of this test program.
std::string ScratchPath(const std::string& name);

// The running test as "Suite-Name": test programs run side by side, each test on files of its own.
std::string TestName();

// A scratch file of the running test.
std::string TestScratchPath(const std::string& name);

// A scratch file of the running test that holds these bytes.
std::string ScratchFile(const std::string& name, const std::string& bytes);

// A scratch file named relative to the folder the test runs in, for the runs that show that a
// relative name works as well as an absolute one.
std::string RelativeScratchPath(const std::string& name);

// An empty folder, named relative to the folder the test runs in (as above).
std::string FreshFolder(const std::string& name);

// Leftovers of files that were never completed, in the folder, of names that begin with prefix.
size_t PartialFiles(const std::string& folder, const std::string& prefix = "");

} // namespace MistleTest
