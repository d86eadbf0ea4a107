#include "board/BoardProfile.h"
#include "board/ElapsedTimeCounter.h"
#include "board/StatusRecord.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <initializer_list>
#include <string>

using namespace Corvane::Common;

namespace
{
using Record = std::array<uint8_t, 64>;

// Little-endian 16-bit words from offset on.
void Put16s(Record& record, size_t offset, std::initializer_list<uint32_t> values)
{
    for (uint32_t value : values)
    {
        record[offset++] = static_cast<uint8_t>(value);
        record[offset++] = static_cast<uint8_t>(value >> 8);
    }
}

void PutBytes(Record& record, size_t offset, std::initializer_list<uint8_t> bytes)
{
    for (uint8_t byte : bytes)
        record[offset++] = byte;
}

std::string Printed(const BoardProfile* profile, const Record& record, bool withClockStatus)
{
    std::FILE* file = std::tmpfile();
    if (!profile || !file)
        return "no profile or no file";
    PrintStatusRecord(*profile, record.data(), withClockStatus, file);
    std::string text;
    std::rewind(file);
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
        text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

std::string Printed(int32_t model, const Record& record, bool withClockStatus = true)
{
    return Printed(FindBoardProfile(model), record, withClockStatus);
}

const char* const T = "   true";
const char* const F = "  false";

struct Shown
{
    std::string Name;
    std::string Value;
};

// The expected lines: each name right-aligned in 25 columns, then its value.
std::string Lines(std::initializer_list<Shown> lines)
{
    std::string text;
    for (const Shown& line : lines)
        text += "\n" + std::string(25 - line.Name.size(), ' ') + line.Name + ": " + line.Value;
    return text;
}

// The four range lines of a channel whose nibble holds the given bits.
std::string Range(const std::string& channel, unsigned nibble)
{
    return Lines({{channel + " Under Range", nibble & 1 ? T : F},
                  {channel + " Over Range", nibble & 2 ? T : F},
                  {channel + " Critical", nibble & 4 ? T : F},
                  {channel + " OK", nibble & 8 ? T : F}});
}
} // namespace

TEST(StatusRecord, EmptyProfilePrintsNothing)
{
    Record record;
    record.fill(0xFF);
    const BoardProfile empty;
    EXPECT_EQ(Printed(&empty, record, true), "");
}

TEST(StatusRecord, Model32WholeRecord)
{
    Record record{};
    PutBytes(record, 0, {0xFF, 0x17, 0x15, 0x00, 0xA5, 0x01, 0x02, 0x03});
    Put16s(record, 8, {1000, 3200, 0, 8192, 2000, 65535, 3461, 1, 700, 4000, 10880, 16192});
    // clang-format off
    const std::string expected = Lines({
        {"ETC", "3 days, 23 hours, 59 min.s, 59 sec.s"}, {"Events", "66306"},
        {"ADC 0", "  1.444 V"}, {"ADC 1", " 12.500 V"}, {"ADC 2", "  0.000 V"},
        {"ADC 3", "  3.000 V"}, {"ADC 4", "  2.889 V"}, {"ADC 5", " 94.665 V"},
        {"ADC 6", "  4.999 V"}, {"ADC 7", "  0.001 V"}, {"ADC 8", "  1.011 V"},
        {"AVR Temperature", "-23.150 C"}, {"PCB Temperature", " 42.500 C"},
        {"Bridge Temperature", " 63.250 C"}, {"XMC_GA0", T}, {"XMC_GA1", F}, {"XMC_GA2", T},
        {"AVCC_POWER_OK", F}, {"VREF_DRAM_OK", F}, {"MVMRO", T}, {"MBIST_L", F}, {"Switch", T}
    });
    // clang-format on
    EXPECT_EQ(Printed(32, record), expected);
}

TEST(StatusRecord, Model33And34WholeRecord)
{
    Record record{};
    PutBytes(record, 4, {0x0F, 0x00, 0xFF, 0x00});
    Put16s(record, 8, {1280, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 10000, 20000, 30000});
    PutBytes(record, 32, {0x01, 0x80});
    Put16s(record, 34, {4700, 6400, 6528, 64});
    PutBytes(record, 42, {0x41});
    // clang-format off
    const std::string expected = Lines({
        {"ETC", "0 days, 0 hours, 0 min.s, 0 sec.s"}, {"Events", "255"}, {"ADC 0", "  5.000 V"},
        {"ADC 1", "  1.462 V"}, {"ADC 2", "  2.925 V"}, {"ADC 3", "  4.387 V"},
        {"ADC 4", "  5.850 V"}, {"ADC 5", "  7.312 V"}, {"ADC 6", "  8.774 V"},
        {"ADC 7", " 10.237 V"}, {"ADC 8", " 11.699 V"}, {"ADC 9", "  3.551 V"},
        {"ADC 10", "  7.102 V"}, {"ADC 11", " 10.653 V"}, {"AVR Temperature", " 20.600 C"},
        {"PCB Temperature", " 25.000 C"}, {"Bridge Temperature", " 25.500 C"},
        {"Target Temperature", "  0.250 C"}, {"STATUS_PERST_L", T}, {"STATUS_BRG_DONE_3V3", T},
        {"STATUS_TGT_DONE_3V3", T}, {"STATUS_VREF_DRAM_OK", T}, {"STATUS_AVR_SERV_L", F},
        {"STATUS_AVR_RST_L", F}, {"STATUS_RSRVD_0", F}, {"STATUS_RSRVD_1", F},
        {"TMP0 (AVR) Warning LOW", T}, {"TMP0 (AVR) Warning HIGH", F},
        {"TMP1 (Brd) Warning LOW", F}, {"TMP1 (Brd) Warning HIGH", F},
        {"TMP2 (Brd) Warning LOW", F}, {"TMP2 (Brd) Warning HIGH", F},
        {"TMP3 (Tgt) Warning LOW", F}, {"TMP3 (Tgt) Warning HIGH", F},
        {"TMP0 (AVR) Critical LOW", F}, {"TMP0 (AVR) Critical HIGH", F},
        {"TMP1 (Brd) Critical LOW", F}, {"TMP1 (Brd) Critical HIGH", F},
        {"TMP2 (Brd) Critical LOW", F}, {"TMP2 (Brd) Critical HIGH", F},
        {"TMP3 (Tgt) Critical LOW", F}, {"TMP3 (Tgt) Critical HIGH", T}, {"FMC_PRESENT", T},
        {"FMC_PG_C2M", F}, {"FMC_PG_M2C", F}, {"FMC_VADJ_VSEL0", F}, {"FMC_VADJ_VSEL1", F},
        {"FMC_VADJ_VSEL2", F}, {"STATUS_RSRVD_0", T}, {"STATUS_RSRVD_1", F}
    });
    // clang-format on
    EXPECT_EQ(Printed(33, record), expected);
    EXPECT_EQ(Printed(34, record), expected);
}

TEST(StatusRecord, Model35WholeRecordHasNoFlagLines)
{
    Record record;
    record.fill(0xFF);
    PutBytes(record, 0, {0x00, 0x46, 0x05, 0x00});
    PutBytes(record, 7, {0x12, 0x34, 0x56});
    Put16s(record, 10, {3072, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 10000, 20000});
    // clang-format off
    const std::string expected = Lines({
        {"ETC", "1 days, 0 hours, 0 min.s, 0 sec.s"}, {"Events", "1201716"}, {"ADC 0", " 12.000 V"},
        {"ADC 1", "  1.462 V"}, {"ADC 2", "  2.925 V"}, {"ADC 3", "  4.387 V"},
        {"ADC 4", "  5.850 V"}, {"ADC 5", "  7.312 V"}, {"ADC 6", "  8.774 V"},
        {"ADC 7", " 10.237 V"}, {"ADC 8", " 11.699 V"}, {"ADC 9", "  3.551 V"},
        {"ADC 10", "  7.102 V"}
    });
    // clang-format on
    EXPECT_EQ(Printed(35, record), expected);
}

TEST(StatusRecord, Model37And39WholeRecord)
{
    Record record{};
    // The fourth counter byte (7), bytes 8-9 and 24-25 are read by no row.
    PutBytes(record, 0, {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x01, 0xFF, 0xEE, 0xEE});
    Put16s(record, 10, {49152, 20480, 13517, 10240, 8192, 7373, 6144, 0xFFFF});
    Put16s(record, 26, {7372, 4915, 4096, 5120, 4097, 0, 65535, 4700, 4370, 0, 5000});
    PutBytes(record, 48,
             {0x01, 0x44, 0x10, 0x7B, 0x05, 0x21, 0x8F, 0x21, 0x84, 0x00, 0x3F, 0x00, 0x80, 0x01,
              0xF0, 0x48});
    // clang-format off
    const std::string expected = Lines({
        {"ETC", "12427 days, 13 hours, 37 min.s, 3 sec.s"}, {"Events", "65537"},
        {"A1 VPWR_ADCMP", " 12.000 V"}, {"A2 12V0_DIG_ADCMP", "  5.000 V"},
        {"A3 5V0_DIG_ADCMP", "  3.300 V"}, {"A4 3V3_DIG_ADCMP", "  2.500 V"},
        {"A5 2V5_DIG_ADCMP", "  2.000 V"}, {"A6 VCC_AUX_IO_2V0_ADCMP", "  1.800 V"},
        {"A7 1V8_DIG_ADCMP", "  1.500 V"}, {"B1 1V8_VCCAUX_ADCMP", "  1.800 V"},
        {"B2 MGT_AVCC_AUX_1V8_ADCMP", "  1.200 V"}, {"B3 VCC_DRAM_ADCMP", "  1.000 V"},
        {"B4 ZKM_VIO_ADCMP", "  1.250 V"}, {"B5 1V0_DIG_ADCMP", "  1.000 V"},
        {"B6 TGT_AVCC_1V2_ADCMP", "  0.000 V"}, {"B7 TGT_AVCC_1V0_ADCMP", " 16.000 V"},
        {"TMP0 AVR Temperature", " 20.600 C"}, {"TMP1 PCB Temperature", " -0.025 C"},
        {"TMP2 Bridge Temperature", "-273.150 C"}, {"TMP3 Target Temperature", " 39.350 C"},
        {"PSU_OK_0", T}, {"MezPres0", T}, {"FPGADone0", T}, {"FPGADone1", F}, {"Force 2V5 0", F},
        {"Force 2V5 1", F}, {"PCIe Reset", T}, {"ZKM Present", T}, {"ZKM VIO Enabled", T},
        {"ZKM I2C Failed", T}, {"ZKM Checksum Error", T}, {"ZKM Missing Data", T},
        {"ZKM Force 2V5", T}, {"SI5338 init OK", T}, {"Interrogate OK", F}, {"Op 1 OK", T}
    });
    // clang-format on
    const std::string ranges = Range("ADC A1", 8) + Range("ADC A2", 1) + Range("ADC A3", 2) +
                               Range("ADC A4", 4) + Range("ADC A5", 8) + Range("ADC A6", 0) +
                               Range("ADC A7", 0) + Range("ADC B1", 3) + Range("ADC B2", 0) +
                               Range("ADC B3", 0) + Range("ADC B4", 0) + Range("ADC B5", 8) +
                               Range("ADC B6", 1) + Range("ADC B7", 0) + Range("TMP0", 0) +
                               Range("TMP1", 15) + Range("TMP2", 8) + Range("TMP3", 4);
    const std::string clock = Lines({{"Si5338", "Error 0x2: Type 0x1"}});
    EXPECT_EQ(Printed(37, record), expected + ranges + clock);
    EXPECT_EQ(Printed(39, record), expected + ranges + clock);
    EXPECT_EQ(Printed(37, record, false), expected + ranges);
}

TEST(StatusRecord, Model40WholeRecord)
{
    Record record{};
    PutBytes(record, 0, {0x60, 0xB9, 0x05, 0x00, 0x10, 0x20, 0x30, 0x40});
    Put16s(record, 10,
           {4096, 8192, 12288, 16384, 20480, 24576, 28672, 0xFFFF, 2048, 1024, 512, 300, 100, 40960,
            61440, 4700, 4800, 4400, 4371});
    // Bits 0-3 of bytes 54 and 58 belong to no channel.
    PutBytes(record, 48,
             {0x42, 0x80, 0x00, 0x21, 0x06, 0x05, 0x0F, 0x00, 0x00, 0x00, 0x0F, 0x00, 0x00, 0x00,
              0x00, 0x80});
    // clang-format off
    std::string expected = Lines({
        {"ETC", "1 days, 2 hours, 3 min.s, 4 sec.s"}, {"Events", "3153936"},
        {"A1 12V0_DIG_ADCMP", "  1.000 V"}, {"A2 5V0_DIG_ADCMP", "  2.000 V"},
        {"A3 3V3_DIG_ADCMP", "  3.000 V"}, {"A4 2V5_DIG_ADCMP", "  4.000 V"},
        {"A5 VCC_AUX_IO_2V0_ADCMP", "  5.000 V"}, {"A6 1V8_DIG_ADCMP", "  6.000 V"},
        {"A7 1V8_VCCAUX_ADCMP", "  7.000 V"}, {"B1 MGT_AVCC_AUX_1V8_ADCMP", "  0.500 V"},
        {"B2 VCC_DRAM_ADCMP", "  0.250 V"}, {"B3 FMC_VADJ_ADCMP", "  0.125 V"},
        {"B4 1V0_DIG_ADCMP", "  0.073 V"}, {"B5 TGT_AVCC_1V2_ADCMP", "  0.024 V"},
        {"B6 TGT_AVCC_1V0_ADCMP", " 10.000 V"}, {"B7 BRG_AVCC_1V0_ADCMP", " 15.000 V"},
        {"TMP0 AVR Temperature", " 20.600 C"}, {"TMP1 PCB Temperature", " 26.850 C"},
        {"TMP2 Bridge Temperature", "  1.850 C"}, {"TMP3 Target Temperature", "  0.038 C"},
        {"POK", F}, {"FMC_VADJ_POK", T}, {"PG_M2C", T}, {"FMC_PRSNT_3V3_L", F}, {"BRG_DONE", F},
        {"TGT_DONE", T}, {"VPX_SYSRESET_L", F}, {"MEZ_PRESENT", T}, {"MEZ_VIO_EN", F},
        {"MEZ_I2C_FAIL", F}, {"MEZ_CHECKSUM", F}, {"MEZ_DATA_MISSING", T}, {"SI5338 init OK", F},
        {"Interrogate OK", T}, {"Op 1 OK", T}
    });
    // clang-format on
    for (const char* channel :
         {"ADC A1", "ADC A2", "ADC A3", "ADC A4", "ADC A5", "ADC A6", "ADC A7", "ADC B1", "ADC B2",
          "ADC B3", "ADC B4", "ADC B5", "ADC B6", "ADC B7", "TMP0", "TMP1", "TMP2"})
        expected += Range(channel, 0);
    expected += Range("TMP3", 8) + Lines({{"Si5338", "OK"}});
    EXPECT_EQ(Printed(40, record), expected);
}

TEST(BoardProfile, UnsupportedModelsLeaveTheChoiceAlone)
{
    ASSERT_TRUE(SelectBoardProfile(35));
    for (int32_t model : {36, 38, 31, 41, 26, 0, -1})
    {
        EXPECT_EQ(FindBoardProfile(model), nullptr) << model;
        EXPECT_FALSE(SelectBoardProfile(model)) << model;
        EXPECT_EQ(CurrentBoardProfile().AnalogChannels, FindBoardProfile(35)->AnalogChannels);
    }
}

TEST(ElapsedTimeStamp, HoldsTheSerialNumberAndTheTimeInUtc)
{
    // 5 March 2026, 14:07:09 UTC.
    const std::time_t when = 1772719629;
    EXPECT_EQ(BuildEtcStamp(when, 1234), (EtcStamp{0xD2, 0x04, 0x00, 9, 7, 14, 5, 3, 0xEA, 0x07}));
    const EtcStamp wide = BuildEtcStamp(when, 0x12345678);
    EXPECT_EQ(wide[0], 0x78);
    EXPECT_EQ(wide[1], 0x56) << "only the low 16 bits of the serial number";
    EXPECT_EQ(wide[2], 0x00);
}
