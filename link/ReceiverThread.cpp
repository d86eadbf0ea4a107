#include "ReceiverThread.h"

#include "LinkState.h"
#include "Mailbox.h"
#include "platform/Time.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <new>
#include <thread>

namespace Corvane::Common
{

namespace
{

// The bytes of a reply, and replies that follow one another, come close together: after the last
// byte the receiver goes on polling without pause for this long.
constexpr double PollAfterLastByteSeconds = 0.05;
// Between polls of an idle mailbox the receiver waits, each wait twice the one before up to the
// longest. A frame of the main thread ends a wait at once, so a reply is never held up by it;
// only bytes nobody asked for may wait in the mailbox (which keeps them) until the wait ends.
constexpr unsigned FirstIdleWaitMilliseconds = 1;
std::atomic<unsigned> LongestIdleWait{10};

// Decides after each poll whether the receiver polls again at once or waits a little. It polls
// without pause while a reply comes, while the main thread's last request has had no answer yet
// (for as long as the main thread itself would wait for one), and for a short while after the
// last byte; an idle mailbox is polled after short waits.
class CPollPacing
{
public:
    CPollPacing() : FramesSeen(FramesSent.load()) {}

    // Before each poll: a frame sent since the last look is a request that is owed an answer.
    void LookForNewFrames()
    {
        const uint32_t sent = FramesSent.load();
        if (sent == FramesSeen)
            return;
        FramesSeen = sent;
        AnswerOwed = true;
        BecameBusy();
    }

    // A byte answers the request that is owed one. A byte of an earlier reply that is still
    // coming when a new request goes out counts as its answer too; the short while of polling
    // after it covers an answer that follows at once.
    void ByteTaken()
    {
        AnswerOwed = false;
        BecameBusy();
    }

    // After a poll that found the mailbox empty outside a reply.
    void PauseIfIdle()
    {
        const double quiet = SinceActivity.ElapsedSeconds();
        if (AnswerOwed && quiet <= PatienceSeconds)
            return;
        if (quiet <= PollAfterLastByteSeconds)
        {
            // Whoever the last reply woke (the waiting main thread, the reader of the output)
            // runs now rather than after this thread's time slice.
            std::this_thread::yield();
            return;
        }
        ReceiverWakeEvent.WaitFor(IdleWait);
        IdleWait = std::min(IdleWait * 2, LongestIdleWait.load());
    }

private:
    void BecameBusy()
    {
        SinceActivity.Restart();
        IdleWait = FirstIdleWaitMilliseconds;
    }

    const double PatienceSeconds = MicrocontrollerPatienceSeconds();
    uint32_t FramesSeen;
    bool AnswerOwed = false;
    CStopwatch SinceActivity;
    unsigned IdleWait = FirstIdleWaitMilliseconds;
};

// The main thread's wish that the receiver end once the firmware is quiet. Only the receiver knows
// whether a reply is coming in, so it decides when, and says so through the event.
std::atomic<bool> QuietWanted{false};
std::atomic<unsigned> QuietMilliseconds{0};
std::atomic<unsigned> QuietBoundMilliseconds{0};
std::atomic<bool> FellQuiet{false};
CAutoResetEvent QuietStopDone;

// The receiver's side of that wish, looked at before every poll.
class CQuietStop
{
public:
    // True when the receiver is to end now.
    bool Due(CReplyParser& parser, const CStopwatch& sinceLastByte)
    {
        if (!QuietWanted)
            return false;
        if (!Asked)
        {
            Asked = true;
            SinceAsked.Restart();
        }
        const double asked = SinceAsked.ElapsedSeconds();
        const double quiet = std::min(sinceLastByte.ElapsedSeconds(), asked);
        const bool quietNow = !parser.InPayload() && quiet * 1000 >= QuietMilliseconds;
        if (!quietNow && asked * 1000 < QuietBoundMilliseconds)
            return false;
        parser.AbandonPayload();
        FellQuiet = quietNow;
        QuietWanted = false;
        QuietStopDone.Set();
        return true;
    }

private:
    bool Asked = false;
    CStopwatch SinceAsked;
};

} // namespace

bool StopReceiverWhenQuiet(unsigned quietMilliseconds, unsigned boundMilliseconds)
{
    if (!ReceiverThread || ReceiverThread->IsFinished())
        return true;
    QuietStopDone.Reset();
    QuietMilliseconds = quietMilliseconds;
    QuietBoundMilliseconds = boundMilliseconds;
    QuietWanted = true;
    ReceiverWakeEvent.Set();
    // The receiver ends within the bound; the margin is for a system that holds it up.
    const unsigned marginMilliseconds = 1000;
    return QuietStopDone.WaitFor(boundMilliseconds + marginMilliseconds) && FellQuiet;
}

void SetLongestReceiverIdleWaitMilliseconds(unsigned milliseconds)
{
    LongestIdleWait = milliseconds;
}

void ReceiverLoop(const StatusDecoding& decoding)
{
    CReplyParser parser(decoding, stdout);
    CPollPacing pacing;
    CStopwatch sinceLastByte;
    CQuietStop quietStop;
    const double patienceSeconds = MicrocontrollerPatienceSeconds();
    while (KeepRunning && !quietStop.Due(parser, sinceLastByte))
    {
        pacing.LookForNewFrames();
        uint8_t byte = 0;
        if (TryTakeMailboxByte(byte))
        {
            parser.Take(byte);
            sinceLastByte.Restart();
            pacing.ByteTaken();
        }
        else if (!parser.InPayload())
            pacing.PauseIfIdle();
        else if (sinceLastByte.ElapsedSeconds() > patienceSeconds)
            parser.AbandonPayload();
    }
}

bool StartReceiverThread(const StatusDecoding& decoding)
{
    ReceiverThread.reset(new (std::nothrow) CThread([decoding] { ReceiverLoop(decoding); }));
    return ReceiverThread && ReceiverThread->IsRunning();
}

} // namespace Corvane::Common
