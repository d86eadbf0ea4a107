#include "Mailbox.h"

#include "LinkState.h"
#include "cards/CTVX3Card.h"
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

CTVX3Card* MailboxCard()
{
    return CurrentCard ? CurrentCard->AsGen3Card() : nullptr;
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

} // namespace

unsigned MicrocontrollerPatienceMilliseconds()
{
    return Patience.load();
}

void SetMicrocontrollerPatienceMilliseconds(unsigned milliseconds)
{
    Patience = milliseconds;
}

uint16_t ReadMailboxStatus()
{
    CTVX3Card* card = MailboxCard();
    if (card == nullptr)
        return NotGen3Status;
    CLockHolder held(MailboxLock);
    return static_cast<uint16_t>(card->ReadRegister(MAILBOX_REGISTER));
}

void WriteMailboxWord(uint16_t word)
{
    CTVX3Card* card = MailboxCard();
    if (card == nullptr)
        return;
    CLockHolder held(MailboxLock);
    const uint32_t upper = card->ReadRegister(MAILBOX_REGISTER) & UpperHalf;
    card->WriteRegister(MAILBOX_REGISTER, upper | word);
}

void AcknowledgeMailbox(MailboxChannel channel)
{
    WriteMailboxWord(AcknowledgePattern(channel));
}

uint16_t DrainMailbox(MailboxChannel channel)
{
    // Bounded: a microcontroller that keeps sending cannot hold the caller for ever. The status
    // returned then still shows a waiting byte.
    CStopwatch draining;
    const double patienceSeconds = MicrocontrollerPatienceMilliseconds() / 1000.0;
    uint16_t status = ReadMailboxStatus();
    while ((status & MAILBOX_RX_EMPTY) == 0 && draining.ElapsedSeconds() <= patienceSeconds)
    {
        AcknowledgeMailbox(channel);
        status = ReadMailboxStatus();
    }
    return status;
}

// Polls the mailbox until the status shows what the caller waits for, at most the patience.
template <typename Condition> bool PollMailbox(Condition isReady, uint16_t& status)
{
    CStopwatch waiting;
    const double patienceSeconds = MicrocontrollerPatienceMilliseconds() / 1000.0;
    while (!isReady(status = ReadMailboxStatus()))
        if (waiting.ElapsedSeconds() > patienceSeconds)
            return false;
    return true;
}

bool SendMailboxByte(uint8_t byte, MailboxChannel channel)
{
    uint16_t status = 0;
    if (!PollMailbox([](uint16_t s) { return (s & MAILBOX_TX_READY) != 0; }, status))
        return false;
    WriteMailboxWord(SendPattern(byte, channel));
    return true;
}

bool ReceiveMailboxByte(uint8_t& byte, MailboxChannel channel)
{
    uint16_t status = 0;
    if (!PollMailbox([](uint16_t s) { return (s & MAILBOX_RX_EMPTY) == 0; }, status))
        return false;
    byte = static_cast<uint8_t>(status & MAILBOX_DATA);
    AcknowledgeMailbox(channel);
    return true;
}

void ReportMicrocontrollerNotTaking()
{
    Print("\nThe microcontroller took no byte for %u ms: it does not answer.\n",
          MicrocontrollerPatienceMilliseconds());
}

bool SendMailboxBytes(const uint8_t* bytes, size_t count, MailboxChannel channel)
{
    for (size_t i = 0; i < count; ++i)
        if (!SendMailboxByte(bytes[i], channel))
        {
            ReportMicrocontrollerNotTaking();
            return false;
        }
    return true;
}

} // namespace Corvane::Common
