// I2C transfers between files and the board's devices, the verify, and the elapsed-time counter,
// against the stand-in's devices kept in a state file.
#include "ToolRunner.h"
#include "platform/Time.h"

#include <gtest/gtest.h>

using namespace MistleTest;
using Corvane::Common::CStopwatch;
using Corvane::Common::ProcessResult;

namespace
{

// What one register read prints, with the byte the device answered.
std::string ReadLines(unsigned chip, unsigned reg, unsigned value)
{
    return Format("\nSending I2C Read: 0x%02x:0x%02x 1 bytes...\n0x49 0x52 \nI2C Read Data = "
                  "0x00000000 000000%02x\n",
                  chip & 0xFF, reg & 0xFF, value & 0xFF);
}

std::string WriteLines(unsigned chip, unsigned reg)
{
    return Format("\nSending I2C Write: 0x%02x:0x%02x 1 bytes...\n0x49 0x57 ", chip & 0xFF,
                  reg & 0xFF);
}

std::string WriteOutput(const std::string& bytes, unsigned chip, unsigned start)
{
    std::string output = "Writing data...";
    for (size_t j = 0; j < bytes.size(); ++j)
        output += WriteLines(chip, start + static_cast<unsigned>(j));
    return output + "...done!";
}

std::string ReadOutput(const std::string& bytes, unsigned chip, unsigned start)
{
    std::string output = "\nReading back " + std::to_string(bytes.size()) + " bytes of data...\n";
    for (size_t i = 0; i < bytes.size(); ++i)
        output += ReadLines(chip, start + static_cast<unsigned>(i), static_cast<uint8_t>(bytes[i]));
    return output + "\n...done! Writing data to file...\n\n...done\n";
}

// The devices start empty in each test and keep what it writes from run to run.
class I2cTransfers : public testing::Test
{
protected:
    void SetUp() override { FreshState(); }

    static ToolRun Run(const std::vector<std::string>& arguments, const std::string& card = "")
    {
        return On(Card(card) + StateSection(), arguments);
    }
};

} // namespace

TEST_F(I2cTransfers, AFileRoundTripsThroughADeviceAndIsVerifiedAcrossRuns)
{
    const std::string data = Pattern(20, 3);
    const std::string in = ScratchFile("i2c-in.bin", data);
    const std::string out = TestScratchPath("i2c-out.bin");
    std::remove(out.c_str());
    ExpectRun(Run({"/i2c_wr", "/in", in, "/ca", "0x50"}), WriteOutput(data, 0x50, 0), 0);
    CStopwatch watch;
    ExpectRun(Run({"/i2c_rd", "/out", out, "/ca", "80", "/size", "20"}), ReadOutput(data, 0x50, 0),
              0);
    const double readSeconds = watch.ElapsedSeconds();
    EXPECT_EQ(ReadFileBytes(out), data);

    std::string verified = "\nReadback: 0";
    for (unsigned i = 0; i < 20; ++i)
        verified += ReadLines(0x50, i, static_cast<uint8_t>(data[i])) +
                    ((i + 1) % 8 == 0 ? "\rVerified: " + std::to_string(i + 1) + " bytes" : "");
    watch.Restart();
    ExpectRun(Run({"/i2c_vr", "/in", in, "/ca", "0x50"}), verified + "\rVerified: 20 bytes\n", 0);
    EXPECT_LT(watch.ElapsedSeconds(), readSeconds + 0.5) << "the verify ends with its last byte";

    // Against a file that differs in its first 12 bytes the verify stops at the eleventh.
    std::string differing = data;
    for (size_t i = 0; i < 12; ++i)
        differing[i] = static_cast<char>(~differing[i]);
    const ProcessResult result =
        RunTool(Run({"/i2c_vr", "/in", ScratchFile("i2c-bad.bin", differing), "/ca", "0x50"}));
    EXPECT_EQ(result.ExitCode, FailureCode());
    size_t errorLines = 0;
    for (size_t at = 0; (at = result.Output.find("\nError at address", at)) != std::string::npos;
         ++at)
        ++errorLines;
    EXPECT_EQ(errorLines, 11u);
    EXPECT_NE(result.Output.find(Format("\nError at address 0x000a, expected 0x%02x got 0x%02x\n",
                                        static_cast<uint8_t>(differing[10]),
                                        static_cast<uint8_t>(data[10]))),
              std::string::npos);
    const std::string ending = "\rVerified: 10 bytes\n\rFound 11 bytes containing errors\n";
    EXPECT_EQ(result.Output.substr(result.Output.size() - ending.size()), ending);
}

