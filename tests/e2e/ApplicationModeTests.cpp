// Application mode end to end: the firmware's replies as the receiver thread prints them, the
// one-shot commands and the interactive console, against the stand-in's application firmware.
#include "ToolRunner.h"
#include "platform/Time.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace MistleTest;
using Corvane::Common::CStopwatch;
using Corvane::Common::ProcessResult;

namespace
{

double SecondsToRun(const ToolRun& run, ProcessResult& result)
{
    const CStopwatch watch;
    result = RunTool(run);
    return watch.ElapsedSeconds();
}

// The console: each line typed once the output shows what comes before it.
ToolRun Console(const std::string& configuration,
                const std::vector<std::pair<std::string, std::string>>& conversation)
{
    ToolRun run = On(configuration, {});
    for (const auto& [awaited, typed] : conversation)
        run.Steps.push_back(After(awaited, typed));
    return run;
}

// A bad echo comes back for byte 5 of every sixteen, as 0xee.
std::string LoopBackOutput(uint32_t bytes, bool badEcho)
{
    std::string output = "\n\nChecked: 0";
    uint32_t errors = 0;
    for (uint32_t checked = 1; checked <= bytes; ++checked)
    {
        const bool wrong = badEcho && checked % 16 == 6;
        errors += wrong ? 1 : 0;
        output += wrong ? "\nData error, got 0xee, expected 0x05\n"
                        : "\rChecked: " + std::to_string(checked);
    }
    return output + "\n\n" + std::to_string(errors) + " of " + std::to_string(bytes) +
           " bytes contained errors.\n";
}

} // namespace

TEST(ApplicationMode, TheVersionLineEndsTheRunAndNoVersionIsAFailure)
{
    ProcessResult version, busAlone;
    const double versionSeconds = SecondsToRun(On(Card(), {"/v"}), version);
    const double busSeconds = SecondsToRun(On(Card(), {"/bus", "2"}), busAlone);
    EXPECT_EQ(version.Output, VersionOutput);
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_LT(versionSeconds, busSeconds + 0.5) << "no fixed wait after the version line";
    ExpectRun(On(Card("firmware_version = 1.2.65535.0\n"), {"/v"}), "0x56 0x4e \nVN=1.2.65535.0\n",
              0);
    ExpectRun(On("silent-firmware.ini", {"/v"}), "\nThe firmware sent no version.\n", Failure);
}

TEST(ApplicationMode, LoopBackCountsBlocksOfSixteenBytesAndBadEchoesAndEndsWithoutEcho)
{
    ExpectRun({"/lb", "32"}, LoopBackOutput(32, false), 0);
    ExpectRun({"/lb", "15"}, LoopBackOutput(0, false), 0);
    ExpectRun({"/lb", "0x20"}, LoopBackOutput(32, false), 0);
    ExpectRun({"/lb", "0X20"}, LoopBackOutput(0, false), 0); // a capital X scans as decimal 0
    // Bad echoes are counted, and the test still succeeds.
    ExpectRun(On("bad-echo.ini", {"/lb", "32"}), LoopBackOutput(32, true), 0);
    ExpectRun(On(Card("fault = silent\n"), {"/lb", "16"}),
              "\n\nChecked: 0\nNo echo of byte 0x00 came back within 2000 ms.\n", Failure);
}

TEST(ApplicationMode, BusAloneSelectsTheBusAndEnds)
{
    const std::string trace = ScratchPath("bus-alone.trace");
    std::remove(trace.c_str());
    ToolRun run = On(Card("[host]\ntrace = " + trace + "\n"), {"/bus", "2"});
    ExpectRun(run, "", 0);
    EXPECT_NE(ReadFileBytes(trace).find("gen3 0 received 49 53 3f 02\n"), std::string::npos)
        << "the bus index as one byte, and nothing else";
}

