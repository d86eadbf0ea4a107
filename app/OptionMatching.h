#pragma once

#include <cstddef>
#include <cstring>

namespace Corvane::Common
{

// An option matches only as the whole word, in its own case.
inline bool IsWord(const char* argument, const char* option)
{
    return std::strcmp(argument, option) == 0;
}

// The entry of a table of options that has this name; null when none has.
template <typename Option, size_t Count>
const Option* FindOption(const char* argument, const Option (&options)[Count])
{
    for (const Option& option : options)
        if (IsWord(argument, option.Name))
            return &option;
    return nullptr;
}

template <size_t Count> bool IsOneOf(const char* argument, const char* const (&options)[Count])
{
    for (const char* option : options)
        if (IsWord(argument, option))
            return true;
    return false;
}

} // namespace Corvane::Common
