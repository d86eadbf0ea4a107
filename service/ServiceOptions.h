#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace Corvane::Common
{

// What a service-mode option asks of the boot loader.
enum class ServiceOperation
{
    ReadFlash,    // "/r <file> <offset> [size]"
    WriteFlash,   // "/w <file> <offset>"
    CompareFlash, // "/c <file> <offset>"
    ReadVersion,  // "/v"
};

// The words after an option up to the next option word: the file name, the offset and, for "/r",
// the size. Any other word, also one that begins with '/', is taken, so that absolute file names
// can be given. Numbers are hexadecimal after "0x" or "0X", else decimal; a number
// beyond 32 bits reads as the largest one. A word that does not scan leaves the value as it was
// and is kept, so that the option can be refused rather than carried out at offset 0.
struct ServiceArguments
{
    const char* FileName = nullptr; // none given (an empty word is none)
    uint32_t Offset = 0;
    std::optional<uint32_t> Size;
    const char* NotANumber = nullptr; // the first offset or size word that did not scan
};

struct ServiceRequest
{
    ServiceOperation Operation;
    const char* Option; // the option's word
    ServiceArguments Arguments;
};

// Tells the words of the tool's options, of every mode, from all other words.
using OptionWordTest = bool (*)(const char* word);

// The service-mode options of the command line in its order, each with its words. "/c" ends the
// run, so nothing after it is listed. Every other word has had its turn in the first pass.
std::vector<ServiceRequest> ParseServiceOptions(int argc, const char* const* argv,
                                                OptionWordTest isOptionWord);

// True for the words of the service-mode options.
bool IsServiceOption(const char* word);

} // namespace Corvane::Common