TEST(ApplicationMode, SelfReconfigureAnswers)
{
    const std::string start = "\nSending self-reconfigure command.\n";
    const std::string waiting = "\nCommand sent waiting for response.\n";
    const std::string accepted =
        "\nCommand accepted. FPGA re-programming with start in 5 seconds!\n";
    // The answer may be shown before the main thread says it waits.
    const ProcessResult result = RunTool(On("", {"/sd"}));
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_TRUE(result.Output == start + waiting + "0x21 " + accepted ||
                result.Output == start + "0x21 " + waiting + accepted)
        << result.Output;

    const ProcessResult refused = RunTool(On("refusing-firmware.ini", {"/sd"}));
    EXPECT_EQ(refused.ExitCode, FailureCode());
    EXPECT_NE(refused.Output.find("0x58 "), std::string::npos);
    EXPECT_EQ(refused.Output.substr(refused.Output.size() - 18), "\nCommand refused.\n");

    ExpectRun(On(Card("fault = silent\n"), {"/sd"}),
              start + waiting + "\nNo response from uCPU within 2000 ms.\n", Failure);
}

TEST(Console, RawTextReachesTheFirmwareAndRepliesAreDecoded)
{
    ExpectRun(On("noisy-firmware.ini", {}, "VN?\n"), "0x00 0x7f 0xc3 " + VersionOutput, 0);
    // Small letters are text the firmware does not answer.
    ExpectRun(On(Card(), {}, "vn?\n"), "", 0);
}

TEST(Console, APipedScriptIsAnsweredInFullBeforeTheRunEnds)
{
    // The record exactly as the console prints it when "exit" is typed after it.
    const ProcessResult typed =
        RunTool(Console(Card(), {{"", "SX?\n"}, {"Si5338: OK\n", "exit\n"}}));
    ASSERT_FALSE(typed.TimedOut);
    ASSERT_EQ(typed.Output.rfind("0x53 0x58 \nSX=\n\n", 0), 0u) << typed.Output;
    ExpectRun(On(Card(), {"/sn", "10001"}, "SX?\n"), typed.Output, 0);

    // The replies may come between the prompts, each whole.
    const ProcessResult script = RunTool(On(Card(), {}, "VN?\nGF\n0\nIR\n50\n0\n1\n"));
    EXPECT_EQ(script.ExitCode, 0);
    for (const char* reply : {"\nVN=2.4.0.17\n", "\nStatus = 0x00, Frequency = 100000000\n",
                              "\nI2C Read Data = 0x00000000 000000"})
        EXPECT_NE(script.Output.find(reply), std::string::npos) << reply << script.Output;
}

TEST(Console, EndOfInputAndExitAreHeardOutWithinTheirBound)
{
    // A firmware that reports its status after every empty read is never quiet.
    ProcessResult chattering, silent, exited;
    const double chatteringSeconds =
        SecondsToRun(On(Card("chatter = 1\n"), {}, "SX?\n"), chattering);
    const double silentSeconds = SecondsToRun(On(Card("fault = silent\n"), {}, "SX?\n"), silent);
    const double exitSeconds = SecondsToRun(On(Card("chatter = 1\n"), {}, "SX?\nexit\n"), exited);
    EXPECT_EQ(chattering.ExitCode, 0);
    EXPECT_NE(chattering.Output.find("\nSX=\n"), std::string::npos);
    EXPECT_EQ(silent.ExitCode, 0);
    EXPECT_EQ(silent.Output, "");
    EXPECT_EQ(exited.ExitCode, 0);
    EXPECT_NE(exited.Output.find("\nSX=\n"), std::string::npos);
    // Each run also starts the tool, which under an emulated system takes a while.
    const double startAllowance = 1.5;
    EXPECT_LT(chatteringSeconds, 2.0 + startAllowance);
    EXPECT_LT(silentSeconds, 2.0 + startAllowance);
    EXPECT_LT(exitSeconds, 2.0 + startAllowance);

    // At a value prompt the command is not sent, and the run fails.
    ExpectRun(On(Card(), {}, "GF\n"),
              "\nEnter multisynth index: "
              "\nStandard input ended before the command was complete; it was not sent.\n",
              Failure);
}

