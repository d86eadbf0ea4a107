#include "ServiceMode.h"

#include "BootLoader.h"
#include "ServiceOptions.h"
#include "board/BoardProfile.h"
#include "platform/Files.h"
#include "platform/Interruption.h"
#include "platform/Print.h"

#include <cstdio>
#include <vector>

namespace Corvane::Common
{

namespace
{

uint32_t FlashSize()
{
    return CurrentBoardProfile().FlashSize;
}

// Reads the input file of "/w" or "/c" when it fits into the flash from the offset; a file that
// does not is refused before anything is sent, without being read to its end.
bool LoadInputFile(const char* option, const ServiceArguments& arguments,
                   std::vector<uint8_t>& contents)
{
    if (arguments.FileName == nullptr)
    {
        Print("\nMust specify filename after %s\n", option);
        return false;
    }
    if (!FlashLayoutIsKnown())
        return false;
    const bool offsetInFlash = arguments.Offset <= FlashSize();
    const size_t room = offsetInFlash ? FlashSize() - arguments.Offset : 0;
    const InputFileStatus status = ReadInputFile(arguments.FileName, room, contents);
    if (status == InputFileStatus::CannotOpen)
    {
        Print("\nCould not open input file %s\n", arguments.FileName);
        return false;
    }
    if (status == InputFileStatus::TooLarge || !offsetInFlash)
    {
        Print("\nError input file %s does not fit: the flash ends at 0x%06x!\n", arguments.FileName,
              FlashSize());
        return false;
    }
    return true;
}

FlashRange RangeOf(const ServiceArguments& arguments, uint32_t size)
{
    return {arguments.FileName, arguments.Offset, size};
}

int ReadFlashToFile(const ServiceArguments& arguments, ServiceResults& results)
{
    if (arguments.FileName == nullptr)
    {
        PrintText("\nMust specify filename and flash offset after /r\n");
        return -1;
    }
    if (!FlashLayoutIsKnown())
        return -1;
    // The file the user has under that name is replaced only by a complete read.
    COutputFile file(arguments.FileName);
    if (!file.Create())
    {
        Print("\nError writing output file %s", arguments.FileName);
        return -1;
    }
    if (arguments.Offset >= FlashSize())
    {
        PrintText("\nError flash offset too large!\n");
        return -1;
    }
    // No size, or a size of 0, reads to the end of the flash.
    const uint32_t room = FlashSize() - arguments.Offset;
    const uint32_t size = arguments.Size.value_or(0) != 0 ? *arguments.Size : room;
    if (size > room)
    {
        Print("\nError read size too large: the flash ends at 0x%06x!\n", FlashSize());
        return -1;
    }
    Print("\nReading back AVR application ( %u bytes @ %u )...\n", size, arguments.Offset);
    std::vector<uint8_t> flash(size);
    if (!ReadFlashRange(arguments.Offset, flash.data(), size))
        return -1;
    if (!file.Write(flash.data(), flash.size()) || !file.Commit())
    {
        Print("\nError writing output file %s", arguments.FileName);
        return -1;
    }
    PrintText("...done\n");
    results.Read = RangeOf(arguments, size);
    return 0;
}

// The flash, from this address on, against what it should hold.
FlashComparison Compare(uint32_t address, const std::vector<uint8_t>& flash,
                        const std::vector<uint8_t>& expected)
{
    const size_t shownDifferences = 10;
    FlashComparison comparison;
    for (size_t i = 0; i < expected.size(); ++i)
    {
        if (flash[i] == expected[i])
            continue;
        if (comparison.Shown.size() < shownDifferences)
            comparison.Shown.push_back({address + static_cast<uint32_t>(i), expected[i], flash[i]});
        ++comparison.DifferingBytes;
    }
    return comparison;
}

// Prints the differences, then the two lines that end a failed compare, or the match line;
// returns the exit code.
int ReportComparison(const FlashComparison& comparison, const char* matchLine)
{
    for (const FlashDifference& difference : comparison.Shown)
        Print("Error at 0x%06x: got 0x%02x expected 0x%02x.\n", difference.Offset, difference.Read,
              difference.Expected);
    if (comparison.DifferingBytes == 0)
    {
        PrintText(matchLine);
        return 0;
    }
    PrintText("\nReadback data does not match input verification file!");
    Print("\n%u bytes contained errors.\n", comparison.DifferingBytes);
    return -1;
}

// Writes the pages that do not yet hold the file and checks what they hold afterwards. The last
// line counts the pages written and those that already held the file.
int WriteFileToFlash(const ServiceArguments& arguments, ServiceResults& results)
{
    std::vector<uint8_t> image;
    if (!LoadInputFile("/w", arguments, image))
        return -1;
    FlashPages pages;
    const auto size = static_cast<uint32_t>(image.size());
    if (!WriteFlashRange(arguments.Offset, image.data(), size, pages))
        return -1;
    results.Write = FlashWriteResult{RangeOf(arguments, size), pages.Written, pages.Unchanged,
                                     Compare(pages.Address, pages.Held, pages.Intended)};
    if (ReportComparison(results.Write->ReadBack, "") != 0)
        return -1;
    Print("\nPages written: %u, already holding the file: %u; the flash matches the file.\n",
          pages.Written, pages.Unchanged);
    return 0;
}

int CompareFlashWithFile(const ServiceArguments& arguments, ServiceResults& results)
{
    std::vector<uint8_t> expected;
    if (!LoadInputFile("/c", arguments, expected))
        return -1;
    const auto size = static_cast<uint32_t>(expected.size());
    std::vector<uint8_t> flash(size);
    if (!ReadFlashRange(arguments.Offset, flash.data(), size))
        return -1;
    Print("\nVerifying AVR application ( %u bytes @ %u )...\n", size, arguments.Offset);
    results.Compare =
        FlashCompareResult{RangeOf(arguments, size), Compare(arguments.Offset, flash, expected)};
    return ReportComparison(results.Compare->Comparison, "\n...done, data matches input file.\n");
}

// The first word that is an option of application mode only; null when there is none.
const char* FindApplicationOnlyOption(int argc, const char* const* argv,
                                      OptionWordTest isApplicationOption)
{
    for (int i = 1; i < argc; ++i)
        if (isApplicationOption(argv[i]) && !IsServiceOption(argv[i]))
            return argv[i];
    return nullptr;
}

// Every "/r" output name is looked at before the first option sends anything.
bool OutputNamesAreUsable(const std::vector<ServiceRequest>& requests)
{
    for (const ServiceRequest& request : requests)
        if (request.Operation == ServiceOperation::ReadFlash &&
            request.Arguments.FileName != nullptr &&
            !IsUsableOutputName(request.Arguments.FileName))
            return false;
    return true;
}

int CarryOut(const ServiceRequest& request, ServiceResults& results)
{
    switch (request.Operation)
    {
    case ServiceOperation::ReadFlash:
        results.Read.reset();
        return ReadFlashToFile(request.Arguments, results);
    case ServiceOperation::WriteFlash:
        results.Write.reset();
        return WriteFileToFlash(request.Arguments, results);
    case ServiceOperation::CompareFlash:
        return CompareFlashWithFile(request.Arguments, results);
    case ServiceOperation::ReadVersion:
        return ReadBootloaderVersion() ? 0 : -1;
    }
    return -1;
}

} // namespace

void ReportOptionOfOtherMode(const char* option, const char* itsMode, const char* cardMode)
{
    Print("\n%s is an option of %s mode, but the card is in %s mode; nothing was sent.\n", option,
          itsMode, cardMode);
}

int RunServiceMode(bool applicationModeCheck, bool serviceModeCheck, int argc,
                   const char* const* argv, OptionWordTest isOptionWord,
                   OptionWordTest isApplicationOption, ServiceResults& results)
{
    if (applicationModeCheck)
    {
        PrintText("\nSystem is not in application mode!\n");
        return -1;
    }
    if (serviceModeCheck)
    {
        PrintText("\nSystem is in service mode.\n");
        return 0;
    }
    // Passed over, "/i2c_rd" would end with 0 although nothing was read.
    if (const char* option = FindApplicationOnlyOption(argc, argv, isApplicationOption))
    {
        ReportOptionOfOtherMode(option, "application", "service");
        return -1;
    }
    const std::vector<ServiceRequest> requests = ParseServiceOptions(argc, argv, isOptionWord);
    if (!OutputNamesAreUsable(requests))
        return -1;
    // Options are carried out in command-line order; the first that fails ends the run, and the
    // compare, the last one listed, always does.
    for (const ServiceRequest& request : requests)
    {
        if (IsInterrupted())
        {
            Print("\nInterrupted: %s and the options after it were not carried out.\n",
                  request.Option);
            return -1;
        }
        // "/w app.bin O" would otherwise write at offset 0.
        if (request.Arguments.NotANumber != nullptr)
        {
            Print("\n%s: '%s' is not a flash offset or size (decimal, or hexadecimal after "
                  "0x)\n",
                  request.Option, request.Arguments.NotANumber);
            return -1;
        }
        const int result = CarryOut(request, results);
        if (result != 0)
            return result;
    }
    return 0;
}

} // namespace Corvane::Common
