// What only a process of its own shows: the configuration read from the environment at first use,
// and the trace written when the libraries unload. The test program runs itself as the child.

#include "SimHost.h"
#include "TestFiles.h"

#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace Corvane::Common;
using namespace Corvane::Common::SimHost;

namespace
{

const char* const ChildVariable = "SIMTEST_CHILD";

std::string ScratchPath(const std::string& name)
{
    return std::string(SIM_TEST_SCRATCH_DIR) + "/" + name;
}

ProcessResult RunChild(const std::string& mode, const std::string& configurationPath)
{
    ProcessRequest request;
    request.Program = SIM_TESTS_EXECUTABLE;
    request.Arguments = {"--gtest_filter=SimChild.Run"};
    request.Environment.emplace_back(ChildVariable, mode);
    if (configurationPath.empty())
        request.RemovedEnvironment.push_back("TVXSIM_CONFIG");
    else
        request.Environment.emplace_back("TVXSIM_CONFIG", configurationPath);
    return RunProcess(request);
}

// The child's part: use the cards the environment's configuration describes, then end.
void RunAsChild(const std::string& mode)
{
    TvxHandle handle = 0;
    if (mode == "default")
    {
        ASSERT_EQ(OpenEx3(0, 0, 0, &handle), 0u);
        uint8_t info[TVX3_CARD_INFO_SIZE] = {};
        ASSERT_EQ(GetCardInfo3(handle, info), 0u);
        uint32_t serialAndModel[3] = {};
        std::memcpy(serialAndModel, info, sizeof serialAndModel);
        EXPECT_EQ(serialAndModel[TVX3_CARD_INFO_SERIAL / 4], 10001u);
        EXPECT_EQ(serialAndModel[TVX3_CARD_INFO_MODEL_CODE / 4], 0x10Cu);
        EXPECT_NE(OpenEx3(1, 0, 0, &handle), 0u) << "the default host has one card";
        EXPECT_NE(OpenCardByIndex2(0, &handle), 0u) << "and no Gen 2 card";
        return;
    }
    const MappedCard card = OpenAndMap(0);
    ASSERT_NE(card.Handle, 0u);
    for (uint8_t byte : {0x56, 0x4E, 0x3F})
        card.Register(MAILBOX) = 0x0400u | byte;
    ASSERT_EQ(OpenCardByIndex2(3, &handle), 0u);
    uint8_t space[TVX2_SPACE_INFO_SIZE] = {};
    ASSERT_EQ(GetSpaceInfo2(handle, 1, space), 0u);
    volatile uint32_t* control = nullptr;
    std::memcpy(&control, space + TVX2_SPACE_INFO_POINTER, sizeof control);
    control[0x100] = 0x00034080;
}

} // namespace

TEST(SimChild, Run)
{
    const char* mode = std::getenv(ChildVariable);
    if (mode == nullptr)
        GTEST_SKIP() << "runs only as the child of another test";
    RunAsChild(mode);
}

TEST(SimProcess, WithoutTheVariableTheHostHasTheDefaultCard)
{
    const ProcessResult result = RunChild("default", "");
    ASSERT_TRUE(result.Started);
    EXPECT_EQ(result.ExitCode, 0) << result.Output;
}

TEST(SimProcess, CountersAndReceivedBytesAreTracedWhenTheProcessEnds)
{
    const std::string trace = ScratchPath("trace.txt");
    const std::string configuration = ScratchPath("trace.ini");
    std::remove(trace.c_str());
    MistleTest::WriteFileBytes(
        configuration, "[gen3]\nindex = 0\n[gen2]\nindex = 3\n[host]\ntrace = " + trace + "\n");
    const ProcessResult result = RunChild("trace", configuration);
    ASSERT_TRUE(result.Started);
    EXPECT_EQ(result.ExitCode, 0) << result.Output;
    const std::string text = MistleTest::ReadFileBytes(trace);
    for (const char* line :
         {"gen3 0 use_opens 1\n", "gen3 0 mailbox_writes 3\n", "gen3 0 received 56 4e 3f\n",
          "gen3 0 closes 0\n", "gen2 3 opens 1\n", "gen2 3 control_words 0x00034080\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "in:\n" << text;
}
