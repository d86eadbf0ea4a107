#pragma once

#include "cards/BoardLibraryApi.h"
#include "sim/TvxSimApi.h"

#include <cstdint>
#include <string>

namespace SimTest
{

// The Gen 3 stand-in library, loaded once per test program, with every function resolved.
struct Gen3Library
{
    TORVEX3_OpenEx_t* OpenEx;
    TORVEX3_GetCardInfo_t* GetCardInfo;
    TORVEX3_ConfigureFromFileA_t* ConfigureFromFileA;
    TORVEX3_MapWindow_t* MapWindow;
    TORVEX3_SetClockFrequency_t* SetClockFrequency;
    TORVEX3_GetFpgaInfoA_t* GetFpgaInfoA;
    TORVEX3_GetFpgaInfoW_t* GetFpgaInfoW;
    TORVEX3_GetBankInfo_t* GetBankInfo;
    TORVEX3_UnmapWindow_t* UnmapWindow;
    TORVEX3_Close_t* Close;
    TORVEX3_GetStatusStringA_t* GetStatusStringA;
    TvxSim_Configure_t* Configure;
    TvxSim_LastError_t* LastError;
    TvxSim3_Count_t* Count;
    TvxSim3_ClearCounters_t* ClearCounters;
    TvxSim3_Peek_t* Peek;
    TvxSim3_Poke_t* Poke;
    TvxSim3_LastWrite_t* LastWrite;
    TvxSim3_PeekFpga_t* PeekFpga;
    TvxSim3_PokeFpga_t* PokeFpga;
    TvxSim3_McuReceived_t* McuReceived;
    TvxSim3_McuSend_t* McuSend;
    TvxSim3_OpenHandles_t* OpenHandles;
    TvxSim3_LastConfigure_t* LastConfigure;
    TvxSim3_ClockFrequency_t* ClockFrequency;
};

struct Gen2Library
{
    TORVEX2_OpenCardByIndex_t* OpenCardByIndex;
    TORVEX2_GetCardInfo_t* GetCardInfo;
    TORVEX2_GetSpaceInfo_t* GetSpaceInfo;
    TORVEX2_SetSpaceConfig_t* SetSpaceConfig;
    TORVEX2_ConfigureFromFile_t* ConfigureFromFile;
    TORVEX2_SetClockRate_t* SetClockRate;
    TORVEX2_GetBankInfo_t* GetBankInfo;
    TORVEX2_CloseCard_t* CloseCard;
    TORVEX2_GetStatusString_t* GetStatusString;
    TvxSim_Configure_t* Configure;
    TvxSim_LastError_t* LastError;
    TvxSim2_Count_t* Count;
    TvxSim2_ControlWords_t* ControlWords;
    TvxSim2_Peek_t* Peek;
    TvxSim2_Poke_t* Poke;
    TvxSim2_SpaceConfig_t* SpaceConfig;
    TvxSim2_LastConfigure_t* LastConfigure;
    TvxSim2_OpenHandles_t* OpenHandles;
    TvxSim2_ClockFrequency_t* ClockFrequency;
};

// Null when the library cannot be loaded or lacks a function.
const Gen3Library* LoadGen3();
const Gen2Library* LoadGen2();

// A Gen 3 card opened for use with its three windows mapped as the card layer maps them.
struct MappedCard
{
    TvxHandle Handle = 0;
    uint8_t* Fpga = nullptr;
    uint8_t* Registers = nullptr;
    uint8_t* Bridge = nullptr;

    volatile uint32_t& Register(uint32_t index) const
    {
        return reinterpret_cast<volatile uint32_t*>(Registers)[index];
    }
    volatile uint32_t& BridgeWord(uint32_t byteOffset) const
    {
        return *reinterpret_cast<volatile uint32_t*>(Bridge + byteOffset);
    }
    volatile uint32_t& FpgaWord(uint32_t byteOffset) const
    {
        return *reinterpret_cast<volatile uint32_t*>(Fpga + byteOffset);
    }
};

// Configures the Gen 3 library with the text and opens and maps the card at index; an empty
// MappedCard (Handle 0) when any step fails.
MappedCard ConfigureAndMap(const std::string& configuration, uint32_t index = 0);

// Reads a register and drops the value (the read itself is what counts).
inline void Discard(volatile uint32_t& word)
{
    const uint32_t value = word;
    (void)value;
}

constexpr uint32_t MAILBOX = 44;
constexpr uint32_t MAILBOX_BYTE = 0xB0;

} // namespace SimTest
