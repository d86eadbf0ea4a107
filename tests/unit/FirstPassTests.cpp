#include "app/FirstPass.h"

#include <gtest/gtest.h>

using namespace Corvane::Common;

TEST(ScanDecimal, ReadsLikeTheDecimalScanFormat)
{
    int32_t value = 7;
    EXPECT_FALSE(ScanDecimal("/am", value));
    EXPECT_EQ(value, 7);
    EXPECT_FALSE(ScanDecimal("", value));
    EXPECT_TRUE(ScanDecimal("  42abc", value));
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(ScanDecimal("-3", value));
    EXPECT_EQ(value, -3);
}

TEST(ScanDecimal, KeepsTheLow32BitsOfALargeSerialNumber)
{
    int32_t value = 0;
    EXPECT_TRUE(ScanDecimal("3000000000", value));
    EXPECT_EQ(static_cast<uint32_t>(value), 3000000000u);
}

TEST(FirstPass, ValueOfAnOptionIsNotExaminedAsAnOption)
{
    const char* argv[] = {"mistle", "/sn", "/am", "/fo"};
    const FirstPassResult result = RunFirstPass(4, argv);
    EXPECT_FALSE(result.ExitCode);
    EXPECT_TRUE(result.Options.SerialNumberGiven);
    EXPECT_EQ(result.Options.SerialNumber, 0);
    EXPECT_FALSE(result.Options.ApplicationModeCheck);
    EXPECT_TRUE(result.Options.ForceOpen);
}

TEST(FirstPass, LastRepeatedOptionCounts)
{
    const char* argv[] = {"mistle",     "/index", "2",          "/index", "5",
                          "/gen_gain1", "0x1",    "/gen_gain1", "0x2"};
    const FirstPassResult result = RunFirstPass(9, argv);
    EXPECT_EQ(result.Options.CardIndex, 5);
    EXPECT_EQ(result.Options.Gain1, 2u);
}
