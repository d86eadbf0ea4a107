#include "cards/CardNames.h"
#include "cards/ITVXCard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>

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

bool IsShortLowerCaseName(const char* name)
{
    const size_t length = std::strlen(name);
    if (length == 0 || length > 12)
        return false;
    for (size_t i = 0; i < length; ++i)
    {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// Every key the libraries could plausibly hand us, including all table entries.
constexpr uint32_t Gen3CodesToScan[] = {
    0x0,   0x4,     0x100,   0x101,   0x102,   0x103,   0x104,   0x105,     0x106, 0x107,
    0x108, 0x109,   0x10A,   0x10B,   0x10C,   0x10D,   0x10E,   0x10F,     0x110, 0x111,
    0x200, 0x10101, 0x10102, 0x10105, 0x10106, 0x1010A, 0x1010B, 0xFFFFFFFF};

} // namespace

TEST(CardNames, NarrowAndWideTablesAgreeForEveryKey)
{
    for (uint32_t code : Gen3CodesToScan)
        EXPECT_EQ(Gen3ModelName(code), Narrow(Gen3ModelNameW(code))) << std::hex << code;
    for (uint32_t key = 0; key < 300; ++key)
    {
        EXPECT_EQ(Gen2ModelName(key), Narrow(Gen2ModelNameW(key))) << key;
        EXPECT_EQ(Gen2FpgaName(key), Narrow(Gen2FpgaNameW(key))) << key;
    }
}

TEST(CardNames, Gen3ModelNamesAreShortLowerCaseAndDistinctWhereTheyShouldBe)
{
    std::string seen[0x110 - 0x101 + 1];
    for (uint32_t code = 0x101; code <= 0x110; ++code)
    {
        const char* name = Gen3ModelName(code);
        EXPECT_TRUE(IsShortLowerCaseName(name)) << std::hex << code << " " << name;
        EXPECT_STRNE(name, "unknown") << std::hex << code;
        seen[code - 0x101] = name;
    }
    // Fifteen names for sixteen codes: only 0x107 and 0x108 share one.
    for (uint32_t a = 0; a < 16; ++a)
        for (uint32_t b = a + 1; b < 16; ++b)
            EXPECT_EQ(seen[a] == seen[b], a == 0x107 - 0x101 && b == 0x108 - 0x101)
                << std::hex << a + 0x101 << " " << b + 0x101;

    EXPECT_STREQ(Gen3ModelName(0x10102), Gen3ModelName(0x102));
    EXPECT_STREQ(Gen3ModelName(0x10105), Gen3ModelName(0x105));
    EXPECT_STREQ(Gen3ModelName(0x10106), Gen3ModelName(0x106));
    EXPECT_STREQ(Gen3ModelName(0x1010A), Gen3ModelName(0x10A));
    for (uint32_t code : {0x0u, 0x4u, 0x100u, 0x111u, 0x200u, 0x10101u, 0x1010Bu})
        EXPECT_STREQ(Gen3ModelName(code), "unknown") << std::hex << code;
}

TEST(CardNames, Gen3ModelNumbers)
{
    const std::pair<uint32_t, int> expected[] = {
        {0x4, 27},   {0x100, 28},   {0x101, 29},   {0x104, 32},   {0x107, 35},
        {0x108, 36}, {0x10C, 40},   {0x10D, 45},   {0x10E, 47},   {0x10F, 48},
        {0x110, 49}, {0x10102, 41}, {0x10105, 43}, {0x10106, 44}, {0x1010A, 42},
        {0x200, 26}, {0x0, 26},     {0x111, 26},   {0x10101, 26}, {0x3, 26}};
    for (const auto& [code, model] : expected)
        EXPECT_EQ(Gen3ModelNumber(code), model) << std::hex << code;
    // Every Gen 3 number marks a usable card, and 46 is never handed out.
    for (uint32_t code : Gen3CodesToScan)
    {
        EXPECT_GT(Gen3ModelNumber(code), 25);
        EXPECT_NE(Gen3ModelNumber(code), 46);
    }
}

TEST(CardNames, Gen2ModelNamesAndNumbers)
{
    for (uint32_t type = 0; type <= 23; ++type)
    {
        EXPECT_TRUE(IsShortLowerCaseName(Gen2ModelName(type))) << type;
        EXPECT_STRNE(Gen2ModelName(type), "unknown") << type;
        for (uint32_t other = 0; other < type; ++other)
            EXPECT_STRNE(Gen2ModelName(type), Gen2ModelName(other)) << type << " " << other;
    }
    EXPECT_STREQ(Gen2ModelName(24), "unknown");

    EXPECT_EQ(Gen2ModelNumber(0), 0);
    EXPECT_EQ(Gen2ModelNumber(21), 21);
    EXPECT_EQ(Gen2ModelNumber(22), 23);
    EXPECT_EQ(Gen2ModelNumber(23), 24);
    EXPECT_EQ(Gen2ModelNumber(30), MODEL_GEN2_UNKNOWN);
    for (uint32_t type = 0; type < 300; ++type)
    {
        EXPECT_LE(Gen2ModelNumber(type), 25) << type;
        EXPECT_NE(Gen2ModelNumber(type), 22) << type;
    }
}

TEST(CardNames, Gen2FpgaNamesFollowTheLibraryNumbering)
{
    const std::pair<uint32_t, const char*> expected[] = {
        {4, "v1000"},      {13, "v405e"},    {32, "2v1000"},    {39, "2v10000"},
        {64, "2vp2"},      {73, "2vp70"},    {96, "4vlx15"},    {103, "4vlx80"},
        {106, "4vsx55"},   {112, "4vfx12"},  {117, "4vfx140"},  {128, "5vlx30"},
        {133, "5vlx330"},  {136, "5vlx30t"}, {140, "5vlx330t"}, {141, "5vlx220t"},
        {142, "5vlx155t"}, {144, "5vsx35t"}, {147, "5vsx240t"}, {152, "5vfx100t"},
        {155, "5vfx30t"},  {156, "5vfx70t"}};
    for (const auto& [code, name] : expected)
        EXPECT_STREQ(Gen2FpgaName(code), name) << code;
    for (uint32_t code : {0u, 3u, 14u, 31u, 40u, 63u, 74u, 95u, 107u, 111u, 118u, 127u, 134u, 135u,
                          143u, 148u, 151u, 157u, 256u})
        EXPECT_STREQ(Gen2FpgaName(code), "unknown") << code;

    int named = 0;
    for (uint32_t code = 0; code < 300; ++code)
        named += std::strcmp(Gen2FpgaName(code), "unknown") != 0;
    EXPECT_EQ(named, 67);
}
