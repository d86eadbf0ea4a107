// What a user or a file can get wrong, and two runs at once: every case ends with a clear line
// and the right exit code, and nothing that existed before is lost.
#include "ToolRunner.h"
#include "platform/Time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>

using namespace MistleTest;
using namespace Corvane::Common;

namespace
{

const std::string NoCards = "\nNo Corvane cards could be found that are ready for use!\n";

// Starts the tool under a shell that limits the size of every file it writes to nothing, as a
// full disk would; the signal for a file grown too large is ignored, so the write just fails.
ToolRun OnFullDisk(const std::string& configuration, const std::vector<std::string>& arguments)
{
    ToolRun run = On(configuration, arguments);
    run.Wrapper = {"/bin/sh", "-c", "ulimit -f 0; trap '' XFSZ; exec \"$0\" \"$@\""};
    return run;
}

} // namespace

TEST(CardLock, ASecondRunOnTheSameCardWaitsThenNamesTheHolder)
{
    const std::string folder = FreshFolder("card-lock-tmp");
    const std::string twoCards = "[gen3]\nindex = 0\n[gen3]\nindex = 1\n";
    // The first run holds card 0 at its console until it is told to exit; on POSIX a shell that
    // becomes the tool first says its process id.
    ToolRun first = On(twoCards, {"/index", "0"});
    first.TemporaryFolder = folder;
    if (CanSignalChildren())
        first.Wrapper = {"/bin/sh", "-c", "echo $$; exec \"$0\" \"$@\""};
    first.Steps.push_back(After("", "VN?\n"));
    first.Steps.push_back(After("VN=2.4.0.17\n", "exit\n", 7000));
    ProcessResult firstResult;
    std::thread holder([&] { firstResult = RunTool(first); });
    SleepMilliseconds(1500);

    ToolRun second = On(twoCards, {"/index", "0", "/v"});
    second.TemporaryFolder = folder;
    CStopwatch waited;
    const ProcessResult secondResult = RunTool(second);
    EXPECT_GT(waited.ElapsedSeconds(), 2.5);
    EXPECT_LT(waited.ElapsedSeconds(), 5.0);
    EXPECT_EQ(secondResult.ExitCode, FailureCode());
    std::smatch inUse;
    EXPECT_TRUE(std::regex_match(secondResult.Output, inUse,
                                 std::regex("\nThe selected card is in use by another run of the "
                                            "tool \\(process ([0-9]+)\\); try again once it has "
                                            "ended\\.\n")))
        << secondResult.Output;
    ToolRun other = On(twoCards, {"/index", "1", "/v"});
    other.TemporaryFolder = folder;
    ExpectRun(other, VersionOutput, 0); // another card is not held up
    if (CanSignalChildren())
        // Nor is a run that keeps its locks in a temporary folder of its own (on Windows the lock
        // is for the whole machine).
        ExpectRun(On(twoCards, {"/index", "0", "/v"}), VersionOutput, 0);

    holder.join();
    EXPECT_EQ(firstResult.ExitCode, 0);
    const std::string holderLine = CanSignalChildren() ? inUse[1].str() + "\n" : "";
    EXPECT_EQ(firstResult.Output, holderLine + VersionOutput);
}

TEST(CardLock, ALockThatIsNoPlainFileOfItsOwnRefusesTheRun)
{
    if (!CanSignalChildren())
        GTEST_SKIP() << "on Windows the card lock is a named mutex";
    const std::string folder = std::filesystem::absolute(FreshFolder("planted-lock")).string();
    const std::string lock = folder + "/mistle-card-gen3-0.lock";
    const std::string victim = folder + "/victim";
    const std::function<void()> planters[] = {
        [&] { std::filesystem::create_symlink(victim, lock); },
        [&] { std::filesystem::create_hard_link(victim, lock); },
        [&] { std::filesystem::create_directory(lock); },
    };
    for (const auto& plant : planters)
    {
        std::filesystem::remove_all(lock);
        WriteFileBytes(victim, "someone else's file");
        plant();
        ToolRun run = On("", {"/v"});
        run.TemporaryFolder = folder;
        ExpectRun(run,
                  "\nThe card lock " + lock + " is a link or no plain file; the run is refused.\n",
                  Failure);
        EXPECT_EQ(ReadFileBytes(victim), "someone else's file");
    }
}

