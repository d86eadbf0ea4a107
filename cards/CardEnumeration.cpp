#include "cards/CardEnumeration.h"

#include "cards/CTVX2Card.h"
#include "cards/CTVX3Card.h"

#include <memory>

namespace Corvane::Common
{

std::array<bool, CardSlotCount> CardPresent{};

namespace
{

constexpr uint32_t CardsPerGeneration = 15;
constexpr size_t SlotTextLength = 80;

char SlotModelName[SlotTextLength];
char SlotFpgaName[SlotTextLength];

// A card object for one query of a slot below CardSlotCount; Gen 3 cards are only inspected.
std::unique_ptr<ITVXCard> MakeSlotCard(CardSlot slot)
{
    if (slot < FirstGen3Slot)
        return std::make_unique<CTVX2Card>(slot);
    return std::make_unique<CTVX3Card>(slot - FirstGen3Slot, CardForInspection{});
}

const char* CopySlotText(const char* text, char (&buffer)[SlotTextLength])
{
    size_t length = 0;
    while (text[length] != '\0' && length + 1 < SlotTextLength)
    {
        buffer[length] = text[length];
        ++length;
    }
    buffer[length] = '\0';
    return buffer;
}

int FlagPresentCard(ITVXCard&& card, CardSlot slot)
{
    if (!card.IsValid())
        return 0;
    CardPresent[slot] = true;
    return 1;
}

} // namespace

int CountCards()
{
    int count = 0;
    for (uint32_t index = 0; index < CardsPerGeneration; ++index)
        count += FlagPresentCard(CTVX2Card(index), index);
    for (uint32_t index = 0; index < CardsPerGeneration; ++index)
        count += FlagPresentCard(CTVX3Card(index, CardForInspection{}), index + FirstGen3Slot);
    return count;
}

uint32_t GetSlotSerialNumber(CardSlot slot)
{
    if (slot >= CardSlotCount)
        return 0;
    return MakeSlotCard(slot)->GetSerialNumber();
}

const char* GetSlotModelName(CardSlot slot)
{
    if (slot >= CardSlotCount)
        return nullptr;
    return CopySlotText(MakeSlotCard(slot)->GetModelName(), SlotModelName);
}

const char* GetSlotFpgaName(CardSlot slot)
{
    if (slot >= CardSlotCount)
        return nullptr;
    return CopySlotText(MakeSlotCard(slot)->GetFpgaName(), SlotFpgaName);
}

} // namespace Corvane::Common