TEST_F(I2cTransfers, RegisterAddressesWrapAt256)
{
    const std::string data = "\x11\x22\x33\x44";
    ExpectRun(
        Run({"/i2c_wr", "/in", ScratchFile("i2c-wrap.bin", data), "/ca", "0x50", "/a", "0xFE"}),
        WriteOutput(data, 0x50, 0xFE), 0);
    const std::string out = TestScratchPath("i2c-wrap-out.bin");
    ExpectRun(Run({"/i2c_rd", "/out", out, "/ca", "0x50", "/a", "254", "/size", "4"}),
              ReadOutput(data, 0x50, 0xFE), 0);
    EXPECT_EQ(ReadFileBytes(out), data);
}

TEST_F(I2cTransfers, InputFilesUpTo256Bytes)
{
    const std::string largest = Pattern(256, 9);
    ExpectRun(Run({"/i2c_wr", "/in", ScratchFile("i2c-256.bin", largest), "/a", "0x10"}),
              WriteOutput(largest, 0, 0x10), 0);
    const std::string tooLarge = ScratchFile("i2c-257.bin", Pattern(257, 9));
    ExpectRun(Run({"/i2c_wr", "/in", tooLarge}), "\nInput file (" + tooLarge + ") too large!",
              Failure);
    ExpectRun(Run({"/i2c_wr", "/in", ScratchFile("i2c-empty.bin", "")}), "Writing data......done!",
              0);
    const std::string missing = ScratchPath("no-such-input.bin");
    ExpectRun(Run({"/i2c_wr", "/in", missing}), "\nCould not open input file " + missing, Failure);
}

// Size 0 passes the read over: the console runs and ends with the input.
TEST_F(I2cTransfers, AReadThatCannotCompleteLeavesNoFile)
{
    const std::string out = TestScratchPath("out.bin");
    std::remove(out.c_str());
    ExpectRun(Run({"/i2c_rd", "/out", out, "/size", "0"}), "", 0);
    ExpectRun(Run({"/i2c_rd", "/out", out, "/size", "300"}),
              "\nAn I2C read takes at most 255 bytes; 300 were asked for. Nothing was read.\n",
              Failure);
    EXPECT_FALSE(FileExists(out));

    const std::string unwritable = ScratchPath("no-such-folder/out.bin");
    ExpectRun(Run({"/i2c_rd", "/out", unwritable, "/size", "1"}),
              "\nReading back 1 bytes of data...\n" + ReadLines(0, 0, 0) +
                  "\n...done! Writing data to file...\n\nError writing output file " + unwritable +
                  "\n",
              Failure);

    WriteFileBytes(out, "kept");
    ExpectRun(Run({"/i2c_rd", "/out", out, "/size", "2"}, "fault = silent\n"),
              "\nReading back 2 bytes of data...\n\nSending I2C Read: 0x00:0x00 1 bytes...\n"
              "\nNo answer to the I2C read of 0x00:0x00 within 2000 ms.\n",
              Failure);
    EXPECT_EQ(ReadFileBytes(out), "kept");
}

TEST_F(I2cTransfers, TheElapsedTimeCounterIsBlownOnce)
{
    const ProcessResult first = RunTool(Run({"/blow_etc"}));
    EXPECT_EQ(first.ExitCode, 0);
    const std::string ending = "\nPerforming final reset" + ReadLines(0x6B, 0, 0x30) +
                               WriteLines(0x6B, 0) + WriteLines(0x6B, 0x1D) +
                               WriteLines(0x6B, 0x1D) + "\n\nETC Counter has been blown!\n\n";
    ASSERT_GT(first.Output.size(), ending.size());
    EXPECT_EQ(first.Output.substr(first.Output.size() - ending.size()), ending) << first.Output;
    EXPECT_NE(first.Output.find(" SN:10001\n\nRead  "), std::string::npos);

    ExpectRunEnding(Run({"/blow_etc"}),
                    ReadLines(0x6B, 0, 0x30) + "\nInfo: ETC counter has already been blown!\n", 0);
}

TEST_F(I2cTransfers, ACardWithoutASerialNumberIsNotStamped)
{
    const ProcessResult result = RunTool(Run({"/blow_etc"}, "serial = 0x30000\n"));
    EXPECT_EQ(result.ExitCode, FailureCode());
    EXPECT_EQ(result.Output.find("Sending"), std::string::npos) << result.Output;
}
