#pragma once

// The stand-in board libraries' inspection functions, reached in the modules the card layer loaded.

#include <cstdint>
#include <string>
#include <vector>

namespace Corvane::Common::SimHost
{

// Replaces the simulated cards of both libraries with this configuration text.
bool Configure(const std::string& text);

uint64_t Count3(uint32_t index, const char* counter);
void Poke3(uint32_t index, uint32_t window, uint32_t byteOffset, uint32_t value);
uint32_t LastWrite3(uint32_t index, uint32_t window, uint32_t byteOffset);
std::vector<uint32_t> WriteLog3(uint32_t index, uint32_t window, uint32_t byteOffset);
uint32_t PeekFpga3(uint32_t index, uint32_t byteAddress);
void PokeFpga3(uint32_t index, uint32_t byteAddress, uint32_t value);
uint32_t LastConfigureFlags3(uint32_t index);

uint64_t Count2(uint32_t index, const char* counter);
std::vector<uint32_t> ControlWords2(uint32_t index); // words of the control command register
uint32_t SpaceConfig2(uint32_t index, uint32_t space);
uint32_t Peek2(uint32_t index, uint32_t space, uint32_t byteOffset);
void Poke2(uint32_t index, uint32_t space, uint32_t byteOffset, uint32_t value);

// The bytes the emulated microcontroller of a Gen 3 card took from the host, in order.
std::vector<uint8_t> McuReceived3(uint32_t index);

} // namespace Corvane::Common::SimHost
