#pragma once

// The stand-in board libraries' inspection functions (sim/TvxSimApi.h), for every test that runs
// against them. They are found by name in the modules loaded by file name, which are the modules
// the card layer holds. A missing library or function ends the test program with a message.

#include "cards/BoardLibraryApi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Corvane::Common::SimHost
{

// Replaces the simulated cards of both libraries with this configuration text.
bool Configure(const std::string& text);
// The last configuration error of the Gen 3 library; "" when there was none.
std::string LastError();

uint64_t Count3(uint32_t index, const char* counter);
void ClearCounters3(uint32_t index);
uint32_t Peek3(uint32_t index, uint32_t window, uint32_t byteOffset);
void Poke3(uint32_t index, uint32_t window, uint32_t byteOffset, uint32_t value);
uint32_t LastWrite3(uint32_t index, uint32_t window, uint32_t byteOffset);
std::vector<uint32_t> WriteLog3(uint32_t index, uint32_t window, uint32_t byteOffset);
uint32_t PeekFpga3(uint32_t index, uint32_t byteAddress);
void PokeFpga3(uint32_t index, uint32_t byteAddress, uint32_t value);
uint32_t LastConfigureFlags3(uint32_t index);
// The bytes the emulated microcontroller of a Gen 3 card took from the host, in order.
std::vector<uint8_t> McuReceived3(uint32_t index);

uint64_t Count2(uint32_t index, const char* counter);
std::vector<uint32_t> ControlWords2(uint32_t index); // words of the control command register
uint32_t SpaceConfig2(uint32_t index, uint32_t space);
uint32_t Peek2(uint32_t index, uint32_t space, uint32_t byteOffset);
void Poke2(uint32_t index, uint32_t space, uint32_t byteOffset, uint32_t value);

// A board-library function by name, for the stand-in's own tests, which call the libraries
// without the card layer: Gen3<TORVEX3_Close_t>("TORVEX3_Close").
void* Gen3Function(const char* name);
void* Gen2Function(const char* name);
template <typename Function> Function* Gen3(const char* name)
{
    return reinterpret_cast<Function*>(Gen3Function(name));
}
template <typename Function> Function* Gen2(const char* name)
{
    return reinterpret_cast<Function*>(Gen2Function(name));
}

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

// Opens and maps the Gen 3 card at index of the present configuration, or configures both
// libraries with the text first; an empty MappedCard (Handle 0) when any step fails.
MappedCard OpenAndMap(uint32_t index = 0);
MappedCard ConfigureAndMap(const std::string& configuration, uint32_t index = 0);

} // namespace Corvane::Common::SimHost
