#pragma once

#include "Menu.h"

#include <cstdio>

namespace Corvane::Common
{

// The console form of the menu: a framed box 79 columns wide on the output, one key per line
// read from the input. The streams are not owned.
class CConsoleMenu : public AMenu
{
public:
    CConsoleMenu() : CConsoleMenu(stdin, stdout) {}
    CConsoleMenu(std::FILE* input, std::FILE* output) : Input(input), Output(output) {}

    int32_t Select() override;

    // Prints the box: title, items with their keys, the Exit/Back line unless NoExit is set.
    void Draw();

private:
    // Reads one line; keeps at most MENU_MAX_TEXT_LENGTH characters of it and drops the rest of
    // the line. False when the input ended or failed before any character of the line.
    bool ReadLine(char (&line)[MENU_MAX_TEXT_LENGTH + 1]);

    void DrawTitleLine();
    void DrawItemLine(int32_t index);

    // Runs the chosen item's sub-menu or action; false when a sub-menu saw the input end.
    bool RunChoice(int32_t index);

    std::FILE* Input;
    std::FILE* Output;
};

} // namespace Corvane::Common
