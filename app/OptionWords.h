#pragma once

namespace Corvane::Common
{

// True for the word of any of the tool's options, of whichever mode: in service mode such a word
// ends the words of the option before it, and every other word, also one that begins with '/',
// is taken as that option's next word.
bool IsOptionWord(const char* word);

} // namespace Corvane::Common
