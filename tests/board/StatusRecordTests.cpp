#include "board/StatusRecord.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

using namespace Corvane::Common;

namespace
{
using Record = std::array<uint8_t, EXTENDED_STATUS_RECORD_SIZE>;

void Put16(Record& record, size_t offset, uint16_t value)
{
    record[offset] = static_cast<uint8_t>(value);
    record[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(Record& record, size_t offset, uint32_t value)
{
    Put16(record, offset, static_cast<uint16_t>(value));
    Put16(record, offset + 2, static_cast<uint16_t>(value >> 16));
}

std::string ReadBack(std::FILE* file)
{
    std::rewind(file);
    std::string text;
    int c;
    while ((c = std::fgetc(file)) != EOF)
        text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

std::string Printed(int32_t model, const Record& record, bool withClockStatus)
{
    const BoardProfile* profile = FindBoardProfile(model);
    std::FILE* file = std::tmpfile();
    if (!profile || !file)
        return "no profile or no file";
    PrintStatusRecord(*profile, record.data(), withClockStatus, file);
    return ReadBack(file);
}

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

// The expected lines: the name right-aligned in 25 columns, then the value.
std::string Line(const std::string& name, const std::string& value)
{
    const size_t pad = name.size() < 25 ? 25 - name.size() : 0;
    return "\n" + std::string(pad, ' ') + name + ": " + value;
}

std::string Volts(const std::string& name, const std::string& value)
{
    return Line(name, value + " V");
}

std::string Celsius(const std::string& name, const std::string& value)
{
    return Line(name, value + " C");
}

std::string Flag(const std::string& name, bool set)
{
    return Line(name, set ? "   true" : "  false");
}

// The four range lines of a channel for the given nibble value.
std::string Range(const std::string& channel, unsigned nibble)
{
    return Flag(channel + " Under Range", (nibble & 1) != 0) +
           Flag(channel + " Over Range", (nibble & 2) != 0) +
           Flag(channel + " Critical", (nibble & 4) != 0) +
           Flag(channel + " OK", (nibble & 8) != 0);
}
} // namespace

TEST(StatusRecord, ElapsedTimeCountsQuarterSeconds)
{
    Record record{};
    const uint8_t count[] = {0x60, 0xB9, 0x05, 0x00}; // 375,136 quarter seconds
    std::copy(std::begin(count), std::end(count), record.begin());
    EXPECT_PRED2(StartsWith, Printed(40, record, false),
                 "\n                      ETC: 1 days, 2 hours, 3 min.s, 4 sec.s\n");
    Put32(record, 0, 0xFFFFFFFF);
    EXPECT_PRED2(StartsWith, Printed(32, record, false),
                 "\n                      ETC: 12427 days, 13 hours, 37 min.s, 3 sec.s\n");
}

TEST(StatusRecord, EventCounterTakesThreeBytesInTheProfilesOrder)
{
    Record record{};
    record[5] = 0x01;
    record[6] = 0x02;
    record[7] = 0x03;
    record[8] = 0xFF; // not part of the model 32 counter
    const std::string printed = Printed(32, record, false);
    EXPECT_NE(printed.find("\n                   Events: 66306\n"), std::string::npos) << printed;
}

TEST(StatusRecord, ReadingsAndFlagsAreRightAligned)
{
    Record record{};
    Put16(record, 10, 4096); // model 40: A1 12V0_DIG_ADCMP
    Put16(record, 40, 4700); // TMP0 AVR Temperature
    record[48] = 0x02;       // FMC_VADJ_POK set, POK clear
    const std::string printed = Printed(40, record, false);
    EXPECT_NE(printed.find("\n        A1 12V0_DIG_ADCMP:   1.000 V\n"), std::string::npos);
    EXPECT_NE(printed.find("\n     TMP0 AVR Temperature:  20.600 C\n"), std::string::npos);
    EXPECT_NE(printed.find("\n                      POK:   false\n"), std::string::npos);
    EXPECT_NE(printed.find("\n             FMC_VADJ_POK:    true\n"), std::string::npos);
}

TEST(StatusRecord, ClockStatusShowsOnlyWhenAskedFor)
{
    Record record{};
    record[53] = 0x21;
    EXPECT_NE(Printed(37, record, true).find("\n                   Si5338: Error 0x2: Type 0x1"),
              std::string::npos);
    EXPECT_EQ(Printed(37, record, false).find("Si5338"), std::string::npos);
    record[53] = 0x05;
    const std::string printed = Printed(40, record, true);
    EXPECT_EQ(printed.substr(printed.size() - 30), "\n                   Si5338: OK");
    // A board without the synthesizer's byte prints no such line.
    EXPECT_EQ(Printed(33, record, true).find("Si5338"), std::string::npos);
}

TEST(StatusRecord, EmptyProfilePrintsNothing)
{
    Record record{};
    record.fill(0xFF);
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    PrintStatusRecord(BoardProfile{}, record.data(), true, file);
    EXPECT_EQ(std::ftell(file), 0);
    std::fclose(file);
}

TEST(StatusRecord, Model32WholeRecord)
{
    Record record{};
    Put32(record, 0, 3 * 345600 + 23 * 14400 + 59 * 240 + 59 * 4 + 3);
    record[4] = 0xA5;
    record[5] = 0x01;
    record[6] = 0x02;
    record[7] = 0x03;
    const uint16_t raws[] = {1000, 3200, 0, 8192, 2000, 65535, 3461, 1, 700, 4000, 10880, 16192};
    for (size_t i = 0; i < 12; ++i)
        Put16(record, 8 + 2 * i, raws[i]);
    const std::string expected =
        Line("ETC", "3 days, 23 hours, 59 min.s, 59 sec.s") + Line("Events", "66306") +
        Volts("ADC 0", "  1.444") + Volts("ADC 1", " 12.500") + Volts("ADC 2", "  0.000") +
        Volts("ADC 3", "  3.000") + Volts("ADC 4", "  2.889") + Volts("ADC 5", " 94.665") +
        Volts("ADC 6", "  4.999") + Volts("ADC 7", "  0.001") + Volts("ADC 8", "  1.011") +
        Celsius("AVR Temperature", "-23.150") + Celsius("PCB Temperature", " 42.500") +
        Celsius("Bridge Temperature", " 63.250") + Flag("XMC_GA0", true) + Flag("XMC_GA1", false) +
        Flag("XMC_GA2", true) + Flag("AVCC_POWER_OK", false) + Flag("VREF_DRAM_OK", false) +
        Flag("MVMRO", true) + Flag("MBIST_L", false) + Flag("Switch", true);
    EXPECT_EQ(Printed(32, record, false), expected);
    EXPECT_EQ(Printed(32, record, true), expected);
}

TEST(StatusRecord, Model33And34WholeRecord)
{
    Record record{};
    record[4] = 0x0F;
    record[6] = 0xFF;
    Put16(record, 8, 1280);
    for (uint16_t i = 1; i <= 8; ++i)
        Put16(record, 8 + 2 * i, static_cast<uint16_t>(1000 * i));
    Put16(record, 26, 10000);
    Put16(record, 28, 20000);
    Put16(record, 30, 30000);
    record[32] = 0x01;
    record[33] = 0x80;
    Put16(record, 34, 4700);
    Put16(record, 36, 6400);
    Put16(record, 38, 6528);
    Put16(record, 40, 64);
    record[42] = 0x41;
    record[53] = 0x21;
    const std::string expected =
        Line("ETC", "0 days, 0 hours, 0 min.s, 0 sec.s") + Line("Events", "255") +
        Volts("ADC 0", "  5.000") + Volts("ADC 1", "  1.462") + Volts("ADC 2", "  2.925") +
        Volts("ADC 3", "  4.387") + Volts("ADC 4", "  5.850") + Volts("ADC 5", "  7.312") +
        Volts("ADC 6", "  8.774") + Volts("ADC 7", " 10.237") + Volts("ADC 8", " 11.699") +
        Volts("ADC 9", "  3.551") + Volts("ADC 10", "  7.102") + Volts("ADC 11", " 10.653") +
        Celsius("AVR Temperature", " 20.600") + Celsius("PCB Temperature", " 25.000") +
        Celsius("Bridge Temperature", " 25.500") + Celsius("Target Temperature", "  0.250") +
        Flag("STATUS_PERST_L", true) + Flag("STATUS_BRG_DONE_3V3", true) +
        Flag("STATUS_TGT_DONE_3V3", true) + Flag("STATUS_VREF_DRAM_OK", true) +
        Flag("STATUS_AVR_SERV_L", false) + Flag("STATUS_AVR_RST_L", false) +
        Flag("STATUS_RSRVD_0", false) + Flag("STATUS_RSRVD_1", false) +
        Flag("TMP0 (AVR) Warning LOW", true) + Flag("TMP0 (AVR) Warning HIGH", false) +
        Flag("TMP1 (Brd) Warning LOW", false) + Flag("TMP1 (Brd) Warning HIGH", false) +
        Flag("TMP2 (Brd) Warning LOW", false) + Flag("TMP2 (Brd) Warning HIGH", false) +
        Flag("TMP3 (Tgt) Warning LOW", false) + Flag("TMP3 (Tgt) Warning HIGH", false) +
        Flag("TMP0 (AVR) Critical LOW", false) + Flag("TMP0 (AVR) Critical HIGH", false) +
        Flag("TMP1 (Brd) Critical LOW", false) + Flag("TMP1 (Brd) Critical HIGH", false) +
        Flag("TMP2 (Brd) Critical LOW", false) + Flag("TMP2 (Brd) Critical HIGH", false) +
        Flag("TMP3 (Tgt) Critical LOW", false) + Flag("TMP3 (Tgt) Critical HIGH", true) +
        Flag("FMC_PRESENT", true) + Flag("FMC_PG_C2M", false) + Flag("FMC_PG_M2C", false) +
        Flag("FMC_VADJ_VSEL0", false) + Flag("FMC_VADJ_VSEL1", false) +
        Flag("FMC_VADJ_VSEL2", false) + Flag("STATUS_RSRVD_0", true) +
        Flag("STATUS_RSRVD_1", false);
    EXPECT_EQ(Printed(33, record, true), expected);
    EXPECT_EQ(Printed(34, record, true), expected);
}

TEST(StatusRecord, Model35WholeRecordHasNoFlagLines)
{
    Record record{};
    record.fill(0xFF);
    Put32(record, 0, 345600);
    record[7] = 0x12;
    record[8] = 0x34;
    record[9] = 0x56;
    Put16(record, 10, 3072);
    for (uint16_t i = 1; i <= 8; ++i)
        Put16(record, 10 + 2 * i, static_cast<uint16_t>(1000 * i));
    Put16(record, 28, 10000);
    Put16(record, 30, 20000);
    const std::string expected =
        Line("ETC", "1 days, 0 hours, 0 min.s, 0 sec.s") + Line("Events", "1201716") +
        Volts("ADC 0", " 12.000") + Volts("ADC 1", "  1.462") + Volts("ADC 2", "  2.925") +
        Volts("ADC 3", "  4.387") + Volts("ADC 4", "  5.850") + Volts("ADC 5", "  7.312") +
        Volts("ADC 6", "  8.774") + Volts("ADC 7", " 10.237") + Volts("ADC 8", " 11.699") +
        Volts("ADC 9", "  3.551") + Volts("ADC 10", "  7.102");
    EXPECT_EQ(Printed(35, record, true), expected);
}

TEST(StatusRecord, Model37And39WholeRecord)
{
    Record record{};
    Put32(record, 0, 0xFFFFFFFF);
    record[4] = 0x01;
    record[5] = 0x00;
    record[6] = 0x01;
    record[7] = 0xFF; // a fourth counter byte that the count of 3 leaves out
    record[8] = 0xEE;
    record[9] = 0xEE;
    const uint16_t aRaws[] = {49152, 20480, 13517, 10240, 8192, 7373, 6144};
    for (size_t i = 0; i < 7; ++i)
        Put16(record, 10 + 2 * i, aRaws[i]);
    Put16(record, 24, 0xFFFF); // between A7 and B1, read by no row
    const uint16_t bRaws[] = {7372, 4915, 4096, 5120, 4097, 0, 65535};
    for (size_t i = 0; i < 7; ++i)
        Put16(record, 26 + 2 * i, bRaws[i]);
    const uint16_t tmpRaws[] = {4700, 4370, 0, 5000};
    for (size_t i = 0; i < 4; ++i)
        Put16(record, 40 + 2 * i, tmpRaws[i]);
    const uint8_t flagBytes[] = {0x01, 0x44, 0x10, 0x7B, 0x05, 0x21, 0x8F, 0x21,
                                 0x84, 0x00, 0x3F, 0x00, 0x80, 0x01, 0xF0, 0x48};
    std::copy(std::begin(flagBytes), std::end(flagBytes), record.begin() + 48);

    const std::string expected =
        Line("ETC", "12427 days, 13 hours, 37 min.s, 3 sec.s") + Line("Events", "65537") +
        Volts("A1 VPWR_ADCMP", " 12.000") + Volts("A2 12V0_DIG_ADCMP", "  5.000") +
        Volts("A3 5V0_DIG_ADCMP", "  3.300") + Volts("A4 3V3_DIG_ADCMP", "  2.500") +
        Volts("A5 2V5_DIG_ADCMP", "  2.000") + Volts("A6 VCC_AUX_IO_2V0_ADCMP", "  1.800") +
        Volts("A7 1V8_DIG_ADCMP", "  1.500") + Volts("B1 1V8_VCCAUX_ADCMP", "  1.800") +
        Volts("B2 MGT_AVCC_AUX_1V8_ADCMP", "  1.200") + Volts("B3 VCC_DRAM_ADCMP", "  1.000") +
        Volts("B4 ZKM_VIO_ADCMP", "  1.250") + Volts("B5 1V0_DIG_ADCMP", "  1.000") +
        Volts("B6 TGT_AVCC_1V2_ADCMP", "  0.000") + Volts("B7 TGT_AVCC_1V0_ADCMP", " 16.000") +
        Celsius("TMP0 AVR Temperature", " 20.600") + Celsius("TMP1 PCB Temperature", " -0.025") +
        Celsius("TMP2 Bridge Temperature", "-273.150") +
        Celsius("TMP3 Target Temperature", " 39.350") + Flag("PSU_OK_0", true) +
        Flag("MezPres0", true) + Flag("FPGADone0", true) + Flag("FPGADone1", false) +
        Flag("Force 2V5 0", false) + Flag("Force 2V5 1", false) + Flag("PCIe Reset", true) +
        Flag("ZKM Present", true) + Flag("ZKM VIO Enabled", true) + Flag("ZKM I2C Failed", true) +
        Flag("ZKM Checksum Error", true) + Flag("ZKM Missing Data", true) +
        Flag("ZKM Force 2V5", true) + Flag("SI5338 init OK", true) + Flag("Interrogate OK", false) +
        Flag("Op 1 OK", true) + Range("ADC A1", 8) + Range("ADC A2", 1) + Range("ADC A3", 2) +
        Range("ADC A4", 4) + Range("ADC A5", 8) + Range("ADC A6", 0) + Range("ADC A7", 0) +
        Range("ADC B1", 3) + Range("ADC B2", 0) + Range("ADC B3", 0) + Range("ADC B4", 0) +
        Range("ADC B5", 8) + Range("ADC B6", 1) + Range("ADC B7", 0) + Range("TMP0", 0) +
        Range("TMP1", 15) + Range("TMP2", 8) + Range("TMP3", 4);
    const std::string clock = Line("Si5338", "Error 0x2: Type 0x1");
    EXPECT_EQ(Printed(37, record, true), expected + clock);
    EXPECT_EQ(Printed(39, record, true), expected + clock);
    EXPECT_EQ(Printed(37, record, false), expected);
}

TEST(StatusRecord, Model40WholeRecord)
{
    Record record{};
    const uint8_t head[] = {0x60, 0xB9, 0x05, 0x00, 0x10, 0x20, 0x30, 0x40};
    std::copy(std::begin(head), std::end(head), record.begin());
    const uint16_t raws[] = {4096, 8192, 12288, 16384, 20480, 24576, 28672, 0xFFFF, 2048, 1024,
                             512,  300,  100,   40960, 61440, 4700,  4800,  4400,   4371};
    for (size_t i = 0; i < 19; ++i)
        Put16(record, 10 + 2 * i, raws[i]); // the eighth lies between A7 and B1
    const uint8_t flagBytes[] = {0x42, 0x80, 0x00, 0x21, 0x06, 0x05, 0x0F, 0x00,
                                 0x00, 0x00, 0x0F, 0x00, 0x00, 0x00, 0x00, 0x80};
    std::copy(std::begin(flagBytes), std::end(flagBytes), record.begin() + 48);

    std::string expected =
        Line("ETC", "1 days, 2 hours, 3 min.s, 4 sec.s") + Line("Events", "3153936") +
        Volts("A1 12V0_DIG_ADCMP", "  1.000") + Volts("A2 5V0_DIG_ADCMP", "  2.000") +
        Volts("A3 3V3_DIG_ADCMP", "  3.000") + Volts("A4 2V5_DIG_ADCMP", "  4.000") +
        Volts("A5 VCC_AUX_IO_2V0_ADCMP", "  5.000") + Volts("A6 1V8_DIG_ADCMP", "  6.000") +
        Volts("A7 1V8_VCCAUX_ADCMP", "  7.000") + Volts("B1 MGT_AVCC_AUX_1V8_ADCMP", "  0.500") +
        Volts("B2 VCC_DRAM_ADCMP", "  0.250") + Volts("B3 FMC_VADJ_ADCMP", "  0.125") +
        Volts("B4 1V0_DIG_ADCMP", "  0.073") + Volts("B5 TGT_AVCC_1V2_ADCMP", "  0.024") +
        Volts("B6 TGT_AVCC_1V0_ADCMP", " 10.000") + Volts("B7 BRG_AVCC_1V0_ADCMP", " 15.000") +
        Celsius("TMP0 AVR Temperature", " 20.600") + Celsius("TMP1 PCB Temperature", " 26.850") +
        Celsius("TMP2 Bridge Temperature", "  1.850") +
        Celsius("TMP3 Target Temperature", "  0.038") + Flag("POK", false) +
        Flag("FMC_VADJ_POK", true) + Flag("PG_M2C", true) + Flag("FMC_PRSNT_3V3_L", false) +
        Flag("BRG_DONE", false) + Flag("TGT_DONE", true) + Flag("VPX_SYSRESET_L", false) +
        Flag("MEZ_PRESENT", true) + Flag("MEZ_VIO_EN", false) + Flag("MEZ_I2C_FAIL", false) +
        Flag("MEZ_CHECKSUM", false) + Flag("MEZ_DATA_MISSING", true) +
        Flag("SI5338 init OK", false) + Flag("Interrogate OK", true) + Flag("Op 1 OK", true);
    // Bits 0-3 of bytes 54 and 58 belong to no channel; only TMP3 OK is set.
    for (const char* channel :
         {"ADC A1", "ADC A2", "ADC A3", "ADC A4", "ADC A5", "ADC A6", "ADC A7", "ADC B1", "ADC B2",
          "ADC B3", "ADC B4", "ADC B5", "ADC B6", "ADC B7", "TMP0", "TMP1", "TMP2"})
        expected += Range(channel, 0);
    expected += Range("TMP3", 8) + Line("Si5338", "OK");
    EXPECT_EQ(Printed(40, record, true), expected);
}

TEST(StatusRecord, CurrentProfileIsTheOneChosen)
{
    Record record{};
    ASSERT_TRUE(SelectBoardProfile(35));
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    PrintStatusRecord(record.data(), false, file);
    EXPECT_PRED2(StartsWith, ReadBack(file),
                 "\n                      ETC: 0 days, 0 hours, 0 min.s, 0 sec.s\n"
                 "                   Events: 0\n"
                 "                    ADC 0:   0.000 V\n");
}
