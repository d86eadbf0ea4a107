// The mailbox transport against the stand-in's emulated microcontroller, through a real card.
#include "SimHost.h"

#include "cards/CTVX3Card.h"
#include "link/Mailbox.h"

#include <gtest/gtest.h>

using namespace Corvane::Common;

namespace
{

class MailboxOnSimulatedCard : public ::testing::Test
{
protected:
    // Opens card 0 of this configuration as the run's card.
    void Use(const std::string& settings)
    {
        ASSERT_TRUE(SimHost::Configure("[gen3]\nindex = 0\nmodel = 0x10C\n" + settings));
        CurrentCard.reset(new CTVX3Card(0, CardForUse{}));
        ASSERT_TRUE(CurrentCard->Open(0, nullptr));
    }
    void TearDown() override { CurrentCard.reset(); }
};

const uint8_t VersionRequest[] = {'V', 'N', '?'};

} // namespace

TEST_F(MailboxOnSimulatedCard, StatusShowsTheFirmwareThatRuns)
{
    Use("mcu = application\n");
    EXPECT_EQ(ReadMailboxStatus(), MAILBOX_TX_READY | MAILBOX_RX_EMPTY);
    Use("mcu = service\n");
    EXPECT_EQ(ReadMailboxStatus(), MAILBOX_SERVICE_MODE | MAILBOX_TX_READY | MAILBOX_RX_EMPTY);
}

TEST_F(MailboxOnSimulatedCard, AFrameArrivesWholeAndTheUpperHalfIsKept)
{
    Use("mailbox_upper = 0x5A5A\ntx_ready_after = 7\n");
    ASSERT_TRUE(SendMailboxBytes(VersionRequest, sizeof(VersionRequest)));
    EXPECT_EQ(SimHost::McuReceived3(0), std::vector<uint8_t>(VersionRequest, VersionRequest + 3));
    EXPECT_EQ(SimHost::Count3(0, "mailbox_upper_changes"), 0u);
    EXPECT_EQ(SimHost::Count3(0, "tx_overruns"), 0u);
}

// A request and its reply while the firmware keeps up: every byte that crosses costs one read and
// one write of the register, nothing more.
TEST_F(MailboxOnSimulatedCard, EachByteCostsTwoRegisterAccessesWhenTheFirmwareKeepsUp)
{
    Use("");
    SimHost::ClearCounters3(0);
    ASSERT_TRUE(SendMailboxBytes(VersionRequest, sizeof(VersionRequest)));
    uint8_t reply[11] = {};
    for (uint8_t& byte : reply)
        ASSERT_TRUE(ReceiveMailboxByte(byte));
    EXPECT_EQ(std::string(reply, reply + 3), "VN=");
    EXPECT_EQ(SimHost::Count3(0, "host_bytes") + SimHost::Count3(0, "rx_bytes_taken"), 14u);
    EXPECT_EQ(SimHost::Count3(0, "mailbox_reads"), 14u);
    EXPECT_EQ(SimHost::Count3(0, "mailbox_writes"), 14u);
}

TEST_F(MailboxOnSimulatedCard, DrainTakesEveryWaitingByte)
{
    Use("mcu_sends = 0x41, 0x42, 0x43\n");
    EXPECT_EQ(ReadMailboxStatus() & (MAILBOX_RX_EMPTY | MAILBOX_DATA), 0x41);
    EXPECT_NE(DrainMailbox() & MAILBOX_RX_EMPTY, 0);
    EXPECT_EQ(SimHost::Count3(0, "mailbox_writes"), 3u);
    EXPECT_EQ(SimHost::Count3(0, "empty_acks"), 0u);
    EXPECT_NE(ReadMailboxStatus() & MAILBOX_RX_EMPTY, 0);
}
