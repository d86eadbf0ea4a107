#include "CardTraceRecorder.h"
#include "SimHost.h"

#include "cards/BoardLibraries.h"
#include "cards/CTVX3Card.h"
#include "platform/Time.h"

#include <gtest/gtest.h>

#include <cwchar>

using namespace Corvane::Common;

namespace
{

std::string Card(const std::string& extraLines = "")
{
    return "[gen3]\nindex = 0\nserial = 10001\nmodel = 0x10C\nfpga = CVX-410T\nclocks = 2\n"
           "info_byte = 0x11\nbanks = 0x100000:32, 0:0\n" +
           extraLines + "\n";
}

uint64_t PageWrites()
{
    return SimHost::Count3(0, "page_writes");
}

class CConfigSource : public IConfigSource
{
public:
    explicit CConfigSource(bool answer) : Answer(answer) {}
    bool ShouldConfigure(ITVXCard&) override { return Answer; }
    const char* GetConfigFile(ITVXCard&) override { return "image.bit"; }

private:
    bool Answer;
};

} // namespace

// The serial number, the model's name and the FPGA's name in small letters are what the card menu
// shows (test_card_selection.py); what no command shows is checked here.
TEST(Gen3Card, ReportsItsIdentity)
{
    ASSERT_TRUE(SimHost::Configure(Card() + "[gen3]\nindex = 1\nfpga = ABX-99Q\n"));
    CTVX3Card card(0, CardForInspection{});
    EXPECT_EQ(SimHost::Count3(0, "inspection_opens"), 1u);
    EXPECT_FALSE(card.IsOpen());
    EXPECT_EQ(card.GetBankSize(0), 0x100000u * 32 / 8);
    EXPECT_EQ(card.GetBankSize(1), 0u); // not fitted

    // Lower-cased into one buffer that every Gen 3 card's next query overwrites.
    const char* name = card.GetFpgaName();
    EXPECT_EQ(std::wcscmp(card.GetFpgaNameW(), L"cvx-410t"), 0);
    CTVX3Card other(1, CardForUse{});
    EXPECT_EQ(other.GetFpgaName(), name);
    EXPECT_STREQ(name, "abx-99q");
}

TEST(Gen3Card, FailedNameAndBankQueriesGiveFallbacksWithoutTrace)
{
    ASSERT_TRUE(SimHost::Configure(Card("fail = fpga_info, bank")));
    CCardTraceRecorder trace;
    CTVX3Card card(0, CardForInspection{});
    EXPECT_STREQ(card.GetFpgaName(), "Unknown");
    EXPECT_EQ(std::wcscmp(card.GetFpgaNameW(), L"Unknown"), 0);
    EXPECT_EQ(card.GetBankSize(0), 0u);
    EXPECT_TRUE(trace.Texts().empty());
}

TEST(Gen3Card, CardsThatCannotBeHeldAreInvalidAndClosedOnlyIfOpened)
{
    ASSERT_TRUE(SimHost::Configure(Card("fail = open") + "[gen3]\nindex = 1\nfail = card_info\n"));
    CCardTraceRecorder trace;
    for (uint32_t index : {0u, 1u, 5u}) // failed open, failed card information, no card
    {
        CTVX3Card card(index, CardForUse{});
        EXPECT_FALSE(card.IsValid()) << index;
        EXPECT_EQ(card.GetHandle(), 0u);
        EXPECT_FALSE(card.Open(0, nullptr));
        EXPECT_EQ(card.GetSerialNumber(), 0u);
        EXPECT_EQ(card.GetCardModel(), MODEL_GEN3_UNKNOWN);
        EXPECT_FALSE(card.SetClockFrequency(0, 100.0));
    }
    EXPECT_EQ(SimHost::Count3(0, "closes"), 0u);
    EXPECT_EQ(SimHost::Count3(1, "closes"), 1u); // closed again at once, not at destruction
    EXPECT_EQ(trace.Texts().size(), 3u);
}

TEST(Gen3Card, AFailingCloseReachesTheTraceWithTheLibrarysText)
{
    ASSERT_TRUE(SimHost::Configure(Card("fail = close")));
    CCardTraceRecorder trace;
    {
        CTVX3Card card(0, CardForUse{});
        ASSERT_TRUE(card.Open(0, nullptr));
    }
    EXPECT_EQ(trace.Texts(), std::vector<std::string>{"card cannot be closed"});
    EXPECT_EQ(SimHost::Count3(0, "closes"), 1u); // not tried again
}

