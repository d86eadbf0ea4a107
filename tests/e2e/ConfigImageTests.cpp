#include "ToolRunner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <numeric>

using namespace MistleTest;

namespace
{
const char* const Done = "Writing AVR config block......done\n";

std::string WriteImage(const std::string& name, const std::vector<std::string>& gainOptions,
                       bool before = false)
{
    const std::string path = ScratchPath(name);
    std::remove(path.c_str());
    std::vector<std::string> arguments;
    if (before)
        arguments = gainOptions;
    arguments.push_back("/gen_blob_v1_0");
    arguments.push_back(path);
    if (!before)
        arguments.insert(arguments.end(), gainOptions.begin(), gainOptions.end());
    const auto result = RunTool(arguments);
    EXPECT_EQ(result.Output, Done);
    EXPECT_EQ(result.ExitCode, 0);
    return ReadFileBytes(path);
}

std::string Head(const std::string& image)
{
    std::string hex;
    char byte[4];
    for (size_t i = 0; i < 6 && i < image.size(); ++i)
    {
        std::snprintf(byte, sizeof(byte), "%02x ", static_cast<unsigned char>(image[i]));
        hex += byte;
    }
    return hex;
}

unsigned Checksum(const std::string& image)
{
    return static_cast<unsigned char>(image.back());
}

unsigned ByteSum(const std::string& image)
{
    return std::accumulate(image.begin(), image.end(), 0u,
                           [](unsigned sum, char c)
                           { return sum + static_cast<unsigned char>(c); }) &
           0xFF;
}
} // namespace

TEST(ImageGeneration, DefaultGains)
{
    const std::string image = WriteImage("default.bin", {});
    ASSERT_EQ(image.size(), 256u);
    EXPECT_EQ(Head(image), "00 01 00 80 00 80 ");
    EXPECT_EQ(image.find_first_not_of('\0', 6), 255u);
    EXPECT_EQ(Checksum(image), 0xFFu);
}

TEST(ImageGeneration, GainsBeforeAndAfterTheFileNameWriteTheSameImage)
{
    const std::vector<std::string> gains = {"/gen_gain0", "0x1234", "/gen_gain1", "0xABCD"};
    const std::string after = WriteImage("after.bin", gains);
    const std::string before = WriteImage("before.bin", gains, true);
    EXPECT_EQ(Head(after), "00 01 34 12 cd ab ");
    EXPECT_EQ(Checksum(after), 0x41u);
    EXPECT_EQ(after, before);
}

TEST(ImageGeneration, GainsWithoutHexPrefixOrWithFiveDigits)
{
    // Five hex digits: the first four count.
    const std::string image =
        WriteImage("five.bin", {"/gen_gain0", "0x12345", "/gen_gain1", "0x1"});
    EXPECT_EQ(Head(image), "00 01 34 12 01 00 ");
    // Without "0x" the gain is refused before anything is written.
    const std::string path = ScratchPath("refused.bin");
    std::remove(path.c_str());
    const auto result = RunTool({"/gen_blob_v1_0", path, "/gen_gain1", "ABCD"});
    EXPECT_EQ(result.Output, "\n/gen_gain1 must be followed by gain setting.\n");
    EXPECT_EQ(result.ExitCode, FailureCode());
    EXPECT_FALSE(FileExists(path));
}

TEST(ImageGeneration, EveryImageSumsToZero)
{
    for (const char* gain : {"0x0", "0xFFFF", "0x8001", "0x00FF"})
    {
        const std::string image = WriteImage("sum.bin", {"/gen_gain0", gain, "/gen_gain1", gain});
        ASSERT_EQ(image.size(), 256u);
        EXPECT_EQ(ByteSum(image), 0u) << gain;
    }
    EXPECT_EQ(Checksum(WriteImage("max.bin", {"/gen_gain0", "0xFFFF", "/gen_gain1", "0xffff"})),
              0x03u);
}

TEST(ImageGeneration, ReplacesALongerFileByExactly256Bytes)
{
    const std::string path = ScratchPath("longer.bin");
    WriteFileBytes(path, std::string(5000, 'x'));
    const auto result = RunTool({"/gen_blob_v1_0", path});
    EXPECT_EQ(result.Output, Done);
    EXPECT_EQ(ReadFileBytes(path).size(), 256u);
}

TEST(ImageGeneration, FileInAMissingFolderFails)
{
    const std::string path = ScratchPath("no-such-folder/image.bin");
    const auto result = RunTool({"/gen_blob_v1_0", path});
    EXPECT_EQ(result.Output, "Writing AVR config block...\nError opening output file " + path);
    EXPECT_EQ(result.ExitCode, FailureCode());
}

TEST(ImageGeneration, TouchesNoBoardLibrary)
{
    // A configuration the stand-in cannot read would complain on standard error and show no
    // card; without the libraries at all the image is still written.
    ToolRun run;
    const std::string path = ScratchPath("nolib.bin");
    run.Arguments = {"/gen_blob_v1_0", path};
    run.WithBoardLibraries = false;
    const auto result = RunTool(run);
    EXPECT_EQ(result.Output, Done);
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(ReadFileBytes(path).size(), 256u);
}
