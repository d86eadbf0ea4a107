#include "menu/ConsoleMenu.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace Corvane::Common;

namespace
{
struct MenuRun
{
    int32_t Result = 0;
    std::string Printed;
};

std::string ReadAll(std::FILE* file)
{
    std::string text;
    std::rewind(file);
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
        text += static_cast<char>(c);
    return text;
}

// Runs Select on a menu that setup fills, with the typed lines as its input.
template <typename Setup> MenuRun RunMenu(const std::string& typed, Setup setup)
{
    MenuRun run;
    std::FILE* input = std::tmpfile();
    std::FILE* output = std::tmpfile();
    if (input && output)
    {
        std::fputs(typed.c_str(), input);
        std::rewind(input);
        CConsoleMenu menu(input, output);
        setup(menu, input, output);
        run.Result = menu.Select();
        run.Printed = ReadAll(output);
    }
    for (std::FILE* file : {input, output})
        if (file)
            std::fclose(file);
    return run;
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

const std::string Border(79, '-');
const std::string Blank = "-" + std::string(77, ' ') + "-\n";
const std::string Prompt = "\nSelect option:> ";
void FillCardMenu(CConsoleMenu& menu, std::FILE*, std::FILE*)
{
    menu.AddItem("TVX-3A-KX410 S/N: 1001", 15);
    menu.AddItem("TVX-3A-KX410 S/N: 1002", 16);
    menu.AddItem("TVX-3C-KX820 S/N: 77", 19);
    menu.SetNoExit(true);
    menu.SetReturnAfterChoice(true);
}

// Items "Item <n>" with the ids 100 + n, and no way out.
auto Items(int count)
{
    return [count](CConsoleMenu& menu, std::FILE*, std::FILE*)
    {
        for (int i = 1; i <= count; ++i)
            menu.AddItem("Item " + std::to_string(i), 100 + i);
        menu.SetNoExit(true);
    };
}

int ActionCalls = 0;
void CountCall()
{
    ++ActionCalls;
}
} // namespace

// Odd items are filled with dots, even ones with spaces; keys run 1-9, 0, then a-z.
TEST(ConsoleMenu, KeysAndFillsFollowTheItemNumberUpTo36)
{
    const struct
    {
        char Key;
        int Item;
        char Fill;
    } keys[] = {{'9', 9, '.'}, {'0', 10, ' '}, {'a', 11, '.'}, {'q', 27, '.'}, {'z', 36, ' '}};
    for (const auto& k : keys)
    {
        const std::string text = "Item " + std::to_string(k.Item);
        const MenuRun run = RunMenu(std::string(1, k.Key) + "\n", Items(36));
        EXPECT_EQ(run.Result, 100 + k.Item) << k.Key; // small q is an item key
        const std::string line = "\n-    " + text + std::string(69 - text.size(), k.Fill) + k.Key;
        EXPECT_NE(run.Printed.find(line + "   -\n"), std::string::npos) << k.Key;
    }
    CConsoleMenu full(stdin, stdout);
    Items(36)(full, stdin, stdout);
    EXPECT_FALSE(full.AddItem("One too many", 137));
    EXPECT_EQ(full.GetItemCount(), 36);
}

TEST(ConsoleMenu, OnlyKeysOfItemsSelect)
{
    EXPECT_EQ(RunMenu("a\n", Items(10)).Printed.find("a   -\n"), std::string::npos);
    const MenuRun run = RunMenu("d\nA\nQ\n \n\xE9\n3\n", FillCardMenu);
    EXPECT_EQ(run.Result, 19);
    EXPECT_EQ(Count(run.Printed, "\nBad selection\n"), 5u);
}

TEST(ConsoleMenu, LongTextsGetNoFillAndWidenTheLine)
{
    const MenuRun run = RunMenu("",
                                [](CConsoleMenu& menu, std::FILE*, std::FILE*)
                                {
                                    menu.SetTitle(std::string(100, 'T'));
                                    menu.AddItem(std::string(68, 'x'), 1);
                                    menu.AddItem(std::string(69, 'y'), 2);
                                    menu.AddItem(std::string(75, 'z'), 3);
                                    menu.AddItem(std::string(100, 'w'), 4); // kept to 79 characters
                                });
    EXPECT_NE(run.Printed.find("\n-" + std::string(79, 'T') + "-\n"), std::string::npos);
    EXPECT_NE(run.Printed.find("\n-    " + std::string(68, 'x') + ".1   -\n"), std::string::npos);
    EXPECT_NE(run.Printed.find("\n-    " + std::string(69, 'y') + "2   -\n"), std::string::npos);
    EXPECT_NE(run.Printed.find("\n-    " + std::string(75, 'z') + "3   -\n"), std::string::npos);
    EXPECT_NE(run.Printed.find("\n-    " + std::string(79, 'w') + "4   -\n"), std::string::npos);
    const MenuRun odd =
        RunMenu("", [](CConsoleMenu& menu, std::FILE*, std::FILE*) { menu.SetTitle("Odd title"); });
    EXPECT_NE(
        odd.Printed.find("\n-" + std::string(34, ' ') + "Odd title" + std::string(34, ' ') + "-\n"),
        std::string::npos)
        << "no extra space for an odd title";
}

TEST(ConsoleMenu, QuitLineReadsExitOrBackAndQReturnsZeroOr999)
{
    const std::string exitLine = "-    Exit" + std::string(65, '.') + "Q   -\n";
    const std::string backLine = "-    Back" + std::string(65, '.') + "Q   -\n";
    MenuRun run =
        RunMenu("Q\n", [](CConsoleMenu& menu, std::FILE*, std::FILE*) { menu.AddItem("Only", 5); });
    EXPECT_EQ(run.Result, MENU_QUIT);
    EXPECT_NE(run.Printed.find("1   -\n" + Blank + exitLine + Blank + Border + "\n" + Prompt),
              std::string::npos);
    run = RunMenu("Q\n",
                  [](CConsoleMenu& menu, std::FILE*, std::FILE*)
                  {
                      menu.SetExitNotBack(false);
                      menu.SetReturnAfterChoice(true);
                  });
    EXPECT_EQ(run.Result, MENU_DONE);
    EXPECT_NE(run.Printed.find(Blank + backLine + Blank), std::string::npos);
}

TEST(ConsoleMenu, ChoiceResultsFollowTheFlags)
{
    const struct
    {
        bool NoExit, ReturnAfterChoice;
        const char* Typed;
        int32_t Expected;
        int Calls;
    } cases[] = {
        {false, true, "2\n", 1, 1},                // the index of the action's item
        {true, true, "2\n", MENU_DONE, 1},         // no way out: 999
        {false, false, "2\n2\nQ\n", MENU_QUIT, 2}, // shown again until "Q"
        {false, true, "3\n1\n", 2, 0},             // the sub-menu ran: its item index
        {false, true, "1\n", 40, 0},               // a plain item: its id, whatever the flags
        {true, false, "1\n", 40, 0},
    };
    for (const auto& c : cases)
    {
        ActionCalls = 0;
        const MenuRun run = RunMenu(c.Typed,
                                    [&c](CConsoleMenu& menu, std::FILE* in, std::FILE* out)
                                    {
                                        auto submenu = std::make_unique<CConsoleMenu>(in, out);
                                        submenu->AddItem("Inner", 77);
                                        menu.AddItem("Plain", 40);
                                        menu.AddItem("Counted", 41, CountCall);
                                        menu.AddItem("More", 42, CountCall, std::move(submenu));
                                        menu.SetNoExit(c.NoExit);
                                        menu.SetReturnAfterChoice(c.ReturnAfterChoice);
                                    });
        EXPECT_EQ(run.Result, c.Expected) << c.Typed;
        EXPECT_EQ(ActionCalls, c.Calls) << c.Typed;
    }
}

// The end of input at the card menu itself is run end to end.
TEST(ConsoleMenu, EndOfInputEndsTheMenu)
{
    EXPECT_EQ(RunMenu("x\n3", FillCardMenu).Result, 19); // a last line without its new line
    // In a sub-menu: the outer menu ends too, without drawing itself again.
    const MenuRun run =
        RunMenu("1\n", [](CConsoleMenu& menu, std::FILE* in, std::FILE* out)
                { menu.AddItem("More", 500, nullptr, std::make_unique<CConsoleMenu>(in, out)); });
    EXPECT_EQ(run.Result, MENU_INPUT_ENDED);
    EXPECT_EQ(Count(run.Printed, Prompt), 2u);
}

// The card menu's round is compared whole by test_card_selection.py; here a line longer than the
// input buffer is refused once, with its first 79 characters, and the menu drawn again once.
TEST(ConsoleMenu, OverlongLineIsOneBadSelection)
{
    const MenuRun run = RunMenu(std::string(100, '7') + "\n1\n", FillCardMenu);
    EXPECT_EQ(run.Result, 15);
    EXPECT_EQ(Count(run.Printed, "\nBad selection"), 1u);
    EXPECT_NE(run.Printed.find(Prompt + "\nBad selection : '" + std::string(79, '7') + "'\n\n" +
                               Border + "\n-   "),
              std::string::npos);
    EXPECT_EQ(Count(run.Printed, Prompt), 2u);
}