TEST(Gen3Card, OpenMapsTheWindowsResetsThePageAndClearsABridgeError)
{
    ASSERT_TRUE(SimHost::Configure(Card("bridge_error = 1")));
    {
        CTVX3Card card(0, CardForUse{});
        EXPECT_EQ(card.GetFpgaSpace(), nullptr);
        ASSERT_TRUE(card.Open(0, nullptr));
        EXPECT_TRUE(card.IsOpen());
        EXPECT_NE(card.GetFpgaSpace(), nullptr);
        EXPECT_EQ(SimHost::Count3(0, "status_clears"), 1u);
        EXPECT_EQ(SimHost::Count3(0, "page_writes"), 1u);
        EXPECT_EQ(SimHost::LastWrite3(0, 3, 0x20), 0u);
        EXPECT_EQ(SimHost::Count3(0, "register0_reads"), 0u);
        EXPECT_EQ(SimHost::Count3(0, "probe_commands"), 0u);
        EXPECT_FALSE(card.IsProbeEnabled());
    }
    EXPECT_EQ(SimHost::Count3(0, "unmaps"), 3u);
    EXPECT_EQ(SimHost::Count3(0, "closes"), 1u);

    ASSERT_TRUE(SimHost::Configure(Card()));
    ASSERT_TRUE(CTVX3Card(0, CardForUse{}).Open(0, nullptr));
    EXPECT_EQ(SimHost::Count3(0, "status_clears"), 0u);
}

TEST(Gen3Card, AFailingMapOrConfigurationFailsOpen)
{
    for (const char* failure : {"map0", "map2", "map3", "configure"})
    {
        ASSERT_TRUE(SimHost::Configure(Card(std::string("fail = ") + failure)));
        CCardTraceRecorder trace;
        CTVX3Card card(0, CardForUse{});
        CConfigSource agreeing(true);
        EXPECT_FALSE(card.Open(0, &agreeing)) << failure;
        EXPECT_FALSE(card.IsOpen());
        EXPECT_EQ(card.ReadFpga(0), 0u);
        EXPECT_EQ(trace.Texts().size(), 1u) << failure;
    }
    // Indirect mode reaches the FPGA space through window 2 and needs no window 0.
    ASSERT_TRUE(SimHost::Configure(Card("fail = map0")));
    CTVX3Card indirect(0, CardForUse{});
    EXPECT_TRUE(indirect.Open(OPEN_INDIRECT_MODE, nullptr));
    EXPECT_EQ(indirect.GetFpgaSpace(), nullptr);
}

TEST(Gen3Card, ConfigurationSourceDecidesAndIndirectModeConfiguresWithFlagTwo)
{
    ASSERT_TRUE(SimHost::Configure(Card() + "[gen3]\nindex = 1\n"));
    CConfigSource refusing(false);
    CConfigSource agreeing(true);
    EXPECT_FALSE(CTVX3Card(0, CardForUse{}).Open(0, &refusing));
    EXPECT_EQ(SimHost::Count3(0, "configures"), 0u);
    EXPECT_TRUE(CTVX3Card(0, CardForUse{}).Open(0, &agreeing));
    EXPECT_EQ(SimHost::LastConfigureFlags3(0), 0u);
    EXPECT_TRUE(CTVX3Card(1, CardForUse{}).Open(OPEN_INDIRECT_MODE, &agreeing));
    EXPECT_EQ(SimHost::LastConfigureFlags3(1), 2u);
}

TEST(Gen3Card, ClockFrequenciesPerClockGenerator)
{
    ASSERT_TRUE(SimHost::Configure(Card() + "[gen3]\nindex = 1\nfail = clock\n"));
    CTVX3Card card(0, CardForUse{});
    EXPECT_TRUE(card.SetClockFrequency(1, 125.0));
    EXPECT_EQ(card.GetClockFrequency(1), 0.0); // read back only once opened
    ASSERT_TRUE(card.Open(0, nullptr));
    EXPECT_NE(card.GetClockFrequency(1), 0.0);
    EXPECT_EQ(card.GetClockFrequency(0), 0.0);
    EXPECT_FALSE(card.SetClockFrequency(2, 100.0)); // only two generators
    EXPECT_EQ(card.GetClockFrequency(2), 0.0);

    CCardTraceRecorder trace;
    EXPECT_FALSE(CTVX3Card(1, CardForUse{}).SetClockFrequency(0, 100.0));
    EXPECT_EQ(trace.Texts().size(), 1u);
}

