#include "ConsoleMenu.h"

#include <cstring>
#include <string>

namespace Corvane::Common
{

namespace
{
const char BorderLine[] =
    "-------------------------------------------------------------------------------\n";
const char BlankLine[] =
    "-                                                                             -\n";
const char ExitLine[] =
    "-    Exit.................................................................Q   -\n";
const char BackLine[] =
    "-    Back.................................................................Q   -\n";

// Item texts are padded to this width before the key.
constexpr int32_t ItemTextWidth = 69;
// The title is centred on this column.
constexpr int32_t TitleCentre = 38;

char MenuKey(int32_t index)
{
    if (index < 9)
        return static_cast<char>('1' + index);
    if (index == 9)
        return '0';
    return static_cast<char>('a' + (index - 10));
}

// The item index that a key selects, or -1 for a key that belongs to no item position.
int32_t ItemIndexOfKey(char key)
{
    if (key >= '1' && key <= '9')
        return key - '1';
    if (key == '0')
        return 9;
    if (key >= 'a' && key <= 'z')
        return 10 + (key - 'a');
    return -1;
}
} // namespace

void CConsoleMenu::Draw()
{
    std::fputs("\n", Output);
    std::fputs(BorderLine, Output);
    DrawTitleLine();
    std::fputs(BorderLine, Output);
    std::fputs(BlankLine, Output);
    for (int32_t index = 0; index < GetItemCount(); ++index)
        DrawItemLine(index);
    if (!NoExit)
    {
        std::fputs(BlankLine, Output);
        std::fputs(ExitNotBack ? ExitLine : BackLine, Output);
    }
    std::fputs(BlankLine, Output);
    std::fputs(BorderLine, Output);
}

void CConsoleMenu::DrawTitleLine()
{
    const int32_t length = static_cast<int32_t>(Title.size());
    const int32_t margin = TitleCentre - length / 2;
    const std::string spaces(margin > 0 ? static_cast<size_t>(margin) : 0, ' ');
    std::string line = "-" + spaces + Title + spaces;
    if (length % 2 == 0)
        line += ' ';
    line += "-\n";
    std::fputs(line.c_str(), Output);
}

void CConsoleMenu::DrawItemLine(int32_t index)
{
    const std::string& text = Items[static_cast<size_t>(index)].Text;
    const int32_t fillLength = ItemTextWidth - static_cast<int32_t>(text.size());
    // The fill alternates from item to item, starting with dots.
    const char fill = index % 2 == 0 ? '.' : ' ';
    std::string line = "-    " + text;
    if (fillLength > 0)
        line.append(static_cast<size_t>(fillLength), fill);
    line += MenuKey(index);
    line += "   -\n";
    std::fputs(line.c_str(), Output);
}

bool CConsoleMenu::ReadLine(char (&line)[MENU_MAX_TEXT_LENGTH + 1])
{
    size_t length = 0;
    bool anyRead = false;
    int c;
    // Characters beyond the buffer are dropped up to the new line, so that the rest of a long
    // line is not taken as further selections.
    while ((c = std::fgetc(Input)) != EOF)
    {
        anyRead = true;
        if (c == '\n')
            break;
        if (length < MENU_MAX_TEXT_LENGTH)
            line[length++] = static_cast<char>(c);
    }
    line[length] = '\0';
    return anyRead;
}

bool CConsoleMenu::RunChoice(int32_t index)
{
    MenuItem& item = Items[static_cast<size_t>(index)];
    if (item.Submenu)
        return item.Submenu->Select() != MENU_INPUT_ENDED;
    item.Action();
    return true;
}

int32_t CConsoleMenu::Select()
{
    char line[MENU_MAX_TEXT_LENGTH + 1];
    for (;;)
    {
        Draw();
        std::fputs("\nSelect option:> ", Output);
        // The prompt must show on a terminal before the read waits.
        std::fflush(Output);
        if (!ReadLine(line))
            return MENU_INPUT_ENDED;
        if (std::strlen(line) != 1)
        {
            std::fprintf(Output, "\nBad selection : '%s'\n", line);
            continue;
        }
        const char key = line[0];
        const int32_t index = ItemIndexOfKey(key);
        if (index >= 0 && index < GetItemCount())
        {
            const MenuItem& item = Items[static_cast<size_t>(index)];
            if (!item.Submenu && !item.Action)
                return static_cast<int32_t>(item.Id);
            if (!RunChoice(index))
                return MENU_INPUT_ENDED;
            if (ReturnAfterChoice)
                return NoExit ? MENU_DONE : index;
            continue;
        }
        if (key == 'Q' && !NoExit)
            return ReturnAfterChoice ? MENU_DONE : MENU_QUIT;
        std::fputs("\nBad selection\n", Output);
    }
}

} // namespace Corvane::Common
