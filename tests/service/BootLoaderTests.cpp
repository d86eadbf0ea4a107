// The boot loader in-process: what a refused call leaves unsent, a mailbox that never empties, and
// what the stand-in's boot loader answers to commands the tool never sends (the other form,
// addresses off the pages or beyond the flash), on which the end-to-end tests rely.
#include "SimHost.h"

#include "board/BoardProfile.h"
#include "cards/CTVX3Card.h"
#include "link/Mailbox.h"
#include "service/BootLoader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace Corvane::Common;

namespace
{

using Bytes = std::vector<uint8_t>;

const uint8_t Written = 0x06;
const uint8_t Refused = 0x15;

// A boot loader that never stops offering bytes.
class CChatteringMailbox : public IMailboxRegister
{
public:
    uint32_t ReadMailboxRegister() override
    {
        return MAILBOX_SERVICE_MODE | MAILBOX_TX_READY | 0x41;
    }
    void WriteMailboxRegister(uint32_t value) override
    {
        if ((value & MAILBOX_TX_STROBE) != 0)
            ++BytesSent;
    }
    int BytesSent = 0;
};

class BootLoader : public testing::Test
{
protected:
    // Card 0 in service mode with these settings, open as the run's card.
    void Use(const std::string& settings)
    {
        ASSERT_TRUE(SimHost::Configure("[gen3]\nindex = 0\nmcu = service\n" + settings))
            << SimHost::LastError();
        CurrentCard.reset(new CTVX3Card(0, CardForUse{}));
        ASSERT_TRUE(CurrentCard->Open(0, nullptr));
        ConnectMailbox(CurrentCard->AsGen3Card());
        SetMicrocontrollerPatienceMilliseconds(100);
    }
    void TearDown() override
    {
        ConnectMailbox(nullptr);
        CurrentCard.reset();
        SetMicrocontrollerPatienceMilliseconds(2000);
    }

    // What the call printed; the boot loader's received log starts afresh for it.
    std::string Output(const std::function<bool()>& call, bool succeeds = true)
    {
        SimHost::ClearCounters3(0);
        testing::internal::CaptureStdout();
        EXPECT_EQ(call(), succeeds);
        return testing::internal::GetCapturedStdout();
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

TEST_F(BootLoader, ArgumentsOutsideThePagesOrTheFlashSendNothing)
{
    Use("model = 0x104\n"); // 16 KiB, 256-byte pages
    ASSERT_TRUE(SelectBoardProfile(CurrentCard->GetCardModel()));
    const Bytes data(0x300, 0x5A);
    Bytes buffer(0x200);
    EXPECT_EQ(Output([&] { return WriteFlashPages(0x80, data.data(), 0); }, false),
              "\nError, Size is not a multiple of the page size");
    EXPECT_EQ(Output([&] { return ReadFlashPages(0x100, buffer.data(), 0x80); }, false),
              "\nError, Offset is not a multiple of the page size");
    EXPECT_EQ(Output([&] { return WriteFlashRange(0x3F00, data.data(), 0x101); }, false),
              "\nError, Range reaches past the end of the flash");
    EXPECT_EQ(Output([&] { return ReadFlashRange(0xFFFFFFF0u, buffer.data(), 0x20); }, false),
              "\nError, Range reaches past the end of the flash")
        << "an address and size whose sum wraps";
    EXPECT_EQ(Output([&] { return WriteFlashPages(0, data.data(), 0x4000); }),
              "\n\nPerforming NVM Write to 0x004000 size 0x000000\nWriting page:\nDone\n");
    EXPECT_TRUE(SimHost::McuReceived3(0).empty());
}

TEST_F(BootLoader, AMailboxThatNeverEmptiesEndsTheCallBeforeAnythingIsSent)
{
    CChatteringMailbox mailbox;
    ConnectMailbox(&mailbox);
    SetMicrocontrollerPatienceMilliseconds(100);
    EXPECT_EQ(Output(ReadBootloaderVersion, false),
              "\nThe boot loader kept sending for 100 ms: its mailbox could not be emptied.\n");
    EXPECT_EQ(mailbox.BytesSent, 0);
}

// The version reply is a header and four little-endian numbers.
TEST_F(BootLoader, StandInAnswersTheVersionAndRefusesCommandsThatDoNotSuitTheCard)
{
    Use("model = 0x104\nbootloader_version = 1.2.3.260\n"); // 16 KiB, 256-byte pages: short form
    Send({'V', 'N', '?'});
    EXPECT_EQ(Answer(), (Bytes{'V', 'N', '=', 1, 0, 2, 0, 3, 0, 4, 1}));
    Send({'V', 'X', '?'});
    EXPECT_TRUE(Answer().empty()) << "not a command it knows";
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
