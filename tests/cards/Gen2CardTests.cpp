#include "CardTraceRecorder.h"
#include "SimHost.h"

#include "cards/BoardLibraries.h"
#include "cards/CTVX2Card.h"

#include <gtest/gtest.h>

#include <cwchar>

using namespace Corvane::Common;

namespace
{

std::string Card(uint32_t cardType, const std::string& extraLines = "")
{
    return "[gen2]\nindex = 0\nserial = 2000\nfpga_type = 98\nclocks = 1\ncard_type = " +
           std::to_string(cardType) + "\n" + extraLines + "\n";
}

const std::vector<uint32_t> EarlySequence = {0x00034080, 0x00031603, 0x00034001, 0x00040000};
const std::vector<uint32_t> LateSequence = {0x132D4080, 0x032D1603, 0x032D4001, 0x042D0000};

} // namespace

TEST(Gen2Card, ReportsItsIdentityAndReachesItsFpgaSpaceOnceOpen)
{
    ASSERT_TRUE(SimHost::Configure(Card(5, "banks = 0x40000:64, 0:0")));
    CTVX2Card card(0);
    EXPECT_TRUE(card.IsValid());
    EXPECT_EQ(card.GetSerialNumber(), 2000u);
    EXPECT_EQ(card.GetCardModel(), 5);
    EXPECT_STREQ(card.GetModelName(), "tvx2f");
    EXPECT_STREQ(card.GetFpgaName(), "4vlx40");
    EXPECT_EQ(std::wcscmp(card.GetFpgaNameW(), L"4vlx40"), 0);
    EXPECT_EQ(card.GetBankSize(0), 0x40000u * 64 / 8);
    EXPECT_EQ(card.GetBankSize(1), 0u);

    SimHost::Poke2(0, 0, 0x20, 0x0F0F0F0F);
    EXPECT_EQ(card.ReadFpga(8), 0u); // nothing to read before Open
    EXPECT_TRUE(card.SetClockFrequency(0, 66.0));
    EXPECT_FALSE(card.SetClockFrequency(1, 66.0)); // only one clock
    EXPECT_EQ(card.GetClockFrequency(0), 0.0);     // read back only once opened
    ASSERT_TRUE(card.Open(0, nullptr));
    EXPECT_NE(card.GetClockFrequency(0), 0.0);
    EXPECT_EQ(card.ReadFpga(8), 0x0F0F0F0Fu);
    card.SetFpgaBits(8, 0xF0000000);
    card.ClearFpgaBits(8, 0x0000000F);
    EXPECT_EQ(SimHost::Peek2(0, 0, 0x20), 0xFF0F0F00u);
}

TEST(Gen2Card, ConstructionInitialisesTheControlSpaceByCardType)
{
    struct CCase
    {
        uint32_t CardType;
        const char* Settings;
        const std::vector<uint32_t>* Words;
        uint64_t Word0Reads, CommandReads;
    };
    const std::vector<uint32_t> none;
    const CCase cases[] = {
        {12, "", &EarlySequence, 0, 0},
        {9, "", &EarlySequence, 1, 0},
        {13, "control_busy_reads = 1", &LateSequence, 0, 2 + 10},
        {19, "control_busy_reads = 1", &LateSequence, 0, 2 + 10},
        {16, "control_busy_reads = 2", &LateSequence, 0, 3 + 10}, // busy at the second read
        {17, "", &none, 0, 0},
        {20, "", &none, 0, 0},
    };
    for (const CCase& c : cases)
    {
        ASSERT_TRUE(SimHost::Configure(Card(c.CardType, c.Settings)));
        CTVX2Card card(0);
        EXPECT_EQ(SimHost::ControlWords2(0), *c.Words) << c.CardType;
        EXPECT_EQ(SimHost::Count2(0, "control_word0_reads"), c.Word0Reads) << c.CardType;
        EXPECT_EQ(SimHost::Count2(0, "control_command_reads"), c.CommandReads) << c.CardType;
    }
}

TEST(Gen2Card, AHeldCardStaysHeldWhateverFailsLaterInConstruction)
{
    ASSERT_TRUE(SimHost::Configure(Card(12, "fail = control_space") +
                                   "[gen2]\nindex = 1\nserial = 5\ncard_type = 12\n"
                                   "fail = card_info\n"));
    CCardTraceRecorder trace;
    {
        CTVX2Card noControl(0);
        EXPECT_TRUE(noControl.IsValid());
        EXPECT_FALSE(noControl.SetClockFrequency(0, 50.0)); // construction did not complete
        EXPECT_TRUE(noControl.Open(0, nullptr));

        CTVX2Card noInformation(1);
        EXPECT_TRUE(noInformation.IsValid());
        EXPECT_EQ(noInformation.GetSerialNumber(), 0u);
        EXPECT_EQ(noInformation.GetCardModel(), 0);
        EXPECT_STREQ(noInformation.GetFpgaName(), "unknown");
        EXPECT_TRUE(SimHost::ControlWords2(1).empty());
    }
    EXPECT_EQ(SimHost::Count2(0, "closes"), 1u);
    EXPECT_EQ(SimHost::Count2(1, "closes"), 1u);
    EXPECT_EQ(trace.Texts().size(), 2u);

    ASSERT_TRUE(SimHost::Configure(Card(12, "fail = open")));
    {
        CTVX2Card card(0);
        EXPECT_FALSE(card.IsValid());
        EXPECT_FALSE(card.Open(0, nullptr));
    }
    EXPECT_EQ(SimHost::Count2(0, "closes"), 0u);
}

TEST(Gen2Card, OpenConfiguresTheFpgaSpaceByFlagBitZero)
{
    ASSERT_TRUE(SimHost::Configure(Card(5)));
    ASSERT_TRUE(CTVX2Card(0).Open(0, nullptr));
    EXPECT_EQ(SimHost::SpaceConfig2(0, 0), 0x37u);
    ASSERT_TRUE(CTVX2Card(0).Open(0x0F, nullptr));
    EXPECT_EQ(SimHost::SpaceConfig2(0, 0), 0x39u);
    ASSERT_TRUE(CTVX2Card(0).Open(0x0E, nullptr));
    EXPECT_EQ(SimHost::SpaceConfig2(0, 0), 0x37u);

    for (const char* failure : {"space_config", "fpga_space"})
    {
        ASSERT_TRUE(SimHost::Configure(Card(5, std::string("fail = ") + failure)));
        CCardTraceRecorder trace;
        CTVX2Card card(0);
        EXPECT_FALSE(card.Open(0, nullptr)) << failure;
        EXPECT_FALSE(card.IsOpen());
        EXPECT_EQ(card.GetFpgaSpace(), nullptr);
        EXPECT_EQ(trace.Texts().size(), 1u) << failure;
    }
}
