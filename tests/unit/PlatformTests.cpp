#include "platform/Event.h"
#include "platform/Thread.h"
#include "platform/Time.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace Corvane::Common;

TEST(AutoResetEvent, KeepsOneSetForExactlyOneWaitUntilReset)
{
    CAutoResetEvent event;
    EXPECT_FALSE(event.WaitFor(20)) << "starts unsignalled";
    event.Set();
    event.Set(); // a second set of a signalled event adds nothing
    EXPECT_TRUE(event.WaitFor(0));
    EXPECT_FALSE(event.WaitFor(20));
    event.Set();
    event.Reset();
    EXPECT_FALSE(event.WaitFor(20)) << "a reset discards a pending set";
}

TEST(AutoResetEvent, OneSetReleasesExactlyOneOfTwoWaiters)
{
    CAutoResetEvent event;
    std::atomic<int> released{0};
    auto waiter = [&]
    {
        if (event.WaitFor(1500))
            ++released;
    };
    CThread first(waiter);
    CThread second(waiter);
    SleepMilliseconds(100);
    event.Set();
    SleepMilliseconds(300);
    EXPECT_EQ(released.load(), 1);
    event.Set();
    first.Join();
    second.Join();
    EXPECT_EQ(released.load(), 2);
}

// The body also shows that Set wakes a blocked Wait.
TEST(Thread, RunsItsBodyAndReportsFinishedAfterJoin)
{
    std::atomic<int> runs{0};
    CAutoResetEvent mayFinish;
    CThread thread(
        [&]
        {
            ++runs;
            mayFinish.Wait();
        });
    EXPECT_TRUE(thread.IsRunning());
    SleepMilliseconds(20);
    EXPECT_FALSE(thread.IsFinished());
    mayFinish.Set();
    thread.Join();
    EXPECT_TRUE(thread.IsFinished());
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(runs.load(), 1);
    thread.Join(); // a second join is harmless
}
