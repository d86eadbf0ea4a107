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
// Four bytes that erased flash does not hold, named relative to the test's folder (the tool takes
// a word beginning with '/' for an option).
std::string RefusedImage()
{
    static const std::string path = []
    {
        const std::string image = RelativeScratchPath("scenario-refused-image.bin");
        WriteFileBytes(image, "ABCD");
        return image;
    }();
    return path;
}
} // namespace

// The scenarios shipped for people trying the tool: each still loads and shows what it promises.
TEST(Scenarios, EachShippedScenarioShowsItsCase)
{
    const Scenario scenarios[] = {
        {"default.ini", {"/am"}, "", "System is in application mode", true},
        {"three-cards.ini", {"/sm"}, "2\n", "System is in service mode.", true},
        {"three-cards.ini", {"/index", "0", "/sm"}, "", "System is not in service mode!", false},
        {"duplicate-serials.ini", {"/sn", "5555", "/sm"}, "", "System is in service mode.", true},
        {"unknown-models.ini", {"/am"}, "", "Warning! Selected card not supported.", false},
        {"gen2-only.ini",
         {"/am"},
         "",
         "No Corvane cards that can be used with this application could be found that are ready "
         "for use!",
         false},
        {"boot-loader.ini", {"/sm"}, "", "System is in service mode.", true},
        {"boot-loader.ini", {"/v"}, "", "Bootloader Version: 1.3.0.5", true},
        {"boot-loader-small.ini", {"/v"}, "", "Bootloader Version: 1.2.0.9", true},
        {"boot-loader-silent.ini",
         {"/v"},
         "",
         "The boot loader sent no byte for 2000 ms: its version was not read.",
         false},
        {"boot-loader-refuses.ini",
         {"/w", RefusedImage(), "0", "/c", RefusedImage(), "0"},
         "",
         "4 bytes contained errors.",
         false},
        {"open-fails.ini", {"/am"}, "", "Error! The selected card could not be opened.", false},
        {"never-ready.ini", {"/am"}, "", "System is in application mode", true},
        {"firmware.ini", {"/v"}, "", "VN=3.0.1.200", true},
        {"chatty-firmware.ini", {"/am"}, "", "System is in application mode", true},
        {"silent-firmware.ini", {"/v"}, "", "The firmware sent no version.", false},
        {"stopping-replies.ini", {"/v"}, "", "The firmware sent no version.", false},
        {"noisy-firmware.ini", {"/v"}, "", "VN=2.4.0.17", true},
        {"bad-echo.ini", {"/lb", "16"}, "", "1 of 16 bytes contained errors.", true},
        {"refusing-firmware.ini", {"/sd"}, "", "Command refused.", false},
    };
    for (const Scenario& scenario : scenarios)
    {
        SCOPED_TRACE(scenario.File);
        ToolRun run;
        run.SimConfigurationFile = scenario.File;
        run.Arguments = scenario.Arguments;
        run.Input = scenario.Input;
        const auto result = RunTool(run);
        EXPECT_EQ(LastLine(result.Output), scenario.Output);
        EXPECT_EQ(result.ExitCode, scenario.Succeeds ? 0 : FailureCode());
    }
}
