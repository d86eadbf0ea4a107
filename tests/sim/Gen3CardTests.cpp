// The emulated Gen 3 card through the library, as the card layer and the link use it.

#include "SimLibrary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

using namespace SimTest;

namespace
{

const uint32_t TX_READY = 0x1000;
const uint32_t RX_EMPTY = 0x0200;
const uint32_t SERVICE_MODE = 0x4000;

class Gen3CardTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Api = LoadGen3();
        ASSERT_NE(Api, nullptr);
    }

    void Map(const std::string& configuration, uint32_t index = 0)
    {
        Card = ConfigureAndMap(configuration, index);
        ASSERT_NE(Card.Handle, 0u) << Api->LastError();
    }

    uint32_t Mailbox() const { return Card.Register(MAILBOX); }
    void SendByte(uint8_t byte) const { Card.Register(MAILBOX) = 0x0400u | byte; }

    const Gen3Library* Api = nullptr;
    MappedCard Card;
};

} // namespace

TEST_F(Gen3CardTest, TxReadyReturnsAfterTheConfiguredReadsFollowingEachByte)
{
    Map("[gen3]\nindex = 0\ntx_ready_after = 2\n");
    EXPECT_EQ(Mailbox() & 0xFFFF, TX_READY | RX_EMPTY) << "ready at power-up, nothing waiting";
    SendByte(0x56);
    EXPECT_EQ(Mailbox() & TX_READY, 0u);
    EXPECT_EQ(Mailbox() & TX_READY, 0u);
    EXPECT_EQ(Mailbox() & TX_READY, TX_READY);
    SendByte(0x4E);
    SendByte(0x3F); // sent while not ready: lost
    uint8_t received[4] = {};
    EXPECT_EQ(Api->McuReceived(0, received, sizeof received), 2u);
    EXPECT_EQ(received[1], 0x4E);
    EXPECT_EQ(Api->Count(0, "tx_overruns"), 1u);
    EXPECT_EQ(Api->Count(0, "mailbox_reads"), 4u);
}

TEST_F(Gen3CardTest, MicrocontrollerModesShowInTheMailbox)
{
    Map("[gen3]\nindex = 0\nmcu = service\n[gen3]\nindex = 1\nmcu = absent\n"
        "[gen3]\nindex = 2\ntx_ready = never\n");
    EXPECT_EQ(Mailbox() & SERVICE_MODE, SERVICE_MODE);
    EXPECT_EQ(Api->Peek(1, 2, MAILBOX_BYTE), RX_EMPTY) << "nothing answers, nothing waits";
    EXPECT_EQ(Api->Peek(2, 2, MAILBOX_BYTE) & (TX_READY | SERVICE_MODE), 0u);
    EXPECT_EQ(Api->McuSend(1, reinterpret_cast<const uint8_t*>("x"), 1), 0);
    Card.Register(MAILBOX) = 0x0541; // a boot-channel byte
    EXPECT_EQ(Api->Count(0, "boot_channel_bytes"), 1u);
}

TEST_F(Gen3CardTest, BytesFromTheMicrocontrollerWaitUntilAcknowledged)
{
    Map("[gen3]\nindex = 0\nmcu_sends = 0x56 0x4E\nmailbox_upper = 0x1234\n");
    const uint8_t more = 0x3D;
    ASSERT_EQ(Api->McuSend(0, &more, 1), 1);
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
    EXPECT_EQ(Api->Count(0, "rx_bytes_taken"), 3u);
    EXPECT_EQ(Api->Count(0, "empty_acks"), 1u);
    EXPECT_EQ(Api->Count(0, "host_bytes"), 0u) << "an acknowledge sends nothing";
}

