// Every command that talks to the microcontroller against every fault the stand-in can inject:
// each run ends in time, says what did not happen, ends with -1 unless the result is still
// correct, leaves no output file that looks complete but is not, and keeps the state file intact.
#include "ToolRunner.h"
#include "platform/Time.h"
#include "sim/BoardMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

using namespace MistleTest;
using namespace Corvane::Common;

namespace
{

struct Fault
{
    const char* Name;
    const char* Settings; // added to the card's section
};

const Fault Faults[] = {
    {"silent", "fault = silent\n"},
    {"stop_mid_reply", "fault = stop_mid_reply\n"},
    {"noise", "fault = noise\n"},
    {"bad_echo", "fault = bad_echo\n"},
    {"refuse", "fault = refuse\n"},
    {"tx never", "tx_ready = never\n"},
    {"tx late", "tx_ready_after = 5000000\n"},
    {"absent", "mcu = absent\n"},
};
constexpr size_t FaultCount = std::size(Faults);

enum class Output
{
    None,
    I2cRead,   // 4 registers from chip 0x50
    FlashRead, // 1024 bytes from the start of the flash
};

struct Command
{
    const char* Name;
    bool ServiceMode;
    std::vector<std::string> Arguments; // "OUT" and "IN" stand for the run's files
    Output Writes;
    bool Console;
    // What each fault gives: exit code and a text the output must hold ("" for none).
    std::pair<int, const char*> Expected[FaultCount];
};

const char* const NotTaken = "took no byte";
const char* const NoI2cAnswer = "No answer to the I2C";

// By fault, in the order of Faults: silent, stop_mid_reply, noise, bad_echo, refuse, tx never,
// tx late, absent.
// clang-format off
const Command Commands[] = {
    {"/v", false, {"/v"}, Output::None, false,
     {{-1, "The firmware sent no version."}, {-1, "The firmware sent no version."},
      {0, "VN=2.4.0.17"}, {0, "VN=2.4.0.17"}, {0, "VN=2.4.0.17"},
      {-1, NotTaken}, {-1, NotTaken}, {-1, NotTaken}}},
    {"/lb", false, {"/lb", "32"}, Output::None, false,
     {{-1, "No echo of byte 0x00"}, {0, "0 of 32 bytes contained errors."},
      {0, "0 of 32 bytes contained errors."}, {-1, "2 of 32 bytes contained errors."},
      {0, "0 of 32 bytes contained errors."}, {-1, NotTaken}, {-1, NotTaken}, {-1, NotTaken}}},
    {"/bus", false, {"/bus", "1"}, Output::None, false,
     {{0, ""}, {0, ""}, {0, ""}, {0, ""}, {0, ""}, {-1, NotTaken}, {-1, NotTaken}, {-1, NotTaken}}},
    {"/sd", false, {"/sd"}, Output::None, false,
     {{-1, "No response from uCPU"}, {0, "Command accepted."}, {-1, "Unexpected reply from uCPU."},
      {0, "Command accepted."}, {-1, "Command refused."},
      {-1, NotTaken}, {-1, NotTaken}, {-1, NotTaken}}},
    {"/i2c_rd", false, {"/i2c_rd", "/out", "OUT", "/size", "4", "/ca", "0x50"}, Output::I2cRead,
     false,
     {{-1, NoI2cAnswer}, {-1, NoI2cAnswer}, {0, "...done"}, {0, "...done"}, {0, "...done"},
      {-1, NotTaken}, {-1, NotTaken}, {-1, NotTaken}}},
    {"/i2c_wr", false, {"/i2c_wr", "/in", "IN", "/ca", "0x50"}, Output::None, false,
     {{-1, NoI2cAnswer}, {0, "...done!"}, {0, "...done!"}, {0, "...done!"}, {0, "...done!"},
      {-1, NotTaken}, {-1, NotTaken}, {-1, NotTaken}}},
    {"/i2c_vr", false, {"/i2c_vr", "/in", "IN", "/ca", "0x50"}, Output::None, false,
     {{-1, NoI2cAnswer}, {-1, NoI2cAnswer}, {0, "Verified: 4 bytes"}, {0, "Verified: 4 bytes"},
      {0, "Verified: 4 bytes"}, {-1, NotTaken}, {-1, NotTaken}, {-1, NotTaken}}},
    {"/blow_etc", false, {"/blow_etc"}, Output::None, false,
     {{-1, NoI2cAnswer}, {-1, NoI2cAnswer}, {0, "ETC Counter has been blown!"},
      {0, "ETC Counter has been blown!"}, {0, "ETC Counter has been blown!"},
      {-1, NotTaken}, {-1, NotTaken}, {-1, NotTaken}}},
    // The console waits for no reply: without one it shows none, and "exit" still ends it.
    {"console VN?", false, {}, Output::None, true,
     {{0, ""}, {0, "The reply VN= stopped after 4 of 8 bytes"}, {0, "VN=2.4.0.17"},
      {0, "VN=2.4.0.17"}, {0, "VN=2.4.0.17"}, {-1, NotTaken}, {-1, NotTaken}, {-1, NotTaken}}},
    {"service /v", true, {"/v"}, Output::None, false,
     {{-1, "its version was not read"}, {-1, "its version was not read"},
      {0, "Bootloader Version: 1.3.0.5"}, {0, "Bootloader Version: 1.3.0.5"},
      {0, "Bootloader Version: 1.3.0.5"}, {-1, NotTaken}, {-1, NotTaken}, {-1, NotTaken}}},
    {"service /r", true, {"/r", "OUT", "0", "1024"}, Output::FlashRead, false,
     {{-1, "reading stopped at page 1 of 2"}, {-1, "reading stopped at page 1 of 2"},
      {0, "...done"}, {0, "...done"}, {0, "...done"}, {-1, NotTaken}, {-1, NotTaken},
      {-1, NotTaken}}},
    // A page the boot loader refuses goes unnoticed by "/w": its answer carries no status by
    // design, and "/c" is the check (the flash here already holds the image).
    {"service /w", true, {"/w", "IN", "0"}, Output::None, false,
     {{-1, "writing stopped at page 1 of 2"}, {0, "Done"}, {0, "Done"}, {0, "Done"}, {0, "Done"},
      {-1, NotTaken}, {-1, NotTaken}, {-1, NotTaken}}},
    {"service /c", true, {"/c", "IN", "0"}, Output::None, false,
     {{-1, "reading stopped at page 1 of 2"}, {-1, "reading stopped at page 1 of 2"},
      {0, "data matches input file"}, {0, "data matches input file"},
      {0, "data matches input file"}, {-1, NotTaken}, {-1, NotTaken}, {-1, NotTaken}}},
};
// clang-format on

const double BoundSeconds = 15.0;
const std::string Before = "what the file held before";

struct Outcome
{
    bool Ran = false;
    bool InTime = false;
    bool RightExit = false;
    bool SaidIt = false;
    bool FilesIntact = false;
    int ExitCode = 0;
    double Seconds = 0;
    std::string Output;
};

class CMatrixRun
{
public:
    // Runs side by side use cards of different library indices: each run takes its card for as
    // long as it runs, and on Windows that lock is the same for every run on the machine.
    CMatrixRun(const Command& command, size_t fault, uint32_t card)
        : TheCommand(command), FaultIndex(fault), Card(card)
    {
    }

