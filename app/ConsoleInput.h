#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace Corvane::Common
{

// Words and numbers typed at the interactive console, read from standard input.
class CConsoleInput
{
public:
    explicit CConsoleInput(std::FILE* input = stdin) : Input(input) {}

    // The next word: white space before it is skipped, it ends at white space or after maximum
    // characters (the rest of a longer word is the next word). False at the end of the input, and
    // when an interruption comes while it waits.
    bool ReadWord(std::string& word, size_t maximum);

    // Throws away what is left of the line typed so far, up to and with its new line.
    void DiscardLine();

    enum class ValueResult
    {
        Read,
        NotANumber, // the word was taken and thrown away
        Ended,
    };
    // The next word as a number: hexadecimal digits (an optional "0x" before them) or decimal
    // ones. A word that does not begin with a number is NotANumber; digits that end early give
    // the number they make (as the C library's scanning does).
    ValueResult ReadValue(bool hexadecimal, uint32_t& value);

private:
    // The next character, or EOF at the end of the input or when an interruption comes.
    int Next();
    void PutBack(int c) { PutBackCharacter = c; }

    std::FILE* Input;
    int PutBackCharacter = EOF;
};

} // namespace Corvane::Common
