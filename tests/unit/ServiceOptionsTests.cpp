#include "app/OptionWords.h"
#include "service/ServiceOptions.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Corvane::Common;

namespace
{

std::vector<ServiceRequest> Parse(std::vector<const char*> words)
{
    words.insert(words.begin(), "mistle");
    return ParseServiceOptions(static_cast<int>(words.size()), words.data(), IsOptionWord);
}

} // namespace

TEST(ServiceOptions, TheOptionWordsOfEveryModeEndAnOptionsWordsAndNoOtherWordDoes)
{
    for (const char* option : {"/?", "/am", "/fo", "/gen_blob_v1_0", "/gen_gain1", "/index", "/v",
                               "/r", "/i2c_vr", "/out", "/lb", "/a"})
    {
        const auto requests = Parse({"/w", option, "0"});
        ASSERT_FALSE(requests.empty()) << option;
        EXPECT_EQ(requests[0].Arguments.FileName, nullptr) << option;
    }
    for (const char* name : {"/home/me/fw.bin", "/x", "/V", "/vv", "/"})
        EXPECT_STREQ(Parse({"/w", name})[0].Arguments.FileName, name);
}

TEST(ServiceOptions, WordsThatSayNothingAndTheCompareThatEndsTheRun)
{
    const auto requests = Parse({"/r", "", "twelve", "size", "/c", "in.bin", "8", "/v", "/w"});
    ASSERT_EQ(requests.size(), 2u) << "nothing after /c";
    EXPECT_EQ(requests[0].Arguments.FileName, nullptr) << "an empty word is no file name";
    EXPECT_EQ(requests[0].Arguments.Offset, 0u);
    EXPECT_FALSE(requests[0].Arguments.Size.has_value());
    EXPECT_STREQ(requests[0].Arguments.NotANumber, "twelve") << "kept to be refused";
    EXPECT_EQ(requests[1].Operation, ServiceOperation::CompareFlash);
    EXPECT_EQ(requests[1].Arguments.Offset, 8u);
}
