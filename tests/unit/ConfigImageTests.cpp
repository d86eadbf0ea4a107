#include "app/ConfigImage.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace Corvane::Common;

namespace
{
uint8_t ByteSum(const ConfigImage& image)
{
    return static_cast<uint8_t>(std::accumulate(image.begin(), image.end(), 0u));
}
} // namespace

TEST(ConfigImage, DefaultGains)
{
    const ConfigImage image = BuildConfigImage(0x8000, 0x8000);
    const uint8_t head[] = {0x00, 0x01, 0x00, 0x80, 0x00, 0x80};
    for (size_t i = 0; i < sizeof(head); ++i)
        EXPECT_EQ(image[i], head[i]) << "byte " << i;
    for (size_t i = 6; i < 255; ++i)
        ASSERT_EQ(image[i], 0) << "byte " << i;
    EXPECT_EQ(image[255], 0xFF);
}

TEST(ConfigImage, GainsAreLittleEndianAndOnlyTheirLow16BitsCount)
{
    const ConfigImage image = BuildConfigImage(0xFFFF1234, 0xABCD);
    EXPECT_EQ(image[2], 0x34);
    EXPECT_EQ(image[3], 0x12);
    EXPECT_EQ(image[4], 0xCD);
    EXPECT_EQ(image[5], 0xAB);
    EXPECT_EQ(image[255], 0x41);
    EXPECT_EQ(BuildConfigImage(0xFFFF, 0xFFFF)[255], 0x03);
}

TEST(ConfigImage, EveryImageSumsToZero)
{
    for (uint32_t gain0 : {0u, 1u, 0x7Fu, 0x8000u, 0xFFFFu, 0x1234u})
        for (uint32_t gain1 : {0u, 0x80u, 0xFFu, 0xABCDu, 0xFFFFu})
            EXPECT_EQ(ByteSum(BuildConfigImage(gain0, gain1)), 0) << gain0 << " " << gain1;
}
