#include "cards/CTVX2Card.h"
#include "cards/CTVX3Card.h"
#include "link/LinkState.h"
#include "link/Mailbox.h"
#include "platform/Time.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

using namespace Corvane::Common;

namespace
{

// A Gen 3 card whose mailbox register is a small model of the microcontroller's side: bytes it
// sends wait in a queue, TX ready unless it is never ready, strobes act when written 1.
class CMailboxModelCard : public CTVX3Card
{
public:
    CMailboxModelCard() : CTVX3Card(0, CardForInspection{}) {}

    uint32_t ReadRegister(uint32_t index) override
    {
        EXPECT_EQ(index, MAILBOX_REGISTER);
        uint32_t low = NeverReady ? 0 : MAILBOX_TX_READY;
        if (Outgoing.empty())
            low |= MAILBOX_RX_EMPTY;
        else
            low |= Outgoing.front();
        return (Upper & 0xFFFF0000u) | low;
    }

    void WriteRegister(uint32_t index, uint32_t value) override
    {
        EXPECT_EQ(index, MAILBOX_REGISTER);
        Writes.push_back(value);
        Upper = value & 0xFFFF0000u;
        if ((value & MAILBOX_RX_EMPTY) != 0 && !Outgoing.empty())
            Outgoing.pop_front();
    }

    uint32_t Upper = 0xABCD0000u;
    std::deque<uint8_t> Outgoing;
    std::vector<uint32_t> Writes;
    bool NeverReady = false;
};

class Mailbox : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Card = new CMailboxModelCard;
        CurrentCard.reset(Card);
    }
    void TearDown() override
    {
        CurrentCard.reset();
        SetMicrocontrollerPatienceMilliseconds(5000);
    }
    CMailboxModelCard* Card = nullptr;
};

} // namespace

TEST_F(Mailbox, SendWritesTheStrobeAndByteAndKeepsTheUpperHalf)
{
    const uint8_t frame[] = {'V', 'N', '?', 0xFF};
    ASSERT_TRUE(SendMailboxBytes(frame, sizeof(frame)));
    const std::vector<uint32_t> expected = {0xABCD0456u, 0xABCD044Eu, 0xABCD043Fu, 0xABCD04FFu};
    EXPECT_EQ(Card->Writes, expected);
}

TEST_F(Mailbox, ServiceModeSendsAndAcknowledgesOnTheBootChannel)
{
    ASSERT_TRUE(SendMailboxByte(0x12, MailboxChannel::BootLoader));
    Card->Outgoing = {0x55};
    AcknowledgeMailbox(MailboxChannel::BootLoader);
    AcknowledgeMailbox();
    const std::vector<uint32_t> expected = {0xABCD0512u, 0xABCD0300u, 0xABCD0200u};
    EXPECT_EQ(Card->Writes, expected);
}

TEST_F(Mailbox, AByteFromASignedCharNeverSetsTheUpperBitsOfTheLowHalf)
{
    const char text[] = {static_cast<char>(0x80), static_cast<char>(0xFE)};
    ASSERT_TRUE(SendMailboxBytes(reinterpret_cast<const uint8_t*>(text), sizeof(text)));
    EXPECT_EQ(Card->Writes[0] & 0xFFFFu, 0x0480u);
    EXPECT_EQ(Card->Writes[1] & 0xFFFFu, 0x04FEu);
}

TEST_F(Mailbox, SenderGivesUpOnAMicrocontrollerThatIsNeverReady)
{
    Card->NeverReady = true;
    SetMicrocontrollerPatienceMilliseconds(100);
    const uint8_t frame[] = {1, 2, 3};
    CStopwatch watch;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(SendMailboxBytes(frame, sizeof(frame)));
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_GE(watch.ElapsedSeconds(), 0.09);
    EXPECT_LT(watch.ElapsedSeconds(), 2.0);
    EXPECT_TRUE(Card->Writes.empty());
    EXPECT_NE(output.find("microcontroller"), std::string::npos);
}

TEST_F(Mailbox, DrainAcknowledgesEveryWaitingByteAndWritesNothingWhenEmpty)
{
    Card->Outgoing = {0x10, 0x20, 0x30};
    EXPECT_NE(DrainMailbox() & MAILBOX_RX_EMPTY, 0);
    EXPECT_TRUE(Card->Outgoing.empty());
    EXPECT_EQ(Card->Writes, std::vector<uint32_t>(3, 0xABCD0200u));
    Card->Writes.clear();
    EXPECT_EQ(DrainMailbox() & MAILBOX_RX_EMPTY, MAILBOX_RX_EMPTY);
    EXPECT_TRUE(Card->Writes.empty());
}

TEST_F(Mailbox, StatusIsTheLowHalfOfTheRegister)
{
    Card->Outgoing = {0x7E};
    EXPECT_EQ(ReadMailboxStatus(), MAILBOX_TX_READY | 0x7E);
}

TEST(MailboxWithoutGen3Card, ReadsAsTxReadyAndWritesNothing)
{
    CurrentCard.reset(new CTVX2Card(0));
    EXPECT_EQ(ReadMailboxStatus(), 0x1000);
    WriteMailboxWord(0x0400); // must not reach any register
    AcknowledgeMailbox();
    CurrentCard.reset();
    EXPECT_EQ(ReadMailboxStatus(), 0x1000);
}