    Outcome Run()
    {
        const std::string folder = FreshFolder("matrix/" + std::to_string(&TheCommand - Commands) +
                                               "-" + std::to_string(FaultIndex));
        const std::string state = folder + "/cards.state";
        const std::string in = folder + "/in.bin";
        const std::string out = folder + "/out.bin";
        const std::string image = Pattern(1024, 3);
        const std::string i2c = Pattern(4, 9);
        // The flash holds the image, chip 0x50 the I2C data, so reads and compares have something
        // to find and writes change nothing.
        BoardMemory memory;
        memory.Flash.assign(image.begin(), image.end());
        std::copy(i2c.begin(), i2c.end(), memory.Devices[{0, 0x50}].Registers.begin());
        WriteFileBytes(state, FormatBoardMemories({{Card, memory}}));
        WriteFileBytes(in, TheCommand.ServiceMode ? image : i2c);
        WriteFileBytes(out, Before);

        ToolRun run;
        run.SimConfiguration = CardSettings() + "[host]\nstate = " + state + "\n";
        run.TemporaryFolder = std::filesystem::absolute(folder).string();
        for (const std::string& argument : TheCommand.Arguments)
            run.Arguments.push_back(argument == "IN" ? in : argument == "OUT" ? out : argument);
        if (TheCommand.ServiceMode && IsAbsent())
            run.Arguments.push_back("/fs"); // nothing reports service mode
        if (TheCommand.Console)
        {
            run.Steps.push_back(After("", "VN?\n"));
            run.Steps.push_back(After("", "exit\n", 2500));
        }

        Outcome outcome;
        CStopwatch watch;
        const ProcessResult result = RunTool(run);
        outcome.Seconds = watch.ElapsedSeconds();
        outcome.Ran = result.Started;
        outcome.InTime = !result.TimedOut && outcome.Seconds < BoundSeconds;
        outcome.ExitCode = result.ExitCode == 0 ? 0 : -1;
        const auto& [exitCode, text] = TheCommand.Expected[FaultIndex];
        outcome.RightExit = result.ExitCode == (exitCode == 0 ? 0 : FailureCode());
        outcome.SaidIt = result.Output.find(text) != std::string::npos;
        outcome.FilesIntact = OutputFileIsRight(out, exitCode == 0, image, i2c) &&
                              StateIsIntact(state, image, i2c) && PartialFiles(folder) == 0;
        outcome.Output = result.Output;
        return outcome;
    }

private:
    bool IsAbsent() const { return std::string(Faults[FaultIndex].Name) == "absent"; }

