#include "MailboxModel.h"

#include "link/Mailbox.h"
#include "platform/Thread.h"
#include "platform/Time.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Corvane::Common;
using namespace MistleTest;

namespace
{

class Mailbox : public ::testing::Test
{
protected:
    void TearDown() override { SetMicrocontrollerPatienceMilliseconds(5000); }
    CMailboxModel Model;
};

constexpr uint32_t Waiting = 0xABCD0000u | MAILBOX_TX_READY; // and a byte
constexpr uint32_t Ready = Waiting | MAILBOX_RX_EMPTY;

} // namespace

// Each byte is one read that finds TX ready and one write with the upper half of that read.
TEST_F(Mailbox, SendReadsOnceAndWritesTheStrobeAndByteWithTheUpperHalfJustRead)
{
    const uint8_t frame[] = {'V', 'N', 0xFF};
    const uint32_t sentWhole = FramesSentWhole();
    ASSERT_TRUE(SendMailboxBytes(frame, sizeof(frame)));
    EXPECT_EQ(FramesSentWhole(), sentWhole + 1);
    const std::vector<Access> expected = {Read(Ready), Write(0xABCD0456u),
                                          Read(Ready), Write(0xABCD044Eu),
                                          Read(Ready), Write(0xABCD04FFu)};
    EXPECT_EQ(Model.Log, expected);
}

TEST_F(Mailbox, SenderWritesNothingUntilTxReadyShows)
{
    Model.BusyReads = 2;
    ASSERT_TRUE(SendMailboxByte(0x41));
    const uint32_t busy = 0xABCD0000u | MAILBOX_RX_EMPTY;
    const std::vector<Access> expected = {Read(busy), Read(busy), Read(Ready), Write(0xABCD0441u)};
    EXPECT_EQ(Model.Log, expected);
}

// The byte comes from the same read that the acknowledge's upper half comes from.
TEST_F(Mailbox, ReceiveTakesTheByteOfThePollAndAcknowledgesInTheSameHold)
{
    Model.Outgoing = {0x7E, 0x01};
    uint8_t byte = 0;
    ASSERT_TRUE(ReceiveMailboxByte(byte));
    EXPECT_EQ(byte, 0x7E);
    ASSERT_TRUE(TryTakeMailboxByte(byte, MailboxChannel::BootLoader));
    EXPECT_EQ(byte, 0x01);
    EXPECT_FALSE(TryTakeMailboxByte(byte));
    const std::vector<Access> expected = {Read(Waiting | 0x7E), Write(0xABCD0200u),
                                          Read(Waiting | 0x01), Write(0xABCD0300u), Read(Ready)};
    EXPECT_EQ(Model.Log, expected);
}

TEST_F(Mailbox, ServiceModeSendsAndAcknowledgesOnTheBootChannel)
{
    ASSERT_TRUE(SendMailboxByte(0x12, MailboxChannel::BootLoader));
    Model.Outgoing = {0x55};
    AcknowledgeMailbox(MailboxChannel::BootLoader);
    AcknowledgeMailbox();
    const std::vector<Access> expected = {Read(Ready),          Write(0xABCD0512u),
                                          Read(Waiting | 0x55), Write(0xABCD0300u),
                                          Read(Ready),          Write(0xABCD0200u)};
    EXPECT_EQ(Model.Log, expected);
}

// Polling without pause for the whole patience would hold a core for seconds.
TEST_F(Mailbox, ASenderThatMakesNoProgressPausesBetweenPolls)
{
    Model.NeverReady = true;
    Model.Logging = false;
    SetMicrocontrollerPatienceMilliseconds(600);
    CThread sender([] { EXPECT_FALSE(SendMailboxByte(0x41)); });
    SleepMilliseconds(200);
    const uint64_t readsBefore = Model.Reads;
    SleepMilliseconds(300);
    EXPECT_LT(Model.Reads - readsBefore, 400u);
    sender.Join();
}

TEST_F(Mailbox, DrainTakesEachWaitingByteWithOneReadAndOneWrite)
{
    Model.Outgoing = {0x10, 0x20};
    EXPECT_EQ(ReadMailboxStatus(), MAILBOX_TX_READY | 0x10) << "the low half of the register";
    Model.Log.clear();
    EXPECT_NE(DrainMailbox() & MAILBOX_RX_EMPTY, 0);
    const std::vector<Access> expected = {Read(Waiting | 0x10), Write(0xABCD0200u),
                                          Read(Waiting | 0x20), Write(0xABCD0200u), Read(Ready)};
    EXPECT_EQ(Model.Log, expected);
    Model.Log.clear();
    EXPECT_EQ(DrainMailbox() & MAILBOX_RX_EMPTY, MAILBOX_RX_EMPTY);
    EXPECT_EQ(Model.Log, std::vector<Access>{Read(Ready)});
}

// A sending and a taking thread at full speed: every write follows the read of its own thread
// at once, so neither thread ever writes back an upper half the other one changed.
TEST_F(Mailbox, NoThreadComesBetweenTheReadAndTheWriteOfAnother)
{
    Model.OnHostByte = [this](uint8_t byte) { Model.Outgoing.push_back(byte); };
    std::vector<uint8_t> sent(200000);
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<uint8_t>(i * 7);
    std::vector<uint8_t> taken;
    CThread taker(
        [&]
        {
            CStopwatch deadline;
            uint8_t byte = 0;
            while (taken.size() < sent.size() && deadline.ElapsedSeconds() < 20)
                if (TryTakeMailboxByte(byte))
                    taken.push_back(byte);
        });
    EXPECT_TRUE(SendMailboxBytes(sent.data(), sent.size()));
    taker.Join();
    EXPECT_EQ(taken, sent);
    for (size_t i = 0; i < Model.Log.size(); ++i)
        if (Model.Log[i].Write)
        {
            ASSERT_GT(i, 0u);
            ASSERT_FALSE(Model.Log[i - 1].Write) << "write " << i;
            ASSERT_EQ(Model.Log[i - 1].Thread, Model.Log[i].Thread) << "write " << i;
        }
}
