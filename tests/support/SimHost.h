#pragma once

// The stand-in board libraries' inspection functions (sim/TvxSimApi.h), for every test that runs
// against them. They are found by name in the modules loaded by file name, which are the modules
// the card layer holds. A missing library or function ends the test program with a message.

#include "cards/BoardLibraryApi.h"
#include "sim/TvxSimApi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Corvane::Common::SimHost
{

enum class Library
{
    Gen2,
    Gen3
};
void* FindFunction(Library library, const char* name);

// An exported function of a stand-in library, looked up when it is called.
template <typename Function> struct CFunction
{
    Library Of;
    const char* Name;
    template <typename... Arguments> auto operator()(Arguments... arguments) const
    {
        return reinterpret_cast<Function*>(FindFunction(Of, Name))(arguments...);
    }
};

#define SIM_FUNCTION(library, name, function)                                                      \
    const CFunction<function##_t> name = {Library::library, #function}

// Replaces the simulated cards of both libraries with this configuration text.
bool Configure(const std::string& text);
// The last configuration error of the Gen 3 library; "" when there was none.
std::string LastError();

SIM_FUNCTION(Gen3, Count3, TvxSim3_Count);
SIM_FUNCTION(Gen3, ClearCounters3, TvxSim3_ClearCounters);
SIM_FUNCTION(Gen3, Peek3, TvxSim3_Peek);
SIM_FUNCTION(Gen3, Poke3, TvxSim3_Poke);
SIM_FUNCTION(Gen3, LastWrite3, TvxSim3_LastWrite);
SIM_FUNCTION(Gen3, PeekFpga3, TvxSim3_PeekFpga);
SIM_FUNCTION(Gen3, PokeFpga3, TvxSim3_PokeFpga);
std::vector<uint32_t> WriteLog3(uint32_t index, uint32_t window, uint32_t byteOffset);
uint32_t LastConfigureFlags3(uint32_t index);
// The bytes the emulated microcontroller of a Gen 3 card took from the host, in order.
std::vector<uint8_t> McuReceived3(uint32_t index);

SIM_FUNCTION(Gen2, Count2, TvxSim2_Count);
SIM_FUNCTION(Gen2, SpaceConfig2, TvxSim2_SpaceConfig);
SIM_FUNCTION(Gen2, Peek2, TvxSim2_Peek);
SIM_FUNCTION(Gen2, Poke2, TvxSim2_Poke);
std::vector<uint32_t> ControlWords2(uint32_t index); // words of the control command register

// A board-library function the stand-in's own tests call without the card layer.
SIM_FUNCTION(Gen3, UnmapWindow3, TORVEX3_UnmapWindow);

constexpr uint32_t MAILBOX = 44;
constexpr uint32_t MAILBOX_BYTE = 4 * MAILBOX;

// A Gen 3 card opened for use with its windows mapped as the card layer maps them.
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
    volatile uint32_t& FpgaWord(uint32_t byteOffset) const
    {
        return *reinterpret_cast<volatile uint32_t*>(Fpga + byteOffset);
    }
};

// Configures both libraries with the text, then opens and maps the Gen 3 card at index; an empty
// MappedCard (Handle 0) when any step fails.
MappedCard ConfigureAndMap(const std::string& configuration, uint32_t index = 0);

} // namespace Corvane::Common::SimHost
