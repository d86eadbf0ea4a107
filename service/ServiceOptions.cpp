#include "ServiceOptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace Corvane::Common
{

namespace
{

// A number beyond 32 bits reads as the largest one, so that the flash's bounds refuse it instead
// of a wrapped value landing somewhere in the flash.
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

void NoteNotANumber(ServiceArguments& arguments, const char* word)
{
    if (arguments.NotANumber == nullptr)
        arguments.NotANumber = word;
}

// Takes the words after the option at argv[index] up to the next option word; index is left at
// the last word taken. Words beyond the ones an option uses are passed over.
ServiceArguments TakeArguments(int argc, const char* const* argv, OptionWordTest isOptionWord,
                               int& index)
{
    ServiceArguments arguments;
    for (int position = 0; index + 1 < argc && !isOptionWord(argv[index + 1]); ++position)
    {
        const char* word = argv[++index];
        if (position == 0)
            arguments.FileName = word[0] != '\0' ? word : nullptr;
        else if (position == 1)
        {
            if (!ScanNumber(word, arguments.Offset))
                NoteNotANumber(arguments, word);
        }
        else if (position == 2)
        {
            uint32_t size = 0;
            if (ScanNumber(word, size))
                arguments.Size = size;
            else
                NoteNotANumber(arguments, word);
        }
    }
    return arguments;
}

struct ServiceOption
{
    const char* Name;
    ServiceOperation Operation;
    bool TakesArguments;
};

const ServiceOption ServiceOptions[] = {
    {"/r", ServiceOperation::ReadFlash, true},
    {"/w", ServiceOperation::WriteFlash, true},
    {"/c", ServiceOperation::CompareFlash, true},
    {"/v", ServiceOperation::ReadVersion, false},
};

const ServiceOption* FindServiceOption(const char* word)
{
    for (const ServiceOption& option : ServiceOptions)
        if (std::strcmp(word, option.Name) == 0)
            return &option;
    return nullptr;
}

} // namespace

bool IsServiceOption(const char* word)
{
    return FindServiceOption(word) != nullptr;
}

std::vector<ServiceRequest> ParseServiceOptions(int argc, const char* const* argv,
                                                OptionWordTest isOptionWord)
{
    std::vector<ServiceRequest> requests;
    for (int i = 1; i < argc; ++i)
    {
        const char* word = argv[i];
        const ServiceOption* option = FindServiceOption(word);
        if (option == nullptr)
            continue;
        const ServiceArguments arguments = option->TakesArguments
                                               ? TakeArguments(argc, argv, isOptionWord, i)
                                               : ServiceArguments();
        requests.push_back({option->Operation, word, arguments});
        if (option->Operation == ServiceOperation::CompareFlash)
            break;
    }
    return requests;
}

} // namespace Corvane::Common
