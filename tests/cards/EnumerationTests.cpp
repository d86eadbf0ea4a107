#include "SimHost.h"

#include "cards/CTVX2Card.h"
#include "cards/CTVX3Card.h"
#include "cards/CardEnumeration.h"

#include <gtest/gtest.h>

using namespace Corvane::Common;

namespace
{

// Gen 2 cards at library indices 0 and 14, Gen 3 cards at 0 and 14: the slots 0, 14, 15 and 29.
const char* const EdgeSlots = R"(
[gen2]
index = 0
serial = 2000
card_type = 22
fpga_type = 98
[gen2]
index = 14
serial = 2014
card_type = 5
fpga_type = 157
[gen3]
index = 0
serial = 3000
model = 0x107
fpga = QRS-7
[gen3]
index = 14
serial = 3014
model = 0x108
fpga = Qrs-8x
)";

} // namespace

TEST(CardEnumeration, SlotsNumberGen2ThenGen3Cards)
{
    ASSERT_TRUE(SimHost::Configure(EdgeSlots));
    EXPECT_EQ(CountCards(), 4);
    for (CardSlot slot : {0u, 14u, 15u, 29u})
        EXPECT_TRUE(CardPresent[slot]) << slot;

    EXPECT_EQ(GetSlotSerialNumber(0), 2000u);
    EXPECT_EQ(GetSlotSerialNumber(14), 2014u);
    EXPECT_EQ(GetSlotSerialNumber(15), 3000u);
    EXPECT_EQ(GetSlotSerialNumber(29), 3014u);
    EXPECT_EQ(GetSlotSerialNumber(1), 0u);
    EXPECT_EQ(GetSlotSerialNumber(30), 0u);
    EXPECT_EQ(GetSlotModelName(30), nullptr);
    EXPECT_EQ(GetSlotFpgaName(30), nullptr);

    EXPECT_STREQ(GetSlotModelName(0), "tvx2w");
    EXPECT_STREQ(GetSlotFpgaName(0), "4vlx40");
    EXPECT_STREQ(GetSlotFpgaName(14), "unknown");
    EXPECT_STREQ(GetSlotFpgaName(15), "qrs-7");
    EXPECT_STREQ(GetSlotFpgaName(29), "qrs-8x");
    // One board under two codes: one name, two model numbers.
    EXPECT_STREQ(GetSlotModelName(15), GetSlotModelName(29));
    EXPECT_EQ(CTVX3Card(0, CardForInspection{}).GetCardModel(), 35);
    EXPECT_EQ(CTVX3Card(14, CardForInspection{}).GetCardModel(), 36);
}

TEST(CardEnumeration, SlotTextsAreProcessWideBuffersPerKind)
{
    ASSERT_TRUE(SimHost::Configure(EdgeSlots));
    const char* model = GetSlotModelName(0);
    const char* fpga = GetSlotFpgaName(0);
    EXPECT_NE(model, fpga);
    EXPECT_EQ(GetSlotModelName(15), model);
    EXPECT_STREQ(fpga, "4vlx40"); // untouched by the model-name query
}

TEST(CardEnumeration, EveryQueryClosesItsCard)
{
    ASSERT_TRUE(SimHost::Configure(EdgeSlots));
    const uint64_t closes = SimHost::Count3(14, "closes");
    CountCards();
    GetSlotSerialNumber(29);
    GetSlotModelName(29);
    GetSlotFpgaName(29);
    EXPECT_EQ(SimHost::Count3(14, "closes"), closes + 4);
    EXPECT_EQ(SimHost::Count3(14, "opens"), SimHost::Count3(14, "closes"));
}

TEST(CardEnumeration, CardsThatCannotBeOpenedAreNotCounted)
{
    ASSERT_TRUE(SimHost::Configure(R"(
[gen2]
index = 3
serial = 2003
fail = open
[gen2]
index = 4
serial = 2004
fail = card_info
[gen3]
index = 2
serial = 3002
fail = open
[gen3]
index = 3
serial = 3003
fail = card_info
[gen3]
index = 4
serial = 3004
)"));
    // A Gen 2 card whose information cannot be read is still held, so it counts.
    EXPECT_EQ(CountCards(), 2);
    EXPECT_TRUE(CardPresent[4]);
    EXPECT_TRUE(CardPresent[19]);
    for (CardSlot slot : {3u, 17u, 18u})
        EXPECT_FALSE(CardPresent[slot]) << slot;
    EXPECT_EQ(GetSlotSerialNumber(3), 0u);
    EXPECT_EQ(GetSlotSerialNumber(4), 0u);
    EXPECT_EQ(GetSlotSerialNumber(17), 0u);
    EXPECT_EQ(GetSlotSerialNumber(18), 0u);
    EXPECT_EQ(GetSlotSerialNumber(19), 3004u);
}
