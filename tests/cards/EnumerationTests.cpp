#include "SimHost.h"

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

    const uint32_t serials[][2] = {{0, 2000}, {14, 2014}, {15, 3000}, {29, 3014}, {1, 0}, {30, 0}};
    for (const auto& [slot, serial] : serials)
        EXPECT_EQ(GetSlotSerialNumber(slot), serial) << slot;
    EXPECT_EQ(GetSlotModelName(30), nullptr);
    EXPECT_EQ(GetSlotFpgaName(30), nullptr);

    EXPECT_STREQ(GetSlotModelName(0), "tvx2w");
    EXPECT_STREQ(GetSlotFpgaName(0), "4vlx40");
    EXPECT_STREQ(GetSlotFpgaName(14), "unknown");
    EXPECT_STREQ(GetSlotFpgaName(15), "qrs-7");
    const char* fpga = GetSlotFpgaName(29);
    EXPECT_STREQ(fpga, "qrs-8x");
    // One name for the codes 0x107 and 0x108, but two model numbers.
    EXPECT_STREQ(GetSlotModelName(15), "vexa7");
    EXPECT_EQ(GetSlotModelName(29), GetSlotModelName(15)); // one buffer, overwritten
    EXPECT_STREQ(GetSlotModelName(29), "vexa7");
    EXPECT_STREQ(fpga, "qrs-8x"); // the FPGA-name buffer is another one
    EXPECT_EQ(CTVX3Card(0, CardForInspection{}).GetCardModel(), 35);
    EXPECT_EQ(CTVX3Card(14, CardForInspection{}).GetCardModel(), 36);
    // Every query opened the card for itself and closed it again.
    EXPECT_EQ(SimHost::Count3(14, "opens"), SimHost::Count3(14, "closes"));
}

TEST(CardEnumeration, CardsThatCannotBeOpenedAreNotCounted)
{
    ASSERT_TRUE(SimHost::Configure(R"(
[gen2]
index = 3
fail = open
[gen2]
index = 4
serial = 2004
fail = card_info
[gen3]
index = 2
fail = open
[gen3]
index = 3
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
    for (CardSlot slot : {3u, 4u})
        EXPECT_EQ(GetSlotSerialNumber(slot), 0u) << slot;
    EXPECT_EQ(GetSlotSerialNumber(19), 3004u);
}
