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
