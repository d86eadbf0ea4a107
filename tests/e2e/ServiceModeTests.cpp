// Service mode end to end: the tool against the stand-in's boot loader, whose flash persists in a
// state file between runs, on a card with 256-byte pages and one with 512-byte pages. Files are
// named by absolute paths, as scripts name them.
#include "ToolRunner.h"

#include <gtest/gtest.h>

using namespace MistleTest;

namespace
{

struct Board
{
    const char* Model;
    uint32_t FlashSize;
    uint32_t PageSize;
};
const Board SmallCard = {"0x104", 0x4000, 256};  // short page commands
const Board LargeCard = {"0x10C", 0x20000, 512}; // long page commands

const std::string Unsupported = "\nWarning! Selected card not supported.\n"
                                "\nForce open specified. Attempting to open unsupported card.\n";
const std::string NoProfile =
    "\nError, this card has no board profile: its flash cannot be read or written!\n";
const std::string Match = "\n...done, data matches input file.\n";

// A card in service mode whose flash starts erased here and then persists.
std::string ServiceCard(const Board& board, const std::string& settings = "")
{
    return Card("mcu = service\nmodel = " + std::string(board.Model) + "\n" + settings) +
           FreshState();
}

// What one call of the page loop prints.
std::string Pages(bool writing, uint32_t address, uint32_t size, uint32_t pageSize)
{
    std::string text = Format(writing ? "\n\nPerforming NVM Write to 0x%06x size 0x%06x"
                                      : "\n\nPerforming NVM Read from 0x%06x size 0x%06x",
                              address, size);
    text += writing ? "\nWriting page:" : "\nReading page:";
    for (uint32_t page = 1; page <= size / pageSize; ++page)
        text += Format(writing ? "\rWriting page: %u of %u" : "\rReading page: %u of %u", page,
                       size / pageSize);
    return text + "\nDone\n";
}
std::string Writing(uint32_t address, uint32_t size, uint32_t pageSize)
{
    return Pages(true, address, size, pageSize);
}
std::string Reading(uint32_t address, uint32_t size, uint32_t pageSize)
{
    return Pages(false, address, size, pageSize);
}
// A "/w" onto a flash that holds none of the pages it touches.
std::string WritingAll(uint32_t address, uint32_t size, uint32_t pageSize)
{
    return "\nReading the flash to find the pages that differ..." +
           Reading(address, size, pageSize) + Writing(address, size, pageSize) +
           "\nReading back the written pages..." + Reading(address, size, pageSize) +
           Format("\nPages written: %u, already holding the file: 0; the flash matches the file.\n",
                  size / pageSize);
}
std::string ReadToFile(uint32_t size, uint32_t offset)
{
    return Format("\nReading back AVR application ( %u bytes @ %u )...\n", size, offset);
}
std::string Verifying(uint32_t size, uint32_t offset)
{
    return Format("\nVerifying AVR application ( %u bytes @ %u )...\n", size, offset);
}

// Temporary files that the tool left beside the files of this test.
size_t LeftoverTemporaryFiles()
{
    return PartialFiles(ScratchPath(""), TestName() + "-");
}

} // namespace

TEST(ServiceMode, VersionIsReadForEachV)
{
    ExpectRun(On(ServiceCard(SmallCard), {"/x", "/v", "/v"}),
              "\nBootloader Version: 1.3.0.5\n\nBootloader Version: 1.3.0.5\n", 0);
    // Bytes the boot loader had waiting before the run are drained, not taken for the answer.
    ExpectRun(On(ServiceCard(LargeCard, "bootloader_version = 2.0.1.300\nmcu_sends = 0x56 0x4E\n"),
                 {"/v"}),
              "\nBootloader Version: 2.0.1.300\n", 0);
}