TEST(OutputFiles, APlainFileIsReplacedAndNoPlantedLinkWrittenThrough)
{
    if (!CanSignalChildren())
        GTEST_SKIP() << "a POSIX shell plants the links and sets the umask";
    const std::string folder = FreshFolder("planted-links");
    const std::string out = folder + "/out.bin";
    const std::string victim = folder + "/victim";
    const std::string image =
        std::string("\x00\x01\x00\x80\x00\x80", 6) + std::string(249, '\0') + "\xff";
    const std::pair<std::vector<std::string>, std::string> commands[] = {
        {{"/gen_blob_v1_0", out}, image},
        {{"/i2c_rd", "/out", out, "/size", "4"}, std::string(4, '\0')},
    };
    for (const auto& [arguments, bytes] : commands)
    {
        WriteFileBytes(victim, "someone else's file");
        WriteFileBytes(out, "the file before");
        // The shell becomes the tool: a link waits where a temporary name made of the process id
        // and a counter would go.
        ToolRun run = On("", arguments);
        run.Wrapper = {"/bin/sh", "-c",
                       "umask 027; ln -s victim " + out + ".part-$$-1; exec \"$0\" \"$@\""};
        EXPECT_EQ(RunTool(run).ExitCode, 0);
        EXPECT_EQ(ReadFileBytes(victim), "someone else's file");
        EXPECT_EQ(ReadFileBytes(out), bytes);
        using std::filesystem::perms;
        EXPECT_EQ(std::filesystem::status(out).permissions(),
                  perms::owner_read | perms::owner_write | perms::group_read);
        EXPECT_EQ(PartialFiles(folder), 1u) << "the planted link stays, and nothing else";
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename().string().rfind("out.bin.part-", 0) == 0)
                std::filesystem::remove(entry.path());
    }
}

TEST(StateLock, TwoRunsOnOneStateFileKeepBothUpdates)
{
    const std::string state = ScratchPath("two-runs.state");
    std::remove(state.c_str());
    const std::string configuration = "[gen3]\nindex = 0\n[host]\nstate = " + state + "\n";
    // The first run writes long enough for the second to start while it runs.
    std::string data;
    for (int i = 0; i < 256; ++i)
        data.push_back(static_cast<char>('0' + i % 10));
    const std::string file = ScratchPath("two-runs.bin");
    WriteFileBytes(file, data);
    ProcessResult first;
    std::thread writer(
        [&] {
            first = RunTool(On(configuration, {"/i2c_wr", "/in", file, "/ca", "0x50"}));
        });
    SleepMilliseconds(20);
    const ProcessResult second =
        RunTool(On(configuration, {"/i2c_wr", "/in", file, "/ca", "0x51"}));
    writer.join();
    EXPECT_EQ(first.ExitCode, 0);
    EXPECT_EQ(second.ExitCode, 0);
    const std::string kept = ReadFileBytes(state);
    EXPECT_NE(kept.find("i2c 0 0x50 0x00 "), std::string::npos) << kept;
    EXPECT_NE(kept.find("i2c 0 0x51 0x00 "), std::string::npos) << kept;
}

