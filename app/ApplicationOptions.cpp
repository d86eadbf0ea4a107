#include "ApplicationOptions.h"

#include "FirstPass.h"
#include "platform/Print.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Corvane::Common
{

namespace
{

bool Is(const char* argument, const char* option)
{
    return std::strcmp(argument, option) == 0;
}

// The options that only set a flag.
struct FlagOption
{
    const char* Name;
    bool ApplicationOptions::*Flag;
};

const FlagOption FlagOptions[] = {
    {"/blow_etc", &ApplicationOptions::ProgramElapsedTimeCounter},
    {"/v", &ApplicationOptions::ReadVersion},
    {"/sd", &ApplicationOptions::SelfReconfigure},
    {"/i2c_rd", &ApplicationOptions::I2cRead},
    {"/i2c_wr", &ApplicationOptions::I2cWrite},
    {"/i2c_vr", &ApplicationOptions::I2cVerify},
};

// Options of every mode that the first pass has handled; the second only steps over them.
const char* const FirstPassFlags[] = {"/?", "/fs", "/fa", "/fo"};
const char* const FirstPassValueOptions[] = {"/sn", "/index"};

const char* const SizeMissing = "\n/size must be followed by size in bytes (in hex: 0x0)\n";

template <size_t Count> bool IsOneOf(const char* argument, const char* const (&options)[Count])
{
    for (const char* option : options)
        if (Is(argument, option))
            return true;
    return false;
}

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
        for (const FlagOption& flag : FlagOptions)
            if (Is(argument, flag.Name))
            {
                options.*flag.Flag = true;
                return;
            }
        const char* value = nullptr;
        if (Is(argument, "/in"))
        {
            if (TakeValue("\n/in must be followed by file name\n", value))
                options.InputFileName = value;
        }
        else if (Is(argument, "/out"))
        {
            if (TakeValue("\n/out must be followed by file name\n", value))
                options.OutputFileName = value;
        }
        else if (Is(argument, "/lb"))
        {
            options.LoopBack = true;
            if (TakeValue(SizeMissing, value))
                options.Size = ScanApplicationNumber(value);
        }
        else if (Is(argument, "/size"))
        {
            if (TakeValue(SizeMissing, value))
                options.Size = ScanApplicationNumber(value);
        }
        else if (Is(argument, "/bus"))
        {
            if (TakeValue("\n/bus must be followed by bus index\n", value))
            {
                options.Bus = 0;
                ScanDecimal(value, options.Bus);
                options.BusGiven = true;
            }
        }
        else if (Is(argument, "/ca"))
        {
            if (TakeValue("\n/ca must be followed by chip address (in hex: 0x0)\n", value))
                options.ChipAddress = ScanApplicationNumber(value);
        }
        else if (Is(argument, "/a"))
        {
            if (TakeValue("\n/a must be followed by address offset (in hex: 0x0)\n", value))
                options.Address = ScanApplicationNumber(value);
        }
        else
            Print("\nUnknown argument: %s\n", argument);
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

uint32_t ScanApplicationNumber(const char* text)
{
    if (text[0] == '0' && text[1] == 'x')
        return static_cast<uint32_t>(std::strtoull(text + 2, nullptr, 16));
    int32_t value = 0;
    ScanDecimal(text, value);
    return static_cast<uint32_t>(value);
}

SecondPassResult RunSecondPass(int argc, const char* const* argv)
{
    return CSecondPass(argc, argv).Run();
}

} // namespace Corvane::Common
