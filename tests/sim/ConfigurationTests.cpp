#include "sim/SimConfiguration.h"
#include "sim/SimEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace Corvane::Common;

namespace
{

SimConfiguration MustParse(const std::string& text)
{
    SimConfiguration configuration;
    std::string error;
    EXPECT_TRUE(ParseSimConfiguration(text, "host.ini", configuration, error)) << error;
    return configuration;
}

std::string ParseError(const std::string& text)
{
    SimConfiguration configuration;
    std::string error;
    EXPECT_FALSE(ParseSimConfiguration(text, "host.ini", configuration, error));
    return error;
}

} // namespace

// What the tests of the emulated cards do not show: comments, values that add up over lines,
// lists in every spelling, and a serial number taken from the index.
TEST(SimConfiguration, ListsAddUpOverLinesAndACardWithoutASerialNumberGetsOne)
{
    const SimConfiguration host = MustParse(R"(# two Gen 3 cards and a Gen 2 card
[gen3]                 ; the first
index = 0
fail = open, card_info, map0
fail = map2 map3 fpga_info, configure, clock
page_refuse = 0x400000
page_refuse = 0x800000, 0xC00000
fpga_space = 0x1000000
mcu_sends = 0x56 0x4e, 61

[gen3]
index = 7
probe_answers =

[gen2]
index = 3
fail = open, card_info, control_space
control_busy_reads = 0
)");
    ASSERT_EQ(host.Gen3Cards.size(), 2u);
    const Gen3CardSettings& first = host.Gen3Cards[0];
    EXPECT_EQ(first.Failures.size(), 8u); // both fail lines add up
    EXPECT_TRUE(first.Fails(SimFailure::Clock));
    EXPECT_FALSE(first.Fails(SimFailure::Bank));
    EXPECT_EQ(first.RefusedPages, (std::vector<uint32_t>{0x400000, 0x800000, 0xC00000}));
    EXPECT_EQ(first.McuSends, (std::vector<uint8_t>{0x56, 0x4E, 61}));

    const Gen3CardSettings& second = host.Gen3Cards[1];
    EXPECT_EQ(second.Serial, 10008u) << "a card without a serial number gets one from its index";
    EXPECT_TRUE(second.ProbeAnswers.empty());
    EXPECT_EQ(second.IndirectCompleteAfter, 0u);

    ASSERT_EQ(host.Gen2Cards.size(), 1u);
    EXPECT_TRUE(host.Gen2Cards[0].Fails(SimFailure::ControlSpace));
    EXPECT_EQ(host.Gen2Cards[0].ControlBusyReads, 0u);
}

TEST(SimConfiguration, EachErrorNamesTheFileAndTheLine)
{
    struct Case
    {
        const char* Text;
        const char* Expected;
    };
    const Case cases[] = {
        {"[gen3]\nindex = 0\ncolour = red\n", "host.ini:3: unknown key 'colour' in [gen3]"},
        {"[gen4]\n", "host.ini:1: unknown section [gen4]"},
        {"index = 0\n", "host.ini:1: key 'index' outside of a section"},
        {"[gen3]\nindex 0\n", "host.ini:2: expected 'key = value'"},
        {"[gen3]\nindex = 15\n", "host.ini:2: bad value '15' for key 'index'"},
        {"[gen3]\nindex = 0\nserial = -1\n", "host.ini:3: bad value '-1' for key 'serial'"},
        {"[gen3]\nindex = 0\nserial = 0x1FFFFFFFF\n", "host.ini:3: bad value"},
        {"[gen3]\nindex = 0\nclocks = 2x\n", "host.ini:3: bad value '2x'"},
        {"[gen3]\nindex = 0\nindex = 1\n", "host.ini:3: key 'index' given twice in [gen3]"},
        {"[gen3]\nserial = 5\n[gen2]\nindex = 0\n", "host.ini:1: [gen3] section without 'index'"},
        {"[gen2]\nindex = 4\n\n[gen2]\nindex = 4\n", "host.ini:4: a second [gen2] card at index 4"},
        {"[gen3]\nindex = 0\nfail = open, explode\n", "host.ini:3: bad value 'open, explode'"},
        {"[gen2]\nindex = 0\nfail = map0\n", "host.ini:3: bad value 'map0'"},
        {"[gen3]\nindex = 0\nmcu = sleeping\n", "host.ini:3: bad value 'sleeping'"},
        {"[gen3]\nindex = 0\nbanks = 0x1000\n", "host.ini:3: bad value '0x1000'"},
        {"[gen3]\nindex = 0\nfpga_space = 0x1001\n", "host.ini:3: bad value '0x1001'"},
        {"[gen3]\nindex = 0\nprobe_answers = 0x152\n", "host.ini:3: bad value '0x152'"},
        {"[gen3]\nindex = 0\ntx_ready = sometimes\n", "host.ini:3: bad value 'sometimes'"},
        {"[host]\ntrace =\n", "host.ini:2: bad value '' for key 'trace'"},
    };
    for (const Case& c : cases)
    {
        const std::string error = ParseError(c.Text);
        EXPECT_EQ(error.rfind(c.Expected, 0), 0u) << "text:\n" << c.Text << "error: " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(SimConfiguration, BrokenFileGivesNoCardsAndOneLineOnlyOnce)
{
    const std::string missing = "no-such-dir/tvxsim-missing.ini";
    const std::string assignment = std::string(SimConfigurationVariable) + "=" + missing;
    static std::string kept; // putenv keeps the text
    kept = assignment;
    putenv(&kept[0]);

    std::string error;
    testing::internal::CaptureStderr();
    const SimConfiguration first = LoadConfigurationFromEnvironment(error);
    const std::string firstOutput = testing::internal::GetCapturedStderr();
    testing::internal::CaptureStderr();
    const SimConfiguration second = LoadConfigurationFromEnvironment(error);
    const std::string secondOutput = testing::internal::GetCapturedStderr();

    static std::string cleared = std::string(SimConfigurationVariable) + "=";
    putenv(&cleared[0]);

    EXPECT_TRUE(first.Gen3Cards.empty());
    EXPECT_TRUE(second.Gen3Cards.empty());
    EXPECT_NE(firstOutput.find("tvxsim: cannot read the configuration file '" + missing + "'"),
              std::string::npos)
        << firstOutput;
    EXPECT_EQ(firstOutput.find('\n'), firstOutput.size() - 1) << "exactly one line";
    EXPECT_EQ(secondOutput, "") << "the other library must not repeat the line";
    EXPECT_FALSE(error.empty());

    // An empty variable means the default host.
    EXPECT_EQ(LoadConfigurationFromEnvironment(error).Gen3Cards.size(), 1u);
    EXPECT_TRUE(error.empty());
}