TEST_F(Gen3CardTest, IndirectAccessCompletesAfterTheConfiguredStatusReads)
{
    Map("[gen3]\nindex = 0\nindirect_complete_after = 2\n[gen3]\nindex = 1\n"
        "indirect_complete_after = never\n");
    Api->PokeFpga(0, 0x123450, 0xFEEDF00D);
    Card.Register(28) = 0x9F000000 | 0x123450;
    EXPECT_EQ(Card.Register(28) & 0xA0000000, 0u);
    EXPECT_EQ(Card.Register(28) & 0xA0000000, 0u);
    EXPECT_EQ(Card.Register(28) & 0xA0000000, 0xA0000000u);
    EXPECT_EQ(Card.Register(30), 0xFEEDF00Du);

    Card.Register(29) = 0x0BADCAFE;
    Card.Register(28) = 0xDF000000 | 0x000100;
    EXPECT_EQ(Api->PeekFpga(0, 0x100), 0u) << "written only when the access completes";
    for (int i = 0; i < 3; ++i)
        Discard(Card.Register(28));
    EXPECT_EQ(Api->PeekFpga(0, 0x100), 0x0BADCAFEu);
    EXPECT_EQ(Api->Count(0, "indirect_commands"), 2u);

    Card = ConfigureAndMap("[gen3]\nindex = 0\nindirect_complete_after = never\n");
    ASSERT_NE(Card.Handle, 0u);
    Card.Register(28) = 0x9F000000;
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(Card.Register(28) & 0x80000000, 0u);
}

TEST_F(Gen3CardTest, BusProbeAnswersOnlyForTheConfiguredAddresses)
{
    Map("[gen3]\nindex = 0\nprobe_answers = 0x52\n");
    const auto probe = [&](uint32_t address)
    {
        Card.Register(256) = (address << 16) | 0x02800000;
        const uint32_t status = Card.Register(256);
        if (status & 0x10000000)
            Card.Register(256) = 0x10800000;
        return status;
    };
    EXPECT_EQ(Card.Register(256) & 0x08000000, 0x08000000u) << "idle";
    EXPECT_EQ(probe(0x52) & 0x18000000, 0x08000000u) << "answered";
    EXPECT_EQ(probe(0x53) & 0x18000000, 0x10000000u) << "no answer";
    EXPECT_EQ(Card.Register(256) & 0x18000000, 0x08000000u) << "idle again after the clear";
    EXPECT_EQ(Api->Count(0, "probe_commands"), 2u);
    EXPECT_EQ(Api->Count(0, "probe_clears"), 1u);
}

TEST_F(Gen3CardTest, PagingShowsTheFpgaSpaceThroughWindowZero)
{
    Map("[gen3]\nindex = 0\npage_refuse = 0x800000\nfpga_space = 0x1000000\n");
    Api->PokeFpga(0, 0x400000, 0x11111111);
    Api->PokeFpga(0, 0x400004, 0x22222222);
    Card.FpgaWord(0) = 0xAAAA0000;
    Card.BridgeWord(0x20) = 0x400000;
    EXPECT_EQ(Card.BridgeWord(0x20), 0x400000u);
    EXPECT_EQ(Card.FpgaWord(0), 0x11111111u);
    EXPECT_EQ(Card.FpgaWord(4), 0x22222222u);
    Card.FpgaWord(8) = 0x33333333;
    EXPECT_EQ(Api->PeekFpga(0, 0x400008), 0x33333333u);
    EXPECT_EQ(Api->PeekFpga(0, 0), 0xAAAA0000u) << "written while page 0 was shown";

    Card.BridgeWord(0x20) = 0x800000; // refused: keeps the page it had
    EXPECT_EQ(Card.BridgeWord(0x20), 0x400000u);
    Card.BridgeWord(0x20) = 0x1000000; // beyond the FPGA space
    EXPECT_EQ(Card.FpgaWord(0), 0xFFFFFFFFu);
    EXPECT_EQ(Api->Count(0, "page_writes"), 3u);
    EXPECT_EQ(Api->Count(0, "page_refusals"), 1u);
    EXPECT_EQ(Api->Count(0, "out_of_range"), 1u);
    EXPECT_EQ(Api->Count(0, "window0_reads"), 3u);
    EXPECT_EQ(Api->Count(0, "window0_writes"), 2u);
}

