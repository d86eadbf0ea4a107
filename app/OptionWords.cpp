#include "OptionWords.h"

#include "ApplicationOptions.h"
#include "FirstPass.h"
#include "service/ServiceOptions.h"

namespace Corvane::Common
{

bool IsOptionWord(const char* word)
{
    return IsFirstPassOption(word) || IsApplicationOption(word) || IsServiceOption(word);
}

} // namespace Corvane::Common
