#pragma once

#include "platform/Process.h"

#include <string>
#include <vector>

namespace MistleTest
{

// One run of the real executable.
struct ToolRun
{
    std::vector<std::string> Arguments;
    std::string Input;                // standard input, closed after it
    std::string SimConfiguration;     // text of a stand-in configuration; empty: the default card
    std::string SimConfigurationFile; // or a scenario of sim/scenarios/, by its file name
    bool WithBoardLibraries = true;   // false: the stand-in libraries cannot be found
};

Corvane::Common::ProcessResult RunTool(const ToolRun& run);

// Shorthand for a run with arguments only, against the default simulated card.
Corvane::Common::ProcessResult RunTool(const std::vector<std::string>& arguments);

// The exit code that the shell sees for the tool's -1.
int FailureCode();

// A shipped scenario of the stand-in, by its file name.
std::string ScenarioPath(const std::string& name);

// A scratch folder of this test program, and file helpers for it.
std::string ScratchPath(const std::string& name);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

} // namespace MistleTest
