#pragma once

#include "BoardMemory.h"

#include <cstdint>

namespace Corvane::Common
{

// The board's I2C buses as the microcontroller reaches them: every chip address of every bus
// answers with 256 registers; a device that was never written reads zeros. At chip address 0x6B
// of every bus sits the elapsed-time counter, whose registers obey its write protections.
uint8_t ReadI2cRegister(const BoardMemory& memory, I2cAddress where, uint8_t reg);
void WriteI2cRegister(BoardMemory& memory, I2cAddress where, uint8_t reg, uint8_t value);

// The elapsed-time counter's register 0: bit 4 reads 1 once its counters and alarm are
// write-protected, bit 5 once its user data is, bit 2 is the reset enable.
constexpr uint8_t ETC_CHIP = 0x6B;
constexpr uint8_t ETC_COUNTERS_PROTECTED = 0x10;
constexpr uint8_t ETC_USER_DATA_PROTECTED = 0x20;
constexpr uint8_t ETC_RESET_ENABLE = 0x04;

} // namespace Corvane::Common