// A folder, and a pipe whose reading would wait for a writer for ever, are refused as input
// files.
TEST(BadInput, FoldersAndPipesAreNoFiles)
{
    std::vector<std::string> paths = {FreshFolder("folder-as-file")};
    if (CanSignalChildren() && std::system("rm -f pipe-as-file && mkfifo pipe-as-file") == 0)
        paths.push_back("pipe-as-file");
    for (const std::string& path : paths)
    {
        ExpectRun({"/i2c_wr", "/in", path}, "\nCould not open input file " + path, Failure);
        ExpectRun({"/i2c_vr", "/in", path}, "\nCould not open input file " + path + "\n", Failure);
        ExpectRun(On(Card("mcu = service\n"), {"/w", path, "0"}),
                  "\nCould not open input file " + path + "\n", Failure);
    }
    EXPECT_TRUE(std::filesystem::is_directory(paths.front()));
    EXPECT_TRUE(std::filesystem::is_fifo(paths.back()) || paths.size() == 1);
}

TEST(BadInput, AHugeInputFileIsRefusedWithoutBeingRead)
{
    const std::string huge = ScratchPath("huge-input.bin");
    {
        WriteFileBytes(huge, "");
        std::filesystem::resize_file(huge, 1ull << 30); // sparse: takes no room
    }
    CStopwatch watch;
    ExpectRun({"/i2c_wr", "/in", huge}, "\nInput file (" + huge + ") too large!", Failure);
    const std::string relative = RelativeScratchPath("huge-input.bin");
    ExpectRun(On(Card("mcu = service\n"), {"/w", relative, "0"}),
              "\nError input file " + relative + " does not fit: the flash ends at 0x020000!\n",
              Failure);
    EXPECT_LT(watch.ElapsedSeconds(), 3.0);
    std::remove(huge.c_str());
}

TEST(BadInput, AFullDiskLosesNothing)
{
    if (!CanSignalChildren())
        GTEST_SKIP() << "the file-size limit of a POSIX shell stands in for a full disk";
    const std::string folder = FreshFolder("full-disk");
    const std::string image = folder + "/image.bin";
    const std::string read = folder + "/read.bin";
    WriteFileBytes(image, "the image from before");
    WriteFileBytes(read, "the read from before");
    ExpectRun(OnFullDisk("", {"/gen_blob_v1_0", image}),
              "Writing AVR config block...\nError writing output file " + image, Failure);
    ExpectRunEnding(OnFullDisk("", {"/i2c_rd", "/out", read, "/size", "1"}),
                    "\nError writing output file " + read + "\n", Failure);
    ExpectRunEnding(OnFullDisk(Card("mcu = service\n"), {"/r", read, "0", "512"}),
                    "\nDone\n\nError writing output file " + read, Failure);
    EXPECT_EQ(ReadFileBytes(image), "the image from before");
    EXPECT_EQ(ReadFileBytes(read), "the read from before");
    EXPECT_EQ(PartialFiles(folder), 0u);
}

TEST(BadInput, AReadOnlyFolderLosesNothing)
{
    const std::string folder = FreshFolder("read-only");
    const std::string kept = folder + "/kept.bin";
    WriteFileBytes(kept, "kept");
    // Immutable even for the superuser, under whom the tests may run.
    if (std::system(("chattr +i " + folder + " 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "this system cannot make a folder read-only for every user";
    ExpectRun({"/gen_blob_v1_0", kept},
              "Writing AVR config block...\nError opening output file " + kept, Failure);
    ExpectRunEnding(On("", {"/i2c_rd", "/out", kept, "/size", "1"}),
                    "\nError writing output file " + kept + "\n", Failure);
    std::system(("chattr -i " + folder).c_str());
    EXPECT_EQ(ReadFileBytes(kept), "kept");
    EXPECT_EQ(PartialFiles(folder), 0u);
}

TEST(BadInput, MalformedStandInFiles)
{
    ExpectRun(On("[gen3]\nindex = first\n", {"/v"}), NoCards, Failure);
    const std::string state = ScratchPath("malformed.state");
    WriteFileBytes(state, "card 0\nflash zz\n");
    ExpectRun(On("[gen3]\nindex = 0\n[host]\nstate = " + state + "\n", {"/v"}), VersionOutput, 0);
    EXPECT_EQ(ReadFileBytes(state), "card 0\nflash zz\n") << "a state file it cannot read is kept";
}