    std::string CardSettings() const
    {
        std::string card = "[gen3]\nindex = " + std::to_string(Card) + "\nmodel = 0x10C\n";
        if (TheCommand.ServiceMode && !IsAbsent())
            card += "mcu = service\n";
        return card + Faults[FaultIndex].Settings;
    }

    // Complete and right after a success; as it was before after a failure.
    bool OutputFileIsRight(const std::string& out, bool succeeded, const std::string& image,
                           const std::string& i2c) const
    {
        const std::string held = ReadFileBytes(out);
        if (!succeeded || TheCommand.Writes == Output::None)
            return held == Before;
        return held == (TheCommand.Writes == Output::I2cRead ? i2c : image);
    }

    // The state file still parses and holds the flash and the device as they were (only the
    // elapsed-time counter is there to be changed). A microcontroller that stopped taking bytes
    // in the middle of a command may still be inside it: that is its state, not damage.
    bool StateIsIntact(const std::string& state, const std::string& image,
                       const std::string& i2c) const
    {
        std::map<uint32_t, BoardMemory> memories;
        std::string error;
        if (!ParseBoardMemories(ReadFileBytes(state), memories, error))
            return false;
        const BoardMemory& card = memories[Card];
        const auto device = card.Devices.find(I2cAddress{0, 0x50});
        return card.Flash.size() >= image.size() &&
               std::equal(image.begin(), image.end(), card.Flash.begin(),
                          [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }) &&
               device != card.Devices.end() &&
               std::equal(i2c.begin(), i2c.end(), device->second.Registers.begin(),
                          [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
    }

    const Command& TheCommand;
    size_t FaultIndex;
    uint32_t Card;
};

std::string Cell(const Outcome& outcome)
{
    char cell[32];
    const bool right = outcome.InTime && outcome.RightExit && outcome.SaidIt && outcome.FilesIntact;
    std::snprintf(cell, sizeof cell, "%s%3d %4.1fs", right ? " " : "!", outcome.ExitCode,
                  outcome.Seconds);
    return cell;
}

void PrintMatrix(const std::vector<std::vector<Outcome>>& outcomes)
{
    std::string table = "\nFault matrix (exit code and seconds; ! marks a pair that went wrong)\n";
    char line[64];
    std::snprintf(line, sizeof line, "%-13s", "");
    table += line;
    for (const Fault& fault : Faults)
    {
        std::snprintf(line, sizeof line, "|%-14.14s", fault.Name);
        table += line;
    }
    table += "\n";
    size_t pairs = 0, hangs = 0, wrongExits = 0, damaged = 0;
    for (size_t c = 0; c < std::size(Commands); ++c)
    {
        std::snprintf(line, sizeof line, "%-13s", Commands[c].Name);
        table += line;
        for (const Outcome& outcome : outcomes[c])
        {
            table += "| " + Cell(outcome) + " ";
            ++pairs;
            hangs += outcome.InTime ? 0 : 1;
            wrongExits += outcome.RightExit ? 0 : 1;
            damaged += outcome.FilesIntact ? 0 : 1;
        }
        table += "\n";
    }
    std::snprintf(line, sizeof line, "pairs %zu, hangs %zu, wrong exit codes %zu, ", pairs, hangs,
                  wrongExits);
    table += line;
    std::snprintf(line, sizeof line, "files damaged %zu\n", damaged);
    table += line;
    std::fputs(table.c_str(), stdout);
}

} // namespace

TEST(FaultMatrix, EveryCommandAgainstEveryFaultEndsInTimeAndTellsTheTruth)
{
    std::vector<std::vector<Outcome>> outcomes(std::size(Commands),
                                               std::vector<Outcome>(FaultCount));
    // The pairs wait on the microcontroller much of the time: several at once keep the suite
    // short, and every bound is in wall time.
    std::atomic<size_t> next{0};
    const size_t total = std::size(Commands) * FaultCount;
    auto worker = [&]
    {
        for (size_t pair = next++; pair < total; pair = next++)
            outcomes[pair / FaultCount][pair % FaultCount] =
                CMatrixRun(Commands[pair / FaultCount], pair % FaultCount,
                           static_cast<uint32_t>(pair % 15))
                    .Run();
    };
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i)
        workers.emplace_back(worker);
    for (std::thread& thread : workers)
        thread.join();

    PrintMatrix(outcomes);
    for (size_t c = 0; c < std::size(Commands); ++c)
        for (size_t f = 0; f < FaultCount; ++f)
        {
            const Outcome& outcome = outcomes[c][f];
            SCOPED_TRACE(std::string(Commands[c].Name) + " with " + Faults[f].Name + ":\n" +
                         outcome.Output);
            EXPECT_TRUE(outcome.Ran);
            EXPECT_TRUE(outcome.InTime) << outcome.Seconds << " s";
            EXPECT_TRUE(outcome.RightExit) << "exit " << outcome.ExitCode;
            EXPECT_TRUE(outcome.SaidIt) << "expected: " << Commands[c].Expected[f].second;
            EXPECT_TRUE(outcome.FilesIntact);
        }
}
