// What the stand-in's boot loader answers to commands the tool never sends: the other form, and
// addresses off the pages or beyond the flash. The tool's own exchanges are tested in
// BootLoaderTests.cpp.
#include "SimHost.h"

#include "cards/CTVX3Card.h"
#include "link/Mailbox.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Corvane::Common;

namespace
{

using Bytes = std::vector<uint8_t>;

const uint8_t Written = 0x06;
const uint8_t Refused = 0x15;

class StandInBootLoader : public testing::Test
{
protected:
    void Use(const std::string& settings)
    {
        ASSERT_TRUE(SimHost::Configure("[gen3]\nindex = 0\nmcu = service\n" + settings))
            << SimHost::LastError();
        CurrentCard.reset(new CTVX3Card(0, CardForUse{}));
        ASSERT_TRUE(CurrentCard->Open(0, nullptr));
        SetMicrocontrollerPatienceMilliseconds(100);
    }
    void TearDown() override
    {
        CurrentCard.reset();
        SetMicrocontrollerPatienceMilliseconds(2000);
    }

    void Send(const Bytes& bytes)
    {
        ASSERT_TRUE(SendMailboxBytes(bytes.data(), bytes.size(), MailboxChannel::BootLoader));
    }
    // Every byte the boot loader offers until it falls quiet.
    Bytes Answer()
    {
        Bytes answer;
        uint8_t byte = 0;
        while (ReceiveMailboxByte(byte, MailboxChannel::BootLoader))
            answer.push_back(byte);
        return answer;
    }
    Bytes PageWrite(const Bytes& command, size_t pageSize, uint8_t fill = 0x00)
    {
        Send(command);
        Send(Bytes(pageSize, fill));
        return Answer();
    }
};

} // namespace

TEST_F(StandInBootLoader, VersionReplyIsAHeaderAndFourLittleEndianNumbers)
{
    Use("bootloader_version = 1.2.3.260\n");
    Send({'V', 'N', '?'});
    EXPECT_EQ(Answer(), (Bytes{'V', 'N', '=', 1, 0, 2, 0, 3, 0, 4, 1}));
    Send({'V', 'X', '?'});
    EXPECT_TRUE(Answer().empty()) << "not a command it knows";
}

TEST_F(StandInBootLoader, CommandsThatDoNotSuitTheCardAreRefusedAndChangeNothing)
{
    Use("model = 0x104\n"); // 16 KiB, 256-byte pages: the short form
    EXPECT_EQ(PageWrite({'w', 0x00, 0x01, 0x00, 0x00}, 256), Bytes{Refused}) << "long form";
    EXPECT_EQ(PageWrite({'W', 0x80, 0x01}, 256), Bytes{Refused}) << "not page-aligned";
    EXPECT_EQ(PageWrite({'W', 0x00, 0x40}, 256), Bytes{Refused}) << "beyond the flash";
    Send({'R', 0x00, 0x40});
    EXPECT_EQ(Answer(), Bytes{Refused});
    Send({'R', 0x00, 0x01});
    EXPECT_EQ(Answer(), Bytes(256, 0xFF)) << "the page the refused writes aimed at";
    EXPECT_EQ(PageWrite({'W', 0x00, 0x01}, 256, 0xA5), Bytes{Written});
    Send({'R', 0x00, 0x01});
    EXPECT_EQ(Answer(), Bytes(256, 0xA5));

    Use("model = 0x10C\n"); // 128 KiB, 512-byte pages: the long form
    EXPECT_EQ(PageWrite({'W', 0x00, 0x02}, 512), Bytes{Refused}) << "short form";
    EXPECT_EQ(PageWrite({'w', 0x00, 0x02, 0x00, 0x01}, 512), Bytes{Refused}) << "fifth byte";
    EXPECT_EQ(PageWrite({'w', 0x00, 0x00, 0x02, 0x00}, 512), Bytes{Refused}) << "beyond";
    Send({'r', 0x00, 0x02, 0x00, 0x00});
    EXPECT_EQ(Answer(), Bytes(512, 0xFF));
}
