#pragma once

#include <cstdint>
#include <vector>

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

// The pages that a write of a range touched, from the first one's flash address on: what they are
// meant to hold, and what the flash holds (read before the write, and read back where a page was
// written).
struct FlashPages
{
    uint32_t Address = 0;
    std::vector<uint8_t> Intended;
    std::vector<uint8_t> Held;
    uint32_t Written = 0;
    uint32_t Unchanged = 0;
};

// Reads the pages the range touches, writes only those that do not already hold what they should
// (the rest of a page the range covers in part stays as it was), then reads the written ones back.
// The boot loader's answer to a page write says nothing, so only the read-back tells whether a
// page took; comparing Intended with Held is the caller's. False when the boot loader stopped or
// an interruption came; the messages said so.
bool WriteFlashRange(uint32_t address, const uint8_t* data, uint32_t size, FlashPages& pages);

} // namespace Corvane::Common
