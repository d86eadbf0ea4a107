// The fault-trap emulation seen from the code that accesses card windows.

#include "SimHost.h"

#include "platform/Thread.h"

#include <gtest/gtest.h>

using namespace Corvane::Common;
using namespace Corvane::Common::SimHost;

namespace
{

class Emulation : public testing::Test
{
protected:
    void SetUp() override
    {
        Card = ConfigureAndMap("[gen3]\nindex = 0\nmailbox_upper = 0xBEEF\n");
        ASSERT_NE(Card.Handle, 0u);
    }

    MappedCard Card;
};

using EmulationDeathTest = Emulation;

} // namespace

TEST_F(Emulation, MailboxReadModifyWriteKeepsTheUpperHalf)
{
    const uint32_t before = Card.Register(MAILBOX);
    EXPECT_EQ(before, 0xBEEF1200u) << "upper half as stored, TX_READY and RX_EMPTY";
    Card.Register(MAILBOX) = (before & 0xFFFF0000u) | 0x0441;
    EXPECT_EQ(LastWrite3(0, 2, MAILBOX_BYTE), 0xBEEF0441u);
    EXPECT_EQ(Card.Register(MAILBOX) >> 16, 0xBEEFu);
    EXPECT_EQ(Count3(0, "mailbox_upper_changes"), 0u);
    EXPECT_EQ(McuReceived3(0), std::vector<uint8_t>{0x41});

    Card.Register(MAILBOX) = 0x00000200;
    EXPECT_EQ(Count3(0, "mailbox_upper_changes"), 1u) << "a write that lost the upper half";
}

TEST_F(Emulation, TwoThreadsHammeringTheMailboxAreCountedExactly)
{
    const int rounds = 2000;
    auto sender = [&]
    {
        for (int i = 0; i < rounds; ++i)
        {
            const uint32_t value = Card.Register(MAILBOX);
            Card.Register(MAILBOX) = (value & 0xFFFF0000u) | 0x0400 | (i & 0xFF);
        }
    };
    auto reader = [&]
    {
        for (int i = 0; i < rounds; ++i)
            (void)static_cast<uint32_t>(Card.Register(MAILBOX));
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

TEST_F(EmulationDeathTest, FaultOutsideTheWindowsStillCrashes)
{
    // The handler is installed (a window is mapped); a real fault must go on to crash.
    volatile uint32_t* volatile nowhere = reinterpret_cast<volatile uint32_t*>(uintptr_t{16});
    EXPECT_DEATH(*nowhere = 1, "");
}

TEST_F(EmulationDeathTest, AccessesTheCardCannotTakeEndWithAClearMessage)
{
    EXPECT_DEATH((void)*reinterpret_cast<volatile uint64_t*>(Card.Registers), "tvxsim: .*64-bit");
    EXPECT_DEATH((void)*reinterpret_cast<volatile uint16_t*>(Card.Registers), "tvxsim: .*16-bit");
    EXPECT_DEATH((void)*reinterpret_cast<volatile uint32_t*>(Card.Registers + 2),
                 "tvxsim: .*not aligned");
    EXPECT_DEATH((void)static_cast<uint32_t>(Card.Register(512)), "tvxsim: .*beyond the end");
    ASSERT_EQ(UnmapWindow3(Card.Handle, Card.Registers), 0u);
    EXPECT_DEATH((void)static_cast<uint32_t>(Card.Register(MAILBOX)), "tvxsim: .*unmapped");
}
