#pragma once

#include <cstdint>
#include <string>

namespace Corvane::Common
{

// The microcontroller's I2C service on the bus selected last: one read or write of up to eight
// registers per command, and the file transfers built on them, one register per command. They
// need the receiver thread. Every wait for the answer is bounded: without one the operation says
// so in one line and returns false.

bool I2CRead(uint8_t count, uint8_t chip, uint8_t reg, uint8_t* destination);
bool I2CWrite(uint8_t count, uint8_t chip, uint8_t reg, const uint8_t* source);

// Reads size registers from startRegister on (wrapping at 256) into the file, which appears only
// when complete. False, and no file, when a register gives no answer or the file cannot be
// written.
bool I2CReadToFile(const std::string& path, uint8_t chip, uint32_t size, uint8_t startRegister);

// Writes the bytes of a file of at most 511 bytes to the registers from startRegister on. False
// when the file cannot be read or is too large (nothing is sent then), or a write is not
// acknowledged.
bool I2CWriteFromFile(const std::string& path, uint8_t chip, uint8_t startRegister);

} // namespace Corvane::Common
