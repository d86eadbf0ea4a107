#pragma once

#include "BoardMemory.h"

#include <cstdint>

namespace Corvane::Common
{

// The board's I2C buses as the microcontroller reaches them: every chip address of every bus
// answers with 256 registers; a device that was never written reads zeros.
uint8_t ReadI2cRegister(const BoardMemory& memory, I2cAddress where, uint8_t reg);
void WriteI2cRegister(BoardMemory& memory, I2cAddress where, uint8_t reg, uint8_t value);

} // namespace Corvane::Common
