// The command line and the runs that need no card: the help; every option whose value is missing
// or would reach something else, each refused with its own line; and the configuration image:
// 256 bytes, the gains little-endian after a two-byte header, zeros, and a last byte that makes
// the sum of all bytes zero, written without any board library in place of whatever the file held.
#include "ToolRunner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <numeric>

using namespace MistleTest;

namespace
{
const char* const ExpectedHelp =
    "\n"
    "\nmistle.exe Help"
    "\n"
    "\nmistle.exe (All modes)"
    "\n"
    "\n/?                             - Display help"
    "\n/am                            - Application mode check"
    "\n/sm                            - Service mode check"
    "\n/fs                            - Force mistle service mode"
    "\n/fa                            - Force mistle application mode"
    "\n/fo                            - Force open selected card"
    "\n/sn <serial num.>              - Open board with serial number"
    "\n/index <index>                 - Open board with index"
    "\n"
    "\n/gen_blob_v1_0 <file_name>     - Generate AVR config. image"
    "\n/gen_gain0 <gain>              - Set gain 0 for AVR config. image"
    "\n/gen_gain1 <gain>              - Set gain 0 for AVR config. image"
    "\n"
    "\nmistle.exe (Service mode)"
    "\n"
    "\n/v                                         - Read boot loader version"
    "\n/r <output_file_name> <offset> [file_size] - Read back from flash memory"
    "\n/w <input_file_name> <offset>              - Write to flash memory"
    "\n/c <input_file_name> <offset>              - Compare flash memory to file"
    "\n"
    "\nmistle.exe (Application mode)"
    "\n"
    "\n/v                             - Read application version"
    "\n/blow_etc                      - Reset and blow ETC counter"
    "\n/sd                            - Request self-destruct"
    "\n/i2c_rd                        - Perform an i2c read"
    "\n/i2c_wr                        - Perform an i2c write"
    "\n/i2c_vr                        - Verify an i2c write"
    "\n/in <file_name>                - Specify input filename for i2c write"
    "\n/bus                           - Specify bus for i2c"
    "\n/out <file_name>               - Specify output filename for i2c read"
    "\n/size                          - Specify size of i2c operation"
    "\n/ca                            - Specify chip address used in i2c operation"
    "\n/a                             - Specify address used in i2c operation";

const char* const Done = "Writing AVR config block......done\n";

// Writes the image over a longer file, with the gain options after the file name or before it,
// where no board library can be found.
std::string WriteImage(const std::vector<std::string>& gains, bool gainsFirst)
{
    const std::string path = ScratchFile("image.bin", std::string(5000, 'x'));
    ToolRun run = On("", {"/gen_blob_v1_0", path});
    run.Arguments.insert(gainsFirst ? run.Arguments.begin() : run.Arguments.end(), gains.begin(),
                         gains.end());
    run.WithBoardLibraries = false;
    ExpectRun(run, Done, 0);
    return ReadFileBytes(path);
}

std::string Head(const std::string& image)
{
    std::string hex;
    for (size_t i = 0; i < 6 && i < image.size(); ++i)
        hex += Format("%02x ", static_cast<unsigned char>(image[i]));
    return hex;
}
} // namespace

TEST(Help, PrintsTheHelpTextExactlyWithoutABoardLibrary)
{
    ToolRun run = On("", {"/?"});
    run.WithBoardLibraries = false;
    ExpectRun(run, ExpectedHelp, 0);
}

