#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace Corvane::Common
{

// The options that every mode knows, gathered by the first pass over the command line.
struct FirstPassOptions
{
    uint32_t Gain0 = 0x8000;
    uint32_t Gain1 = 0x8000;
    std::optional<std::string> ImageFileName;
    bool ApplicationModeCheck = false;
    bool ServiceModeCheck = false;
    bool ForceServiceMode = false;
    bool ForceApplicationMode = false;
    bool ForceOpen = false;
    int32_t SerialNumber = 0;
    bool SerialNumberGiven = false;
    int32_t CardIndex = 0;
    bool CardIndexGiven = false;
    // The tool's own additions for scripts and monitoring.
    bool ListCards = false;
    bool ReadStatus = false;
    bool Json = false;
};

// What the first pass decided: go on with the options, or end the run with an exit code (the pass
// has already printed what the user needs to see).
struct FirstPassResult
{
    FirstPassOptions Options;
    std::optional<int> ExitCode;
};

FirstPassResult RunFirstPass(int argc, const char* const* argv);

// True for the words of the options that every mode knows.
bool IsFirstPassOption(const char* word);

void PrintHelp();

// Reads a decimal number as the tool reads "%d" values: leading white space, an optional sign,
// digits; a value beyond 32 bits keeps its low 32 bits. False (value unchanged) when no digit is
// found.
bool ScanDecimal(const char* text, int32_t& value);

} // namespace Corvane::Common
