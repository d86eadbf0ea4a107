// The emulated Gen 2 card through its library.

#include "SimLibrary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace SimTest;

namespace
{

class Gen2CardTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Api = LoadGen2();
        ASSERT_NE(Api, nullptr);
    }

    TvxHandle Open(uint32_t index)
    {
        TvxHandle handle = 0;
        EXPECT_EQ(Api->OpenCardByIndex(index, &handle), 0u);
        return handle;
    }

    volatile uint32_t* Space(TvxHandle handle, uint32_t space)
    {
        uint8_t record[TVX2_SPACE_INFO_SIZE] = {};
        if (Api->GetSpaceInfo(handle, space, record) != 0)
            return nullptr;
        void* pointer = nullptr;
        std::memcpy(&pointer, record + TVX2_SPACE_INFO_POINTER, sizeof pointer);
        return static_cast<volatile uint32_t*>(pointer);
    }

    const Gen2Library* Api = nullptr;
};

uint32_t Field(const uint8_t* record, size_t offset)
{
    uint32_t value = 0;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

} // namespace

TEST_F(Gen2CardTest, CardInformationSpacesAndBanks)
{
    ASSERT_EQ(Api->Configure("[gen2]\nindex = 3\nserial = 2003\ncard_type = 13\nfpga_type = 98\n"
                             "clocks = 2\ninfo_byte = 0x42\nbanks = 0x40000:32, 0:0\n"),
              1);
    const TvxHandle handle = Open(3);
    uint8_t info[TVX2_CARD_INFO_SIZE] = {};
    ASSERT_EQ(Api->GetCardInfo(handle, info), 0u);
    EXPECT_EQ(Field(info, TVX2_CARD_INFO_SERIAL), 2003u);
    EXPECT_EQ(Field(info, TVX2_CARD_INFO_CARD_TYPE), 13u);
    EXPECT_EQ(Field(info, TVX2_CARD_INFO_FPGA_TYPE), 98u);
    EXPECT_EQ(Field(info, TVX2_CARD_INFO_CLOCK_COUNT), 2u);
    EXPECT_EQ(info[TVX2_CARD_INFO_BYTE], 0x42);

    volatile uint32_t* fpga = Space(handle, TVX2_SPACE_FPGA);
    ASSERT_NE(fpga, nullptr);
    fpga[0x100] = 0x600DF00D;
    EXPECT_EQ(Api->Peek(3, 0, 0x400), 0x600DF00Du) << "space 0 is plain memory";

    uint8_t bank[TVX2_BANK_INFO_SIZE] = {};
    ASSERT_EQ(Api->GetBankInfo(handle, 0, bank), 0u);
    EXPECT_EQ(Field(bank, TVX2_BANK_INFO_FACTOR_A) * Field(bank, TVX2_BANK_INFO_FACTOR_B) / 8,
              0x100000u);
    EXPECT_EQ(bank[TVX2_BANK_INFO_FITTED], 1);
    ASSERT_EQ(Api->GetBankInfo(handle, 1, bank), 0u);
    EXPECT_EQ(bank[TVX2_BANK_INFO_FITTED], 0);

    EXPECT_EQ(Api->SetSpaceConfig(handle, 0, 0x39), 0u);
    EXPECT_EQ(Api->SpaceConfig(3, 0), 0x39u);
    EXPECT_EQ(Api->ConfigureFromFile(handle, "design.bit"), 0u);
    char path[32] = {};
    EXPECT_EQ(Api->LastConfigure(3, path, sizeof path), 1u);
    EXPECT_STREQ(path, "design.bit");
    double actual = 0.0;
    EXPECT_EQ(Api->SetClockRate(handle, 1, 66.0, &actual), 0u);
    EXPECT_EQ(actual, 66.0);
    EXPECT_NE(Api->SetClockRate(handle, 2, 66.0, &actual), 0u);

    EXPECT_EQ(Api->OpenHandles(3), 1u);
    EXPECT_EQ(Api->CloseCard(handle), 0u);
    EXPECT_EQ(Api->OpenHandles(3), 0u);
    EXPECT_NE(Api->GetCardInfo(handle, info), 0u);
}

TEST_F(Gen2CardTest, ControlCommandRegisterRecordsEveryWordAndReportsBusy)
{
    ASSERT_EQ(Api->Configure("[gen2]\nindex = 0\ncard_type = 13\n"), 1);
    const TvxHandle handle = Open(0);
    volatile uint32_t* control = Space(handle, TVX2_SPACE_CONTROL);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(Space(handle, TVX2_SPACE_CONTROL), control) << "one control space per card";
    (void)control[0];
    control[0x100] = 0x132D4080;
    std::vector<uint32_t> reads;
    for (int i = 0; i < 3; ++i)
        reads.push_back(static_cast<uint32_t>(control[0x100]));
    EXPECT_EQ(reads, (std::vector<uint32_t>{0x132D4080, 0x132D4080, 0x032D4080}))
        << "bit 28 reads set for two reads, then clear";
    control[0x100] = 0x032D1603;
    EXPECT_EQ(control[0x100], 0x032D1603u);

    uint32_t words[4] = {};
    EXPECT_EQ(Api->ControlWords(0, words, 4), 2u);
    EXPECT_EQ(words[0], 0x132D4080u);
    EXPECT_EQ(words[1], 0x032D1603u);
    EXPECT_EQ(Api->Count(0, "control_word0_reads"), 1u);
    EXPECT_EQ(Api->Count(0, "control_command_reads"), 4u);
    EXPECT_EQ(Api->CloseCard(handle), 0u);
}

TEST_F(Gen2CardTest, InjectedFailuresAndMissingCards)
{
    ASSERT_EQ(Api->Configure("[gen2]\nindex = 0\nfail = open\n[gen2]\nindex = 1\n"
                             "fail = card_info, control_space, space_config\n"),
              1);
    TvxHandle handle = 5;
    const TvxStatus missing = Api->OpenCardByIndex(2, &handle);
    EXPECT_STREQ(Api->GetStatusString(missing), "card not found");
    EXPECT_EQ(handle, 0u);
    EXPECT_NE(Api->OpenCardByIndex(0, &handle), 0u);
    EXPECT_EQ(Api->Count(0, "open_failures"), 1u);

    handle = Open(1);
    uint8_t record[TVX2_CARD_INFO_SIZE] = {};
    EXPECT_STREQ(Api->GetStatusString(Api->GetCardInfo(handle, record)),
                 "card information not available");
    EXPECT_EQ(Space(handle, TVX2_SPACE_CONTROL), nullptr);
    EXPECT_NE(Space(handle, TVX2_SPACE_FPGA), nullptr);
    EXPECT_NE(Api->SetSpaceConfig(handle, 0, 0x37), 0u);
    EXPECT_EQ(Api->CloseCard(handle), 0u);
    EXPECT_EQ(Api->Count(1, "not_a_counter"), UINT64_MAX);
}
