// The configuration image: 256 bytes, the gains little-endian after a two-byte header, zeros, and a
// last byte that makes the sum of all bytes zero; written without any board library, in place of
// whatever the file held.
#include "ToolRunner.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace MistleTest;

namespace
{
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
