// Command frames byte for byte.
#include "link/CommandFrames.h"

#include <gtest/gtest.h>

using namespace Corvane::Common;

TEST(CommandFrames, CarryTheirArgumentsAsLowBytesLittleEndian)
{
    EXPECT_EQ(VersionRequestFrame(), (CommandFrame{0x56, 0x4E, 0x3F}));
    EXPECT_EQ(BusSelectFrame(0x102), (CommandFrame{0x49, 0x53, 0x3F, 0x02}));
    EXPECT_EQ(LoopBackRequestFrame(), (CommandFrame{0x4C, 0x42, 0x3F}));
    EXPECT_EQ(I2cReadFrame(0x6B, 0x0B, 3), (CommandFrame{0x49, 0x52, 0x3F, 0x6B, 0x0B, 0x03}));
    EXPECT_EQ(I2cReadFrame(0x16B, 0x10B, 0x103), I2cReadFrame(0x6B, 0x0B, 3));
    EXPECT_EQ(GetFrequencyFrame(0), (CommandFrame{0x47, 0x46, 0x3F, 0x00}));
    EXPECT_EQ(SetFrequencyFrame(2, 100000000),
              (CommandFrame{0x53, 0x46, 0x3F, 0x02, 0x00, 0xE1, 0xF5, 0x05}));
}

TEST(CommandFrames, AnI2cWriteIsAlwaysFourteenBytes)
{
    const uint8_t data[8] = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x18};
    EXPECT_EQ(I2cWriteFrame(0x50, 0x10, 1, data),
              (CommandFrame{0x49, 0x57, 0x3F, 0x50, 0x10, 0x01, 0xA1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(I2cWriteFrame(0x50, 0x10, 3, data),
              (CommandFrame{0x49, 0x57, 0x3F, 0x50, 0x10, 0x03, 0xA1, 0xB2, 0xC3, 0, 0, 0, 0, 0}));
    const CommandFrame full = I2cWriteFrame(0x50, 0x10, 8, data);
    EXPECT_EQ(CommandFrame(full.begin() + 6, full.end()), CommandFrame(data, data + 8));
}

TEST(CommandFrames, TheSelfReconfigureOrderCarriesTheAccessCode)
{
    const CommandFrame frame = SelfReconfigureFrame();
    ASSERT_EQ(frame.size(), 11u);
    EXPECT_EQ(std::string(frame.begin(), frame.end()), "SD!Tz4@Lm9q");
}