// The first pass takes the options that need no card: the help ends the run wherever it stands,
// though not as the value of an option, and the first option that fails is the one reported. The
// second pass, on the card, checks the mode before all else, names what it does not know and
// refuses values out of range.
TEST(CommandLine, HelpAndOptionValuesThatAreMissingOrOutOfRange)
{
    const auto gain = [](const std::string& option)
    { return "\n" + option + " must be followed by gain setting.\n"; };
    const std::string together = "\n/index and /sn can not be used together.\n";
    const std::string size = "\n/size must be followed by size in bytes (in hex: 0x0)\n";
    const auto notAValue =
        [](const std::string& option, const std::string& what, const std::string& value)
    { return "\n" + option + " must be followed by " + what + ", not " + value + "\n"; };
    const std::string chip = "a chip address from 0x0 to 0xff";
    const std::string bus = "a bus index from 0 to 255";
    const std::string bytes = "a size in bytes (in hex: 0x0)";
    const std::string service = "boot-loader.ini";
    const std::string bootLoader = "\nBootloader Version: 1.3.0.5\n";
    const std::string image = ScratchPath("never-written.bin");
    std::remove(image.c_str());
    ExpectCases({
        {"", {"/am", "/fo", "/?", "/sn"}, ExpectedHelp, 0},
        {"", {"/sn", "1", "/index", "2", "/?"}, ExpectedHelp, 0},
        {"",
         {"/gen_blob_v1_0", ScratchPath("unused.bin"), "/gen_gain0", "/?"},
         gain("/gen_gain0"),
         Failure},
        {"", {"/gen_gain0", "8000", "/?"}, gain("/gen_gain0"), Failure},
        {"", {"/gen_blob_v1_0"}, gain("/gen_blob_v1_0"), Failure},
        {"", {"/gen_gain0"}, gain("/gen_gain0"), Failure},
        {"", {"/gen_gain1"}, gain("/gen_gain1"), Failure},
        {"", {"/gen_gain1", "0xzz"}, gain("/gen_gain1"), Failure},
        {"", {"/gen_gain1", "0X10"}, gain("/gen_gain1"), Failure},
        {"", {"/gen_gain1", "bad", "/gen_gain0", "bad"}, gain("/gen_gain1"), Failure},
        {"", {"/gen_blob_v1_0", image, "/gen_gain1", "ABCD"}, gain("/gen_gain1"), Failure},
        {"", {"/am", "/sn"}, "\n/sn must be followed by serial number.\n", Failure},
        {"", {"/sn", "/v"}, "\n/sn must be followed by serial number.\n", Failure},
        {"", {"/index"}, "\n/index must be followed by index.\n", Failure},
        {"", {"/index", "first"}, "\n/index must be followed by index.\n", Failure},
        {"", {"/sn", "5", "/index", "1"}, together, Failure},
        {"", {"/index", "1", "/gen_blob_v1_0", image, "/sn", "5"}, together, Failure},
        {"",
         {"/gen_gain0", "0x1234", "/sn", "10001", "/frob", "/fo", "/bus", "1"},
         "\nUnknown argument: /gen_gain0\n\nUnknown argument: 0x1234\n\nUnknown argument: /frob\n",
         0},
        {"", {"/v", "/in"}, "\n/in must be followed by file name\n", Failure},
        {"", {"/v", "/out"}, "\n/out must be followed by file name\n", Failure},
        {"", {"/v", "/lb"}, size, Failure},
        {"", {"/v", "/size"}, size, Failure},
        {"", {"/v", "/bus"}, "\n/bus must be followed by bus index\n", Failure},
        {"", {"/v", "/ca"}, "\n/ca must be followed by chip address (in hex: 0x0)\n", Failure},
        {"", {"/v", "/a"}, "\n/a must be followed by address offset (in hex: 0x0)\n", Failure},
        {"", {"/i2c_wr", "/ca", "0x150"}, notAValue("/ca", chip, "0x150"), Failure},
        {"", {"/ca", "zz"}, notAValue("/ca", chip, "zz"), Failure},
        {"",
         {"/i2c_wr", "/a", "256"},
         notAValue("/a", "an address offset from 0x0 to 0xff", "256"),
         Failure},
        {"", {"/bus", "-1"}, notAValue("/bus", bus, "-1"), Failure},
        {"", {"/bus", "two"}, notAValue("/bus", bus, "two"), Failure},
        {"", {"/lb", "-16"}, notAValue("/lb", bytes, "-16"), Failure},
        {"", {"/size", "99999999999"}, notAValue("/size", bytes, "99999999999"), Failure},
        {service, {"/r", "/v"}, "\nMust specify filename and flash offset after /r\n", Failure},
        {service, {"/v", "/w"}, bootLoader + "\nMust specify filename after /w\n", Failure},
        {service, {"/c", "/v"}, "\nMust specify filename after /c\n", Failure},
        {service, {"/r", image, "0", "/sm"}, "\nSystem is in service mode.\n", 0}, // checked first
        {service, {"/v", "/am", "/sm"}, "\nSystem is not in application mode!\n", Failure},
        {service,
         {"/v", "/w", "image.bin", "O"},
         bootLoader +
             "\n/w: 'O' is not a flash offset or size (decimal, or hexadecimal after 0x)\n",
         Failure},
    });
    EXPECT_FALSE(FileExists(image));
}

TEST(ImageGeneration, GainsBeforeOrAfterTheFileNameWriteTheWholeImage)
{
    const struct
    {
        std::vector<std::string> Gains;
        const char* Head;
        unsigned Checksum;
    } cases[] = {
        {{}, "00 01 00 80 00 80 ", 0xFF}, // the default gains
        {{"/gen_gain0", "0x1234", "/gen_gain1", "0xABCD"}, "00 01 34 12 cd ab ", 0x41},
        {{"/gen_gain0", "0x12345", "/gen_gain1", "0x1"},
         "00 01 34 12 01 00 ",
         0xB8}, // 4 digits count
        {{"/gen_gain0", "0x0", "/gen_gain1", "0x0"}, "00 01 00 00 00 00 ", 0xFF},
        {{"/gen_gain0", "0xFFFF", "/gen_gain1", "0xffff"}, "00 01 ff ff ff ff ", 0x03},
        {{"/gen_gain0", "0x8001", "/gen_gain1", "0x8001"}, "00 01 01 80 01 80 ", 0xFD},
        {{"/gen_gain0", "0x00FF", "/gen_gain1", "0x00FF"}, "00 01 ff 00 ff 00 ", 0x01},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Head);
        const std::string image = WriteImage(c.Gains, false);
        ASSERT_EQ(image.size(), 256u);
        EXPECT_EQ(Head(image), c.Head);
        EXPECT_EQ(image.find_first_not_of('\0', 6), 255u);
        EXPECT_EQ(static_cast<unsigned char>(image.back()), c.Checksum);
        EXPECT_EQ(std::accumulate(image.begin(), image.end(), 0u,
                                  [](unsigned sum, char byte)
                                  { return sum + static_cast<unsigned char>(byte); }) &
                      0xFF,
                  0u);
        EXPECT_EQ(WriteImage(c.Gains, true), image);
    }
}

TEST(ImageGeneration, AFileThatCannotBeCreatedFailsTheRun)
{
    const std::string unreachable = ScratchPath("no-such-folder/image.bin");
    ExpectRun({"/gen_blob_v1_0", unreachable},
              "Writing AVR config block...\nError opening output file " + unreachable, Failure);
}
