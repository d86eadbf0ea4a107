// What only the stand-in's own tests see of its emulated microcontroller: the mailbox bits, the
// TX_READY delay and the bytes that wait for the host's acknowledge, counted exactly.

#include "SimHost.h"

#include <gtest/gtest.h>

#include <string>

using namespace Corvane::Common::SimHost;

namespace
{

const uint32_t TX_READY = 0x1000;
const uint32_t RX_EMPTY = 0x0200;

class Microcontroller : public testing::Test
{
protected:
    void Map(const std::string& configuration)
    {
        Card = ConfigureAndMap(configuration);
        ASSERT_NE(Card.Handle, 0u) << LastError();
    }

    uint32_t Mailbox() const { return Card.Register(MAILBOX); }
    void SendByte(uint8_t byte) const { Card.Register(MAILBOX) = 0x0400u | byte; }

    MappedCard Card;
};

} // namespace

TEST_F(Microcontroller, TxReadyReturnsAfterTheConfiguredReadsFollowingEachByte)
{
    Map("[gen3]\nindex = 0\ntx_ready_after = 2\n");
    EXPECT_EQ(Mailbox() & 0xFFFF, TX_READY | RX_EMPTY) << "ready at power-up, nothing waiting";
    SendByte(0x56);
    EXPECT_EQ(Mailbox() & TX_READY, 0u);
    EXPECT_EQ(Mailbox() & TX_READY, 0u);
    EXPECT_EQ(Mailbox() & TX_READY, TX_READY);
    SendByte(0x4E);
    SendByte(0x3F); // sent while not ready: lost
    EXPECT_EQ(McuReceived3(0), (std::vector<uint8_t>{0x56, 0x4E}));
    EXPECT_EQ(Count3(0, "tx_overruns"), 1u);
    EXPECT_EQ(Count3(0, "mailbox_reads"), 4u);
}

TEST_F(Microcontroller, BytesWaitUntilAcknowledged)
{
    Map("[gen3]\nindex = 0\nmcu_sends = 0x56 0x4E 0x3D\nmailbox_upper = 0x1234\n");
    std::string seen;
    for (int guard = 0; guard < 10 && (Mailbox() & RX_EMPTY) == 0; ++guard)
    {
        const uint32_t value = Mailbox();
        EXPECT_EQ(value >> 16, 0x1234u);
        EXPECT_EQ(Mailbox(), value) << "reading again does not consume the byte";
        seen += static_cast<char>(value & 0xFF);
        Card.Register(MAILBOX) = (value & 0xFFFF0000u) | 0x0200;
    }
    EXPECT_EQ(seen, "VN=");
    EXPECT_EQ(Mailbox() & 0xFF, 0u);
    Card.Register(MAILBOX) = 0x12340200; // nothing waits
    EXPECT_EQ(Count3(0, "rx_bytes_taken"), 3u);
    EXPECT_EQ(Count3(0, "empty_acks"), 1u);
    EXPECT_EQ(Count3(0, "host_bytes"), 0u) << "an acknowledge sends nothing";
}
