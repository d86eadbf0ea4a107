#pragma once

// The read-modify-write of FPGA-space bits that both card classes share. Internal to the card
// layer. The read and the write are two separate accesses, each under the card's own rules.

#include "cards/ITVXCard.h"

namespace Corvane::Common
{

inline void SetFpgaWordBits(ITVXCard& card, uint32_t wordAddress, uint32_t mask)
{
    card.WriteFpga(wordAddress, card.ReadFpga(wordAddress) | mask);
}

inline void ClearFpgaWordBits(ITVXCard& card, uint32_t wordAddress, uint32_t mask)
{
    card.WriteFpga(wordAddress, card.ReadFpga(wordAddress) & ~mask);
}

} // namespace Corvane::Common