// An image of the whole flash written in one run and checked there, then read whole in a later
// run from the state the first one left.
TEST(ServiceMode, WholeFlashOfShortAndLongPageCommandsReadsBackInALaterRun)
{
    // The read names offset and size 0, or neither: either way the whole flash.
    const std::pair<Board, std::vector<std::string>> cases[] = {{SmallCard, {"0", "0"}},
                                                                {LargeCard, {}}};
    for (const auto& [board, readArguments] : cases)
    {
        const std::string service = ServiceCard(board);
        const std::string image = Pattern(board.FlashSize, 0x21);
        const std::string imagePath = ScratchFile("image.bin", image);
        ExpectRun(On(service, {"/w", imagePath, "0", "/c", imagePath, "0"}),
                  WritingAll(0, board.FlashSize, board.PageSize) +
                      Reading(0, board.FlashSize, board.PageSize) + Verifying(board.FlashSize, 0) +
                      Match,
                  0);
        const std::string outPath = TestScratchPath("out.bin");
        std::vector<std::string> arguments = {"/r", outPath};
        arguments.insert(arguments.end(), readArguments.begin(), readArguments.end());
        ExpectRun(On(service, arguments),
                  ReadToFile(board.FlashSize, 0) + Reading(0, board.FlashSize, board.PageSize) +
                      "...done\n",
                  0);
        EXPECT_TRUE(ReadFileBytes(outPath) == image);
    }
}

TEST(ServiceMode, PartialWritesReadBackTheirPagesAndKeepTheNeighbours)
{
    const std::string before = Pattern(0x400, 0x40);
    const std::string three = "abc";
    const std::string thirtyTwo = Pattern(0x20, 0x90);
    std::string after = before;
    after.replace(0x105, 3, three);
    after.replace(0x1F0, 0x20, thirtyTwo);
    const std::string beforePath = ScratchFile("before.bin", before);
    const std::string threePath = ScratchFile("three.bin", three);
    const std::string thirtyTwoPath = ScratchFile("thirty-two.bin", thirtyTwo);
    const std::string outPath = TestScratchPath("out.bin");
    const std::vector<std::string> arguments = {
        "/w",          beforePath, "0",  "/w",    threePath, "0x105", "/w",
        thirtyTwoPath, "0X1f0",    "/r", outPath, "0",       "0x400"};
    const std::string readBack = ReadToFile(0x400, 0);

    // 0x1F0-0x20F spans the pages at 0x100 and 0x200.
    ExpectRun(On(ServiceCard(SmallCard), arguments),
              WritingAll(0, 0x400, 256) + WritingAll(0x100, 256, 256) +
                  WritingAll(0x100, 512, 256) + readBack + Reading(0, 0x400, 256) + "...done\n",
              0);
    EXPECT_TRUE(ReadFileBytes(outPath) == after);

    // With 512-byte pages the three bytes lie in the page at 0, the 32 in the pages at 0 and 0x200.
    ExpectRun(On(ServiceCard(LargeCard), arguments),
              WritingAll(0, 0x400, 512) + WritingAll(0, 512, 512) + WritingAll(0, 0x400, 512) +
                  readBack + Reading(0, 0x400, 512) + "...done\n",
              0);
    EXPECT_TRUE(ReadFileBytes(outPath) == after);
}

TEST(ServiceMode, ReadSizeGivenZeroOrOmitted)
{
    const std::string image = Pattern(SmallCard.FlashSize, 0x07);
    const std::string imagePath = ScratchFile("image.bin", image);
    const std::string a = TestScratchPath("a.bin"), b = TestScratchPath("b.bin"),
                      c = TestScratchPath("c.bin");
    ExpectRun(On(ServiceCard(SmallCard), {"/w", imagePath, "/r", a, "0x100", "0x80", "/r", b,
                                          "0x3F00", "0", "/r", c, "16256"}),
              WritingAll(0, 0x4000, 256) + ReadToFile(0x80, 0x100) + Reading(0x100, 256, 256) +
                  "...done\n" + ReadToFile(0x100, 0x3F00) + Reading(0x3F00, 256, 256) +
                  "...done\n" + ReadToFile(0x80, 0x3F80) + Reading(0x3F00, 256, 256) + "...done\n",
              0);
    EXPECT_TRUE(ReadFileBytes(a) == image.substr(0x100, 0x80));
    EXPECT_TRUE(ReadFileBytes(b) == image.substr(0x3F00));
    EXPECT_TRUE(ReadFileBytes(c) == image.substr(0x3F80)) << "an omitted size stops at the end";
}

