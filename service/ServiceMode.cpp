#include "ServiceMode.h"

#include "BootLoader.h"
#include "board/BoardProfile.h"
#include "platform/Files.h"
#include "platform/Interruption.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace Corvane::Common
{

namespace
{

// The words after an option up to the next one that begins with '/': the file name, the offset
// and, for "/r", the size.
struct OptionArguments
{
    const char* FileName = nullptr;
    uint32_t Offset = 0;
    std::optional<uint32_t> Size;
};

// A number in hexadecimal after "0x" or "0X", else in decimal. A word that does not scan leaves
// the value as it was; a number beyond 32 bits reads as the largest one, so that the flash's
// bounds refuse it instead of a wrapped value landing somewhere in the flash.
bool ScanNumber(const char* word, uint32_t& value)
{
    const bool hexadecimal = word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
    const char* digits = hexadecimal ? word + 2 : word;
    char* end = nullptr;
    errno = 0;
    const unsigned long long number = std::strtoull(digits, &end, hexadecimal ? 16 : 10);
    if (end == digits)
        return false;
    value = errno == ERANGE || number > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(number);
    return true;
}

// Takes the words after the option at argv[index]; index is left at the last word taken. Words
// beyond the ones an option uses are passed over; an empty word is no file name.
OptionArguments TakeArguments(int argc, const char* const* argv, int& index)
{
    OptionArguments arguments;
    for (int position = 0; index + 1 < argc && argv[index + 1][0] != '/'; ++position)
    {
        const char* word = argv[++index];
        if (position == 0)
            arguments.FileName = word[0] != '\0' ? word : nullptr;
        else if (position == 1)
            ScanNumber(word, arguments.Offset);
        else if (position == 2)
        {
            uint32_t size = 0;
            if (ScanNumber(word, size))
                arguments.Size = size;
        }
    }
    return arguments;
}

uint32_t FlashSize()
{
    return CurrentBoardProfile().FlashSize;
}

// Reads the input file of "/w" or "/c" when it fits into the flash from the offset; a file that
// does not is refused before anything is sent, without being read to its end.
bool LoadInputFile(const char* option, const OptionArguments& arguments,
                   std::vector<uint8_t>& contents)
{
    if (arguments.FileName == nullptr)
    {
        std::printf("\nMust specify filename after %s\n", option);
        return false;
    }
    if (!FlashLayoutIsKnown())
        return false;
    const bool offsetInFlash = arguments.Offset <= FlashSize();
    const size_t room = offsetInFlash ? FlashSize() - arguments.Offset : 0;
    const InputFileStatus status = ReadInputFile(arguments.FileName, room, contents);
    if (status == InputFileStatus::CannotOpen)
    {
        std::printf("\nCould not open input file %s\n", arguments.FileName);
        return false;
    }
    if (status == InputFileStatus::TooLarge || !offsetInFlash)
    {
        std::printf("\nError input file %s does not fit: the flash ends at 0x%06x!\n",
                    arguments.FileName, FlashSize());
        return false;
    }
    return true;
}

int ReadFlashToFile(const OptionArguments& arguments)
{
    if (arguments.FileName == nullptr)
    {
        std::fputs("\nMust specify filename and flash offset after /r\n", stdout);
        return -1;
    }
    if (!FlashLayoutIsKnown())
        return -1;
    // The file the user has under that name is replaced only by a complete read.
    COutputFile file(arguments.FileName);
    if (!file.Create())
    {
        std::printf("\nError writing output file %s", arguments.FileName);
        return -1;
    }
    if (arguments.Offset >= FlashSize())
    {
        std::fputs("\nError flash offset too large!\n", stdout);
        return -1;
    }
    // No size, or a size of 0, reads to the end of the flash.
    const uint32_t room = FlashSize() - arguments.Offset;
    const uint32_t size = arguments.Size.value_or(0) != 0 ? *arguments.Size : room;
    if (size > room)
    {
        std::printf("\nError read size too large: the flash ends at 0x%06x!\n", FlashSize());
        return -1;
    }
    std::printf("\nReading back AVR application ( %u bytes @ %u )...\n", size, arguments.Offset);
    std::vector<uint8_t> flash(size);
    if (!ReadFlashRange(arguments.Offset, flash.data(), size))
        return -1;
    if (!file.Write(flash.data(), flash.size()) || !file.Commit())
    {
        std::printf("\nError writing output file %s", arguments.FileName);
        return -1;
    }
    std::fputs("...done\n", stdout);
    return 0;
}

int WriteFileToFlash(const OptionArguments& arguments)
{
    std::vector<uint8_t> image;
    if (!LoadInputFile("/w", arguments, image))
        return -1;
    return WriteFlashRange(arguments.Offset, image.data(), static_cast<uint32_t>(image.size()))
               ? 0
               : -1;
}

int CompareFlashWithFile(const OptionArguments& arguments)
{
    std::vector<uint8_t> expected;
    if (!LoadInputFile("/c", arguments, expected))
        return -1;
    const auto size = static_cast<uint32_t>(expected.size());
    std::vector<uint8_t> flash(size);
    if (!ReadFlashRange(arguments.Offset, flash.data(), size))
        return -1;
    std::printf("\nVerifying AVR application ( %u bytes @ %u )...\n", size, arguments.Offset);
    const uint32_t shownDifferences = 10;
    uint32_t differences = 0;
    for (uint32_t i = 0; i < size; ++i)
    {
        if (flash[i] == expected[i])
            continue;
        if (differences < shownDifferences)
            std::printf("Error at 0x%06x: got 0x%02x expected 0x%02x.\n", arguments.Offset + i,
                        flash[i], expected[i]);
        ++differences;
    }
    if (differences == 0)
    {
        std::fputs("\n...done, data matches input file.\n", stdout);
        return 0;
    }
    std::fputs("\nReadback data does not match input verification file!", stdout);
    std::printf("\n%u bytes contained errors.\n", differences);
    return -1;
}

int ShowBootLoaderVersion(const OptionArguments&)
{
    return ReadBootloaderVersion() ? 0 : -1;
}

// The service-mode options. "/c" ends the run whatever comes after it.
struct ServiceOption
{
    const char* Name;
    bool TakesArguments;
    bool EndsTheRun;
    int (*CarryOut)(const OptionArguments& arguments);
};

const ServiceOption ServiceOptions[] = {
    {"/r", true, false, &ReadFlashToFile},
    {"/w", true, false, &WriteFileToFlash},
    {"/c", true, true, &CompareFlashWithFile},
    {"/v", false, false, &ShowBootLoaderVersion},
};

const ServiceOption* FindServiceOption(const char* word)
{
    for (const ServiceOption& option : ServiceOptions)
        if (std::strcmp(word, option.Name) == 0)
            return &option;
    return nullptr;
}

} // namespace

int RunServiceMode(bool applicationModeCheck, bool serviceModeCheck, int argc,
                   const char* const* argv)
{
    if (applicationModeCheck)
    {
        std::fputs("\nSystem is not in application mode!\n", stdout);
        return -1;
    }
    if (serviceModeCheck)
    {
        std::fputs("\nSystem is in service mode.\n", stdout);
        return 0;
    }
    // Options are carried out in command-line order; the first that fails ends the run, and the
    // compare always does. Every other word has had its turn in the first pass.
    for (int i = 1; i < argc; ++i)
    {
        const char* word = argv[i];
        const ServiceOption* option = FindServiceOption(word);
        if (option == nullptr)
            continue;
        if (IsInterrupted())
        {
            std::printf("\nInterrupted: %s and the options after it were not carried out.\n", word);
            return -1;
        }
        const int result = option->CarryOut(option->TakesArguments ? TakeArguments(argc, argv, i)
                                                                   : OptionArguments());
        if (result != 0 || option->EndsTheRun)
            return result;
    }
    return 0;
}

} // namespace Corvane::Common
