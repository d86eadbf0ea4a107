#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Corvane::Common
{

// What an action item runs when it is chosen.
using MenuAction = void (*)();

// A menu has one key per item: "1"-"9", "0", "a"-"z".
constexpr int32_t MENU_MAX_ITEMS = 36;

// Texts are kept to what fits an 80-character buffer with its terminator.
constexpr size_t MENU_MAX_TEXT_LENGTH = 79;

// Select's answer to "Q" when ReturnAfterChoice is clear.
constexpr int32_t MENU_QUIT = 0;

// Select's answer, with ReturnAfterChoice set, to "Q" or to an action or sub-menu that ran in a
// menu with NoExit set.
constexpr int32_t MENU_DONE = 999;

// Select's answer when the input ended (or failed) before a choice was made. No other answer
// is negative as long as item ids stay below 0x80000000.
constexpr int32_t MENU_INPUT_ENDED = -1;

// A titled list of up to 36 items. An item is a plain choice (Select returns its id), an action
// (a function that Select calls) or a sub-menu (whose Select runs). The menu owns its texts and
// sub-menus.
class AMenu
{
public:
    AMenu();
    virtual ~AMenu();
    AMenu(const AMenu&) = delete;
    AMenu& operator=(const AMenu&) = delete;

    // Shows the menu until a choice is made. Returns:
    // - the item's id when a plain item (no action, no sub-menu) is chosen, whatever the flags;
    // - MENU_QUIT (0) when "Q" is entered, NoExit and ReturnAfterChoice clear;
    // - MENU_DONE (999) when ReturnAfterChoice is set and "Q" was entered (NoExit clear), or an
    // action or
    //   sub-menu ran while NoExit is set;
    // - the chosen item's index (from 0) when ReturnAfterChoice is set, NoExit is clear and the
    //   item's action or sub-menu has run;
    // - MENU_INPUT_ENDED when the input ended or failed while the menu waited for a line (also
    //   when a sub-menu reported that).
    virtual int32_t Select() = 0;

    // Adds an item after the last one; the text is cut to MENU_MAX_TEXT_LENGTH characters. An
    // item with a sub-menu runs the sub-menu (its action, if any, is not called). False, and
    // nothing added, when the menu already holds MENU_MAX_ITEMS items.
    bool AddItem(std::string text, uint32_t id, MenuAction action = nullptr,
                 std::unique_ptr<AMenu> submenu = nullptr);

    // The title is "Select a card to use" until it is changed; cut to MENU_MAX_TEXT_LENGTH.
    void SetTitle(std::string title);

    // Set: no Exit/Back line is drawn and "Q" is refused. Clear at construction.
    void SetNoExit(bool noExit) { NoExit = noExit; }
    // The quit line reads "Exit" (set) or "Back" (clear). Set at construction.
    void SetExitNotBack(bool exitNotBack) { ExitNotBack = exitNotBack; }
    // Set: Select returns after an action or sub-menu has run; clear: it shows the menu again.
    // Clear at construction.
    void SetReturnAfterChoice(bool returnAfterChoice) { ReturnAfterChoice = returnAfterChoice; }

    int32_t GetItemCount() const { return static_cast<int32_t>(Items.size()); }

protected:
    struct MenuItem
    {
        std::string Text;
        uint32_t Id = 0;
        MenuAction Action = nullptr;
        std::unique_ptr<AMenu> Submenu;
    };

    std::string Title;
    std::vector<MenuItem> Items;
    bool NoExit = false;
    bool ExitNotBack = true;
    bool ReturnAfterChoice = false;
};

} // namespace Corvane::Common
