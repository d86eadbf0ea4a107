#pragma once

#include "cards/CardEnumeration.h"

#include <cstdint>
#include <string>

namespace Corvane::Common
{

// A Gen 2 card reports a model number of at most this; Gen 3 cards report more.
constexpr int LastGen2Model = 25;

inline bool IsGen3Slot(CardSlot slot)
{
    return slot >= FirstGen3Slot && slot < CardSlotCount;
}

inline uint32_t LibraryIndexOfSlot(CardSlot slot)
{
    return IsGen3Slot(slot) ? slot - FirstGen3Slot : slot;
}

// The model number of the card in a slot, from a card object made for this question alone.
int SlotModel(CardSlot slot);

// The name of the lock that one run holds on a Gen 3 card for as long as it works with it.
std::string CardLockName(CardSlot slot);

} // namespace Corvane::Common
