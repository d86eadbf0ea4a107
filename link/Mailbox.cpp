#include "Mailbox.h"

#include "cards/ITVXCard.h"
#include "platform/Lock.h"
#include "platform/Print.h"
#include "platform/Time.h"

#include <atomic>
#include <cstdio>

namespace Corvane::Common
{

std::unique_ptr<ITVXCard> CurrentCard;

namespace
{

constexpr uint16_t NotGen3Status = MAILBOX_TX_READY;
constexpr uint32_t UpperHalf = 0xFFFF0000u;

// A few seconds: far beyond what any answer of the microcontroller takes.
std::atomic<unsigned> Patience{2000};

// The register, the lock held around every access to it, and the count of frames sent whole,
// which changes only under the lock, within the hold that writes a frame's last byte.
struct MailboxLine
{
    IMailboxRegister* Register = nullptr;
    CLock MailboxLock;
    uint32_t FramesSentWhole = 0;
};

MailboxLine& Line()
{
    static MailboxLine line;
    return line;
}

uint16_t AcknowledgePattern(MailboxChannel channel)
{
    return channel == MailboxChannel::BootLoader ? MAILBOX_RX_EMPTY | MAILBOX_BOOT_CHANNEL
                                                 : MAILBOX_RX_EMPTY;
}

uint16_t SendPattern(uint8_t byte, MailboxChannel channel)
{
    const uint16_t strobe = channel == MailboxChannel::BootLoader
                                ? MAILBOX_TX_STROBE | MAILBOX_BOOT_CHANNEL
                                : MAILBOX_TX_STROBE;
    return static_cast<uint16_t>(strobe | byte);
}

// One poll of the mailbox under one hold of MailboxLock: reads the register and, when the status
// shows what the caller waits for, writes the pattern into the low half with the upper half just
// read. That is one read-modify-write whose read is also the poll, so no thread comes between its
// read and its write, and a byte moves with two register accesses. False, with nothing written,
// when the status does not show it yet or no mailbox is connected. After the write, still under
// the lock, `written` runs with the count of frames sent whole.
template <typename Condition, typename Written>
bool WriteWhenStatusShows(Condition shows, uint16_t pattern, uint16_t& status, Written written)
{
    MailboxLine& line = Line();
    CLockHolder held(line.MailboxLock);
    if (line.Register == nullptr)
    {
        status = NotGen3Status;
        return false;
    }
    const uint32_t value = line.Register->ReadMailboxRegister();
    status = static_cast<uint16_t>(value);
    if (!shows(status))
        return false;
    line.Register->WriteMailboxRegister((value & UpperHalf) | pattern);
    written(line.FramesSentWhole);
    return true;
}

void NothingMore(uint32_t&) {}

bool TakeWaitingByte(uint8_t& byte, uint16_t& status, MailboxChannel channel,
                     uint32_t* framesSentWhole = nullptr)
{
    if (!WriteWhenStatusShows([](uint16_t s) { return (s & MAILBOX_RX_EMPTY) == 0; },
                              AcknowledgePattern(channel), status,
                              [framesSentWhole](uint32_t& sentWhole)
                              {
                                  if (framesSentWhole != nullptr)
                                      *framesSentWhole = sentWhole;
                              }))
        return false;
    byte = static_cast<uint8_t>(status & MAILBOX_DATA);
    return true;
}

bool TrySendMailboxByte(uint8_t byte, MailboxChannel channel, bool endsFrame)
{
    uint16_t status = 0;
    return WriteWhenStatusShows([](uint16_t s) { return (s & MAILBOX_TX_READY) != 0; },
                                SendPattern(byte, channel), status,
                                [endsFrame](uint32_t& sentWhole)
                                {
                                    if (endsFrame)
                                        ++sentWhole;
                                });
}

// A microcontroller that keeps up moves each byte well within this; one that has not moved for
// this long is busy with something slow, and polling without pause would only hold a core.
constexpr double PollWithoutPauseSeconds = 0.05;
constexpr unsigned PauseBetweenSlowPollsMilliseconds = 1;

// Repeats the poll until it moves its byte, for at most the microcontroller's patience: without
// pause at first, so bytes move as fast as the register allows whenever the microcontroller keeps
// up, and with a short pause between polls once it has made no progress for a while.
template <typename Poll> bool RepeatUntilMoved(Poll moved)
{
    CStopwatch waiting;
    const double patienceSeconds = MicrocontrollerPatienceSeconds();
    while (!moved())
    {
        const double waited = waiting.ElapsedSeconds();
        if (waited > patienceSeconds)
            return false;
        if (waited > PollWithoutPauseSeconds)
            SleepMilliseconds(PauseBetweenSlowPollsMilliseconds);
    }
    return true;
}

} // namespace

unsigned MicrocontrollerPatienceMilliseconds()
{
    return Patience.load();
}

double MicrocontrollerPatienceSeconds()
{
    return MicrocontrollerPatienceMilliseconds() / 1000.0;
}

void SetMicrocontrollerPatienceMilliseconds(unsigned milliseconds)
{
    Patience = milliseconds;
}

void ConnectMailbox(IMailboxRegister* mailbox)
{
    MailboxLine& line = Line();
    CLockHolder held(line.MailboxLock);
    line.Register = mailbox;
}

uint32_t FramesSentWhole()
{
    MailboxLine& line = Line();
    CLockHolder held(line.MailboxLock);
    return line.FramesSentWhole;
}

uint16_t ReadMailboxStatus()
{
    MailboxLine& line = Line();
    CLockHolder held(line.MailboxLock);
    if (line.Register == nullptr)
        return NotGen3Status;
    return static_cast<uint16_t>(line.Register->ReadMailboxRegister());
}

void WriteMailboxWord(uint16_t word)
{
    uint16_t status = 0;
    WriteWhenStatusShows([](uint16_t) { return true; }, word, status, NothingMore);
}

void AcknowledgeMailbox(MailboxChannel channel)
{
    WriteMailboxWord(AcknowledgePattern(channel));
}

bool TryTakeMailboxByte(uint8_t& byte, MailboxChannel channel, uint32_t* framesSentWhole)
{
    uint16_t status = 0;
    return TakeWaitingByte(byte, status, channel, framesSentWhole);
}

uint16_t DrainMailbox(MailboxChannel channel)
{
    // Bounded: a microcontroller that keeps sending cannot hold the caller for ever. The status
    // returned then is one that showed a byte.
    CStopwatch draining;
    const double patienceSeconds = MicrocontrollerPatienceSeconds();
    uint16_t status = 0;
    uint8_t discarded = 0;
    while (TakeWaitingByte(discarded, status, channel))
        if (draining.ElapsedSeconds() > patienceSeconds)
            break;
    return status;
}

bool SendMailboxByte(uint8_t byte, MailboxChannel channel)
{
    return RepeatUntilMoved([byte, channel] { return TrySendMailboxByte(byte, channel, false); });
}

bool ReceiveMailboxByte(uint8_t& byte, MailboxChannel channel)
{
    return RepeatUntilMoved([&byte, channel] { return TryTakeMailboxByte(byte, channel); });
}

void ReportMicrocontrollerNotTaking()
{
    Print("\nThe microcontroller took no byte for %u ms: it does not answer.\n",
          MicrocontrollerPatienceMilliseconds());
}

bool SendMailboxBytes(const uint8_t* bytes, size_t count, MailboxChannel channel)
{
    for (size_t i = 0; i < count; ++i)
        if (!RepeatUntilMoved([byte = bytes[i], channel, last = i + 1 == count]
                              { return TrySendMailboxByte(byte, channel, last); }))
        {
            ReportMicrocontrollerNotTaking();
            return false;
        }
    return true;
}

} // namespace Corvane::Common
