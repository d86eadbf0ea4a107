#include "I2cDevices.h"

#include <algorithm>

namespace Corvane::Common
{

namespace
{

// The elapsed-time counter's register map.
const uint8_t ConfigurationRegister = 0;
const uint8_t FirstCounterRegister = 1; // alarm threshold 1-4, elapsed time 5-8, events 9-10
const uint8_t FirstTimeRegister = 5;
const uint8_t LastCounterRegister = 10;
const uint8_t FirstUserRegister = 11;
const uint8_t LastUserRegister = 28;
const uint8_t ResetRegister = 29;
const uint8_t CounterProtectRegister = 30;
const uint8_t UserDataProtectRegister = 31;
const uint8_t ResetCommand = 0x55;
const uint8_t CounterProtectCommand = 0xAA;
const uint8_t UserDataProtectCommand = 0xF0;
const uint8_t ProtectionFlags = ETC_COUNTERS_PROTECTED | ETC_USER_DATA_PROTECTED;

bool IsCounter(I2cAddress where)
{
    return where.Chip == ETC_CHIP;
}

bool Within(uint8_t reg, uint8_t first, uint8_t last)
{
    return reg >= first && reg <= last;
}

// A command byte acts when the same register gets it twice in succession.
bool SecondTime(const I2cDeviceState& device, uint8_t reg, uint8_t value, uint8_t command)
{
    return value == command && device.LastRegister == reg && device.LastValue == command;
}

void WriteCounterRegister(I2cDeviceState& device, uint8_t reg, uint8_t value)
{
    if (Within(reg, FirstCounterRegister, LastCounterRegister))
    {
        if ((device.Flags & ETC_COUNTERS_PROTECTED) == 0)
            device.Registers[reg] = value;
    }
    else if (Within(reg, FirstUserRegister, LastUserRegister))
    {
        if ((device.Flags & ETC_USER_DATA_PROTECTED) == 0)
            device.Registers[reg] = value;
    }
    else
        device.Registers[reg] = value;

    if (reg == UserDataProtectRegister && SecondTime(device, reg, value, UserDataProtectCommand))
        device.Flags |= ETC_USER_DATA_PROTECTED;
    if (reg == CounterProtectRegister && SecondTime(device, reg, value, CounterProtectCommand))
        device.Flags |= ETC_COUNTERS_PROTECTED;
    if (reg == ResetRegister && SecondTime(device, reg, value, ResetCommand) &&
        (device.Registers[ConfigurationRegister] & ETC_RESET_ENABLE) != 0)
    {
        // The reset clears the elapsed time and the events, and the reset enable with them.
        std::fill(device.Registers.begin() + FirstTimeRegister,
                  device.Registers.begin() + LastCounterRegister + 1, 0);
        device.Registers[ConfigurationRegister] &= static_cast<uint8_t>(~ETC_RESET_ENABLE);
    }
    // The protection flags in the configuration register are the device's own; only the other
    // bits take a write.
    device.Registers[ConfigurationRegister] = static_cast<uint8_t>(
        (device.Registers[ConfigurationRegister] & ~ProtectionFlags) | device.Flags);
    device.LastRegister = reg;
    device.LastValue = value;
}

} // namespace

uint8_t ReadI2cRegister(const BoardMemory& memory, I2cAddress where, uint8_t reg)
{
    const auto device = memory.Devices.find(where);
    return device == memory.Devices.end() ? 0 : device->second.Registers[reg];
}

void WriteI2cRegister(BoardMemory& memory, I2cAddress where, uint8_t reg, uint8_t value)
{
    I2cDeviceState& device = memory.Devices[where];
    if (IsCounter(where))
        WriteCounterRegister(device, reg, value);
    else
        device.Registers[reg] = value;
}

} // namespace Corvane::Common
