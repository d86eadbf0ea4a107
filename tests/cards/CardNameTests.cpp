#include "cards/CardNames.h"
#include "cards/ITVXCard.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace Corvane::Common;

namespace
{
std::string Narrow(const wchar_t* wide)
{
    std::string text;
    for (; *wide != L'\0'; ++wide)
        text += static_cast<char>(*wide);
    return text;
}
} // namespace

TEST(CardNames, NarrowAndWideTablesAgreeForEveryKey)
{
    for (uint32_t key = 0; key < 0x200; ++key)
    {
        for (uint32_t gen3Code : {key, 0x10000 | key})
            EXPECT_EQ(Gen3ModelName(gen3Code), Narrow(Gen3ModelNameW(gen3Code))) << gen3Code;
        EXPECT_EQ(Gen2ModelName(key), Narrow(Gen2ModelNameW(key))) << key;
        EXPECT_EQ(Gen2FpgaName(key), Narrow(Gen2FpgaNameW(key))) << key;
    }
}

TEST(CardNames, FifteenGen3NamesForSixteenCodesAndTheRevisionsReuseThem)
{
    for (uint32_t a = 0x101; a <= 0x110; ++a)
    {
        EXPECT_STRNE(Gen3ModelName(a), "unknown") << a;
        EXPECT_LE(std::string(Gen3ModelName(a)).size(), 12u);
        for (uint32_t b = a + 1; b <= 0x110; ++b)
            EXPECT_EQ(std::string(Gen3ModelName(a)) == Gen3ModelName(b), a == 0x107 && b == 0x108)
                << a << " " << b;
    }
    for (uint32_t code : {0x102u, 0x105u, 0x106u, 0x10Au})
        EXPECT_STREQ(Gen3ModelName(0x10000 + code), Gen3ModelName(code));
    for (uint32_t code : {0x4u, 0x100u, 0x111u, 0x200u, 0x10101u})
        EXPECT_STREQ(Gen3ModelName(code), "unknown");
}

TEST(CardNames, IrregularCodes)
{
    const std::pair<uint32_t, int> gen3[] = {
        {0x10D, 45}, {0x10E, 47}, {0x1010A, 42}, {0x200, 26}, {0x4, 27}};
    for (const auto& [code, model] : gen3)
        EXPECT_EQ(Gen3ModelNumber(code), model) << code;
    EXPECT_STREQ(Gen3ModelName(0x1010A), "vexa9");
    const std::pair<uint32_t, int> gen2[] = {{22, 23}, {23, 24}, {30, MODEL_GEN2_UNKNOWN}};
    for (const auto& [type, model] : gen2)
        EXPECT_EQ(Gen2ModelNumber(type), model) << type;
    EXPECT_STREQ(Gen2FpgaName(156), "5vfx70t");
    EXPECT_STREQ(Gen2FpgaName(14), "unknown");
    EXPECT_STREQ(Gen2FpgaName(157), "unknown");
}

TEST(CardNames, ModelNumbersStayOnTheirSideOfTwentyFive)
{
    for (uint32_t key = 0; key < 0x20000; ++key)
    {
        const int gen3 = Gen3ModelNumber(key);
        EXPECT_TRUE(gen3 > 25 && gen3 != 46) << key;
        const int gen2 = Gen2ModelNumber(key);
        EXPECT_TRUE(gen2 >= 0 && gen2 <= 24 && gen2 != 22) << key;
    }
}