// The mailbox, register 44, carries every command; the edges of window 2 are checked here.
TEST(Gen3Card, RegistersAreTheWordsOfWindowTwo)
{
    ASSERT_TRUE(SimHost::Configure(Card()));
    CTVX3Card card(0, CardForUse{});
    EXPECT_EQ(card.ReadRegister(44), 0u); // nothing mapped yet
    ASSERT_TRUE(card.Open(0, nullptr));
    SimHost::Poke3(0, 2, 0x7FC, 0xCAFEF00D);
    EXPECT_EQ(card.ReadRegister(511), 0xCAFEF00Du);
    EXPECT_EQ(card.ReadRegister(512), 0u); // beyond the window
}

TEST(Gen3FpgaDirect, ThePageChangesOnlyWhenTheAddressLeavesIt)
{
    ASSERT_TRUE(SimHost::Configure(Card()));
    CTVX3Card card(0, CardForUse{});
    ASSERT_TRUE(card.Open(0, nullptr));
    const uint64_t afterOpen = PageWrites();
    SimHost::PokeFpga3(0, 0x400000, 0x11111111);
    SimHost::PokeFpga3(0, 0x400004, 0x22222222);
    SimHost::PokeFpga3(0, 0x3FFFFC, 0x33333333);

    EXPECT_EQ(card.ReadFpga(0x100000), 0x11111111u);
    EXPECT_EQ(SimHost::LastWrite3(0, 3, 0x20), 0x400000u);
    EXPECT_EQ(card.ReadFpga(0x100001), 0x22222222u);
    EXPECT_EQ(PageWrites(), afterOpen + 1);
    EXPECT_EQ(card.ReadFpga(0xFFFFF), 0x33333333u); // last word of page 0
    EXPECT_EQ(SimHost::LastWrite3(0, 3, 0x20), 0u);

    card.WriteFpga(0x2FFFFF, 0xA5A5A5A5); // last word of page 0x800000
    card.WriteFpga(0x200000, 0x5A5A5A5A); // its first word
    EXPECT_EQ(card.ReadFpga(0x2FFFFF), 0xA5A5A5A5u);
    EXPECT_EQ(SimHost::PeekFpga3(0, 0xBFFFFC), 0xA5A5A5A5u);
    EXPECT_EQ(SimHost::PeekFpga3(0, 0x800000), 0x5A5A5A5Au);
    EXPECT_EQ(PageWrites(), afterOpen + 3);

    card.SetFpgaBits(0x200000, 0x0000000F);
    card.ClearFpgaBits(0x200000, 0xF0000000);
    EXPECT_EQ(SimHost::PeekFpga3(0, 0x800000), 0x0A5A5A5Fu);
}

TEST(Gen3FpgaDirect, ARefusedPageReadsZeroDropsWritesAndIsTriedAgain)
{
    ASSERT_TRUE(SimHost::Configure(Card("page_refuse = 0x400000")));
    CTVX3Card card(0, CardForUse{});
    ASSERT_TRUE(card.Open(OPEN_LANE_SELECT, nullptr));
    SimHost::PokeFpga3(0, 0x000000, 0x0BADBAD0);
    SimHost::PokeFpga3(0, 0x400000, 0x11111111);
    const uint64_t before = PageWrites();

    EXPECT_EQ(card.ReadFpga(0x100000), 0u);
    EXPECT_EQ(SimHost::LastWrite3(0, 3, 0x24), 0u); // no lane left enabled
    card.WriteFpga(0x100000, 0x22222222);
    // Window 0 still shows page 0, which must not be taken for the refused page.
    EXPECT_EQ(card.ReadFpga(0x100000), 0u);
    EXPECT_EQ(SimHost::PeekFpga3(0, 0x400000), 0x11111111u);
    EXPECT_EQ(SimHost::PeekFpga3(0, 0x000000), 0x0BADBAD0u);
    EXPECT_EQ(PageWrites(), before + 3);

    EXPECT_EQ(card.ReadFpga(0), 0x0BADBAD0u); // pages the register takes work as before
}

