#include "CardTraceRecorder.h"
#include "SimHost.h"

#include "cards/BoardLibraries.h"
#include "cards/CTVX3Card.h"

#include <gtest/gtest.h>

#include <cwchar>

using namespace Corvane::Common;

namespace
{

const char* const OneCard = R"(
[gen3]
index = 0
serial = 10001
model = 0x10C
fpga = CVX-410T
clocks = 2
info_byte = 0x11
banks = 0x100000:32, 0:0
)";

std::string CardWith(const std::string& extraLines)
{
    return std::string(OneCard) + extraLines + "\n";
}

class CConfigSource : public IConfigSource
{
public:
    CConfigSource(bool answer, const char* path) : Answer(answer), Path(path) {}
    bool ShouldConfigure(ITVXCard& card) override
    {
        Asked = &card;
        return Answer;
    }
    const char* GetConfigFile(ITVXCard&) override { return Path; }
    ITVXCard* Asked = nullptr;

private:
    bool Answer;
    const char* Path;
};

} // namespace

TEST(Gen3Card, InspectedCardReportsItsIdentity)
{
    ASSERT_TRUE(SimHost::Configure(OneCard));
    CTVX3Card card(0, CardForInspection{});
    EXPECT_FALSE(Gen3LibraryMissing);
    EXPECT_TRUE(card.IsValid());
    EXPECT_FALSE(card.IsOpen());
    EXPECT_NE(card.GetHandle(), 0u);
    EXPECT_EQ(card.GetIndex(), 0u);
    EXPECT_EQ(card.GetSerialNumber(), 10001u);
    EXPECT_EQ(card.GetCardModel(), 40);
    EXPECT_STREQ(card.GetModelName(), "vexa11");
    EXPECT_EQ(std::wcscmp(card.GetModelNameW(), L"vexa11"), 0);
    EXPECT_EQ(card.GetCardInfoByte(), 0x11);
    EXPECT_EQ(card.GetBankSize(0), 0x100000u * 32 / 8);
    EXPECT_EQ(card.GetBankSize(1), 0u); // not fitted
    EXPECT_EQ(card.AsGen3Card(), &card);
    EXPECT_EQ(card.AsGen2Card(), nullptr);
}

TEST(Gen3Card, FpgaNameIsLowerCasedIntoOneSharedBuffer)
{
    ASSERT_TRUE(SimHost::Configure(CardWith("[gen3]\nindex = 1\nfpga = ABX-99Q\n") +
                                   "[gen3]\nindex = 2\nfpga = zz\n"));
    CTVX3Card first(0, CardForInspection{});
    CTVX3Card second(1, CardForInspection{});
    const char* name = first.GetFpgaName();
    EXPECT_STREQ(name, "cvx-410t");
    EXPECT_EQ(std::wcscmp(first.GetFpgaNameW(), L"cvx-410t"), 0);
    EXPECT_EQ(second.GetFpgaName(), name); // the same buffer, overwritten
    EXPECT_STREQ(name, "abx-99q");
    EXPECT_EQ(std::wcscmp(second.GetFpgaNameW(), L"abx-99q"), 0);
}

TEST(Gen3Card, FailedQueriesGiveFallbacksWithoutTrace)
{
    ASSERT_TRUE(SimHost::Configure(CardWith("fail = fpga_info, bank")));
    CCardTraceRecorder trace;
    CTVX3Card card(0, CardForInspection{});
    EXPECT_STREQ(card.GetFpgaName(), "Unknown");
    EXPECT_EQ(std::wcscmp(card.GetFpgaNameW(), L"Unknown"), 0);
    EXPECT_EQ(card.GetBankSize(0), 0u);
    EXPECT_TRUE(trace.Texts().empty());
}

