#include "I2cDevices.h"

namespace Corvane::Common
{

uint8_t ReadI2cRegister(const BoardMemory& memory, I2cAddress where, uint8_t reg)
{
    const auto device = memory.Devices.find(where);
    return device == memory.Devices.end() ? 0 : device->second.Registers[reg];
}

void WriteI2cRegister(BoardMemory& memory, I2cAddress where, uint8_t reg, uint8_t value)
{
    memory.Devices[where].Registers[reg] = value;
}

} // namespace Corvane::Common
