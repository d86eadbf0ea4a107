#include "FirmwareLink.h"

#include "Mailbox.h"
#include "platform/Time.h"

#include <algorithm>
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

} // namespace

// Decides after each poll whether the receiver polls again at once or waits a little. It polls
// without pause while a reply comes, while the main thread's last request has had no answer yet
// (for as long as the main thread itself would wait for one), and for a short while after the
// last byte; an idle mailbox is polled after short waits.
class CFirmwareLink::CPollPacing
{
public:
    explicit CPollPacing(CFirmwareLink& link) : Link(link), FramesSeen(link.FramesBegun.load()) {}

    // Before each poll: a frame sent since the last look is a request that is owed an answer.
    void LookForNewFrames()
    {
        const uint32_t sent = Link.FramesBegun.load();
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

    // Since the last byte or the last request, whichever came later.
    double QuietSeconds() const { return SinceActivity.ElapsedSeconds(); }

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
        Link.ReceiverWakeEvent.WaitFor(IdleWait);
        IdleWait = std::min(IdleWait * 2, Link.LongestIdleWait.load());
    }

private:
    void BecameBusy()
    {
        SinceActivity.Restart();
        IdleWait = FirstIdleWaitMilliseconds;
    }

    CFirmwareLink& Link;
    const double PatienceSeconds = MicrocontrollerPatienceSeconds();
    uint32_t FramesSeen;
    bool AnswerOwed = false;
    CStopwatch SinceActivity;
    unsigned IdleWait = FirstIdleWaitMilliseconds;
};

// The receiver's side of the wish to end once the firmware is quiet, looked at before every poll.
class CFirmwareLink::CQuietStop
{
public:
    explicit CQuietStop(CFirmwareLink& link) : Link(link) {}

    // True when the receiver is to end now.
    bool Due(CReplyParser& parser, double quietSeconds)
    {
        if (!Link.QuietWanted)
            return false;
        if (!Asked)
        {
            Asked = true;
            SinceAsked.Restart();
        }
        const double asked = SinceAsked.ElapsedSeconds();
        const bool quietNow = !parser.InPayload() && quietSeconds * 1000 >= Link.QuietMilliseconds;
        if (!quietNow && asked * 1000 < Link.QuietBoundMilliseconds)
            return false;
        parser.AbandonPayload();
        Link.FellQuiet = quietNow;
        Link.QuietWanted = false;
        Link.QuietStopDone.Set();
        return true;
    }

private:
    CFirmwareLink& Link;
    bool Asked = false;
    CStopwatch SinceAsked;
};

CFirmwareLink::~CFirmwareLink()
{
    Shutdown();
}

bool CFirmwareLink::StartReceiver(const StatusDecoding& decoding)
{
    Running = true;
    ReceiverSettled.Reset();
    ReceiverThread.reset(new (std::nothrow) CThread([this, decoding] { ReceiverLoop(decoding); }));
    if (!ReceiverThread || !ReceiverThread->IsRunning())
        return false;
    ReceiverSettled.WaitFor(MicrocontrollerPatienceMilliseconds());
    return true;
}

void CFirmwareLink::ReceiverLoop(const StatusDecoding& decoding)
{
    CReplyParser parser(decoding, stdout, this);
    CPollPacing pacing(*this);
    CQuietStop quietStop(*this);
    CStopwatch sinceLastByte;
    const double patienceSeconds = MicrocontrollerPatienceSeconds();
    bool settled = false;
    while (Running)
    {
        pacing.LookForNewFrames();
        if (quietStop.Due(parser, pacing.QuietSeconds()))
            break;
        uint8_t byte = 0;
        uint32_t sentWhole = 0;
        if (TryTakeMailboxByte(byte, MailboxChannel::Application, &sentWhole))
        {
            parser.Take(byte, sentWhole);
            sinceLastByte.Restart();
            pacing.ByteTaken();
        }
        else if (!parser.InPayload())
        {
            if (!settled)
                ReceiverSettled.Set();
            settled = true;
            pacing.PauseIfIdle();
        }
        else if (sinceLastByte.ElapsedSeconds() > patienceSeconds)
            parser.AbandonPayload();
    }
}

bool CFirmwareLink::Send(const CommandFrame& frame)
{
    // A receiver thread that waits between polls goes back to polling without pause before the
    // first byte leaves, so the answer is taken the moment it comes.
    ++FramesBegun;
    ReceiverWakeEvent.Set();
    return SendMailboxBytes(frame.data(), frame.size());
}

