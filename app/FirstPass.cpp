#include "FirstPass.h"

#include "OptionMatching.h"
#include "platform/Print.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace Corvane::Common
{

namespace
{

const char* const HelpLines[] = {
    "\n",
    "\nmistle.exe Help",
    "\n",
    "\nmistle.exe (All modes)",
    "\n",
    "\n/?                             - Display help",
    "\n/am                            - Application mode check",
    "\n/sm                            - Service mode check",
    "\n/fs                            - Force mistle service mode",
    "\n/fa                            - Force mistle application mode",
    "\n/fo                            - Force open selected card",
    "\n/sn <serial num.>              - Open board with serial number",
    "\n/index <index>                 - Open board with index",
    "\n",
    "\n/gen_blob_v1_0 <file_name>     - Generate AVR config. image",
    "\n/gen_gain0 <gain>              - Set gain 0 for AVR config. image",
    "\n/gen_gain1 <gain>              - Set gain 1 for AVR config. image",
    "\n",
    "\nmistle.exe (Service mode)",
    "\n",
    "\n/v                                         - Read boot loader version",
    "\n/r <output_file_name> <offset> [file_size] - Read back from flash memory",
    "\n/w <input_file_name> <offset>              - Write to flash memory",
    "\n/c <input_file_name> <offset>              - Compare flash memory to file",
    "\n",
    "\nmistle.exe (Application mode)",
    "\n",
    "\n/v                             - Read application version",
    "\n/blow_etc                      - Reset and blow ETC counter",
    "\n/sd                            - Request self-destruct",
    "\n/i2c_rd                        - Perform an i2c read",
    "\n/i2c_wr                        - Perform an i2c write",
    "\n/i2c_vr                        - Verify an i2c write",
    "\n/in <file_name>                - Specify input filename for i2c write",
    "\n/bus                           - Specify bus for i2c",
    "\n/out <file_name>               - Specify output filename for i2c read",
    "\n/size                          - Specify size of i2c operation",
    "\n/ca                            - Specify chip address used in i2c operation",
    "\n/a                             - Specify address used in i2c operation",
};

// Reads a gain as "0x%04x": the text must begin with "0x", followed by up to four hex digits.
bool ScanGain(const char* text, uint32_t& gain)
{
    unsigned int value = 0;
    if (std::sscanf(text, "0x%04x", &value) != 1)
        return false;
    gain = value;
    return true;
}

// The options that take the next argument as their value, with the message for a missing value.
struct ValueOption
{
    const char* Name;
    const char* MissingMessage;
};

const ValueOption ImageFileOption{"/gen_blob_v1_0",
                                  "\n/gen_blob_v1_0 must be followed by gain setting.\n"};
const ValueOption Gain0Option{"/gen_gain0", "\n/gen_gain0 must be followed by gain setting.\n"};
const ValueOption Gain1Option{"/gen_gain1", "\n/gen_gain1 must be followed by gain setting.\n"};
const ValueOption SerialOption{"/sn", "\n/sn must be followed by serial number.\n"};
const ValueOption IndexOption{"/index", "\n/index must be followed by index.\n"};
const ValueOption* const ValueOptions[] = {&ImageFileOption, &Gain0Option, &Gain1Option,
                                           &SerialOption, &IndexOption};

// "/?", and the words a user of any command-line tool tries first.
const char* const HelpOptions[] = {"/?", "--help", "-h"};
const char* const VersionOptions[] = {"/version", "--version"};

// The options that only set a flag.
struct FlagOption
{
    const char* Name;
    bool FirstPassOptions::*Flag;
};

const FlagOption FlagOptions[] = {
    {"/am", &FirstPassOptions::ApplicationModeCheck},
    {"/sm", &FirstPassOptions::ServiceModeCheck},
    {"/fs", &FirstPassOptions::ForceServiceMode},
    {"/fa", &FirstPassOptions::ForceApplicationMode},
    {"/fo", &FirstPassOptions::ForceOpen},
    {"/list", &FirstPassOptions::ListCards},
    {"/status", &FirstPassOptions::ReadStatus},
    {"/json", &FirstPassOptions::Json},
};

FirstPassResult Fail(FirstPassResult result, const char* message)
{
    PrintText(message);
    result.ExitCode = -1;
    return result;
}

} // namespace

void PrintHelp()
{
    for (const char* line : HelpLines)
        PrintText(line);
}

bool ScanDecimal(const char* text, int32_t& value)
{
    char* end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(text, &end, 10);
    if (end == text)
        return false;
    value = static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long long>(parsed)));
    return true;
}

bool IsFirstPassOption(const char* word)
{
    if (IsOneOf(word, HelpOptions) || IsOneOf(word, VersionOptions) ||
        FindOption(word, FlagOptions) != nullptr)
        return true;
    for (const ValueOption* option : ValueOptions)
        if (IsWord(word, option->Name))
            return true;
    return false;
}

FirstPassResult RunFirstPass(int argc, const char* const* argv)
{
    FirstPassResult result;
    FirstPassOptions& options = result.Options;
    for (int i = 1; i < argc; ++i)
    {
        const char* argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (IsOneOf(argument, HelpOptions))
        {
            PrintHelp();
            result.ExitCode = 0;
            return result;
        }
        else if (IsOneOf(argument, VersionOptions))
        {
            Print("mistle %s\n", MISTLE_VERSION);
            result.ExitCode = 0;
            return result;
        }
        else if (const FlagOption* flag = FindOption(argument, FlagOptions))
            options.*flag->Flag = true;
        else if (IsWord(argument, ImageFileOption.Name))
        {
            if (!hasValue)
                return Fail(result, ImageFileOption.MissingMessage);
            options.ImageFileName = argv[++i];
        }
        else if (IsWord(argument, Gain0Option.Name))
        {
            if (!hasValue || !ScanGain(argv[++i], options.Gain0))
                return Fail(result, Gain0Option.MissingMessage);
        }
        else if (IsWord(argument, Gain1Option.Name))
        {
            if (!hasValue || !ScanGain(argv[++i], options.Gain1))
                return Fail(result, Gain1Option.MissingMessage);
        }
        else if (IsWord(argument, SerialOption.Name))
        {
            // A word that is no number would quietly choose the card of serial number 0.
            if (!hasValue || !ScanDecimal(argv[++i], options.SerialNumber))
                return Fail(result, SerialOption.MissingMessage);
            options.SerialNumberGiven = true;
        }
        else if (IsWord(argument, IndexOption.Name))
        {
            // A word that is no number would quietly choose the card at index 0.
            if (!hasValue || !ScanDecimal(argv[++i], options.CardIndex))
                return Fail(result, IndexOption.MissingMessage);
            options.CardIndexGiven = true;
        }
        // Anything else belongs to the mode-specific passes, or is reported there.
    }
    if (options.SerialNumberGiven && options.CardIndexGiven)
        return Fail(result, "\n/index and /sn can not be used together.\n");
    return result;
}

} // namespace Corvane::Common
