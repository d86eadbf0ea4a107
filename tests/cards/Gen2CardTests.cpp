#include "CardTraceRecorder.h"
#include "SimHost.h"

#include "cards/BoardLibraries.h"
#include "cards/CTVX2Card.h"

#include <gtest/gtest.h>

#include <cwchar>

using namespace Corvane::Common;

namespace
{

std::string Gen2Card(uint32_t cardType, const std::string& extraLines = "")
{
    return "[gen2]\nindex = 0\nserial = 2000\nfpga_type = 98\nclocks = 1\ncard_type = " +
           std::to_string(cardType) + "\n" + extraLines + "\n";
}

const std::vector<uint32_t> EarlySequence = {0x00034080, 0x00031603, 0x00034001, 0x00040000};
const std::vector<uint32_t> LateSequence = {0x132D4080, 0x032D1603, 0x032D4001, 0x042D0000};

} // namespace

TEST(Gen2Card, ReportsItsIdentity)
{
    ASSERT_TRUE(SimHost::Configure(Gen2Card(5, "info_byte = 0x42\nbanks = 0x40000:64, 0:0")));
    CTVX2Card card(0);
    EXPECT_FALSE(Gen2LibraryMissing);
    EXPECT_TRUE(card.IsValid());
    EXPECT_NE(card.GetHandle(), 0u);
    EXPECT_EQ(card.GetSerialNumber(), 2000u);
    EXPECT_EQ(card.GetCardModel(), 5);
    EXPECT_STREQ(card.GetModelName(), "tvx2f");
    EXPECT_STREQ(card.GetFpgaName(), "4vlx40");
    EXPECT_EQ(std::wcscmp(card.GetFpgaNameW(), L"4vlx40"), 0);
    EXPECT_EQ(card.GetCardInfoByte(), 0x42);
    ASSERT_NE(card.GetCardInfo(), nullptr);
    EXPECT_EQ(card.GetCardInfo()[TVX2_CARD_INFO_CARD_TYPE], 5);
    EXPECT_EQ(card.GetBankSize(0), 0x40000u * 64 / 8);
    EXPECT_EQ(card.GetBankSize(1), 0u);
    EXPECT_EQ(card.AsGen2Card(), &card);
    EXPECT_EQ(card.AsGen3Card(), nullptr);
}

TEST(Gen2Card, ModelNumbersAndUnknownFpgaCodes)
{
    struct CCase
    {
        uint32_t CardType;
        uint32_t FpgaType;
        int Model;
        const char* FpgaName;
    };
    const CCase cases[] = {{22, 14, 23, "unknown"},
                           {23, 157, 24, "unknown"},
                           {30, 156, 24, "5vfx70t"},
                           {21, 103, 21, "4vlx80"}};
    std::string text;
    for (uint32_t i = 0; i < std::size(cases); ++i)
        text += "[gen2]\nindex = " + std::to_string(i) +
                "\ncard_type = " + std::to_string(cases[i].CardType) +
                "\nfpga_type = " + std::to_string(cases[i].FpgaType) + "\n";
    ASSERT_TRUE(SimHost::Configure(text));
    for (uint32_t i = 0; i < std::size(cases); ++i)
    {
        CTVX2Card card(i);
        EXPECT_EQ(card.GetCardModel(), cases[i].Model) << cases[i].CardType;
        EXPECT_STREQ(card.GetFpgaName(), cases[i].FpgaName) << cases[i].FpgaType;
    }
}

TEST(Gen2Card, ConstructionInitialisesTheControlSpaceByCardType)
{
    ASSERT_TRUE(SimHost::Configure(Gen2Card(12)));
    {
        CTVX2Card card(0);
        EXPECT_EQ(SimHost::ControlWords2(0), EarlySequence);
        EXPECT_EQ(SimHost::Count2(0, "control_word0_reads"), 0u);
        EXPECT_EQ(SimHost::Count2(0, "control_command_reads"), 0u);
    }
    ASSERT_TRUE(SimHost::Configure(Gen2Card(9)));
    {
        CTVX2Card card(0);
        EXPECT_EQ(SimHost::ControlWords2(0), EarlySequence);
        EXPECT_EQ(SimHost::Count2(0, "control_word0_reads"), 1u);
    }
    for (uint32_t cardType : {13u, 16u, 19u})
    {
        ASSERT_TRUE(SimHost::Configure(Gen2Card(cardType, "control_busy_reads = 1")));
        CTVX2Card card(0);
        EXPECT_EQ(SimHost::ControlWords2(0), LateSequence) << cardType;
        EXPECT_EQ(SimHost::Count2(0, "control_word0_reads"), 0u);
        EXPECT_EQ(SimHost::Count2(0, "control_command_reads"), 2u + 10u) << cardType;
    }
    // A controller still busy at the second read gets a third.
    ASSERT_TRUE(SimHost::Configure(Gen2Card(14, "control_busy_reads = 2")));
    {
        CTVX2Card card(0);
        EXPECT_EQ(SimHost::Count2(0, "control_command_reads"), 3u + 10u);
    }
    for (uint32_t cardType : {8u, 17u, 18u, 20u})
    {
        ASSERT_TRUE(SimHost::Configure(Gen2Card(cardType)));
        CTVX2Card card(0);
        EXPECT_TRUE(SimHost::ControlWords2(0).empty()) << cardType;
        EXPECT_EQ(SimHost::Count2(0, "control_reads"), 0u) << cardType;
    }
}

