#include "CardSlots.h"

#include "cards/CTVX2Card.h"
#include "cards/CTVX3Card.h"

namespace Corvane::Common
{

int SlotModel(CardSlot slot)
{
    if (IsGen3Slot(slot))
        return CTVX3Card(LibraryIndexOfSlot(slot), CardForInspection{}).GetCardModel();
    return CTVX2Card(slot).GetCardModel();
}

std::string CardLockName(CardSlot slot)
{
    return "mistle-card-gen3-" + std::to_string(LibraryIndexOfSlot(slot));
}

} // namespace Corvane::Common
