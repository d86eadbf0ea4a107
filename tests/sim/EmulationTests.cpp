// The fault-trap emulation seen from the code that accesses card windows.

#include "Accessors.h"
#include "SimHost.h"

#include "platform/Thread.h"

#include <gtest/gtest.h>

using namespace SimTest;
using namespace Corvane::Common;
using namespace Corvane::Common::SimHost;

namespace
{

// A card whose microcontroller is always ready and sends nothing.
const char* const QuietCard = "[gen3]\nindex = 0\n";

const uint32_t PlainRegister = 100; // no function of its own: reads back what was written

std::string SetName(const testing::TestParamInfo<const AccessorSet*>& set)
{
    return set.param->Name;
}

class AccessorTest : public testing::TestWithParam<const AccessorSet*>
{
protected:
    void SetUp() override
    {
        Card = ConfigureAndMap(QuietCard);
        ASSERT_NE(Card.Handle, 0u);
    }

    volatile uint32_t* Registers() const { return &Card.Register(0); }

    MappedCard Card;
};

} // namespace

TEST_P(AccessorTest, LoadsAndStoresReachTheRegistersTheyAddress)
{
    const AccessorSet& access = *GetParam();
    for (uint32_t index : {1u, PlainRegister, 300u, 511u})
    {
        access.WriteRegister(Card.Registers, index, 0xA5000000 | index);
        EXPECT_EQ(LastWrite3(0, 2, 4 * index), 0xA5000000 | index);
    }
    Poke3(0, 2, 4 * 300, 0x12345678);
    EXPECT_EQ(access.ReadRegister(Card.Registers, 300), 0x12345678u);
    EXPECT_EQ(access.ReadRegister(Card.Registers, 0), 0x00030001u) << "register 0 is readable";

    access.ClearProbe(Registers());
    EXPECT_EQ(LastWrite3(0, 2, 0x400), 0x10800000u);
    Poke3(0, 3, 0x20, 0x400000);
    access.ClearPage(Card.Bridge);
    EXPECT_EQ(Peek3(0, 3, 0x20), 0u);
    EXPECT_EQ(Count3(0, "page_writes"), 1u);
}

TEST_P(AccessorTest, MailboxReadModifyWriteKeepsTheUpperHalf)
{
    const AccessorSet& access = *GetParam();
    Poke3(0, 2, MAILBOX_BYTE, 0xBEEF0000);
    const uint32_t before = access.ReplaceLowHalf(Registers(), 0x0441);
    EXPECT_EQ(before, 0xBEEF1200u) << "upper half as stored, TX_READY and RX_EMPTY";
    EXPECT_EQ(LastWrite3(0, 2, MAILBOX_BYTE), 0xBEEF0441u);
    EXPECT_EQ(access.ReadMailbox(Registers()) >> 16, 0xBEEFu);
    EXPECT_EQ(Count3(0, "mailbox_upper_changes"), 0u);
    EXPECT_EQ(McuReceived3(0), std::vector<uint8_t>{0x41});

    access.WriteMailbox(Registers(), 0x00000200);
    EXPECT_EQ(Count3(0, "mailbox_upper_changes"), 1u) << "a write that lost the upper half";
}

TEST_P(AccessorTest, ReadModifyWriteOperationsAndLoopsActOnTheCard)
{
    const AccessorSet& access = *GetParam();
    volatile uint32_t* word = &Card.Register(PlainRegister);
    Poke3(0, 2, 4 * PlainRegister, 0x0000F00F);
    access.SetBits(word, 0x00FF0000);
    EXPECT_EQ(Peek3(0, 2, 4 * PlainRegister), 0x00FFF00Fu);
    access.ClearBits(word, 0x0000000F);
    EXPECT_EQ(Peek3(0, 2, 4 * PlainRegister), 0x00FFF000u);
    EXPECT_EQ(access.AddTo(word, 0x1000), 0x01000000u);

    for (uint32_t i = 0; i < 8; ++i)
        PokeFpga3(0, 4 * i, i + 1);
    EXPECT_EQ(access.SumWords(&Card.FpgaWord(0), 8), 36u);
    EXPECT_EQ(Count3(0, "window0_reads"), 8u);
}

INSTANTIATE_TEST_SUITE_P(BothOptimisationLevels, AccessorTest,
                         testing::Values(&UnoptimisedAccessors(), &OptimisedAccessors()), SetName);

TEST(Emulation, TwoThreadsHammeringTheMailboxAreCountedExactly)
{
    MappedCard card = ConfigureAndMap("[gen3]\nindex = 0\nmailbox_upper = 0x5A5A\n");
    ASSERT_NE(card.Handle, 0u);
    const int rounds = 2000;
    auto sender = [&]
    {
        for (int i = 0; i < rounds; ++i)
        {
            const uint32_t value = card.Register(MAILBOX);
            card.Register(MAILBOX) = (value & 0xFFFF0000u) | 0x0400 | (i & 0xFF);
        }
    };
    auto reader = [&]
    {
        for (int i = 0; i < rounds; ++i)
            (void)static_cast<uint32_t>(card.Register(MAILBOX));
    };
    {
        CThread first(sender);
        CThread second(reader);
        first.Join();
        second.Join();
    }
    EXPECT_EQ(Count3(0, "mailbox_reads"), 2u * rounds);
    EXPECT_EQ(Count3(0, "mailbox_writes"), 1u * rounds);
    EXPECT_EQ(Count3(0, "host_bytes"), 1u * rounds);
    EXPECT_EQ(Count3(0, "mailbox_upper_changes"), 0u);
    EXPECT_EQ(McuReceived3(0).size(), 1u * rounds);
}

using EmulationDeathTest = AccessorTest;

TEST_P(EmulationDeathTest, FaultOutsideTheWindowsStillCrashes)
{
    // The handler is installed (a window is mapped); a real fault must go on to crash.
    volatile uint32_t* volatile nowhere = reinterpret_cast<volatile uint32_t*>(uintptr_t{16});
    EXPECT_DEATH(*nowhere = 1, "");
}

TEST_P(EmulationDeathTest, AccessesTheCardCannotTakeEndWithAClearMessage)
{
    EXPECT_DEATH((void)*reinterpret_cast<volatile uint64_t*>(Card.Registers), "tvxsim: .*64-bit");
    EXPECT_DEATH((void)*reinterpret_cast<volatile uint16_t*>(Card.Registers), "tvxsim: .*16-bit");
    EXPECT_DEATH((void)GetParam()->ReadRegister(Card.Registers + 2, 0), "tvxsim: .*not aligned");
    EXPECT_DEATH((void)GetParam()->ReadRegister(Card.Registers, 512), "tvxsim: .*beyond the end");
    ASSERT_EQ(UnmapWindow3(Card.Handle, Card.Registers), 0u);
    EXPECT_DEATH(GetParam()->ReadRegister(Card.Registers, 44), "tvxsim: .*unmapped");
}

INSTANTIATE_TEST_SUITE_P(Optimised, EmulationDeathTest, testing::Values(&OptimisedAccessors()),
                         SetName);