TEST(Gen2Card, AFailingControlSpaceLeavesTheCardHeldWithoutClocks)
{
    ASSERT_TRUE(SimHost::Configure(Gen2Card(12, "fail = control_space")));
    CCardTraceRecorder trace;
    CTVX2Card card(0);
    EXPECT_TRUE(card.IsValid());
    EXPECT_TRUE(SimHost::ControlWords2(0).empty());
    EXPECT_FALSE(card.SetClockFrequency(0, 50.0));
    EXPECT_EQ(trace.Texts().size(), 1u);
    EXPECT_TRUE(card.Open(0, nullptr)); // the card itself still works
}

TEST(Gen2Card, AFailedCardInformationQueryKeepsTheCardHeldWithAZeroRecord)
{
    ASSERT_TRUE(SimHost::Configure(Gen2Card(12, "fail = card_info")));
    {
        CTVX2Card card(0);
        EXPECT_TRUE(card.IsValid());
        EXPECT_EQ(card.GetSerialNumber(), 0u);
        EXPECT_EQ(card.GetCardModel(), 0);
        EXPECT_STREQ(card.GetFpgaName(), "unknown");
        EXPECT_TRUE(SimHost::ControlWords2(0).empty());
    }
    EXPECT_EQ(SimHost::Count2(0, "closes"), 1u);

    ASSERT_TRUE(SimHost::Configure(Gen2Card(12, "fail = open")));
    {
        CTVX2Card card(0);
        EXPECT_FALSE(card.IsValid());
        EXPECT_FALSE(card.Open(0, nullptr));
        EXPECT_EQ(card.GetSerialNumber(), 0u);
    }
    EXPECT_EQ(SimHost::Count2(0, "closes"), 0u);
}

TEST(Gen2Card, OpenConfiguresTheFpgaSpaceByFlagBitZero)
{
    ASSERT_TRUE(SimHost::Configure(Gen2Card(5)));
    {
        CTVX2Card card(0);
        EXPECT_EQ(card.ReadFpga(1), 0u); // nothing to read before Open
        ASSERT_TRUE(card.Open(0, nullptr));
        EXPECT_EQ(SimHost::SpaceConfig2(0, 0), 0x37u);
        EXPECT_NE(card.GetFpgaSpace(), nullptr);
    }
    CTVX2Card card(0);
    ASSERT_TRUE(card.Open(0x01 | 0x0E, nullptr));
    EXPECT_EQ(SimHost::SpaceConfig2(0, 0), 0x39u);
    EXPECT_TRUE(card.IsOpen());

    SimHost::Poke2(0, 0, 0x20, 0x0F0F0F0F);
    EXPECT_EQ(card.ReadFpga(8), 0x0F0F0F0Fu);
    card.SetFpgaBits(8, 0xF0000000);
    card.ClearFpgaBits(8, 0x0000000F);
    EXPECT_EQ(SimHost::Peek2(0, 0, 0x20), 0xFF0F0F00u);
    card.WriteFpga(9, 0x600DCAFE);
    EXPECT_EQ(SimHost::Peek2(0, 0, 0x24), 0x600DCAFEu);
}

TEST(Gen2Card, FailuresOnTheWayFailOpen)
{
    for (const char* failure : {"space_config", "fpga_space"})
    {
        ASSERT_TRUE(SimHost::Configure(Gen2Card(5, std::string("fail = ") + failure)));
        CCardTraceRecorder trace;
        CTVX2Card card(0);
        EXPECT_FALSE(card.Open(0, nullptr)) << failure;
        EXPECT_FALSE(card.IsOpen());
        EXPECT_EQ(card.GetFpgaSpace(), nullptr);
        EXPECT_EQ(trace.Texts().size(), 1u) << failure;
    }
}

TEST(Gen2Card, ClockRatesPerClock)
{
    ASSERT_TRUE(SimHost::Configure(Gen2Card(5)));
    CTVX2Card card(0);
    EXPECT_TRUE(card.SetClockFrequency(0, 66.0));
    EXPECT_FALSE(card.SetClockFrequency(1, 66.0)); // only one clock
    EXPECT_EQ(card.GetClockFrequency(0), 0.0);     // read back only once opened
    ASSERT_TRUE(card.Open(0, nullptr));
    EXPECT_NE(card.GetClockFrequency(0), 0.0);
}
