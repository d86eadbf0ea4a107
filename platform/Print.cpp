#include "Print.h"

#include <cstdarg>
#include <cstring>
#include <string>

namespace Corvane::Common
{

namespace
{

int PrintFormatted(std::FILE* output, const char* format, va_list arguments)
{
    char small[512];
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(small, sizeof small, format, arguments);
    if (length < 0)
    {
        va_end(again);
        return length;
    }
    if (static_cast<size_t>(length) < sizeof small)
    {
        va_end(again);
        return static_cast<int>(std::fwrite(small, 1, static_cast<size_t>(length), output));
    }
    std::string large(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(large.data(), large.size(), format, again);
    va_end(again);
    return static_cast<int>(std::fwrite(large.data(), 1, static_cast<size_t>(length), output));
}

} // namespace

int Print(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const int written = PrintFormatted(stdout, format, arguments);
    va_end(arguments);
    return written;
}

int PrintTo(std::FILE* output, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const int written = PrintFormatted(output, format, arguments);
    va_end(arguments);
    return written;
}

int PrintUnchecked(std::FILE* output, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const int written = PrintFormatted(output, format, arguments);
    va_end(arguments);
    return written;
}

std::string FormatUnchecked(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

void PrintText(const char* text, std::FILE* output)
{
    std::fwrite(text, 1, std::strlen(text), output);
}

} // namespace Corvane::Common
