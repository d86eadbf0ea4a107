// The elapsed-time counter on the stand-in's I2C buses: its protections and its reset.
#include "sim/I2cDevices.h"

#include <gtest/gtest.h>

using namespace Corvane::Common;

namespace
{
const I2cAddress Counter{2, ETC_CHIP};

void WriteTwice(BoardMemory& memory, uint8_t reg, uint8_t value)
{
    WriteI2cRegister(memory, Counter, reg, value);
    WriteI2cRegister(memory, Counter, reg, value);
}
} // namespace

TEST(ElapsedTimeCounterDevice, ProtectionsNeedTheCommandTwiceInSuccession)
{
    BoardMemory memory;
    WriteI2cRegister(memory, Counter, 31, 0xF0);
    WriteI2cRegister(memory, Counter, 12, 0x01);
    WriteI2cRegister(memory, Counter, 31, 0xF0);
    EXPECT_EQ(ReadI2cRegister(memory, Counter, 0), 0) << "another write came between";

    WriteTwice(memory, 31, 0xF0);
    EXPECT_EQ(ReadI2cRegister(memory, Counter, 0), ETC_USER_DATA_PROTECTED);
    WriteI2cRegister(memory, Counter, 12, 0x77);
    WriteI2cRegister(memory, Counter, 28, 0x77);
    EXPECT_EQ(ReadI2cRegister(memory, Counter, 12), 0x01);
    EXPECT_EQ(ReadI2cRegister(memory, Counter, 28), 0x00);
    WriteI2cRegister(memory, Counter, 5, 0x42);
    EXPECT_EQ(ReadI2cRegister(memory, Counter, 5), 0x42) << "the counters are still open";

    WriteTwice(memory, 30, 0xAA);
    WriteI2cRegister(memory, Counter, 1, 0x99);
    WriteI2cRegister(memory, Counter, 10, 0x99);
    EXPECT_EQ(ReadI2cRegister(memory, Counter, 1), 0x00);
    EXPECT_EQ(ReadI2cRegister(memory, Counter, 10), 0x00);
    WriteI2cRegister(memory, Counter, 0, 0x00);
    EXPECT_EQ(ReadI2cRegister(memory, Counter, 0), ETC_USER_DATA_PROTECTED | ETC_COUNTERS_PROTECTED)
        << "a protection never clears";
    EXPECT_EQ(ReadI2cRegister(memory, I2cAddress{3, ETC_CHIP}, 0), 0)
        << "another bus, another device";
}

TEST(ElapsedTimeCounterDevice, ResetClearsTheCountersOnlyWhenEnabled)
{
    BoardMemory memory;
    WriteI2cRegister(memory, Counter, 5, 0x10);
    WriteI2cRegister(memory, Counter, 9, 0x20);
    WriteI2cRegister(memory, Counter, 11, 0x30);
    WriteTwice(memory, 29, 0x55);
    EXPECT_EQ(ReadI2cRegister(memory, Counter, 5), 0x10) << "reset not enabled";
    WriteTwice(memory, 30, 0xAA);
    WriteI2cRegister(memory, Counter, 0, ETC_RESET_ENABLE);
    WriteTwice(memory, 29, 0x55);
    EXPECT_EQ(ReadI2cRegister(memory, Counter, 5), 0x00);
    EXPECT_EQ(ReadI2cRegister(memory, Counter, 9), 0x00);
    EXPECT_EQ(ReadI2cRegister(memory, Counter, 11), 0x30) << "user data stays";
    EXPECT_EQ(ReadI2cRegister(memory, Counter, 0), ETC_COUNTERS_PROTECTED);
}

TEST(PlainI2cDevices, KeepWhatIsWrittenAtEveryOtherAddress)
{
    BoardMemory memory;
    const I2cAddress eeprom{0, 0x50};
    WriteTwice(memory, 31, 0xF0);
    WriteI2cRegister(memory, eeprom, 31, 0xF0);
    WriteI2cRegister(memory, eeprom, 31, 0xF0);
    WriteI2cRegister(memory, eeprom, 12, 0x5A);
    EXPECT_EQ(ReadI2cRegister(memory, eeprom, 12), 0x5A);
    EXPECT_EQ(ReadI2cRegister(memory, eeprom, 0), 0x00);
}
