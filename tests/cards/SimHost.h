#pragma once

// Reach into the stand-in board libraries: the same modules the card layer loaded, opened again
// by name, with the inspection functions the stand-in exports.

#include <cstdint>
#include <string>
#include <vector>

namespace Corvane::Common::SimHost
{

// Replaces the simulated host's cards (both generations) with this configuration text.
bool Configure(const std::string& text);

uint64_t Count3(uint32_t index, const char* counter);
uint32_t Peek3(uint32_t index, uint32_t window, uint32_t byteOffset);
void Poke3(uint32_t index, uint32_t window, uint32_t byteOffset, uint32_t value);
uint32_t LastWrite3(uint32_t index, uint32_t window, uint32_t byteOffset);
uint32_t PeekFpga3(uint32_t index, uint32_t byteAddress);
void PokeFpga3(uint32_t index, uint32_t byteAddress, uint32_t value);

uint64_t Count2(uint32_t index, const char* counter);
// The words written to the control command register of a Gen 2 card, in order.
std::vector<uint32_t> ControlWords2(uint32_t index);
// The last configuration word given for a space of a Gen 2 card; 0 before.
uint32_t SpaceConfig2(uint32_t index, uint32_t space);
uint32_t Peek2(uint32_t index, uint32_t space, uint32_t byteOffset);
void Poke2(uint32_t index, uint32_t space, uint32_t byteOffset, uint32_t value);

} // namespace Corvane::Common::SimHost
