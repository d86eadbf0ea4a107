#pragma once

// The register map of a Gen 3 card that the card class uses. Internal to the card layer.
// Window 2 is addressed by 32-bit register index, window 3 by byte offset.

#include <cstdint>

namespace Corvane::Common::Gen3Registers
{

constexpr uint32_t FpgaWindow = 0;
constexpr uint32_t RegisterWindow = 2;
constexpr uint32_t BridgeWindow = 3;
constexpr uint64_t RegisterWindowLength = 0x800;
constexpr uint64_t BridgeWindowLength = 0x100;
constexpr uint32_t RegisterCount = 512;

// Window 2.
constexpr uint32_t IndirectCommand = 28; // command written, status read back
constexpr uint32_t IndirectWriteData = 29;
constexpr uint32_t IndirectReadData = 30;
constexpr uint32_t ProbeController = 256;

constexpr uint32_t IndirectEnable = 0x10000000; // written by Open in indirect mode
constexpr uint32_t IndirectReadCommand = 0x9F000000;
constexpr uint32_t IndirectWriteCommand = 0xDF000000;
constexpr uint32_t IndirectAddressMask = 0x00FFFFFF;
constexpr uint32_t IndirectReadComplete = 0xA0000000; // bits 29 and 31
constexpr uint32_t IndirectWriteComplete = 0x80000000;
constexpr float IndirectTimeLimitSeconds = 0.25f;

constexpr uint32_t ProbeIdle = 0x08000000;
constexpr uint32_t ProbeNoAnswer = 0x10000000;
constexpr uint32_t ProbeStart = 0x02800000; // with the bus address in bits 16-22
constexpr uint32_t ProbeRecover = 0x10800000;
constexpr uint32_t ProbeFirstBusAddress = 0x50;
constexpr uint8_t ProbeAddressCount = 8;

// Window 3.
constexpr uint32_t PageRegister = 0x20;
constexpr uint32_t LaneEnable = 0x24;
constexpr uint32_t BridgeStatus = 0x34;
constexpr uint32_t BridgeStatusError = 0x04000000;
constexpr uint32_t BridgeStatusClear = 0xFF000000;

// The byte lane a direct read enables, by word address mod 4.
constexpr uint32_t LaneMasks[4] = {0x000F0000, 0x00F00000, 0x0F000000, 0xF0000000};

} // namespace Corvane::Common::Gen3Registers
