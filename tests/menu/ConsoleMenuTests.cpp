#include "menu/ConsoleMenu.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace Corvane::Common;

namespace
{
// A menu wired to temporary files: the input holds the lines typed, the output collects the
// bytes printed.
class ScriptedConsole
{
public:
    explicit ScriptedConsole(const std::string& typed)
        : Input(std::tmpfile()), Output(std::tmpfile())
    {
        if (Input && Output)
        {
            std::fputs(typed.c_str(), Input);
            std::rewind(Input);
        }
    }
    ~ScriptedConsole()
    {
        if (Input)
            std::fclose(Input);
        if (Output)
            std::fclose(Output);
    }
    ScriptedConsole(const ScriptedConsole&) = delete;
    ScriptedConsole& operator=(const ScriptedConsole&) = delete;

    bool IsReady() const { return Input && Output; }

    std::unique_ptr<CConsoleMenu> MakeMenu() const
    {
        return std::make_unique<CConsoleMenu>(Input, Output);
    }

    std::string Printed() const
    {
        std::fflush(Output);
        std::rewind(Output);
        std::string text;
        int c;
        while ((c = std::fgetc(Output)) != EOF)
            text += static_cast<char>(c);
        return text;
    }

private:
    std::FILE* Input;
    std::FILE* Output;
};

const std::string Border =
    "-------------------------------------------------------------------------------\n";
const std::string Blank =
    "-                                                                             -\n";
const std::string CardTitleLine =
    "-                            Select a card to use                             -\n";
const std::string ExitLine =
    "-    Exit.................................................................Q   -\n";
const std::string BackLine =
    "-    Back.................................................................Q   -\n";
const std::string Prompt = "\nSelect option:> ";

// The box as the card menu of three cards draws it: no Exit line.
const std::string CardMenuBox =
    "\n" + Border + CardTitleLine + Border + Blank +
    "-    TVX-3A-KX410 S/N: 1001...............................................1   -\n"
    "-    TVX-3A-KX410 S/N: 1002                                               2   -\n"
    "-    TVX-3C-KX820 S/N: 77.................................................3   -\n" +
    Blank + Border;

std::unique_ptr<CConsoleMenu> MakeCardMenu(const ScriptedConsole& console)
{
    auto menu = console.MakeMenu();
    menu->AddItem("TVX-3A-KX410 S/N: 1001", 15);
    menu->AddItem("TVX-3A-KX410 S/N: 1002", 16);
    menu->AddItem("TVX-3C-KX820 S/N: 77", 19);
    menu->SetNoExit(true);
    menu->SetReturnAfterChoice(true);
    return menu;
}

// The item lines of the first box drawn: those between its first two blank lines.
std::vector<std::string> ItemLines(const std::string& printed)
{
    std::vector<std::string> lines;
    size_t start = printed.find(Blank);
    if (start == std::string::npos)
        return lines;
    start += Blank.size();
    for (size_t end = printed.find('\n', start); end != std::string::npos;
         start = end + 1, end = printed.find('\n', start))
    {
        const std::string line = printed.substr(start, end - start);
        if (line + "\n" == Blank)
            break;
        lines.push_back(line);
    }
    return lines;
}

std::string MenuWithItems(int count)
{
    ScriptedConsole console("");
    auto menu = console.MakeMenu();
    for (int i = 0; i < count; ++i)
        menu->AddItem("Item " + std::to_string(i + 1), static_cast<uint32_t>(i));
    menu->Draw();
    return console.Printed();
}

int ActionCalls = 0;
void CountCall()
{
    ++ActionCalls;
}
} // namespace

TEST(ConsoleMenu, BoxLinesAreAll79ColumnsWide)
{
    for (const std::string* line : {&Border, &Blank, &CardTitleLine, &ExitLine, &BackLine})
        EXPECT_EQ(line->size(), 80u) << *line;
    for (const std::string& line : ItemLines(CardMenuBox))
        EXPECT_EQ(line.size(), 79u) << line;
}

