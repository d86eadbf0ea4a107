#include "CardSelection.h"

#include "CardSlots.h"
#include "RunReport.h"

#include "board/BoardProfile.h"
#include "cards/CTVX3Card.h"
#include "cards/CardEnumeration.h"
#include "link/Mailbox.h"
#include "menu/ConsoleMenu.h"
#include "platform/Interruption.h"
#include "platform/Print.h"
#include "platform/ProcessLock.h"

#include <cstdio>
#include <new>

namespace Corvane::Common
{

namespace
{

std::string SlotDescription(CardSlot slot, uint32_t serialNumber)
{
    const char* model = GetSlotModelName(slot);
    const char* fpga = GetSlotFpgaName(slot);
    char description[80];
    std::snprintf(description, sizeof(description), "%s-%s S/N: %u", model ? model : "",
                  fpga ? fpga : "", serialNumber);
    return description;
}

struct Candidates
{
    CardSlot Last = 0;
    std::optional<CardSlot> Matched;
};

// Lists every present card whose model number makes it usable, in slot order, into the menu, and
// notes the highest slot matching the serial number or index asked for.
Candidates ListCandidates(const FirstPassOptions& options, CConsoleMenu& menu)
{
    Candidates found;
    for (CardSlot slot = 0; slot < CardSlotCount; ++slot)
    {
        if (!CardPresent[slot])
            continue;
        // Every slot query opens the card anew: the serial number is read once.
        const uint32_t serialNumber = GetSlotSerialNumber(slot);
        const std::string description = SlotDescription(slot, serialNumber);
        if (SlotModel(slot) <= LastGen2Model)
            continue;
        if (options.CardIndexGiven &&
            LibraryIndexOfSlot(slot) == static_cast<uint32_t>(options.CardIndex))
            found.Matched = slot;
        if (options.SerialNumberGiven &&
            serialNumber == static_cast<uint32_t>(options.SerialNumber))
            found.Matched = slot;
        menu.AddItem(description, slot);
        menu.SetNoExit(true);
        found.Last = slot;
    }
    return found;
}

// Two runs on one card would mix their bytes in its one mailbox: a run holds its card until it
// ends, and a second one waits this long for it.
const unsigned CardInUsePatienceMilliseconds = 3000;
CProcessLock CardInUse;

int Fail(const char* message)
{
    PrintText(message);
    return -1;
}

// Takes the card for the run; an exit code when another run holds it or its lock is not sound.
std::optional<int> TakeCard(CardSlot slot)
{
    const LockOutcome taken = CardInUse.Acquire(CardLockName(slot), CardInUsePatienceMilliseconds);
    switch (taken.Status)
    {
    case LockStatus::Held:
        return std::nullopt;
    case LockStatus::Busy:
        if (taken.Holder == 0)
            return Fail("\nThe selected card is in use by another run of the tool; try again once "
                        "it has ended.\n");
        Print("\nThe selected card is in use by another run of the tool (process %lu); try again "
              "once it has ended.\n",
              taken.Holder);
        return -1;
    case LockStatus::NotAPlainFile:
        // Someone may have planted a link there to make this run write another file.
        Print("\nThe card lock %s is a link or no plain file; the run is refused.\n",
              taken.Place.c_str());
        return -1;
    case LockStatus::CannotOpen:
        break;
    }
    Print("\nThe card lock %s cannot be created or opened; the run is refused.\n",
          taken.Place.c_str());
    return -1;
}

// Settles which slot to use; an exit code when the run ends instead.
struct Choice
{
    CardSlot Slot = 0;
    std::optional<int> ExitCode;
};

Choice ChooseSlot(const FirstPassOptions& options)
{
    Choice choice;
    CConsoleMenu menu;
    const Candidates candidates = ListCandidates(options, menu);
    if (menu.GetItemCount() == 0)
    {
        choice.ExitCode = Fail("\nNo Corvane cards that can be used with this application could "
                               "be found that are ready for use!\n");
        return choice;
    }
    if (options.SerialNumberGiven || options.CardIndexGiven)
    {
        if (!candidates.Matched)
            choice.ExitCode =
                Fail("\nCould not find card with specified serial number or index.\n");
        else
            choice.Slot = *candidates.Matched;
        return choice;
    }
    if (menu.GetItemCount() == 1)
    {
        choice.Slot = candidates.Last;
        return choice;
    }
    menu.SetReturnAfterChoice(true);
    const int32_t selected = menu.Select();
    if (selected == MENU_INPUT_ENDED)
    {
        // Without this the menu would be drawn again for ever on an input that has ended.
        choice.ExitCode = Fail(IsInterrupted() ? "\nInterrupted: no card was chosen.\n"
                                               : "\nNo card was chosen: standard input ended.\n");
        return choice;
    }
    choice.Slot = static_cast<CardSlot>(selected);
    return choice;
}

// The card a run works with, as "/list" names it.
void ReportCard(CardSlot slot, int modelNumber)
{
    nlohmann::ordered_json card;
    card["slot"] = slot;
    card["index"] = LibraryIndexOfSlot(slot);
    card["serial_number"] = GetSlotSerialNumber(slot);
    const char* model = GetSlotModelName(slot);
    card["model_name"] = model ? model : "";
    card["model_number"] = modelNumber;
    RunReport()["card"] = card;
}

} // namespace

std::optional<int> SelectAndOpenCard(const FirstPassOptions& options)
{
    if (CountCards() == 0)
        return Fail("\nNo Corvane cards could be found that are ready for use!\n");

    const Choice choice = ChooseSlot(options);
    if (choice.ExitCode)
        return choice.ExitCode;
    // The model number is asked of the library once: the question makes a card object of its own.
    const int modelNumber = IsGen3Slot(choice.Slot) ? SlotModel(choice.Slot) : 0;
    if (modelNumber <= LastGen2Model)
        return Fail("\nError! Selected card appears to be a Gen 2 FPGA card (not supported.)\n");

    ReportCard(choice.Slot, modelNumber);
    if (const std::optional<int> refused = TakeCard(choice.Slot))
        return refused;
    CurrentCard.reset(new (std::nothrow) CTVX3Card(LibraryIndexOfSlot(choice.Slot), CardForUse{}));
    if (!CurrentCard)
        return -1;

    if (!SelectBoardProfile(CurrentCard->GetCardModel()))
    {
        PrintText("\nWarning! Selected card not supported.\n");
        if (!options.ForceOpen)
            return -1;
        PrintText("\nForce open specified. Attempting to open unsupported card.\n");
    }

    // A card that cannot be opened is a failed run, and the user is told so.
    if (!CurrentCard->Open(0, nullptr))
        return Fail("\nError! The selected card could not be opened.\n");
    ConnectMailbox(CurrentCard->AsGen3Card());
    return std::nullopt;
}

} // namespace Corvane::Common
