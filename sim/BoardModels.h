#pragma once

#include <array>
#include <cstdint>

namespace Corvane::Common
{

// The status record a board's firmware reports: 32 bytes for ST?, 64 for SX?.
using StatusRecordBytes = std::array<uint8_t, 64>;

// What the microcontroller of a board model is: its flash, the boot loader's page, and the
// status record its firmware reports while nothing is configured. The stand-in describes the
// hardware itself and does not take the tool's board tables.
struct McuModel
{
    uint32_t FlashSize;
    uint32_t PageSize;
    const StatusRecordBytes* DefaultStatus;
};

// The microcontroller of the card with this library model code; models the tool has no profile
// for get a 64 KiB flash with 256-byte pages.
const McuModel& FindMcuModel(uint32_t libraryModelCode);

} // namespace Corvane::Common
