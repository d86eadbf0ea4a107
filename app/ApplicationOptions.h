#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace Corvane::Common
{

// The options of application mode, gathered by the second pass over the command line.
struct ApplicationOptions
{
    bool ReadVersion = false;
    bool ReadStatus = false;
    bool ProgramElapsedTimeCounter = false;
    bool SelfReconfigure = false;
    bool I2cRead = false;
    bool I2cWrite = false;
    bool I2cVerify = false;
    bool LoopBack = false;
    std::optional<std::string> InputFileName;
    std::optional<std::string> OutputFileName;
    uint32_t Size = 0;
    uint32_t Bus = 0;
    bool BusGiven = false;
    uint32_t ChipAddress = 0;
    uint32_t Address = 0;
};

struct SecondPassResult
{
    ApplicationOptions Options;
    std::optional<int> ExitCode; // set when the run ends here (the message is printed)
};

// Reads the command line again for the options of application mode; reports every argument it
// does not know and goes on.
SecondPassResult RunSecondPass(int argc, const char* const* argv);

// True for the words of the options of application mode.
bool IsApplicationOption(const char* word);

// "/lb", "/size", "/ca" and "/a": hexadecimal after "0x" (a small x only), otherwise decimal
// (always decimal for "/bus"). Digits that end early give the number they make, as the C library
// scans it. False for a word that begins with no digit, a negative number and one beyond 32 bits.
bool ScanApplicationNumber(const char* text, bool decimalOnly, uint32_t& value);

} // namespace Corvane::Common