TEST_F(Gen3CardTest, BridgeStatusAndLaneRegisters)
{
    Map("[gen3]\nindex = 0\nbridge_error = 1\n");
    EXPECT_EQ(Card.BridgeWord(0x34), 0x04000000u);
    Card.BridgeWord(0x34) = 0xFF000000;
    EXPECT_EQ(Card.BridgeWord(0x34), 0u);
    Card.BridgeWord(0x24) = 0x00F00000;
    Card.BridgeWord(0x24) = 0;
    EXPECT_EQ(Api->Count(0, "lane_writes"), 2u);
    EXPECT_EQ(Api->LastWrite(0, 3, 0x24), 0u);
    EXPECT_EQ(Api->Count(0, "status_clears"), 1u);

    MappedCard sticky = ConfigureAndMap("[gen3]\nindex = 0\nbridge_error = always\n");
    ASSERT_NE(sticky.Handle, 0u);
    sticky.BridgeWord(0x34) = 0xFF000000;
    EXPECT_EQ(sticky.BridgeWord(0x34), 0u);
    Discard(sticky.FpgaWord(0));
    EXPECT_EQ(sticky.BridgeWord(0x34), 0x04000000u) << "set again by every window-0 read";
}

TEST_F(Gen3CardTest, OpenRecordsAndHandles)
{
    ASSERT_EQ(Api->Configure("[gen3]\nindex = 0\nserial = 4242\nmodel = 0x10D\nclocks = 3\n"
                             "info_byte = 0x7E\nfpga = CVX-220Q\nbanks = 0x200000:64, 0x100:0\n"
                             "[gen3]\nindex = 5\n"),
              1);
    TvxHandle first = 0;
    TvxHandle second = 0;
    ASSERT_EQ(Api->OpenEx(0, 1, 0, &first), 0u);
    ASSERT_EQ(Api->OpenEx(0, 0, 0, &second), 0u);
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(Api->OpenHandles(0), 2u);
    EXPECT_EQ(Api->Count(0, "inspection_opens"), 1u);
    EXPECT_EQ(Api->Count(0, "use_opens"), 1u);

    uint8_t info[TVX3_CARD_INFO_SIZE] = {};
    ASSERT_EQ(Api->GetCardInfo(first, info), 0u);
    uint32_t field = 0;
    std::memcpy(&field, info + TVX3_CARD_INFO_SERIAL, 4);
    EXPECT_EQ(field, 4242u);
    std::memcpy(&field, info + TVX3_CARD_INFO_MODEL_CODE, 4);
    EXPECT_EQ(field, 0x10Du);
    std::memcpy(&field, info + TVX3_CARD_INFO_CLOCK_COUNT, 4);
    EXPECT_EQ(field, 3u);
    EXPECT_EQ(info[TVX3_CARD_INFO_BYTE], 0x7E);

    std::vector<uint8_t> fpga(TVX3_FPGA_INFO_A_SIZE);
    ASSERT_EQ(Api->GetFpgaInfoA(first, 0, fpga.data()), 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(fpga.data() + TVX3_FPGA_INFO_A_NAME), "CVX-220Q");
    std::vector<uint8_t> wide(TVX3_FPGA_INFO_W_SIZE);
    ASSERT_EQ(Api->GetFpgaInfoW(first, 0, wide.data()), 0u);
    std::wstring name(reinterpret_cast<const wchar_t*>(wide.data() + TVX3_FPGA_INFO_W_NAME));
    EXPECT_TRUE(name == L"CVX-220Q");

    uint8_t bank[TVX3_BANK_INFO_SIZE] = {};
    ASSERT_EQ(Api->GetBankInfo(first, 0, bank), 0u);
    uint64_t depth = 0;
    uint16_t width = 0;
    std::memcpy(&depth, bank + TVX3_BANK_INFO_DEPTH, 8);
    std::memcpy(&width, bank + TVX3_BANK_INFO_WIDTH, 2);
    std::memcpy(&field, bank + TVX3_BANK_INFO_FITTED, 4);
    EXPECT_EQ(depth, 0x200000u);
    EXPECT_EQ(width, 64u);
    EXPECT_EQ(field, 1u);
    ASSERT_EQ(Api->GetBankInfo(first, 1, bank), 0u);
    std::memcpy(&field, bank + TVX3_BANK_INFO_FITTED, 4);
    EXPECT_EQ(field, 0u);
    EXPECT_NE(Api->GetBankInfo(first, 2, bank), 0u);

    double actual = 0.0;
    ASSERT_EQ(Api->SetClockFrequency(second, 2, 0, 156.25, &actual), 0u);
    EXPECT_EQ(actual, 156.25);
    EXPECT_EQ(Api->ClockFrequency(0, 2), 156.25);
    EXPECT_NE(Api->SetClockFrequency(second, 3, 0, 100.0, &actual), 0u);

    ASSERT_EQ(Api->ConfigureFromFileA(second, 0, 2, "image.bit"), 0u);
    char path[16] = {};
    uint32_t flags = 0;
    EXPECT_EQ(Api->LastConfigure(0, path, sizeof path, &flags), 1u);
    EXPECT_STREQ(path, "image.bit");
    EXPECT_EQ(flags, 2u);

    void* window = nullptr;
    ASSERT_EQ(Api->MapWindow(second, 2, 0, 0x800, &window), 0u);
    EXPECT_NE(Api->UnmapWindow(first, window), 0u) << "another handle's window";
    EXPECT_EQ(Api->UnmapWindow(second, window), 0u);
    EXPECT_NE(Api->MapWindow(second, 1, 0, 0x100, &window), 0u) << "no window 1";
    EXPECT_NE(Api->MapWindow(second, 3, 0, 0x200, &window), 0u) << "longer than window 3";

    EXPECT_EQ(Api->Close(first), 0u);
    EXPECT_EQ(Api->Close(second), 0u);
    EXPECT_NE(Api->Close(second), 0u);
    EXPECT_NE(Api->GetCardInfo(second, info), 0u) << "a closed handle is dead";
    EXPECT_EQ(Api->OpenHandles(0), 0u);
    EXPECT_EQ(Api->Count(0, "closes"), 2u);
    EXPECT_EQ(Api->Count(0, "unmaps"), 1u);
    EXPECT_EQ(Api->Count(0, "no_such_counter"), UINT64_MAX);
}