bool CFirmwareLink::Request(const CommandFrame& frame, ExpectedAnswer answer)
{
    // Only the main thread sends, so this frame is the next one to go out whole.
    const uint32_t sentWholeOnceSent = FramesSentWhole() + 1;
    {
        std::lock_guard<std::mutex> guard(AnswerMutex);
        Awaiting = true;
        Came = false;
        Dropped = false;
        Begun = false;
        Expected = answer;
        RequestSentWhole = sentWholeOnceSent;
    }
    if (Send(frame))
        return true;
    std::lock_guard<std::mutex> guard(AnswerMutex);
    Awaiting = false;
    return false;
}

bool CFirmwareLink::AwaitAnswer(unsigned milliseconds)
{
    std::unique_lock<std::mutex> lock(AnswerMutex);
    AnswerCame.wait_for(lock, std::chrono::milliseconds(milliseconds),
                        [this] { return Came || Dropped || !Running; });
    return Came;
}

bool CFirmwareLink::AnswerHasBegun()
{
    std::lock_guard<std::mutex> guard(AnswerMutex);
    return Begun;
}

bool CFirmwareLink::AnswerWasDropped()
{
    std::lock_guard<std::mutex> guard(AnswerMutex);
    return Dropped;
}

std::array<uint8_t, 8> CFirmwareLink::I2cReadData()
{
    std::lock_guard<std::mutex> guard(AnswerMutex);
    std::array<uint8_t, 8> data{};
    std::copy_n(Payload.begin(), data.size(), data.begin());
    return data;
}

std::array<uint8_t, 64> CFirmwareLink::AnswerPayload()
{
    std::lock_guard<std::mutex> guard(AnswerMutex);
    return Payload;
}

uint8_t CFirmwareLink::ReplyChar()
{
    std::lock_guard<std::mutex> guard(AnswerMutex);
    return FirstByteCame;
}

bool CFirmwareLink::Answers(ExpectedAnswer::Form form, ReplyKind kind, uint32_t sentWhole) const
{
    return Awaiting && Expected.Of == form && Expected.Kind == kind &&
           sentWhole >= RequestSentWhole;
}

void CFirmwareLink::Answered()
{
    Awaiting = false;
    Came = true;
    AnswerCame.notify_all();
}

void CFirmwareLink::ReplyCame(ReplyKind kind, const uint8_t* payload, uint32_t sentWhole)
{
    std::lock_guard<std::mutex> guard(AnswerMutex);
    if (!Answers(ExpectedAnswer::Form::Reply, kind, sentWhole))
        return;
    std::copy_n(payload, std::min<size_t>(ReplyPayloadSize(kind), Payload.size()), Payload.begin());
    Answered();
}

void CFirmwareLink::WriteAcknowledged(uint32_t sentWhole)
{
    std::lock_guard<std::mutex> guard(AnswerMutex);
    if (Answers(ExpectedAnswer::Form::WriteAcknowledgement, ReplyKind::None, sentWhole))
        Answered();
}

void CFirmwareLink::ReplyDropped(ReplyKind kind, uint32_t sentWhole)
{
    std::lock_guard<std::mutex> guard(AnswerMutex);
    if (!Answers(ExpectedAnswer::Form::Reply, kind, sentWhole))
        return;
    Awaiting = false;
    Dropped = true;
    AnswerCame.notify_all();
}

void CFirmwareLink::ByteCame(uint8_t byte, uint32_t sentWhole)
{
    std::lock_guard<std::mutex> guard(AnswerMutex);
    Begun = Begun || (Awaiting && sentWhole >= RequestSentWhole);
    if (!Answers(ExpectedAnswer::Form::FirstByte, ReplyKind::None, sentWhole))
        return;
    FirstByteCame = byte;
    Answered();
}

bool CFirmwareLink::StopReceiverWhenQuiet(unsigned quietMilliseconds, unsigned boundMilliseconds)
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

void CFirmwareLink::Shutdown()
{
    // The flag is cleared before the waiters are woken, so that a woken thread sees the run ending.
    Running = false;
    {
        std::lock_guard<std::mutex> guard(AnswerMutex);
        Awaiting = false;
        AnswerCame.notify_all();
    }
    ReceiverWakeEvent.Set();
    if (ReceiverThread)
    {
        if (!ReceiverThread->IsFinished())
            ReceiverThread->Join();
        ReceiverThread.reset();
    }
}

CFirmwareLink& FirmwareLink()
{
    static CFirmwareLink link;
    return link;
}

void Shutdown()
{
    FirmwareLink().Shutdown();
}

} // namespace Corvane::Common
