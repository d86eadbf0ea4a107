#pragma once

#include <cstdint>

namespace Corvane::Common
{

// The boot loader's page protocol over the mailbox, on the flash that the card's board profile
// describes. Every wait for the boot loader is bounded: an operation that stops says where in one
// line and returns false. The page operations take page-aligned sizes and addresses; the range
// operations take any, reading back the pages they cover only in part.

// True when the board profile gives the flash's page size; otherwise says so in one line.
bool FlashLayoutIsKnown();

// Prints the boot loader's version.
bool ReadBootloaderVersion();
// The four numbers of the version that ReadBootloaderVersion read last; null before one is read.
const uint16_t* BootloaderVersionNumbers();

bool WriteFlashPages(uint32_t size, const uint8_t* data, uint32_t address);
bool ReadFlashPages(uint32_t size, uint8_t* buffer, uint32_t address);

bool ReadFlashRange(uint32_t address, uint8_t* destination, uint32_t size);
// Leaves the rest of every page it touches as it was.
bool WriteFlashRange(uint32_t address, const uint8_t* data, uint32_t size);

} // namespace Corvane::Common
