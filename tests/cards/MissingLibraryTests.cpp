// Run without the stand-in libraries on the library path: both board libraries are missing.

#include "CardTraceRecorder.h"

#include "cards/BoardLibraries.h"
#include "cards/CTVX2Card.h"
#include "cards/CTVX3Card.h"
#include "cards/CardEnumeration.h"

#include <gtest/gtest.h>

#include <cwchar>

using namespace Corvane::Common;

namespace
{

void ExpectNeutralCard(ITVXCard& card, int unknownModel)
{
    EXPECT_FALSE(card.IsValid());
    EXPECT_FALSE(card.IsOpen());
    EXPECT_EQ(card.GetCardModel(), unknownModel);
    EXPECT_STREQ(card.GetModelName(), "");
    EXPECT_STREQ(card.GetFpgaName(), "");
    EXPECT_EQ(std::wcscmp(card.GetModelNameW(), L""), 0);
    EXPECT_EQ(std::wcscmp(card.GetFpgaNameW(), L""), 0);
    EXPECT_EQ(card.GetSerialNumber(), 0u);
    EXPECT_EQ(card.GetIndex(), 0u);
    EXPECT_EQ(card.GetCardInfoByte(), 0);
    EXPECT_EQ(card.GetBankSize(0), 0u);
    EXPECT_EQ(card.GetClockFrequency(0), 0.0);
    EXPECT_FALSE(card.SetClockFrequency(0, 100.0));
    EXPECT_FALSE(card.Open(0, nullptr));
    EXPECT_FALSE(card.Open(0x0F, nullptr));
    EXPECT_FALSE(card.IsOpen());
    EXPECT_EQ(card.GetFpgaSpace(), nullptr);
    EXPECT_EQ(card.ReadFpga(0), 0u);
    card.WriteFpga(0, 1);
    card.SetFpgaBits(0, 1);
    card.ClearFpgaBits(0, 1);
}

} // namespace

TEST(MissingLibrary, Gen3CardsAnswerWithNeutralValues)
{
    CCardTraceRecorder trace;
    CTVX3Card inspected(3, CardForInspection{});
    EXPECT_TRUE(Gen3LibraryMissing);
    ExpectNeutralCard(inspected, MODEL_GEN3_UNKNOWN);

    CTVX3Card used(0, CardForUse{});
    ExpectNeutralCard(used, MODEL_GEN3_UNKNOWN);
    EXPECT_EQ(used.AsGen3Card(), &used);
    EXPECT_EQ(used.AsGen2Card(), nullptr);
    EXPECT_EQ(used.GetHandle(), 0u);
    EXPECT_EQ(used.ReadRegister(44), 0u);
    used.WriteRegister(44, 0x400);
    EXPECT_FALSE(used.IsProbeEnabled());
    // Without a library there is no status to turn into text.
    EXPECT_TRUE(trace.Texts().empty());
}

TEST(MissingLibrary, Gen2CardsAnswerWithNeutralValues)
{
    CTVX2Card card(2);
    EXPECT_TRUE(Gen2LibraryMissing);
    ExpectNeutralCard(card, MODEL_GEN2_UNKNOWN);
    EXPECT_EQ(card.AsGen2Card(), &card);
    EXPECT_EQ(card.AsGen3Card(), nullptr);
    EXPECT_EQ(card.GetHandle(), 0u);
    EXPECT_EQ(card.GetCardInfo(), nullptr);
    EXPECT_EQ(card.GetSpaceInfo(), nullptr);
}

TEST(MissingLibrary, NoSlotHoldsACard)
{
    EXPECT_EQ(CountCards(), 0);
    for (CardSlot slot = 0; slot < CardSlotCount; ++slot)
    {
        EXPECT_FALSE(CardPresent[slot]) << slot;
        EXPECT_EQ(GetSlotSerialNumber(slot), 0u) << slot;
        ASSERT_NE(GetSlotModelName(slot), nullptr);
        EXPECT_STREQ(GetSlotModelName(slot), "") << slot;
        ASSERT_NE(GetSlotFpgaName(slot), nullptr);
        EXPECT_STREQ(GetSlotFpgaName(slot), "") << slot;
    }
    EXPECT_EQ(GetSlotSerialNumber(CardSlotCount), 0u);
    EXPECT_EQ(GetSlotModelName(CardSlotCount), nullptr);
    EXPECT_EQ(GetSlotFpgaName(CardSlotCount), nullptr);
}
