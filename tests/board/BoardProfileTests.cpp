#include "board/BoardProfile.h"

#include <gtest/gtest.h>

using namespace Corvane::Common;

namespace
{
const int32_t SupportedModels[] = {32, 33, 34, 35, 37, 39, 40};
} // namespace

TEST(BoardProfile, UnsupportedModelsLeaveTheChoiceAlone)
{
    ASSERT_TRUE(SelectBoardProfile(35));
    for (int32_t model : {36, 38, 31, 41, 26, 0, -1})
    {
        EXPECT_EQ(FindBoardProfile(model), nullptr) << model;
        EXPECT_FALSE(SelectBoardProfile(model)) << model;
        EXPECT_EQ(CurrentBoardProfile().AnalogChannels, FindBoardProfile(35)->AnalogChannels);
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
