// Ctrl+C and termination: the tool stops only between pages, registers and commands, says what it
// completed, and leaves the microcontroller inside no command.
#include "ToolRunner.h"
#include "sim/BoardMemory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <regex>

using namespace MistleTest;
using namespace Corvane::Common;

namespace
{

const size_t FlashBytes = 128 * 1024;
const size_t PageBytes = 512;

ProcessStep SignalAfter(const std::string& output, unsigned delay)
{
    ProcessStep step = After(output, "", delay);
    step.Signal = InterruptSignal();
    return step;
}

class Interruption : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!CanSignalChildren())
            GTEST_SKIP() << "signals are sent to children only on POSIX systems";
        FreshState();
        // Seeds differ from run to run; the trace names the one that failed.
        Seed = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    }

    static ToolRun Run(const std::string& card, const std::vector<std::string>& arguments)
    {
        return On(Card(card) + StateSection(), arguments);
    }

    static BoardMemory SavedCard()
    {
        std::map<uint32_t, BoardMemory> memories;
        std::string error;
        EXPECT_TRUE(ParseBoardMemories(ReadFileBytes(StatePath()), memories, error)) << error;
        return memories[0];
    }

    unsigned Seed = 0;
};

// The number of the last unit the interrupted line says was completed.
int CompletedUnits(const std::string& output, const std::string& unit)
{
    std::smatch match;
    const std::regex line("\nInterrupted: [a-zA-Z0-9 ]+ stopped after " + unit + " ([0-9]+) of");
    return std::regex_search(output, match, line) ? std::stoi(match[1]) : -1;
}

} // namespace

TEST_F(Interruption, AFlashWriteStopsBetweenPages)
{
    const std::string card = "model = 0x10C\nmcu = service\n";
    const std::string image = Pattern(FlashBytes, 7);
    const std::string imageFile = "interrupt-image.bin";
    WriteFileBytes(imageFile, image);
    std::mt19937 random(Seed);
    int interrupted = 0;
    for (int repetition = 0; repetition < 6; ++repetition)
    {
        const unsigned delay = std::uniform_int_distribution<unsigned>(0, 250)(random);
        SCOPED_TRACE("seed " + std::to_string(Seed) + ", delay " + std::to_string(delay) + " ms");
        FreshState();
        ToolRun run = Run(card, {"/w", imageFile, "0"});
        run.Steps.push_back(SignalAfter("Writing page: 1 of", delay));
        const ProcessResult result = RunTool(run);
        ASSERT_FALSE(result.TimedOut);
        const int pages = CompletedUnits(result.Output, "page");
        if (result.ExitCode == 0)
        {
            // The signal came after the last page: the write is whole.
            EXPECT_EQ(pages, -1);
            continue;
        }
        ++interrupted;
        EXPECT_EQ(result.ExitCode, FailureCode());
        ASSERT_GE(pages, 0) << result.Output;
        const BoardMemory flash = SavedCard();
        EXPECT_TRUE(flash.PendingCommand.empty()) << "the boot loader is inside no command";
        const size_t written = static_cast<size_t>(pages) * PageBytes;
        ASSERT_GE(flash.Flash.size(), written);
        EXPECT_EQ(std::string(flash.Flash.begin(), flash.Flash.begin() + written),
                  image.substr(0, written))
            << "every page before the interruption is written whole";
        EXPECT_EQ(std::count(flash.Flash.begin() + written, flash.Flash.end(), '\xff'),
                  static_cast<long>(flash.Flash.size() - written))
            << "no page after it was begun";
    }
    EXPECT_GT(interrupted, 0);

    const ProcessResult again = RunTool(Run(card, {"/w", imageFile, "0", "/c", imageFile, "0"}));
    EXPECT_EQ(again.ExitCode, 0);
    EXPECT_NE(again.Output.find("\n...done, data matches input file.\n"), std::string::npos);
}

TEST_F(Interruption, ASecondSignalEndsTheRunAtOnce)
{
    const std::string imageFile = "interrupt-insist.bin";
    WriteFileBytes(imageFile, Pattern(FlashBytes, 3));
    ToolRun run = Run("model = 0x10C\nmcu = service\n", {"/w", imageFile, "0"});
    run.Steps.push_back(SignalAfter("Writing page: 2 of", 0));
    run.Steps.push_back(SignalAfter("", 0));
    const ProcessResult result = RunTool(run);
    EXPECT_EQ(result.ExitCode, FailureCode());
    EXPECT_EQ(result.Output.find("Done"), std::string::npos);
}

TEST_F(Interruption, AnI2cWriteStopsBetweenRegisters)
{
    const std::string data = Pattern(256, 5);
    const std::string file = ScratchPath("interrupt-i2c.bin");
    WriteFileBytes(file, data);
    const unsigned delay = Seed % 150;
    SCOPED_TRACE("delay " + std::to_string(delay) + " ms");
    ToolRun run = Run("", {"/i2c_wr", "/in", file, "/ca", "0x50"});
    run.Steps.push_back(SignalAfter("Writing data...", delay));
    const ProcessResult result = RunTool(run);
    const int registers = CompletedUnits(result.Output, "register");
    if (result.ExitCode == 0)
        GTEST_SKIP() << "the write ended before the signal came";
    EXPECT_EQ(result.ExitCode, FailureCode());
    ASSERT_GE(registers, 0) << result.Output;
    const BoardMemory board = SavedCard();
    EXPECT_TRUE(board.PendingCommand.empty());
    const auto device = board.Devices.find(I2cAddress{0, 0x50});
    const auto& written =
        device == board.Devices.end() ? I2cDeviceState().Registers : device->second.Registers;
    for (int reg = 0; reg < 256; ++reg)
        EXPECT_EQ(written[reg], reg < registers ? static_cast<uint8_t>(data[reg]) : 0) << reg;
}

TEST_F(Interruption, TheConsoleEndsAtTheCommandWord)
{
    ToolRun run = Run("", {});
    run.Steps.push_back(After("", "VN?\n"));
    run.Steps.push_back(SignalAfter("VN=2.4.0.17\n", 0));
    // Standard input stays open until the tool has answered the signal.
    run.Steps.push_back(After("Interrupted", ""));
    ExpectRun(run, VersionOutput + "\nInterrupted: the console ended; nothing was being sent.\n",
              Failure);
}

// What an interrupted run must not do: leave the boot loader inside a page command. The stand-in
// keeps such a command across runs, as a powered microcontroller would, and the next run's bytes
// go into its page.
TEST_F(Interruption, APartialCommandOutlivesTheRunThatLeftIt)
{
    WriteFileBytes(StatePath(), "card 0\npending boot_loader 570001\n");
    const ToolRun run = Run("model = 0x104\nmcu = service\n", {"/v"});
    const ProcessResult result = RunTool(run);
    EXPECT_EQ(result.ExitCode, FailureCode());
    EXPECT_NE(result.Output.find("its version was not read"), std::string::npos);
    EXPECT_EQ(SavedCard().PendingCommand, (std::vector<uint8_t>{'W', 0, 1, 'V', 'N', '?'}));
}