TEST(ServiceMode, NothingPastTheEndOfTheFlashAndTheFileTheUserHadStays)
{
    const std::string service = ServiceCard(SmallCard);
    const std::string kept = TestScratchPath("kept.bin");
    WriteFileBytes(kept, "the file the user had");
    const std::string tooLong = ScratchFile("too-long.bin", Pattern(0x100, 1));
    const std::string empty = ScratchFile("empty.bin", "");
    const std::string offsetTooLarge = "\nError flash offset too large!\n";
    const auto notFitting = [](const std::string& path)
    { return "\nError input file " + path + " does not fit: the flash ends at 0x004000!\n"; };

    ExpectRun(On(service, {"/r", kept, "0x4000"}), offsetTooLarge, Failure);
    ExpectRun(On(service, {"/r", kept, "99999999999"}), offsetTooLarge, Failure);
    ExpectRun(On(service, {"/r", kept, "0x3F00", "0x101"}),
              "\nError read size too large: the flash ends at 0x004000!\n", Failure);
    EXPECT_EQ(ReadFileBytes(kept), "the file the user had");
    EXPECT_EQ(LeftoverTemporaryFiles(), 0u);

    ExpectRun(On(service, {"/w", tooLong, "0x3F01"}), notFitting(tooLong), Failure);
    ExpectRun(On(service, {"/c", empty, "0x4001"}), notFitting(empty), Failure);
    ExpectRun(On(service, {"/w", TestScratchPath("missing.bin")}),
              "\nCould not open input file " + TestScratchPath("missing.bin") + "\n", Failure);
}

TEST(ServiceMode, CompareShowsTenDifferencesAndCountsAll)
{
    const std::string service = ServiceCard(SmallCard);
    const std::string written = Pattern(0x100, 0x30);
    std::string expected = written;
    for (uint32_t i = 0; i < 12; ++i)
        expected[i * 20] = static_cast<char>(~written[i * 20]);
    std::string errors;
    for (uint32_t i = 0; i < 10; ++i)
        errors +=
            Format("Error at 0x%06x: got 0x%02x expected 0x%02x.\n", 0x200 + i * 20,
                   static_cast<uint8_t>(written[i * 20]), static_cast<uint8_t>(expected[i * 20]));
    const std::string writtenPath = ScratchFile("written.bin", written);
    const std::string expectedPath = ScratchFile("expected.bin", expected);
    ExpectRun(On(service, {"/w", writtenPath, "0x200", "/c", expectedPath, "0x200"}),
              WritingAll(0x200, 0x100, 256) + Reading(0x200, 0x100, 256) + Verifying(0x100, 0x200) +
                  errors +
                  "\nReadback data does not match input verification file!"
                  "\n12 bytes contained errors.\n",
              Failure);

    // The compare ends the run: the version after it is not read.
    const std::string empty = ScratchFile("empty.bin", "");
    ExpectRun(On(service, {"/c", empty, "/v"}), Reading(0, 0, 256) + Verifying(0, 0) + Match, 0);
}

// The one run here that waits out the boot loader's patience.
TEST(ServiceMode, ABootLoaderThatStopsMidPageEndsTheRunAndTheFileStays)
{
    const std::string kept = TestScratchPath("kept.bin");
    WriteFileBytes(kept, "the file the user had");
    ExpectRun(On(ServiceCard(SmallCard, "fault = stop_mid_reply\n"), {"/r", kept, "0", "0x300"}),
              ReadToFile(0x300, 0) +
                  "\n\nPerforming NVM Read from 0x000000 size 0x000300\nReading page:"
                  "\rReading page: 1 of 3"
                  "\nThe boot loader sent no byte for 2000 ms: reading stopped at page 1 of 3.\n",
              Failure);
    EXPECT_EQ(ReadFileBytes(kept), "the file the user had");
    EXPECT_EQ(LeftoverTemporaryFiles(), 0u);
}

TEST(ServiceMode, ACardWithoutProfileReadsOnlyTheVersion)
{
    const std::string unsupported = ServiceCard({"0x108", 0, 0});
    const std::string image = ScratchFile("image.bin", "abc");
    ExpectRun(On(unsupported, {"/fo", "/v"}), Unsupported + "\nBootloader Version: 1.3.0.5\n", 0);
    ExpectRun(On(unsupported, {"/fo", "/r", TestScratchPath("out.bin"), "0"}),
              Unsupported + NoProfile, Failure);
    ExpectRun(On(unsupported, {"/fo", "/c", image}), Unsupported + NoProfile, Failure);
    EXPECT_FALSE(FileExists(TestScratchPath("out.bin")));
}
