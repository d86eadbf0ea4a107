#pragma once

#include "EmulatedGen3Card.h"
#include "SimulatedHost.h"
#include "StateFile.h"

namespace Corvane::Common
{

// The simulated host as the Gen 3 library sees it. The calls that differ from Gen 2 are here,
// with the windows mapped through each handle.
class CGen3Host : public CSimulatedHost<CGen3Host, CEmulatedGen3Card>
{
public:
    TvxStatus OpenEx(uint32_t index, uint32_t inspectOnly, TvxHandle* handle);
    TvxStatus MapWindow(TvxHandle handle, uint32_t window, uint64_t offset, uint64_t length,
                        void** pointer);
    // The FPGA information record with the device name narrow (A) or wide (W).
    TvxStatus GetFpgaInfo(TvxHandle handle, uint8_t* record, bool wide);
    TvxStatus GetBankInfo(TvxHandle handle, uint8_t bank, uint8_t* record);
    TvxStatus UnmapWindow(TvxHandle handle, void* pointer);

private:
    friend class CSimulatedHost<CGen3Host, CEmulatedGen3Card>;
    CGen3Host();

    // The cards' memories go to the state file before a power cycle and at unload, and come back
    // from it after power-up.
    void BeforePowerDown();
    void AfterPowerUp();

    static constexpr CardInfoLayout CardInfo{TVX3_CARD_INFO_SIZE, TVX3_CARD_INFO_SERIAL,
                                             TVX3_CARD_INFO_CLOCK_COUNT, TVX3_CARD_INFO_BYTE};
    static void StoreCardDetails(const Gen3CardSettings& settings, uint8_t* record);

    // Open from power-up to the next power-down; the host is never destroyed, so the file is still
    // there when the library unloads.
    CStateFile State;
};

} // namespace Corvane::Common
