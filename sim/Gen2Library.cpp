// The Gen 2 stand-in library: the board-library functions and the inspection functions, each one
// taking the simulation mutex and handing over to the simulated host.

#include "FaultTrap.h"
#include "Gen2Host.h"
#include "SimQueries.h"
#include "SimStatus.h"
#include "TvxSimApi.h"
#include "TvxSimExport.h"
#include "cards/BoardLibraryApi.h"

#include <type_traits>

using namespace Corvane::Common;

namespace
{

using Guard = SimulationGuard;

CGen2Host& Host()
{
    return CGen2Host::Instance();
}

CEmulatedGen2Card* CardAt(uint32_t index)
{
    return Host().Card(index);
}

} // namespace

extern "C"
{

    TVXSIM_EXPORT TvxStatus TORVEX2_OpenCardByIndex(uint32_t index, TvxHandle* handle)
    {
        Guard guard(SimulationMutex());
        return Host().Open(index, handle);
    }

    TVXSIM_EXPORT TvxStatus TORVEX2_GetCardInfo(TvxHandle handle, uint8_t* record)
    {
        Guard guard(SimulationMutex());
        return Host().GetCardInfo(handle, record);
    }

    TVXSIM_EXPORT TvxStatus TORVEX2_GetSpaceInfo(TvxHandle handle, uint32_t space, uint8_t* record)
    {
        Guard guard(SimulationMutex());
        return Host().GetSpaceInfo(handle, space, record);
    }

    TVXSIM_EXPORT TvxStatus TORVEX2_SetSpaceConfig(TvxHandle handle, uint32_t space,
                                                   uint32_t config)
    {
        Guard guard(SimulationMutex());
        return Host().SetSpaceConfig(handle, space, config);
    }

    TVXSIM_EXPORT TvxStatus TORVEX2_ConfigureFromFile(TvxHandle handle, const char* path)
    {
        Guard guard(SimulationMutex());
        return Host().ConfigureFromFile(handle, path, 0);
    }

    TVXSIM_EXPORT TvxStatus TORVEX2_SetClockRate(TvxHandle handle, uint32_t clock, double frequency,
                                                 double* actual)
    {
        Guard guard(SimulationMutex());
        return Host().SetClock(handle, clock, frequency, actual);
    }

    TVXSIM_EXPORT TvxStatus TORVEX2_GetBankInfo(TvxHandle handle, uint8_t bank, uint8_t* record)
    {
        Guard guard(SimulationMutex());
        return Host().GetBankInfo(handle, bank, record);
    }

    TVXSIM_EXPORT TvxStatus TORVEX2_CloseCard(TvxHandle handle)
    {
        Guard guard(SimulationMutex());
        return Host().Close(handle);
    }

    TVXSIM_EXPORT const char* TORVEX2_GetStatusString(TvxStatus status)
    {
        return SimStatusText(status);
    }

    TVXSIM_EXPORT int TvxSim_Configure(const char* text)
    {
        return ConfigureHost<CGen2Host>(text);
    }

    TVXSIM_EXPORT const char* TvxSim_LastError(void)
    {
        return HostError<CGen2Host>();
    }

    TVXSIM_EXPORT uint64_t TvxSim2_Count(uint32_t index, const char* counter)
    {
        return CounterValue<CGen2Host>(index, counter);
    }

    TVXSIM_EXPORT uint32_t TvxSim2_ControlWords(uint32_t index, uint32_t* buffer, uint32_t capacity)
    {
        Guard guard(SimulationMutex());
        CEmulatedGen2Card* card = CardAt(index);
        return card == nullptr ? 0 : CopyOut(card->ControlWords(), buffer, capacity);
    }

    TVXSIM_EXPORT uint32_t TvxSim2_Peek(uint32_t index, uint32_t space, uint32_t byteOffset)
    {
        Guard guard(SimulationMutex());
        CEmulatedGen2Card* card = CardAt(index);
        return card == nullptr ? 0 : card->Peek(space, byteOffset);
    }

    TVXSIM_EXPORT void TvxSim2_Poke(uint32_t index, uint32_t space, uint32_t byteOffset,
                                    uint32_t value)
    {
        Guard guard(SimulationMutex());
        if (CEmulatedGen2Card* card = CardAt(index))
            card->Poke(space, byteOffset, value);
    }

    TVXSIM_EXPORT uint32_t TvxSim2_SpaceConfig(uint32_t index, uint32_t space)
    {
        Guard guard(SimulationMutex());
        CEmulatedGen2Card* card = CardAt(index);
        return card == nullptr || space > 1 ? 0 : card->SpaceConfigs[space];
    }

} // extern "C"

// The exported functions have exactly the types that the card layer and the tests declare.
#define TVXSIM_SAME_TYPE(function) static_assert(std::is_same_v<decltype(function), function##_t>)
TVXSIM_SAME_TYPE(TORVEX2_OpenCardByIndex);
TVXSIM_SAME_TYPE(TORVEX2_GetCardInfo);
TVXSIM_SAME_TYPE(TORVEX2_GetSpaceInfo);
TVXSIM_SAME_TYPE(TORVEX2_SetSpaceConfig);
TVXSIM_SAME_TYPE(TORVEX2_ConfigureFromFile);
TVXSIM_SAME_TYPE(TORVEX2_SetClockRate);
TVXSIM_SAME_TYPE(TORVEX2_GetBankInfo);
TVXSIM_SAME_TYPE(TORVEX2_CloseCard);
TVXSIM_SAME_TYPE(TORVEX2_GetStatusString);
TVXSIM_SAME_TYPE(TvxSim_Configure);
TVXSIM_SAME_TYPE(TvxSim_LastError);
TVXSIM_SAME_TYPE(TvxSim2_Count);
TVXSIM_SAME_TYPE(TvxSim2_ControlWords);
TVXSIM_SAME_TYPE(TvxSim2_Peek);
TVXSIM_SAME_TYPE(TvxSim2_Poke);
TVXSIM_SAME_TYPE(TvxSim2_SpaceConfig);
