#pragma once

#include "ServiceOptions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Corvane::Common
{

// A byte of the flash that does not hold what the file says.
struct FlashDifference
{
    uint32_t Offset; // the byte's flash address
    uint8_t Expected;
    uint8_t Read;
};

// The flash compared with what it should hold: the differences that the text shows (the first
// ten) and the count of all.
struct FlashComparison
{
    std::vector<FlashDifference> Shown;
    uint32_t DifferingBytes = 0;
};

// The file of an option and the range of the flash it covers.
struct FlashRange
{
    std::string FileName;
    uint32_t Offset = 0;
    uint32_t Size = 0;
};

struct FlashWriteResult
{
    FlashRange Range;
    uint32_t PagesWritten = 0;
    uint32_t PagesUnchanged = 0;
    FlashComparison ReadBack; // the touched pages, after the write, with what they should hold
};

struct FlashCompareResult
{
    FlashRange Range;
    FlashComparison Comparison;
};

// What the options found, beside what they printed: for "/w", "/c" and "/r" what the last one
// of each found, when it came as far as its verdict (a write read back, a compare, a read whose
// file was written); an option that failed before that leaves none.
struct ServiceResults
{
    std::optional<FlashWriteResult> Write;
    std::optional<FlashCompareResult> Compare;
    std::optional<FlashRange> Read;
};

// The run in service mode, where the microcontroller's boot loader answers. Answers the two mode
// checks, refuses an option of application mode (isApplicationOption) before anything is sent,
// then carries out the service-mode options in command-line order, each option's words ending at
// the next option word. Returns the exit code; results holds what the options found.
int RunServiceMode(bool applicationModeCheck, bool serviceModeCheck, int argc,
                   const char* const* argv, OptionWordTest isOptionWord,
                   OptionWordTest isApplicationOption, ServiceResults& results);

// The one line for an option word of the mode the card is not in.
void ReportOptionOfOtherMode(const char* option, const char* itsMode, const char* cardMode);

} // namespace Corvane::Common
