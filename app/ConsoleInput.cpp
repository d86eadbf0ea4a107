#include "ConsoleInput.h"

#include "platform/Interruption.h"

#include <cctype>
#include <cstdlib>

namespace Corvane::Common
{

namespace
{
// The longest number a value prompt takes; anything longer does not scan either.
const size_t MaximumValueCharacters = 64;
} // namespace

int CConsoleInput::Next()
{
    if (PutBackCharacter != EOF)
    {
        const int c = PutBackCharacter;
        PutBackCharacter = EOF;
        return c;
    }
    return WaitForInputUnlessInterrupted(Input) ? std::fgetc(Input) : EOF;
}

bool CConsoleInput::ReadWord(std::string& word, size_t maximum)
{
    word.clear();
    int c = Next();
    while (c != EOF && std::isspace(c))
        c = Next();
    while (c != EOF && !std::isspace(c))
    {
        word.push_back(static_cast<char>(c));
        if (word.size() == maximum)
            return true;
        c = Next();
    }
    // The white space that ended the word stays for the next read.
    PutBack(c);
    return !word.empty();
}

void CConsoleInput::DiscardLine()
{
    int c = Next();
    while (c != EOF && c != '\n')
        c = Next();
}

CConsoleInput::ValueResult CConsoleInput::ReadValue(bool hexadecimal, uint32_t& value)
{
    std::string word;
    if (!ReadWord(word, MaximumValueCharacters))
        return ValueResult::Ended;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(word.c_str(), &end, hexadecimal ? 16 : 10);
    if (end == word.c_str())
        return ValueResult::NotANumber;
    value = static_cast<uint32_t>(parsed);
    return ValueResult::Read;
}

} // namespace Corvane::Common
