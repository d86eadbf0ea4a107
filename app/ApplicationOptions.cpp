#include "ApplicationOptions.h"

#include "OptionMatching.h"
#include "platform/Print.h"
#include "service/ServiceMode.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace Corvane::Common
{

namespace
{

// The options that only set a flag.
struct FlagOption
{
    const char* Name;
    bool ApplicationOptions::*Flag;
};

const FlagOption FlagOptions[] = {
    {"/blow_etc", &ApplicationOptions::ProgramElapsedTimeCounter},
    {"/v", &ApplicationOptions::ReadVersion},
    {"/status", &ApplicationOptions::ReadStatus},
    {"/sd", &ApplicationOptions::SelfReconfigure},
    {"/i2c_rd", &ApplicationOptions::I2cRead},
    {"/i2c_wr", &ApplicationOptions::I2cWrite},
    {"/i2c_vr", &ApplicationOptions::I2cVerify},
};

// Options of every mode that the first pass has handled; the second only steps over them.
const char* const FirstPassFlags[] = {"/?", "/fs", "/fa", "/fo", "/list", "/json"};
const char* const FirstPassValueOptions[] = {"/sn", "/index"};

// The options that take a file name.
struct FileOption
{
    const char* Name;
    const char* MissingMessage;
    std::optional<std::string> ApplicationOptions::*FileName;
};

const FileOption FileOptions[] = {
    {"/in", "\n/in must be followed by file name\n", &ApplicationOptions::InputFileName},
    {"/out", "\n/out must be followed by file name\n", &ApplicationOptions::OutputFileName},
};

const char* const SizeMissing = "\n/size must be followed by size in bytes (in hex: 0x0)\n";

// The options that take a number, what the number is, and the largest one that means anything:
// a chip address, a register address and a bus index go to the microcontroller as one byte, and a
// larger value would quietly reach another chip, register or bus.
struct NumberOption
{
    const char* Name;
    const char* MissingMessage;
    const char* Meaning;
    uint32_t Largest;
    uint32_t ApplicationOptions::*Value;
    bool DecimalOnly;
};

const NumberOption NumberOptions[] = {
    {"/lb", SizeMissing, "a size in bytes (in hex: 0x0)", UINT32_MAX, &ApplicationOptions::Size,
     false},
    {"/size", SizeMissing, "a size in bytes (in hex: 0x0)", UINT32_MAX, &ApplicationOptions::Size,
     false},
    {"/bus", "\n/bus must be followed by bus index\n", "a bus index from 0 to 255", 0xFF,
     &ApplicationOptions::Bus, true},
    {"/ca", "\n/ca must be followed by chip address (in hex: 0x0)\n",
     "a chip address from 0x0 to 0xff", 0xFF, &ApplicationOptions::ChipAddress, false},
    {"/a", "\n/a must be followed by address offset (in hex: 0x0)\n",
     "an address offset from 0x0 to 0xff", 0xFF, &ApplicationOptions::Address, false},
};

class CSecondPass
{
public:
    CSecondPass(int argc, const char* const* argv) : Count(argc), Arguments(argv) {}

    SecondPassResult Run()
    {
        for (Next = 1; Next < Count && !Result.ExitCode; ++Next)
            Examine(Arguments[Next]);
        return Result;
    }

private:
    void Examine(const char* argument)
    {
        ApplicationOptions& options = Result.Options;
        if (IsOneOf(argument, FirstPassFlags))
            return;
        if (IsOneOf(argument, FirstPassValueOptions))
        {
            ++Next;
            return;
        }
        if (const FlagOption* flag = FindOption(argument, FlagOptions))
        {
            options.*flag->Flag = true;
            return;
        }
        const char* value = nullptr;
        if (const FileOption* file = FindOption(argument, FileOptions))
        {
            if (TakeValue(file->MissingMessage, value))
                options.*file->FileName = value;
        }
        else if (const NumberOption* number = FindOption(argument, NumberOptions))
        {
            if (TakeValue(number->MissingMessage, value))
                TakeNumber(*number, value);
        }
        else if (IsServiceOption(argument))
        {
            // Passed over, "/c" would end with 0 although nothing was compared.
            ReportOptionOfOtherMode(argument, "service", "application");
            Result.ExitCode = -1;
        }
        else
            Print("\nUnknown argument: %s\n", argument);
    }

    // A word that is no number, a negative one or one too large for what it means ends the run:
    // taken as the default of 0 it would send the command somewhere the user did not ask for.
    void TakeNumber(const NumberOption& option, const char* text)
    {
        ApplicationOptions& options = Result.Options;
        uint32_t value = 0;
        if (!ScanApplicationNumber(text, option.DecimalOnly, value) || value > option.Largest)
        {
            Print("\n%s must be followed by %s, not %s\n", option.Name, option.Meaning, text);
            Result.ExitCode = -1;
            return;
        }
        options.*option.Value = value;
        options.LoopBack = options.LoopBack || IsWord(option.Name, "/lb");
        options.BusGiven = options.BusGiven || IsWord(option.Name, "/bus");
    }

    // The argument after the option; without one the run ends with the message.
    bool TakeValue(const char* missingMessage, const char*& value)
    {
        if (Next + 1 >= Count)
        {
            PrintText(missingMessage);
            Result.ExitCode = -1;
            return false;
        }
        value = Arguments[++Next];
        return true;
    }

    int Count;
    const char* const* Arguments;
    int Next = 1;
    SecondPassResult Result;
};

} // namespace

bool ScanApplicationNumber(const char* text, bool decimalOnly, uint32_t& value)
{
    const bool hexadecimal = !decimalOnly && text[0] == '0' && text[1] == 'x';
    const char* digits = hexadecimal ? text + 2 : text;
    while (std::isspace(static_cast<unsigned char>(*digits)))
        ++digits;
    if (*digits == '-')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long number = std::strtoull(digits, &end, hexadecimal ? 16 : 10);
    if (end == digits || errno == ERANGE || number > UINT32_MAX)
        return false;
    value = static_cast<uint32_t>(number);
    return true;
}

bool IsApplicationOption(const char* word)
{
    return FindOption(word, FlagOptions) || FindOption(word, FileOptions) ||
           FindOption(word, NumberOptions);
}

SecondPassResult RunSecondPass(int argc, const char* const* argv)
{
    return CSecondPass(argc, argv).Run();
}

} // namespace Corvane::Common
