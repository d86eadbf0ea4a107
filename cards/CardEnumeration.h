#pragma once

#include <array>
#include <cstdint>

namespace Corvane::Common
{

// A card slot numbers every card the two libraries can hold: slots 0-14 are Gen 2 cards with
// library index 0-14, slots 15-29 are Gen 3 cards with library index slot - 15.
using CardSlot = uint32_t;
constexpr CardSlot CardSlotCount = 30;
constexpr CardSlot FirstGen3Slot = 15;

// One flag per slot, set by CountCards for every slot that holds a card; nothing clears them.
extern std::array<bool, CardSlotCount> CardPresent;

// Scans all Gen 2 slots, then all Gen 3 slots, flags each slot holding a card and returns the
// count.
int CountCards();

// Each query opens the slot's card for itself and closes it again before returning. The name
// queries return one process-wide buffer of 80 characters per kind that the next query of the same
// kind overwrites; slots from 30 up give 0 or null.
uint32_t GetSlotSerialNumber(CardSlot slot);
const char* GetSlotModelName(CardSlot slot);
const char* GetSlotFpgaName(CardSlot slot);

} // namespace Corvane::Common
