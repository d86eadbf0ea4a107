#pragma once

#include <cstdint>

namespace Corvane::Common
{

// Status codes of the stand-in libraries (0 = success); both generations share them.
enum SimStatus : uint32_t
{
    SIM_STATUS_SUCCESS = 0,
    SIM_STATUS_CARD_NOT_FOUND = 0xE0000001,
    SIM_STATUS_OPEN_FAILED = 0xE0000002,
    SIM_STATUS_INVALID_HANDLE = 0xE0000003,
    SIM_STATUS_INVALID_ARGUMENT = 0xE0000004,
    SIM_STATUS_CARD_INFO_FAILED = 0xE0000005,
    SIM_STATUS_MAP_FAILED = 0xE0000006,
    SIM_STATUS_NOT_MAPPED = 0xE0000007,
    SIM_STATUS_CONFIGURE_FAILED = 0xE0000008,
    SIM_STATUS_CLOCK_FAILED = 0xE0000009,
    SIM_STATUS_FPGA_INFO_FAILED = 0xE000000A,
    SIM_STATUS_BANK_INFO_FAILED = 0xE000000B,
    SIM_STATUS_NO_SUCH_BANK = 0xE000000C,
    SIM_STATUS_NO_SUCH_CLOCK = 0xE000000D,
    SIM_STATUS_CLOSE_FAILED = 0xE000000E,
    SIM_STATUS_SPACE_FAILED = 0xE000000F,
    SIM_STATUS_SPACE_CONFIG_FAILED = 0xE0000010,
    SIM_STATUS_OUT_OF_WINDOWS = 0xE0000011,
};

// The text of a status; "unknown status" for a code that is not ours.
const char* SimStatusText(uint32_t status);

} // namespace Corvane::Common