TEST_F(Gen3CardTest, InjectedFailuresAndMissingCardsReportTheirStatus)
{
    ASSERT_EQ(Api->Configure("[gen3]\nindex = 0\nfail = open\n[gen3]\nindex = 1\n"
                             "fail = card_info, map2, fpga_info, configure, clock, bank\n"),
              1);
    TvxHandle handle = 77;
    const TvxStatus notFound = Api->OpenEx(3, 1, 0, &handle);
    EXPECT_NE(notFound, 0u);
    EXPECT_EQ(handle, 0u);
    EXPECT_STREQ(Api->GetStatusStringA(notFound, 0), "card not found");
    const TvxStatus refused = Api->OpenEx(0, 1, 0, &handle);
    EXPECT_NE(refused, 0u);
    EXPECT_STREQ(Api->GetStatusStringA(refused, 0), "card cannot be opened");
    EXPECT_EQ(Api->Count(0, "open_failures"), 1u);

    ASSERT_EQ(Api->OpenEx(1, 0, 0, &handle), 0u);
    uint8_t record[TVX3_FPGA_INFO_W_SIZE] = {};
    double actual = 0.0;
    void* window = nullptr;
    const TvxStatus failures[] = {
        Api->GetCardInfo(handle, record),
        Api->MapWindow(handle, 2, 0, 0x800, &window),
        Api->GetFpgaInfoA(handle, 0, record),
        Api->GetFpgaInfoW(handle, 0, record),
        Api->ConfigureFromFileA(handle, 0, 0, "x.bit"),
        Api->SetClockFrequency(handle, 0, 0, 100.0, &actual),
        Api->GetBankInfo(handle, 0, record),
    };
    for (TvxStatus status : failures)
    {
        EXPECT_NE(status, 0u);
        EXPECT_STRNE(Api->GetStatusStringA(status, 0), "unknown status");
    }
    EXPECT_EQ(Api->MapWindow(handle, 3, 0, 0x100, &window), 0u) << "only window 2 fails";
    EXPECT_EQ(Api->Close(handle), 0u);
}

TEST_F(Gen3CardTest, ConfigurationTextThatDoesNotParseChangesNothing)
{
    ASSERT_EQ(Api->Configure("[gen3]\nindex = 4\n"), 1);
    EXPECT_EQ(Api->Configure("[gen3]\nindex = 4\nspeed = fast\n"), 0);
    EXPECT_NE(std::string(Api->LastError()).find(":3: unknown key 'speed'"), std::string::npos)
        << Api->LastError();
    TvxHandle handle = 0;
    EXPECT_EQ(Api->OpenEx(4, 1, 0, &handle), 0u) << "the card of the last good text remains";
    EXPECT_EQ(Api->Close(handle), 0u);
}
