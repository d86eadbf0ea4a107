#pragma once

#include "EmulatedGen2Card.h"
#include "SimulatedHost.h"

namespace Corvane::Common
{

// The simulated host as the Gen 2 library sees it. The calls that differ from Gen 3 are here.
class CGen2Host : public CSimulatedHost<CGen2Host, CEmulatedGen2Card>
{
public:
    TvxStatus GetSpaceInfo(TvxHandle handle, uint32_t space, uint8_t* record);
    TvxStatus SetSpaceConfig(TvxHandle handle, uint32_t space, uint32_t config);
    TvxStatus GetBankInfo(TvxHandle handle, uint8_t bank, uint8_t* record);

private:
    friend class CSimulatedHost<CGen2Host, CEmulatedGen2Card>;
    CGen2Host();

    static constexpr CardInfoLayout CardInfo{TVX2_CARD_INFO_SIZE, TVX2_CARD_INFO_SERIAL,
                                             TVX2_CARD_INFO_CLOCK_COUNT, TVX2_CARD_INFO_BYTE};
    static void StoreCardDetails(const Gen2CardSettings& settings, uint8_t* record);
};

} // namespace Corvane::Common
