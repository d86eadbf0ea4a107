#include "board/BoardProfile.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Corvane::Common;

namespace
{
template <typename Row> int CountRows(const Row* rows)
{
    int count = 0;
    for (; rows && rows->Name; ++rows)
        ++count;
    return count;
}

const int32_t SupportedModels[] = {32, 33, 34, 35, 37, 39, 40};
} // namespace

// The row counts; the rows themselves are checked by the whole-record tests.
TEST(BoardProfile, EachSupportedModelHasItsSizesAndTables)
{
    const struct
    {
        int32_t Model;
        uint32_t FlashSize, PageSize;
        bool ExtendedStatus;
        int AnalogRows, FlagRows;
        bool ClockStatus;
    } models[] = {
        {32, 16384, 256, false, 12, 8, false}, {33, 65536, 256, true, 16, 32, false},
        {34, 65536, 256, true, 16, 32, false}, {35, 65536, 256, true, 11, 0, false},
        {37, 131072, 512, true, 18, 88, true}, {39, 131072, 512, true, 18, 88, true},
        {40, 131072, 512, true, 18, 87, true},
    };
    for (const auto& m : models)
    {
        ASSERT_TRUE(SelectBoardProfile(m.Model)) << m.Model;
        const BoardProfile& profile = CurrentBoardProfile();
        EXPECT_EQ(profile.FlashSize, m.FlashSize) << m.Model;
        EXPECT_EQ(profile.PageSize, m.PageSize) << m.Model;
        EXPECT_EQ(profile.ExtendedStatus, m.ExtendedStatus) << m.Model;
        EXPECT_EQ(CountRows(profile.AnalogChannels), m.AnalogRows) << m.Model;
        EXPECT_EQ(CountRows(profile.StatusFlags), m.FlagRows) << m.Model;
        EXPECT_EQ(profile.ClockStatus != nullptr, m.ClockStatus) << m.Model;
    }
}

TEST(BoardProfile, UnsupportedModelsLeaveTheChoiceAlone)
{
    ASSERT_TRUE(SelectBoardProfile(35));
    for (int32_t model : {36, 38, 31, 41, 26, 0, -1})
    {
        EXPECT_EQ(FindBoardProfile(model), nullptr) << model;
        EXPECT_FALSE(SelectBoardProfile(model)) << model;
        EXPECT_EQ(CountRows(CurrentBoardProfile().AnalogChannels), 11) << model;
    }
}

TEST(BoardProfile, EveryFieldLiesInsideItsRecord)
{
    for (int32_t model : SupportedModels)
    {
        const BoardProfile& profile = *FindBoardProfile(model);
        const int32_t size = profile.ExtendedStatus ? 64 : 32;
        EXPECT_LE(profile.ElapsedTime->Offset + 4, size) << model;
        for (int32_t i = 0; i < profile.EventCounter->Count; ++i)
            EXPECT_LT(profile.EventCounter->Offsets[i], size) << model;
        for (const AnalogChannel* row = profile.AnalogChannels; row->Name; ++row)
            EXPECT_LE(row->Offset + 2, size) << model << " " << row->Name;
        for (const StatusFlag* row = profile.StatusFlags; row->Name; ++row)
            EXPECT_TRUE(row->Offset < size && row->Bit >= 0 && row->Bit <= 7)
                << model << " " << row->Name;
        EXPECT_LT(profile.ClockStatus ? profile.ClockStatus->Offset : 0, size) << model;
    }
}

TEST(BoardProfile, RangeRowsFollowTheirNibbles)
{
    const struct
    {
        const char* Name;
        int32_t Offset, Bit;
    } anchors[] = {
        {"ADC A1 Under Range", 54, 4}, {"ADC A2 Under Range", 55, 0}, {"ADC A7 Critical", 57, 6},
        {"ADC B1 Under Range", 58, 4}, {"ADC B1 OK", 58, 7},          {"ADC B7 OK", 61, 7},
        {"TMP0 Under Range", 62, 0},   {"TMP1 Over Range", 62, 5},    {"TMP3 OK", 63, 7},
    };
    for (int32_t model : {37, 40})
    {
        const StatusFlag* rows = FindBoardProfile(model)->StatusFlags;
        const int count = CountRows(rows);
        // The 72 range rows come last.
        const StatusFlag* range = rows + count - 72;
        EXPECT_STREQ(range[0].Name, "ADC A1 Under Range");
        for (const auto& anchor : anchors)
        {
            const StatusFlag* row = range;
            while (row->Name && std::strcmp(row->Name, anchor.Name) != 0)
                ++row;
            ASSERT_NE(row->Name, nullptr) << model << " " << anchor.Name;
            EXPECT_EQ(row->Offset, anchor.Offset) << model << " " << anchor.Name;
            EXPECT_EQ(row->Bit, anchor.Bit) << model << " " << anchor.Name;
        }
    }
}
