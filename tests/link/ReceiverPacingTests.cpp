// How the receiver thread paces its polls: waits between polls of an idle mailbox, and none that
// hold up a reply. The waits are lengthened here to seconds, so that a byte taken only when a
// wait ran out stands out from one taken at once.
#include "MailboxModelCard.h"

#include "link/CommandFrames.h"
#include "link/LinkState.h"
#include "link/Mailbox.h"
#include "link/ReceiverThread.h"
#include "platform/Time.h"

#include <gtest/gtest.h>

using namespace Corvane::Common;
using namespace MistleTest;

namespace
{

const uint8_t VersionReply[] = {'V', 'N', '=', 1, 0, 2, 0, 3, 0, 4, 0};

// Long enough for the receiver to be well into its waits: they double from a millisecond, so
// the one under way then lasts about a second.
constexpr unsigned IdleForMilliseconds = 1100;

class ReceiverThreadPacing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Card = new CMailboxModelCard;
        Card->Logging = false; // the receiver reads millions of times while it spins
        CurrentCard.reset(Card);
        KeepRunning = true;
        SetMicrocontrollerPatienceMilliseconds(3000);
        SetLongestReceiverIdleWaitMilliseconds(4000);
        testing::internal::CaptureStdout(); // what the receiver prints
        ASSERT_TRUE(StartReceiverThread(StatusDecoding{}));
    }
    void TearDown() override
    {
        Shutdown();
        testing::internal::GetCapturedStdout();
        CurrentCard.reset();
    }

    void QueueReply(const uint8_t* bytes, size_t count)
    {
        CLockHolder held(MailboxLock);
        Card->Outgoing.insert(Card->Outgoing.end(), bytes, bytes + count);
    }

    // Seconds until the receiver has printed one more version reply than before; a large value
    // when none comes.
    double SecondsUntilVersionPrinted(uint32_t before)
    {
        CStopwatch watch;
        return WaitUntil([&] { return VersionRepliesPrinted != before; }, 10)
                   ? watch.ElapsedSeconds()
                   : 1e9;
    }

    CMailboxModelCard* Card = nullptr;
};

} // namespace

TEST_F(ReceiverThreadPacing, AnIdleReceiverPollsRarelyAndShutdownEndsItsWaitAtOnce)
{
    SleepMilliseconds(IdleForMilliseconds);
    const uint64_t readsBefore = Card->Reads;
    SleepMilliseconds(300);
    EXPECT_LT(Card->Reads - readsBefore, 5u);

    CStopwatch stopping; // the wait under way has most of a second to go
    Shutdown();
    EXPECT_LT(stopping.ElapsedSeconds(), 0.3);
}

TEST_F(ReceiverThreadPacing, ARequestEndsTheWaitSoItsReplyIsTakenAtOnce)
{
    Card->OnHostByte = [this](uint8_t byte)
    {
        if (byte == '?')
            Card->Outgoing.insert(Card->Outgoing.end(), std::begin(VersionReply),
                                  std::end(VersionReply));
    };
    SleepMilliseconds(IdleForMilliseconds);
    const uint32_t before = VersionRepliesPrinted;
    ASSERT_TRUE(SendFrame(VersionRequestFrame()));
    EXPECT_LT(SecondsUntilVersionPrinted(before), 0.3);
}

// The main thread waits for an answer longer than the receiver goes on polling after a byte; the
// receiver polls without pause until it comes.
TEST_F(ReceiverThreadPacing, AnAnswerThatComesLateIsTakenAtOnce)
{
    SleepMilliseconds(IdleForMilliseconds);
    ASSERT_TRUE(SendFrame(VersionRequestFrame()));
    SleepMilliseconds(1200);
    const uint32_t before = VersionRepliesPrinted;
    QueueReply(VersionReply, sizeof VersionReply);
    EXPECT_LT(SecondsUntilVersionPrinted(before), 0.3);
}
