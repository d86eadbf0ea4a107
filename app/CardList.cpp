#include "CardList.h"

#include "CardSlots.h"
#include "RunReport.h"
#include "board/BoardProfile.h"
#include "cards/CTVX3Card.h"
#include "link/Mailbox.h"
#include "platform/Print.h"
#include "platform/ProcessLock.h"

#include <optional>
#include <string>

namespace Corvane::Common
{

namespace
{

enum class CardSupport
{
    Usable,
    UnsupportedModel,
    Gen2,
};

enum class Program
{
    Unknown, // the card is held by another run or cannot be opened
    ApplicationFirmware,
    BootLoader,
};

struct ListedCard
{
    CardSlot Slot = 0;
    uint32_t SerialNumber = 0;
    std::string ModelName;
    std::string FpgaName;
    int ModelNumber = 0;
    CardSupport Support = CardSupport::Gen2;
    Program Runs = Program::Unknown;
    bool InUse = false;
    unsigned long Holder = 0; // the process of the run that holds it, 0 when unknown
};

const char* const SupportTexts[] = {"usable", "unsupported model", "Gen 2"};
const char* const SupportKeys[] = {"usable", "unsupported_model", "gen2"};
const char* const ProgramTexts[] = {"", "application firmware", "boot loader"};
const char* const ProgramKeys[] = {"", "application", "boot_loader"};

CardSupport SupportOf(int modelNumber)
{
    if (modelNumber <= LastGen2Model)
        return CardSupport::Gen2;
    return FindBoardProfile(modelNumber) ? CardSupport::Usable : CardSupport::UnsupportedModel;
}

// Which program the microcontroller runs, read from the mailbox of the card while this run holds
// it; a card that another run holds is not touched, since even a read of its mailbox is part of
// that run's conversation.
void LookAtMicrocontroller(ListedCard& card)
{
    CProcessLock lock;
    const LockOutcome taken = lock.Acquire(CardLockName(card.Slot), 0);
    if (taken.Status == LockStatus::Busy)
    {
        card.InUse = true;
        card.Holder = taken.Holder;
        return;
    }
    if (taken.Status != LockStatus::Held)
        return;
    CTVX3Card opened(LibraryIndexOfSlot(card.Slot), CardForUse{});
    if (!opened.Open(0, nullptr))
        return;
    const auto status = static_cast<uint16_t>(opened.ReadRegister(MAILBOX_REGISTER));
    card.Runs =
        (status & MAILBOX_SERVICE_MODE) != 0 ? Program::BootLoader : Program::ApplicationFirmware;
}

ListedCard LookAtSlot(CardSlot slot)
{
    ListedCard card;
    card.Slot = slot;
    card.SerialNumber = GetSlotSerialNumber(slot);
    const char* model = GetSlotModelName(slot);
    card.ModelName = model ? model : "";
    const char* fpga = GetSlotFpgaName(slot);
    card.FpgaName = fpga ? fpga : "";
    card.ModelNumber = SlotModel(slot);
    card.Support = IsGen3Slot(slot) ? SupportOf(card.ModelNumber) : CardSupport::Gen2;
    if (card.Support == CardSupport::Usable)
        LookAtMicrocontroller(card);
    return card;
}

void PrintCard(const ListedCard& card)
{
    Print("\nslot %u: Gen %u index %u, S/N: %u, %s-%s, model %d, %s", card.Slot,
          IsGen3Slot(card.Slot) ? 3u : 2u, LibraryIndexOfSlot(card.Slot), card.SerialNumber,
          card.ModelName.c_str(), card.FpgaName.c_str(), card.ModelNumber,
          SupportTexts[static_cast<int>(card.Support)]);
    if (card.InUse && card.Holder != 0)
        Print(", in use by process %lu", card.Holder);
    else if (card.InUse)
        PrintText(", in use by another run");
    else if (card.Runs != Program::Unknown)
        Print(", %s", ProgramTexts[static_cast<int>(card.Runs)]);
    else if (card.Support == CardSupport::Usable)
        PrintText(", cannot be opened");
}

nlohmann::ordered_json CardDocument(const ListedCard& card)
{
    nlohmann::ordered_json entry;
    entry["slot"] = card.Slot;
    entry["generation"] = IsGen3Slot(card.Slot) ? 3 : 2;
    entry["index"] = LibraryIndexOfSlot(card.Slot);
    entry["serial_number"] = card.SerialNumber;
    entry["model_name"] = card.ModelName;
    entry["fpga_name"] = card.FpgaName;
    entry["model_number"] = card.ModelNumber;
    entry["support"] = SupportKeys[static_cast<int>(card.Support)];
    entry["program"] = card.Runs == Program::Unknown
                           ? nlohmann::ordered_json()
                           : nlohmann::ordered_json(ProgramKeys[static_cast<int>(card.Runs)]);
    entry["in_use"] = card.InUse;
    entry["held_by"] =
        card.Holder != 0 ? nlohmann::ordered_json(card.Holder) : nlohmann::ordered_json();
    return entry;
}

} // namespace

int ListCards()
{
    nlohmann::ordered_json& report = RunReport();
    report["command"] = "list";
    report["cards"] = nlohmann::ordered_json::array();
    if (CountCards() == 0)
    {
        PrintText("\nNo Corvane cards could be found that are ready for use!\n");
        return -1;
    }
    for (CardSlot slot = 0; slot < CardSlotCount; ++slot)
    {
        if (!CardPresent[slot])
            continue;
        const ListedCard card = LookAtSlot(slot);
        PrintCard(card);
        report["cards"].push_back(CardDocument(card));
    }
    PrintText("\n");
    return 0;
}

} // namespace Corvane::Common
