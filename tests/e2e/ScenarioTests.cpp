#include "ToolRunner.h"

#include <gtest/gtest.h>

using namespace MistleTest;

namespace
{
struct Scenario
{
    const char* File;
    std::vector<std::string> Arguments;
    std::string Input;
    std::string Output; // the run's last line of output
    bool Succeeds;
};

std::string LastLine(const std::string& output)
{
    const size_t end = output.find_last_not_of('\n');
    if (end == std::string::npos)
        return output;
    const size_t start = output.rfind('\n', end);
    return output.substr(start == std::string::npos ? 0 : start + 1, end - start);
}
} // namespace

// The scenarios shipped for people trying the tool: each still loads and shows what it promises.
// The command suites run the others, and check their whole output.
TEST(Scenarios, EachShippedScenarioShowsItsCase)
{
    const std::string refused = ScratchFile("refused.bin", "ABCD"); // not what erased flash holds
    const Scenario scenarios[] = {
        {"default.ini", {"/am"}, "", "System is in application mode", true},
        {"three-cards.ini", {"/sm"}, "2\n", "System is in service mode.", true},
        {"three-cards.ini", {"/index", "0", "/sm"}, "", "System is not in service mode!", false},
        {"unknown-models.ini", {"/am"}, "", "Warning! Selected card not supported.", false},
        {"gen2-only.ini",
         {"/am"},
         "",
         "No Corvane cards that can be used with this application could be found that are ready "
         "for use!",
         false},
        {"boot-loader-small.ini", {"/v"}, "", "Bootloader Version: 1.2.0.9", true},
        {"boot-loader-silent.ini",
         {"/v"},
         "",
         "The boot loader sent no byte for 2000 ms: its version was not read.",
         false},
        {"boot-loader-refuses.ini",
         {"/w", refused, "0", "/c", refused, "0"},
         "",
         "4 bytes contained errors.",
         false},
        {"never-ready.ini", {"/am"}, "", "System is in application mode", true},
        {"firmware.ini", {"/v"}, "", "VN=3.0.1.200", true},
        {"chatty-firmware.ini", {"/am"}, "", "System is in application mode", true},
    };
    for (const Scenario& scenario : scenarios)
    {
        SCOPED_TRACE(scenario.File);
        const auto result = RunTool(On(scenario.File, scenario.Arguments, scenario.Input));
        EXPECT_EQ(LastLine(result.Output), scenario.Output);
        EXPECT_EQ(result.ExitCode, scenario.Succeeds ? 0 : FailureCode());
    }
}