TEST(ConsoleMenu, CardMenuRefusesBadInputUntilACardIsChosen)
{
    ScriptedConsole console("Q\n4\n\n12\n2\n");
    ASSERT_TRUE(console.IsReady());
    auto menu = MakeCardMenu(console);
    EXPECT_EQ(menu->Select(), 16);
    const std::string round = CardMenuBox + Prompt;
    EXPECT_EQ(console.Printed(), round + "\nBad selection\n" + round + "\nBad selection\n" + round +
                                     "\nBad selection : ''\n" + round + "\nBad selection : '12'\n" +
                                     round);
}

TEST(ConsoleMenu, KeysRunFromOneToNineThenZeroThenLetters)
{
    std::vector<std::string> lines = ItemLines(MenuWithItems(10));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0],
              "-    Item 1...............................................................1   -");
    EXPECT_EQ(lines[1],
              "-    Item 2                                                               2   -");
    EXPECT_EQ(lines[8],
              "-    Item 9...............................................................9   -");
    EXPECT_EQ(lines[9],
              "-    Item 10                                                              0   -");

    lines = ItemLines(MenuWithItems(11));
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[10],
              "-    Item 11..............................................................a   -");

    lines = ItemLines(MenuWithItems(36));
    ASSERT_EQ(lines.size(), 36u);
    const std::string keys = "1234567890abcdefghijklmnopqrstuvwxyz";
    for (size_t i = 0; i < lines.size(); ++i)
    {
        ASSERT_EQ(lines[i].size(), 79u) << lines[i];
        EXPECT_EQ(lines[i][74], keys[i]) << lines[i];
        EXPECT_EQ(lines[i][73], i % 2 == 0 ? '.' : ' ') << lines[i];
    }
}

TEST(ConsoleMenu, KeysSelectTheirItemsAndOnlyCapitalQQuits)
{
    const struct
    {
        const char* Typed;
        int32_t Expected;
    } cases[] = {{"0\n", 109}, {"a\n", 110}, {"q\n", 126}, {"z\n", 135}, {"1\n", 100}};
    for (const auto& c : cases)
    {
        ScriptedConsole console(c.Typed);
        ASSERT_TRUE(console.IsReady());
        auto menu = console.MakeMenu();
        for (uint32_t i = 0; i < 36; ++i)
            menu->AddItem("Item", 100 + i);
        EXPECT_EQ(menu->Select(), c.Expected) << c.Typed;
    }
}

TEST(ConsoleMenu, KeysBeyondTheItemsAndOtherCharactersAreRefused)
{
    ScriptedConsole console("b\nA\n-\n \n\xE9\n1\n");
    ASSERT_TRUE(console.IsReady());
    auto menu = console.MakeMenu();
    for (uint32_t i = 0; i < 11; ++i)
        menu->AddItem("Item", 200 + i);
    EXPECT_EQ(menu->Select(), 200);
    const std::string printed = console.Printed();
    size_t refusals = 0;
    for (size_t at = printed.find("\nBad selection\n"); at != std::string::npos;
         at = printed.find("\nBad selection\n", at + 1))
        ++refusals;
    EXPECT_EQ(refusals, 5u);
}

TEST(ConsoleMenu, LongItemTextsGetNoFillAndWidenTheLine)
{
    const std::string text68(68, 'x');
    const std::string text69(69, 'y');
    const std::string text75(75, 'z');
    const std::string text100(100, 'w');
    ScriptedConsole console("");
    auto menu = console.MakeMenu();
    menu->AddItem(text68, 1);
    menu->AddItem(text69, 2);
    menu->AddItem(text75, 3);
    menu->AddItem(text100, 4);
    menu->Draw();
    const std::vector<std::string> lines = ItemLines(console.Printed());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "-    " + text68 + ".1   -");
    EXPECT_EQ(lines[1], "-    " + text69 + "2   -");
    EXPECT_EQ(lines[2], "-    " + text75 + "3   -");
    // A text is kept to 79 characters.
    EXPECT_EQ(lines[3], "-    " + std::string(79, 'w') + "4   -");
}

