#include "board/BoardProfile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace Corvane::Common;

namespace
{
int CountAnalogRows(const BoardProfile& profile)
{
    int count = 0;
    for (const AnalogChannel* row = profile.AnalogChannels; row && row->Name; ++row)
        ++count;
    return count;
}

int CountFlagRows(const BoardProfile& profile)
{
    int count = 0;
    for (const StatusFlag* row = profile.StatusFlags; row && row->Name; ++row)
        ++count;
    return count;
}

const StatusFlag* FindFlag(const BoardProfile& profile, const char* name)
{
    for (const StatusFlag* row = profile.StatusFlags; row && row->Name; ++row)
        if (std::strcmp(row->Name, name) == 0)
            return row;
    return nullptr;
}
} // namespace

TEST(BoardProfile, EachSupportedModelHasItsSizesAndTables)
{
    const struct
    {
        int32_t Model;
        uint32_t FlashSize;
        uint32_t PageSize;
        bool ExtendedStatus;
        int AnalogRows;
        int FlagRows;
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
        EXPECT_EQ(CountAnalogRows(profile), m.AnalogRows) << m.Model;
        EXPECT_EQ(CountFlagRows(profile), m.FlagRows) << m.Model;
        EXPECT_EQ(profile.ClockStatus != nullptr, m.ClockStatus) << m.Model;
        ASSERT_NE(profile.ElapsedTime, nullptr);
        ASSERT_NE(profile.EventCounter, nullptr);
        EXPECT_EQ(profile.EventCounter->Count, 3) << m.Model;
    }
}

TEST(BoardProfile, UnsupportedModelsLeaveTheChoiceAlone)
{
    ASSERT_TRUE(SelectBoardProfile(35));
    for (int32_t model : {36, 38, 31, 41, 26, 25, 0, -1})
    {
        EXPECT_EQ(FindBoardProfile(model), nullptr) << model;
        EXPECT_FALSE(SelectBoardProfile(model)) << model;
        EXPECT_EQ(CurrentBoardProfile().FlashSize, 65536u) << model;
        EXPECT_EQ(CountAnalogRows(CurrentBoardProfile()), 11) << model;
    }
}

TEST(BoardProfile, EveryFieldLiesInsideItsRecord)
{
    for (int32_t model : {32, 33, 34, 35, 37, 39, 40})
    {
        const BoardProfile* profile = FindBoardProfile(model);
        ASSERT_NE(profile, nullptr) << model;
        const int32_t size = static_cast<int32_t>(
            profile->ExtendedStatus ? EXTENDED_STATUS_RECORD_SIZE : STATUS_RECORD_SIZE);
        EXPECT_LE(profile->ElapsedTime->Offset + 4, size) << model;
        for (int32_t i = 0; i < profile->EventCounter->Count; ++i)
            EXPECT_LT(profile->EventCounter->Offsets[i], size) << model;
        for (const AnalogChannel* row = profile->AnalogChannels; row->Name; ++row)
            EXPECT_LE(row->Offset + 2, size) << model << " " << row->Name;
        for (const StatusFlag* row = profile->StatusFlags; row->Name; ++row)
        {
            EXPECT_LT(row->Offset, size) << model << " " << row->Name;
            EXPECT_GE(row->Bit, 0) << row->Name;
            EXPECT_LE(row->Bit, 7) << row->Name;
        }
        if (profile->ClockStatus)
        {
            EXPECT_LT(profile->ClockStatus->Offset, size) << model;
        }
    }
}

TEST(BoardProfile, SharedModelsShareTheirTables)
{
    EXPECT_EQ(FindBoardProfile(33), FindBoardProfile(34));
    EXPECT_EQ(FindBoardProfile(37), FindBoardProfile(39));
    EXPECT_NE(FindBoardProfile(37), FindBoardProfile(40));
}

TEST(BoardProfile, RangeRowsFollowTheirNibbles)
{
    const struct
    {
        const char* Name;
        int32_t Offset;
        int32_t Bit;
    } anchors[] = {
        {"ADC A1 Under Range", 54, 4},
        {"ADC A1 OK", 54, 7},
        {"ADC A2 Under Range", 55, 0},
        {"ADC A3 Over Range", 55, 5},
        {"ADC A7 Critical", 57, 6},
        {"ADC B1 Under Range", 58, 4},
        {"ADC B1 OK", 58, 7},
        {"ADC B2 Under Range", 59, 0},
        {"ADC B7 OK", 61, 7},
        {"TMP0 Under Range", 62, 0},
        {"TMP1 Over Range", 62, 5},
        {"TMP2 Critical", 63, 2},
        {"TMP3 OK", 63, 7},
    };
    for (int32_t model : {37, 40})
    {
        const BoardProfile* profile = FindBoardProfile(model);
        ASSERT_NE(profile, nullptr);
        for (const auto& anchor : anchors)
        {
            const StatusFlag* row = FindFlag(*profile, anchor.Name);
            ASSERT_NE(row, nullptr) << model << " " << anchor.Name;
            EXPECT_EQ(row->Offset, anchor.Offset) << model << " " << anchor.Name;
            EXPECT_EQ(row->Bit, anchor.Bit) << model << " " << anchor.Name;
        }
        // The range rows come last, 72 of them, and no two rows share a bit.
        const int rows = CountFlagRows(*profile);
        EXPECT_STREQ(profile->StatusFlags[rows - 72].Name, "ADC A1 Under Range");
        EXPECT_STREQ(profile->StatusFlags[rows - 1].Name, "TMP3 OK");
        for (int i = 0; i < rows; ++i)
            for (int j = i + 1; j < rows; ++j)
                EXPECT_FALSE(profile->StatusFlags[i].Offset == profile->StatusFlags[j].Offset &&
                             profile->StatusFlags[i].Bit == profile->StatusFlags[j].Bit)
                    << profile->StatusFlags[i].Name << " / " << profile->StatusFlags[j].Name;
    }
}