TEST(Console, ExtendedStatusOnABoardThatAnswersIt)
{
    // 375,136 quarter seconds, 4096 on the first voltage, a clock error.
    std::string record(128, '0');
    const auto put = [&record](size_t offset, const char* hex)
    { record.replace(2 * offset, std::strlen(hex), hex); };
    put(0, "60b90500");
    put(10, "0010");
    put(53, "21");
    ToolRun run = Console(
        Card("model = 0x10C\nstatus = " + record + "\n"),
        {{"", "SX?\n"}, {"Si5338: ", "ST?\n"}, {"ST? (Status)", "VN?\n"}, {"VN=", "exit\n"}});
    const ProcessResult result = RunTool(run);
    EXPECT_EQ(result.ExitCode, 0);
    const std::string& out = result.Output;
    EXPECT_EQ(out.rfind("0x53 0x58 \nSX=\n\n", 0), 0u) << out;
    EXPECT_NE(out.find("ETC: 1 days, 2 hours, 3 min.s, 4 sec.s\n"), std::string::npos);
    EXPECT_NE(out.find("A1 12V0_DIG_ADCMP:   1.000 V\n"), std::string::npos);
    EXPECT_NE(out.find("Si5338: Error 0x2: Type 0x1\n0x53 0x54 \nThis board does not support "
                       "ST? (Status). Please use SX? (Extended Status) instead.\n" +
                       VersionOutput),
              std::string::npos)
        << "the refused reply is read whole: the next one is found\n"
        << out;
}

TEST(Console, ClockFrequenciesAreAskedForAndSet)
{
    ExpectRun(Console(Card(), {{"", "GF\n"},
                               {"index: ", "0\n"},
                               {"Frequency = 100000000\n", "SF\n"},
                               {"index: ", "2\n"},
                               {"(Hz): ", "150000000\n"},
                               {"Actual frequency = 150000000\n", "GF\n"},
                               {"index: ", "zz\n"},
                               {"index: ", "7\n"},
                               {"Frequency = 0\n", "exit\n"}}),
              "\nEnter multisynth index: 0x47 0x46 \n0x00 0x00 0xe1 0xf5 0x05\n"
              "\nStatus = 0x00, Frequency = 100000000\n"
              "\nEnter multisynth index: \nEnter requested frequency (Hz): 0x53 0x46 "
              "\n0x00 0x80 0xd1 0xf0 0x08\n\nStatus = 0x00, Actual frequency = 150000000\n"
              "\nEnter multisynth index: \nEnter multisynth index: 0x47 0x46 "
              "\n0x01 0x00 0x00 0x00 0x00\n\nStatus = 0x01, Frequency = 0\n",
              0);
}

TEST(Console, I2cWriteThenReadBack)
{
    const std::string chip = "\nEnter Chip Address: 0x";
    const std::string reg = "\nEnter Reg Address: 0x";
    ExpectRun(Console(Card(), {{"", "IW\n"},
                               {"0x", "50\n"},
                               {"0x", "fe\n"},
                               {"0x", "3\n"},
                               {"0: 0x", "a1\n"},
                               {"1: 0x", "b2\n"},
                               {"2: 0x", "c3\n"},
                               {"0x49 0x57 ", "IR\n"},
                               {"0x", "50\n"},
                               {"0x", "fe\n"},
                               {"0x", "4\n"},
                               {"00c3b2a1\n", "IW\n"},
                               {"0x", "50\n"},
                               {"0x", "0\n"},
                               {"0x", "9\n"},
                               {"nothing was sent.\n", "exit\n"}}),
              chip + reg + "\nEnter Byte Count to Write: 0x\nEnter byte 0: 0x\nEnter byte 1: 0x" +
                  "\nEnter byte 2: 0x\nSending I2C Write: 0x50:0xfe 3 bytes...\n0x49 0x57 " + chip +
                  reg + "\nEnter Bytes to Read: 0x\nSending I2C Read: 0x50:0xfe 4 bytes...\n" +
                  "0x49 0x52 \nI2C Read Data = 0x00000000 00c3b2a1\n" + chip + reg +
                  "\nEnter Byte Count to Write: 0x"
                  "\nAt most 8 bytes can be written with one I2C write; nothing was sent.\n",
              0);
}

TEST(Console, AReplyThatStopsIsDroppedAndTheRunStillEnds)
{
    ExpectRun(Console("stopping-replies.ini",
                      {{"", "SX?\n"}, {"it was dropped.\n", "VN?\n"}, {"", "exit\n"}}),
              "0x53 0x58 \nThe reply SX= stopped after 32 of 64 bytes; it was dropped.\n", 0);
}

TEST(ApplicationMode, TheAccessCodeNeverStandsInTheProgram)
{
    const std::string program = ReadFileBytes(MISTLE_EXECUTABLE);
    ASSERT_GT(program.size(), 10000u);
    EXPECT_EQ(program.find("Tz4@Lm9q"), std::string::npos);
}