TEST(ConsoleMenu, TitleIsCentredWithAnExtraSpaceForEvenLengths)
{
    ScriptedConsole console("");
    auto menu = console.MakeMenu();
    menu->SetTitle("Odd title");
    menu->Draw();
    menu->SetTitle("Even title");
    menu->Draw();
    const std::string printed = console.Printed();
    EXPECT_NE(
        printed.find("\n-" + std::string(34, ' ') + "Odd title" + std::string(34, ' ') + "-\n"),
        std::string::npos);
    EXPECT_NE(
        printed.find("\n-" + std::string(33, ' ') + "Even title" + std::string(34, ' ') + "-\n"),
        std::string::npos);
}

TEST(ConsoleMenu, QuitLineReadsExitOrBackAndQReturnsZeroOr999)
{
    {
        ScriptedConsole console("Q\n");
        ASSERT_TRUE(console.IsReady());
        auto menu = console.MakeMenu();
        menu->AddItem("Only", 5);
        EXPECT_EQ(menu->Select(), MENU_QUIT);
        EXPECT_EQ(
            console.Printed(),
            "\n" + Border + CardTitleLine + Border + Blank +
                "-    Only.................................................................1   "
                "-\n" +
                Blank + ExitLine + Blank + Border + Prompt);
    }
    {
        ScriptedConsole console("Q\n");
        ASSERT_TRUE(console.IsReady());
        auto menu = console.MakeMenu();
        menu->AddItem("Only", 5);
        menu->SetExitNotBack(false);
        menu->SetReturnAfterChoice(true);
        EXPECT_EQ(menu->Select(), MENU_DONE);
        const std::string printed = console.Printed();
        EXPECT_NE(printed.find(Blank + BackLine + Blank), std::string::npos);
        EXPECT_EQ(printed.find("Exit"), std::string::npos);
    }
}

TEST(ConsoleMenu, PlainItemReturnsItsIdWhateverTheFlags)
{
    for (int flags = 0; flags < 4; ++flags)
    {
        ScriptedConsole console("2\n");
        ASSERT_TRUE(console.IsReady());
        auto menu = console.MakeMenu();
        menu->AddItem("First", 7);
        menu->AddItem("Second", 0xABCD);
        menu->SetNoExit((flags & 1) != 0);
        menu->SetReturnAfterChoice((flags & 2) != 0);
        EXPECT_EQ(menu->Select(), 0xABCD) << flags;
    }
}

TEST(ConsoleMenu, ActionsRunAndTheResultFollowsTheFlags)
{
    const struct
    {
        bool NoExit;
        bool ReturnAfterChoice;
        const char* Typed;
        int32_t Expected;
        int Calls;
        int Boxes;
    } cases[] = {
        {false, true, "2\n", 1, 1, 1},                // the chosen index
        {true, true, "2\n", MENU_DONE, 1, 1},         // no way out: 999
        {false, false, "2\n2\nQ\n", MENU_QUIT, 2, 3}, // shown again until "Q"
    };
    for (const auto& c : cases)
    {
        ScriptedConsole console(c.Typed);
        ASSERT_TRUE(console.IsReady());
        auto menu = console.MakeMenu();
        menu->AddItem("Plain", 40);
        menu->AddItem("Counted", 41, CountCall);
        menu->SetNoExit(c.NoExit);
        menu->SetReturnAfterChoice(c.ReturnAfterChoice);
        ActionCalls = 0;
        EXPECT_EQ(menu->Select(), c.Expected) << c.Typed;
        EXPECT_EQ(ActionCalls, c.Calls) << c.Typed;
        const std::string printed = console.Printed();
        size_t boxes = 0;
        for (size_t at = printed.find(Prompt); at != std::string::npos;
             at = printed.find(Prompt, at + 1))
            ++boxes;
        EXPECT_EQ(boxes, static_cast<size_t>(c.Boxes)) << c.Typed;
    }
}

