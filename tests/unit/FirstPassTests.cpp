#include "app/FirstPass.h"

#include <gtest/gtest.h>

using namespace Corvane::Common;

TEST(ScanDecimal, ReadsLikeTheDecimalScanFormat)
{
    const struct
    {
        const char* Text;
        bool Read;
        int32_t Value;
    } cases[] = {
        {"/am", false, 7},
        {"", false, 7},
        {"  42abc", true, 42},
        {"-3", true, -3},
        {"3000000000", true, static_cast<int32_t>(3000000000u)}, // the low 32 bits of a serial
    };
    for (const auto& c : cases)
    {
        int32_t value = 7;
        EXPECT_EQ(ScanDecimal(c.Text, value), c.Read) << c.Text;
        EXPECT_EQ(value, c.Value) << c.Text;
    }
}

// A value that looks like an option is still the value, and of a repeated option the last counts.
TEST(FirstPass, ValuesAreNotExaminedAsOptionsAndTheLastRepeatedOptionCounts)
{
    const char* argv[] = {"mistle", "/index",     "2",   "/index",     "5",   "/gen_blob_v1_0",
                          "/am",    "/gen_gain1", "0x1", "/gen_gain1", "0x2", "/fo"};
    const FirstPassResult result = RunFirstPass(12, argv);
    EXPECT_FALSE(result.ExitCode);
    EXPECT_EQ(result.Options.ImageFileName, "/am");
    EXPECT_FALSE(result.Options.ApplicationModeCheck);
    EXPECT_TRUE(result.Options.ForceOpen);
    EXPECT_EQ(result.Options.CardIndex, 5);
    EXPECT_EQ(result.Options.Gain1, 2u);
}
