#include "board/BoardProfile.h"

#include <gtest/gtest.h>

using namespace Corvane::Common;

// A program of its own: here no profile has been chosen yet.
TEST(BoardProfileAtStart, IsTheEmptyProfile)
{
    const BoardProfile& profile = CurrentBoardProfile();
    EXPECT_EQ(profile.FlashSize, 0u);
    EXPECT_EQ(profile.PageSize, 0u);
    EXPECT_EQ(profile.AnalogChannels, nullptr);
    EXPECT_EQ(profile.StatusFlags, nullptr);
    EXPECT_EQ(profile.ElapsedTime, nullptr);
    EXPECT_EQ(profile.EventCounter, nullptr);
    EXPECT_EQ(profile.ClockStatus, nullptr);
    EXPECT_FALSE(profile.ExtendedStatus);
}
