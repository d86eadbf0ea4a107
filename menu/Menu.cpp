#include "Menu.h"

#include <utility>

namespace Corvane::Common
{

namespace
{
// A text as an 80-character buffer would hold it: up to its first NUL, at most 79 characters.
std::string ToMenuText(std::string text)
{
    const size_t end = text.find('\0');
    if (end != std::string::npos)
        text.resize(end);
    if (text.size() > MENU_MAX_TEXT_LENGTH)
        text.resize(MENU_MAX_TEXT_LENGTH);
    return text;
}
} // namespace

AMenu::AMenu() : Title("Select a card to use")
{
    Items.reserve(MENU_MAX_ITEMS);
}

AMenu::~AMenu() = default;

bool AMenu::AddItem(std::string text, uint32_t id, MenuAction action,
                    std::unique_ptr<AMenu> submenu)
{
    if (GetItemCount() >= MENU_MAX_ITEMS)
        return false;
    MenuItem item;
    item.Text = ToMenuText(std::move(text));
    item.Id = id;
    item.Action = action;
    item.Submenu = std::move(submenu);
    Items.push_back(std::move(item));
    return true;
}

void AMenu::SetTitle(std::string title)
{
    Title = ToMenuText(std::move(title));
}

} // namespace Corvane::Common
