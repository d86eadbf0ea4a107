#include "board/ElapsedTimeCounter.h"

#include <gtest/gtest.h>

using namespace Corvane::Common;

TEST(ElapsedTimeStamp, HoldsTheSerialNumberAndTheTimeInUtc)
{
    // 5 March 2026, 14:07:09 UTC.
    const std::time_t when = 1772719629;
    EXPECT_EQ(BuildEtcStamp(when, 1234), (EtcStamp{0xD2, 0x04, 0x00, 9, 7, 14, 5, 3, 0xEA, 0x07}));
    const EtcStamp wide = BuildEtcStamp(when, 0x12345678);
    EXPECT_EQ(wide[0], 0x78);
    EXPECT_EQ(wide[1], 0x56) << "only the low 16 bits of the serial number";
    EXPECT_EQ(wide[2], 0x00);
}