TEST(ConsoleMenu, SubMenuRunsInPlaceOfTheActionAndItsResultIsNotUsed)
{
    // The sub-menu returns its plain item's id 77; the outer menu returns the index of the item
    // that held the sub-menu.
    ScriptedConsole console("b\n1\n");
    ASSERT_TRUE(console.IsReady());
    auto submenu = console.MakeMenu();
    submenu->SetTitle("Inner");
    submenu->AddItem("Inner item", 77);
    auto menu = console.MakeMenu();
    for (uint32_t i = 0; i < 11; ++i)
        menu->AddItem("Item", i);
    menu->AddItem("More", 500, CountCall, std::move(submenu));
    menu->SetReturnAfterChoice(true);
    ActionCalls = 0;
    EXPECT_EQ(menu->Select(), 11);
    EXPECT_EQ(ActionCalls, 0);
    const std::string printed = console.Printed();
    EXPECT_NE(printed.find("Inner item"), std::string::npos);
    // The twelfth item is an even one: filled with spaces.
    EXPECT_NE(printed.find("-    More" + std::string(65, ' ') + "b   -"), std::string::npos);
}

TEST(ConsoleMenu, EndOfInputEndsTheMenu)
{
    {
        ScriptedConsole console("");
        ASSERT_TRUE(console.IsReady());
        auto menu = MakeCardMenu(console);
        EXPECT_EQ(menu->Select(), MENU_INPUT_ENDED);
        EXPECT_EQ(console.Printed(), CardMenuBox + Prompt);
    }
    {
        // A last line without its new line still counts.
        ScriptedConsole console("x\n3");
        ASSERT_TRUE(console.IsReady());
        EXPECT_EQ(MakeCardMenu(console)->Select(), 19);
    }
    {
        ScriptedConsole console("x\n");
        ASSERT_TRUE(console.IsReady());
        auto menu = MakeCardMenu(console);
        EXPECT_EQ(menu->Select(), MENU_INPUT_ENDED);
        const std::string round = CardMenuBox + Prompt;
        EXPECT_EQ(console.Printed(), round + "\nBad selection\n" + round);
    }
}

TEST(ConsoleMenu, EndOfInputInASubMenuEndsTheOuterMenuToo)
{
    ScriptedConsole console("1\n");
    ASSERT_TRUE(console.IsReady());
    auto submenu = console.MakeMenu();
    submenu->AddItem("Inner item", 77);
    auto menu = console.MakeMenu();
    menu->AddItem("More", 500, nullptr, std::move(submenu));
    EXPECT_EQ(menu->Select(), MENU_INPUT_ENDED);
    const std::string printed = console.Printed();
    size_t prompts = 0;
    for (size_t at = printed.find(Prompt); at != std::string::npos;
         at = printed.find(Prompt, at + 1))
        ++prompts;
    EXPECT_EQ(prompts, 2u); // the outer box once, the inner box once
}

TEST(ConsoleMenu, OverlongLineIsOneBadSelection)
{
    const std::string longLine(100, '7');
    ScriptedConsole console(longLine + "\n1\n");
    ASSERT_TRUE(console.IsReady());
    auto menu = MakeCardMenu(console);
    EXPECT_EQ(menu->Select(), 15);
    const std::string round = CardMenuBox + Prompt;
    EXPECT_EQ(console.Printed(),
              round + "\nBad selection : '" + std::string(79, '7') + "'\n" + round);
}

TEST(ConsoleMenu, HoldsAtMost36Items)
{
    CConsoleMenu menu;
    for (uint32_t i = 0; i < 36; ++i)
        ASSERT_TRUE(menu.AddItem("Item", i));
    EXPECT_FALSE(menu.AddItem("One too many", 36));
    EXPECT_EQ(menu.GetItemCount(), 36);
}
