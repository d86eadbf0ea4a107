#pragma once

#include <cstdio>
#include <string>

// Lets the compiler check the arguments of our own formatted printing, with the C library's
// (not the Windows run-time's) notion of the formats.
#if defined(__clang__)
#define MISTLE_PRINTF_FORMAT(formatAt, firstAt)                                                    \
    __attribute__((__format__(printf, formatAt, firstAt)))
#elif defined(__GNUC__)
#define MISTLE_PRINTF_FORMAT(formatAt, firstAt)                                                    \
    __attribute__((__format__(gnu_printf, formatAt, firstAt)))
#else
#define MISTLE_PRINTF_FORMAT(formatAt, firstAt)
#endif

namespace Corvane::Common
{

// Formatted printing in one piece: the text is formatted first and then written with a single
// call, so that what two threads print never mixes within one call (the Windows run-time writes
// a formatted text in many small pieces). Returns the number of characters written.
int Print(const char* format, ...) MISTLE_PRINTF_FORMAT(1, 2);
int PrintTo(std::FILE* output, const char* format, ...) MISTLE_PRINTF_FORMAT(2, 3);
// The same for a format the compiler cannot check (the status lines keep theirs in arrays).
int PrintUnchecked(std::FILE* output, const char* format, ...);

// The text that PrintUnchecked would write, for a caller that writes many lines in one piece.
std::string FormatUnchecked(const char* format, ...);

// Text as it is, in one piece.
void PrintText(const char* text, std::FILE* output = stdout);

} // namespace Corvane::Common
