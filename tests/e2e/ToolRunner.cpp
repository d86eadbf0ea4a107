#include "ToolRunner.h"

#include "platform/SharedLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

using namespace Corvane::Common;

namespace MistleTest
{

namespace
{
std::string LibraryPathWithSim()
{
    std::string path = MISTLE_SIM_LIBRARY_DIR;
    if (const char* current = std::getenv(LibrarySearchPathVariable()))
        path += LibrarySearchPathSeparator() + std::string(current);
    return path;
}

int RunCounter = 0;

std::string TestTemporaryFolder()
{
    const std::string folder = TestScratchPath("tmp");
    std::filesystem::create_directories(folder);
    return folder;
}

// Test programs run in parallel: each run's files carry the name of the test that makes them.
std::string UniqueConfigurationName()
{
    return "sim-" + TestName() + "-" + std::to_string(++RunCounter) + ".ini";
}

void ExpectEndOfRun(const ToolRun& run, const std::string& text, int exitCode, bool whole)
{
    const ProcessResult result = RunTool(run);
    ASSERT_TRUE(result.Started);
    EXPECT_FALSE(result.TimedOut);
    const size_t size = whole ? result.Output.size() : std::min(result.Output.size(), text.size());
    EXPECT_EQ(result.Output.substr(result.Output.size() - size), text) << result.Output;
    EXPECT_EQ(result.ExitCode, exitCode == Failure ? FailureCode() : exitCode);
}

} // namespace

ToolRun On(const std::string& configuration, const std::vector<std::string>& arguments,
           const std::string& input)
{
    ToolRun run;
    const bool scenario =
        configuration.size() > 4 && configuration.compare(configuration.size() - 4, 4, ".ini") == 0;
    (scenario ? run.SimConfigurationFile : run.SimConfiguration) = configuration;
    run.Arguments = arguments;
    run.Input = input;
    return run;
}

ProcessResult RunTool(const ToolRun& run)
{
    ProcessRequest request;
    request.Program = MISTLE_EXECUTABLE;
    request.Arguments = run.Arguments;
    request.Input = run.Input;
    const std::string folder =
        run.TemporaryFolder.empty() ? TestTemporaryFolder() : run.TemporaryFolder;
    request.Environment.emplace_back("TMPDIR", folder);
    request.Environment.emplace_back("MISTLE_TEST_LOCK_FOLDER", folder);
    request.Steps = run.Steps;
    request.TimeoutMilliseconds = run.TimeoutMilliseconds;
    request.RemovedEnvironment.push_back("TVXSIM_CONFIG");
    if (run.WithBoardLibraries)
        request.Environment.emplace_back(LibrarySearchPathVariable(), LibraryPathWithSim());
    if (!run.SimConfigurationFile.empty())
        request.Environment.emplace_back("TVXSIM_CONFIG", std::string(MISTLE_SCENARIO_DIR) + "/" +
                                                              run.SimConfigurationFile);
    else if (!run.SimConfiguration.empty())
    {
        const std::string configPath = ScratchPath(UniqueConfigurationName());
        WriteFileBytes(configPath, run.SimConfiguration);
        request.Environment.emplace_back("TVXSIM_CONFIG", configPath);
    }
    if (!run.Wrapper.empty())
    {
        request.Program = run.Wrapper.front();
        request.Arguments.assign(run.Wrapper.begin() + 1, run.Wrapper.end());
        request.Arguments.push_back(MISTLE_EXECUTABLE);
        request.Arguments.insert(request.Arguments.end(), run.Arguments.begin(),
                                 run.Arguments.end());
    }
    ProcessResult result = RunProcess(request);
    result.Output = ProgramOutputFromTextMode(result.Output);
    return result;
}

void ExpectRun(const ToolRun& run, const std::string& output, int exitCode)
{
    ExpectEndOfRun(run, output, exitCode, true);
}

void ExpectRunEnding(const ToolRun& run, const std::string& ending, int exitCode)
{
    ExpectEndOfRun(run, ending, exitCode, false);
}

void ExpectRun(const std::vector<std::string>& arguments, const std::string& output, int exitCode)
{
    ExpectRun(On("", arguments), output, exitCode);
}

void ExpectCases(const std::vector<Case>& cases)
{
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Configuration + "arguments: " + testing::PrintToString(c.Arguments));
        ExpectRun(On(c.Configuration, c.Arguments, c.Input), c.Output, c.ExitCode);
    }
}

std::string Card(const std::string& settings)
{
    return "[gen3]\nindex = 0\n" + settings;
}

std::string StatePath()
{
    return TestScratchPath("cards.state");
}

std::string StateSection()
{
    return "[host]\nstate = " + StatePath() + "\n";
}

std::string FreshState()
{
    std::remove(StatePath().c_str());
    return StateSection();
}

std::string Pattern(size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 512 + seed) & 0xFF);
    return bytes;
}

std::string ScratchPath(const std::string& name)
{
    return std::string(MISTLE_TEST_SCRATCH_DIR) + "/" + name;
}

std::string TestName()
{
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return test ? std::string(test->test_suite_name()) + "-" + test->name() : "outside-tests";
}

std::string TestScratchPath(const std::string& name)
{
    return ScratchPath(TestName() + "-" + name);
}

std::string ScratchFile(const std::string& name, const std::string& bytes)
{
    const std::string path = TestScratchPath(name);
    WriteFileBytes(path, bytes);
    return path;
}

std::string RelativeScratchPath(const std::string& name)
{
    return std::filesystem::relative(ScratchPath(name)).string();
}

std::string FreshFolder(const std::string& name)
{
    std::filesystem::remove_all(name);
    std::filesystem::create_directories(name);
    return name;
}

size_t PartialFiles(const std::string& folder, const std::string& prefix)
{
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
    {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && name.find(".part-") != std::string::npos)
            ++count;
    }
    return count;
}

} // namespace MistleTest
