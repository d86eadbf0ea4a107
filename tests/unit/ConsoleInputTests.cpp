// What the console reads from standard input: words, lines thrown away, numbers.
#include "app/ConsoleInput.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace Corvane::Common;

namespace
{
// Standard input with this text.
class TypedInput
{
public:
    explicit TypedInput(const std::string& text) : File(std::tmpfile())
    {
        std::fwrite(text.data(), 1, text.size(), File);
        std::rewind(File);
    }
    ~TypedInput() { std::fclose(File); }
    std::FILE* File;
};
} // namespace

TEST(ConsoleInput, WordsEndAtWhiteSpaceOrTheirLimit)
{
    TypedInput typed("  VN?\n\tIR " + std::string(81, 'a') + "\n");
    CConsoleInput input(typed.File);
    std::string word;
    ASSERT_TRUE(input.ReadWord(word, 79));
    EXPECT_EQ(word, "VN?");
    ASSERT_TRUE(input.ReadWord(word, 79));
    EXPECT_EQ(word, "IR");
    ASSERT_TRUE(input.ReadWord(word, 79));
    EXPECT_EQ(word, std::string(79, 'a'));
    ASSERT_TRUE(input.ReadWord(word, 79));
    EXPECT_EQ(word, "aa") << "the rest of a long word is the next word";
    EXPECT_FALSE(input.ReadWord(word, 79));
}

TEST(ConsoleInput, ValuesAfterTheRestOfTheLineIsThrownAway)
{
    TypedInput typed("IR 6b ignored\n0x6B\nzz 12\n-1\n");
    CConsoleInput input(typed.File);
    std::string word;
    ASSERT_TRUE(input.ReadWord(word, 79));
    input.DiscardLine();
    uint32_t value = 0;
    EXPECT_EQ(input.ReadValue(true, value), CConsoleInput::ValueResult::Read);
    EXPECT_EQ(value, 0x6Bu);
    input.DiscardLine();
    EXPECT_EQ(input.ReadValue(true, value), CConsoleInput::ValueResult::NotANumber);
    input.DiscardLine();
    EXPECT_EQ(input.ReadValue(false, value), CConsoleInput::ValueResult::Read);
    EXPECT_EQ(value, 0xFFFFFFFFu) << "a negative number wraps as the C library's %u does";
    input.DiscardLine();
    EXPECT_EQ(input.ReadValue(false, value), CConsoleInput::ValueResult::Ended);
}
