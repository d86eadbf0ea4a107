// The Gen 3 stand-in library: the board-library functions and the inspection functions, each one
// taking the simulation mutex and handing over to the simulated host.

#include "FaultTrap.h"
#include "Gen3Host.h"
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

CGen3Host& Host()
{
    return CGen3Host::Instance();
}

CEmulatedGen3Card* CardAt(uint32_t index)
{
    return Host().Card(index);
}

} // namespace

extern "C"
{

    TVXSIM_EXPORT TvxStatus TORVEX3_OpenEx(uint32_t index, uint32_t inspectOnly, uint32_t,
                                           TvxHandle* handle)
    {
        Guard guard(SimulationMutex());
        return Host().OpenEx(index, inspectOnly, handle);
    }

    TVXSIM_EXPORT TvxStatus TORVEX3_GetCardInfo(TvxHandle handle, uint8_t* record)
    {
        Guard guard(SimulationMutex());
        return Host().GetCardInfo(handle, record);
    }

    TVXSIM_EXPORT TvxStatus TORVEX3_ConfigureFromFileA(TvxHandle handle, uint32_t, uint32_t flags,
                                                       const char* path)
    {
        Guard guard(SimulationMutex());
        return Host().ConfigureFromFile(handle, path, flags);
    }

    TVXSIM_EXPORT TvxStatus TORVEX3_MapWindow(TvxHandle handle, uint32_t window, uint64_t offset,
                                              uint64_t length, void** pointer)
    {
        Guard guard(SimulationMutex());
        return Host().MapWindow(handle, window, offset, length, pointer);
    }

    TVXSIM_EXPORT TvxStatus TORVEX3_SetClockFrequency(TvxHandle handle, uint32_t clock, uint32_t,
                                                      double frequency, double* actual)
    {
        Guard guard(SimulationMutex());
        return Host().SetClock(handle, clock, frequency, actual);
    }

    TVXSIM_EXPORT TvxStatus TORVEX3_GetFpgaInfoA(TvxHandle handle, uint32_t, uint8_t* record)
    {
        Guard guard(SimulationMutex());
        return Host().GetFpgaInfo(handle, record, false);
    }

    TVXSIM_EXPORT TvxStatus TORVEX3_GetFpgaInfoW(TvxHandle handle, uint32_t, uint8_t* record)
    {
        Guard guard(SimulationMutex());
        return Host().GetFpgaInfo(handle, record, true);
    }

    TVXSIM_EXPORT TvxStatus TORVEX3_GetBankInfo(TvxHandle handle, uint8_t bank, uint8_t* record)
    {
        Guard guard(SimulationMutex());
        return Host().GetBankInfo(handle, bank, record);
    }

    TVXSIM_EXPORT TvxStatus TORVEX3_UnmapWindow(TvxHandle handle, void* pointer)
    {
        Guard guard(SimulationMutex());
        return Host().UnmapWindow(handle, pointer);
    }

    TVXSIM_EXPORT TvxStatus TORVEX3_Close(TvxHandle handle)
    {
        Guard guard(SimulationMutex());
        return Host().Close(handle);
    }

    TVXSIM_EXPORT const char* TORVEX3_GetStatusStringA(TvxStatus status, uint32_t)
    {
        return SimStatusText(status);
    }

    TVXSIM_EXPORT int TvxSim_Configure(const char* text)
    {
        return ConfigureHost<CGen3Host>(text);
    }

    TVXSIM_EXPORT const char* TvxSim_LastError(void)
    {
        return HostError<CGen3Host>();
    }

    TVXSIM_EXPORT uint64_t TvxSim3_Count(uint32_t index, const char* counter)
    {
        return CounterValue<CGen3Host>(index, counter);
    }

    TVXSIM_EXPORT void TvxSim3_ClearCounters(uint32_t index)
    {
        ClearCardCounters<CGen3Host>(index);
    }

    TVXSIM_EXPORT uint32_t TvxSim3_Peek(uint32_t index, uint32_t window, uint32_t byteOffset)
    {
        Guard guard(SimulationMutex());
        CEmulatedGen3Card* card = CardAt(index);
        return card == nullptr ? 0 : card->Peek(window, byteOffset);
    }

    TVXSIM_EXPORT void TvxSim3_Poke(uint32_t index, uint32_t window, uint32_t byteOffset,
                                    uint32_t value)
    {
        Guard guard(SimulationMutex());
        if (CEmulatedGen3Card* card = CardAt(index))
            card->Poke(window, byteOffset, value);
    }

    TVXSIM_EXPORT uint32_t TvxSim3_LastWrite(uint32_t index, uint32_t window, uint32_t byteOffset)
    {
        Guard guard(SimulationMutex());
        CEmulatedGen3Card* card = CardAt(index);
        return card == nullptr ? 0 : card->LastWrite(window, byteOffset);
    }

    TVXSIM_EXPORT uint32_t TvxSim3_WriteLog(uint32_t index, uint32_t window, uint32_t byteOffset,
                                            uint32_t* values, uint32_t capacity)
    {
        Guard guard(SimulationMutex());
        CEmulatedGen3Card* card = CardAt(index);
        return card == nullptr ? 0 : CopyOut(card->WriteLog(window, byteOffset), values, capacity);
    }

    TVXSIM_EXPORT uint32_t TvxSim3_PeekFpga(uint32_t index, uint32_t byteAddress)
    {
        Guard guard(SimulationMutex());
        CEmulatedGen3Card* card = CardAt(index);
        return card == nullptr ? 0 : card->PeekFpga(byteAddress);
    }

    TVXSIM_EXPORT void TvxSim3_PokeFpga(uint32_t index, uint32_t byteAddress, uint32_t value)
    {
        Guard guard(SimulationMutex());
        if (CEmulatedGen3Card* card = CardAt(index))
            card->PokeFpga(byteAddress, value);
    }

    TVXSIM_EXPORT uint32_t TvxSim3_McuReceived(uint32_t index, uint8_t* buffer, uint32_t capacity)
    {
        Guard guard(SimulationMutex());
        CEmulatedGen3Card* card = CardAt(index);
        if (card == nullptr)
            return 0;
        return CopyOut(card->Microcontroller().ReceivedBytes(), buffer, capacity);
    }

    TVXSIM_EXPORT uint32_t TvxSim3_LastConfigure(uint32_t index, char* path, uint32_t capacity,
                                                 uint32_t* flags)
    {
        return LastConfiguration<CGen3Host>(index, path, capacity, flags);
    }

} // extern "C"

