#pragma once

// The private record of a Gen 3 card. Internal to the card layer.

#include "cards/BoardLibraryFunctions.h"
#include "platform/Lock.h"

#include <cstdint>
#include <memory>

namespace Corvane::Common
{

struct TVX3CardData
{
    TVX3CardData(const CGen3Library& library, uint32_t index) : Library(library), Index(index) {}

    const CGen3Library& Library;
    uint32_t Index;
    volatile uint32_t* FpgaSpace = nullptr;      // window 0, one page of the FPGA space
    uint32_t FpgaPageBase = 0;                   // byte address of the page window 0 shows
    const uint32_t FpgaPageSize = 0x400000;      // also the length of the window-0 mapping
    volatile uint32_t* RegisterWindow = nullptr; // window 2, 512 registers
    volatile uint32_t* BridgeWindow = nullptr;   // window 3, 256 bytes
    TvxHandle Handle = 0;
    uint8_t CardInfo[TVX3_CARD_INFO_SIZE] = {};
    bool Opened = false;
    std::unique_ptr<double[]> ClockFrequencies; // one per clock generator; null if not held
    bool IndirectMode = false;
    bool LaneSelect = false;
    CLock Lock; // serialises the FPGA-space accesses
    uint8_t ProbeAddress = 0;
    bool ProbeEnabled = false;
    // Cleared when the page register refused a page: what window 0 shows is then unknown, so the
    // next access selects its page again instead of trusting FpgaPageBase.
    bool FpgaPageKnown = true;
};

} // namespace Corvane::Common