TEST(Gen3FpgaDirect, OnlyReadsTouchTheLaneAndStatusRegisters)
{
    ASSERT_TRUE(SimHost::Configure(Card("bridge_error = always")));
    CTVX3Card card(0, CardForUse{});
    ASSERT_TRUE(card.Open(OPEN_LANE_SELECT, nullptr));
    const uint64_t clears = SimHost::Count3(0, "status_clears");
    const uint32_t addresses[] = {6, 3, 4, 1};
    for (uint32_t address : addresses)
        card.WriteFpga(address, address + 1);
    EXPECT_TRUE(SimHost::WriteLog3(0, 3, 0x24).empty());
    EXPECT_EQ(SimHost::Count3(0, "status_clears"), clears);

    // Each read enables the lane of its word address mod 4 before and disables it after; the error
    // its read raised is cleared.
    for (uint32_t address : addresses)
        EXPECT_EQ(card.ReadFpga(address), address + 1);
    const std::vector<uint32_t> lanes = {0x0F000000, 0, 0xF0000000, 0,
                                         0x000F0000, 0, 0x00F00000, 0};
    EXPECT_EQ(SimHost::WriteLog3(0, 3, 0x24), lanes);
    EXPECT_EQ(SimHost::Count3(0, "status_clears"), clears + 4);

    ASSERT_TRUE(SimHost::Configure(Card()));
    CTVX3Card plain(0, CardForUse{});
    ASSERT_TRUE(plain.Open(0, nullptr));
    plain.ReadFpga(3);
    EXPECT_EQ(SimHost::Count3(0, "lane_writes"), 0u);
}

TEST(Gen3FpgaIndirect, AccessesGoThroughTheCommandRegisters)
{
    ASSERT_TRUE(SimHost::Configure(Card("indirect_complete_after = 3")));
    CTVX3Card card(0, CardForUse{});
    ASSERT_TRUE(card.Open(OPEN_INDIRECT_MODE, nullptr));
    EXPECT_EQ(SimHost::Count3(0, "register0_reads"), 1u);
    EXPECT_EQ(SimHost::LastWrite3(0, 2, 0x070), 0x10000000u);

    card.WriteFpga(0x123456, 0xFEEDC0DE); // byte address 0x48D158
    EXPECT_EQ(SimHost::LastWrite3(0, 2, 0x070), 0xDF48D158u);
    EXPECT_EQ(SimHost::PeekFpga3(0, 0x48D158), 0xFEEDC0DEu);
    SimHost::PokeFpga3(0, 0x100, 0x0D15EA5E);
    EXPECT_EQ(card.ReadFpga(0x40), 0x0D15EA5Eu);
    EXPECT_EQ(SimHost::LastWrite3(0, 2, 0x070), 0x9F000100u);
    EXPECT_EQ(SimHost::Count3(0, "indirect_commands"), 2u);
    EXPECT_EQ(PageWrites(), 1u); // only the reset by Open
}

TEST(Gen3FpgaIndirect, AnAccessThatNeverCompletesEndsAfterAQuarterSecond)
{
    ASSERT_TRUE(SimHost::Configure(Card("indirect_complete_after = never")));
    CTVX3Card card(0, CardForUse{});
    ASSERT_TRUE(card.Open(OPEN_INDIRECT_MODE, nullptr));
    CStopwatch watch;
    card.ReadFpga(0x10);
    EXPECT_GE(watch.ElapsedSeconds(), 0.24);
    EXPECT_LT(watch.ElapsedSeconds(), 1.5);
}

// Two passes over the eight addresses, the silent ones recovered each time; only exactly one
// answering address is kept.
TEST(Gen3BusProbe, ExactlyOneAnsweringAddressIsKept)
{
    const struct
    {
        const char* Answers;
        int Address; // -1: the probe is switched off
        uint64_t Clears;
    } cases[] = {
        {"probe_answers = 0x52", 2, 14}, {"", -1, 16}, {"probe_answers = 0x50, 0x57", -1, 12}};
    for (const auto& c : cases)
    {
        ASSERT_TRUE(SimHost::Configure(Card(c.Answers)));
        CTVX3Card card(0, CardForUse{});
        ASSERT_TRUE(card.Open(OPEN_BUS_PROBE, nullptr)) << c.Answers;
        EXPECT_EQ(card.IsProbeEnabled() ? card.GetProbeAddress() : -1, c.Address) << c.Answers;
        EXPECT_EQ(SimHost::Count3(0, "probe_commands"), 16u) << c.Answers;
        EXPECT_EQ(SimHost::Count3(0, "probe_clears"), c.Clears) << c.Answers;
    }
}

TEST(Gen3BusProbe, AStuckControllerSwitchesTheProbeOffAfterOneCommand)
{
    ASSERT_TRUE(SimHost::Configure(Card("probe_stuck = 1")));
    CTVX3Card card(0, CardForUse{});
    CStopwatch watch;
    ASSERT_TRUE(card.Open(OPEN_BUS_PROBE, nullptr));
    EXPECT_LT(watch.ElapsedSeconds(), 0.6); // one 100 ms poll, not one per probing step
    EXPECT_FALSE(card.IsProbeEnabled());
    EXPECT_EQ(SimHost::Count3(0, "probe_commands"), 1u);
}