// The exported functions have exactly the types that the card layer and the tests declare.
#define TVXSIM_SAME_TYPE(function) static_assert(std::is_same_v<decltype(function), function##_t>)
TVXSIM_SAME_TYPE(TORVEX3_OpenEx);
TVXSIM_SAME_TYPE(TORVEX3_GetCardInfo);
TVXSIM_SAME_TYPE(TORVEX3_ConfigureFromFileA);
TVXSIM_SAME_TYPE(TORVEX3_MapWindow);
TVXSIM_SAME_TYPE(TORVEX3_SetClockFrequency);
TVXSIM_SAME_TYPE(TORVEX3_GetFpgaInfoA);
TVXSIM_SAME_TYPE(TORVEX3_GetFpgaInfoW);
TVXSIM_SAME_TYPE(TORVEX3_GetBankInfo);
TVXSIM_SAME_TYPE(TORVEX3_UnmapWindow);
TVXSIM_SAME_TYPE(TORVEX3_Close);
TVXSIM_SAME_TYPE(TORVEX3_GetStatusStringA);
TVXSIM_SAME_TYPE(TvxSim_Configure);
TVXSIM_SAME_TYPE(TvxSim_LastError);
TVXSIM_SAME_TYPE(TvxSim3_Count);
TVXSIM_SAME_TYPE(TvxSim3_ClearCounters);
TVXSIM_SAME_TYPE(TvxSim3_Peek);
TVXSIM_SAME_TYPE(TvxSim3_Poke);
TVXSIM_SAME_TYPE(TvxSim3_LastWrite);
TVXSIM_SAME_TYPE(TvxSim3_WriteLog);
TVXSIM_SAME_TYPE(TvxSim3_PeekFpga);
TVXSIM_SAME_TYPE(TvxSim3_PokeFpga);
TVXSIM_SAME_TYPE(TvxSim3_McuReceived);
TVXSIM_SAME_TYPE(TvxSim3_LastConfigure);