TEST(Gen3Card, ModelNumbersAndNamesOfTheLibraryCodes)
{
    struct CCase
    {
        const char* Code;
        int Model;
        const char* Name;
    };
    const CCase cases[] = {{"0x107", 35, "vexa7"},   {"0x108", 36, "vexa7"},
                           {"0x10D", 45, "vexa12"},  {"0x10E", 47, "vexa13"},
                           {"0x1010A", 42, "vexa9"}, {"0x200", 26, "unknown"},
                           {"0x4", 27, "unknown"}};
    std::string text;
    for (uint32_t i = 0; i < std::size(cases); ++i)
        text += "[gen3]\nindex = " + std::to_string(i) + "\nmodel = " + cases[i].Code + "\n";
    ASSERT_TRUE(SimHost::Configure(text));
    for (uint32_t i = 0; i < std::size(cases); ++i)
    {
        CTVX3Card card(i, CardForInspection{});
        EXPECT_EQ(card.GetCardModel(), cases[i].Model) << cases[i].Code;
        EXPECT_STREQ(card.GetModelName(), cases[i].Name) << cases[i].Code;
    }
}

TEST(Gen3Card, AnIndexWithoutACardIsNotHeldAndCallsNothingAtDestruction)
{
    ASSERT_TRUE(SimHost::Configure(OneCard));
    CCardTraceRecorder trace;
    {
        CTVX3Card card(5, CardForUse{});
        EXPECT_FALSE(card.IsValid());
        EXPECT_EQ(card.GetHandle(), 0u);
        EXPECT_FALSE(card.Open(0, nullptr));
        EXPECT_EQ(card.GetCardModel(), MODEL_GEN3_UNKNOWN);
        EXPECT_EQ(card.GetSerialNumber(), 0u);
    }
    EXPECT_EQ(trace.Texts().size(), 1u); // the failed library open, nothing at destruction
}

TEST(Gen3Card, FailedOpenOrCardInformationLeavesTheCardNotHeld)
{
    ASSERT_TRUE(SimHost::Configure(CardWith("fail = open") +
                                   "[gen3]\nindex = 1\nserial = 77\nfail = card_info\n"));
    CCardTraceRecorder trace;
    {
        CTVX3Card notOpened(0, CardForUse{});
        EXPECT_FALSE(notOpened.IsValid());
        EXPECT_FALSE(notOpened.Open(0, nullptr));
        EXPECT_EQ(SimHost::Count3(0, "opens"), 0u);
    }
    EXPECT_EQ(SimHost::Count3(0, "closes"), 0u);
    {
        CTVX3Card noInformation(1, CardForUse{});
        EXPECT_FALSE(noInformation.IsValid());
        EXPECT_FALSE(noInformation.Open(0, nullptr));
        EXPECT_EQ(noInformation.GetSerialNumber(), 0u);
        EXPECT_EQ(noInformation.GetClockFrequency(0), 0.0);
        // The library opened it; the card layer closed it again at once.
        EXPECT_EQ(SimHost::Count3(1, "closes"), 1u);
    }
    EXPECT_EQ(SimHost::Count3(1, "closes"), 1u);
    ASSERT_EQ(trace.Texts().size(), 2u);
    EXPECT_FALSE(trace.Texts()[0].empty());
}

TEST(Gen3Card, OpenMapsTheWindowsAndResetsPageAndBridgeError)
{
    ASSERT_TRUE(SimHost::Configure(CardWith("bridge_error = 1")));
    {
        CTVX3Card card(0, CardForUse{});
        EXPECT_EQ(card.GetFpgaSpace(), nullptr);
        ASSERT_TRUE(card.Open(0, nullptr));
        EXPECT_TRUE(card.IsOpen());
        EXPECT_NE(card.GetFpgaSpace(), nullptr);
        EXPECT_EQ(SimHost::Count3(0, "status_clears"), 1u);
        EXPECT_EQ(SimHost::Count3(0, "page_writes"), 1u);
        EXPECT_EQ(SimHost::LastWrite3(0, 3, 0x20), 0u);
        EXPECT_EQ(SimHost::Count3(0, "indirect_commands"), 0u);
        EXPECT_EQ(SimHost::Count3(0, "probe_commands"), 0u);
        EXPECT_FALSE(card.IsProbeEnabled());
    }
    EXPECT_EQ(SimHost::Count3(0, "unmaps"), 3u);
    EXPECT_EQ(SimHost::Count3(0, "closes"), 1u);
}

TEST(Gen3Card, OpenWithoutBridgeErrorLeavesTheStatusRegisterAlone)
{
    ASSERT_TRUE(SimHost::Configure(OneCard));
    CTVX3Card card(0, CardForUse{});
    ASSERT_TRUE(card.Open(0, nullptr));
    EXPECT_EQ(SimHost::Count3(0, "status_clears"), 0u);
}

TEST(Gen3Card, AFailingMapFailsOpen)
{
    for (const char* failure : {"map0", "map2", "map3"})
    {
        ASSERT_TRUE(SimHost::Configure(CardWith(std::string("fail = ") + failure)));
        CCardTraceRecorder trace;
        CTVX3Card card(0, CardForUse{});
        EXPECT_FALSE(card.Open(0, nullptr)) << failure;
        EXPECT_FALSE(card.IsOpen());
        EXPECT_EQ(card.ReadFpga(0), 0u);
        EXPECT_EQ(trace.Texts().size(), 1u) << failure;
    }
    // Indirect mode reaches the FPGA space through window 2 and needs no window 0.
    ASSERT_TRUE(SimHost::Configure(CardWith("fail = map0")));
    CTVX3Card indirect(0, CardForUse{});
    EXPECT_TRUE(indirect.Open(OPEN_INDIRECT_MODE, nullptr));
    EXPECT_EQ(indirect.GetFpgaSpace(), nullptr);
}

TEST(Gen3Card, ConfigurationSourceDecidesWhetherOpenGoesOn)
{
    ASSERT_TRUE(SimHost::Configure(OneCard));
    {
        CTVX3Card card(0, CardForUse{});
        CConfigSource refusing(false, "image.bit");
        EXPECT_FALSE(card.Open(0, &refusing));
        EXPECT_EQ(refusing.Asked, &card);
        EXPECT_FALSE(card.IsOpen());
    }
    {
        CTVX3Card card(0, CardForUse{});
        CConfigSource agreeing(true, "image.bit");
        EXPECT_TRUE(card.Open(0, &agreeing));
    }
    ASSERT_TRUE(SimHost::Configure(CardWith("fail = configure")));
    CCardTraceRecorder trace;
    CTVX3Card card(0, CardForUse{});
    CConfigSource agreeing(true, "image.bit");
    EXPECT_FALSE(card.Open(0, &agreeing));
    EXPECT_EQ(trace.Texts().size(), 1u);
}

TEST(Gen3Card, ClockFrequenciesPerClockGenerator)
{
    ASSERT_TRUE(SimHost::Configure(OneCard));
    CTVX3Card card(0, CardForUse{});
    EXPECT_TRUE(card.SetClockFrequency(1, 125.0));
    EXPECT_EQ(card.GetClockFrequency(1), 0.0); // read back only once opened
    ASSERT_TRUE(card.Open(0, nullptr));
    EXPECT_NE(card.GetClockFrequency(1), 0.0);
    EXPECT_EQ(card.GetClockFrequency(0), 0.0);
    EXPECT_FALSE(card.SetClockFrequency(2, 100.0)); // only two generators
    EXPECT_EQ(card.GetClockFrequency(2), 0.0);

    ASSERT_TRUE(SimHost::Configure(CardWith("fail = clock")));
    CCardTraceRecorder trace;
    CTVX3Card failing(0, CardForUse{});
    EXPECT_FALSE(failing.SetClockFrequency(0, 100.0));
    EXPECT_EQ(trace.Texts().size(), 1u);
}

TEST(Gen3Card, RegistersAreWordsOfWindowTwo)
{
    ASSERT_TRUE(SimHost::Configure(OneCard));
    CTVX3Card card(0, CardForUse{});
    EXPECT_EQ(card.ReadRegister(44), 0u); // nothing mapped yet
    ASSERT_TRUE(card.Open(0, nullptr));

    SimHost::Poke3(0, 2, 0x0B0, 0xABCD0000);
    EXPECT_EQ(card.ReadRegister(44) & 0xFFFF0000u, 0xABCD0000u);
    card.WriteRegister(44, 0x5A5A0400);
    EXPECT_EQ(SimHost::LastWrite3(0, 2, 0x0B0), 0x5A5A0400u);

    card.WriteRegister(29, 0x12345678);
    EXPECT_EQ(SimHost::LastWrite3(0, 2, 0x074), 0x12345678u);
    SimHost::Poke3(0, 2, 0x7FC, 0xCAFEF00D);
    EXPECT_EQ(card.ReadRegister(511), 0xCAFEF00Du);
    EXPECT_EQ(card.ReadRegister(512), 0u); // beyond the window
}
