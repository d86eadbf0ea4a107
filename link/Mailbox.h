#pragma once

#include "cards/IMailboxRegister.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Corvane::Common
{

class ITVXCard;

// The one open card of the run.
extern std::unique_ptr<ITVXCard> CurrentCard;

// The mailbox register (MAILBOX_REGISTER): the link uses its low 16 bits and writes the upper 16
// bits back exactly as it read them.
constexpr uint16_t MAILBOX_DATA = 0x00FF;
constexpr uint16_t MAILBOX_BOOT_CHANNEL = 0x0100;
constexpr uint16_t MAILBOX_RX_EMPTY = 0x0200;
constexpr uint16_t MAILBOX_TX_STROBE = 0x0400;
constexpr uint16_t MAILBOX_TX_READY = 0x1000;
constexpr uint16_t MAILBOX_SERVICE_MODE = 0x4000;

// Which firmware the link addresses: the write patterns differ in the boot-channel bit.
enum class MailboxChannel
{
    Application,
    BootLoader
};

// The register that the operations below reach, under one lock taken around every access; null
// (the open card has no mailbox) reads as 0x1000 and takes no write.
void ConnectMailbox(IMailboxRegister* mailbox);

// The low 16 bits of the mailbox; 0x1000 (and no access) when no mailbox is connected.
uint16_t ReadMailboxStatus();
// Replaces the low 16 bits with the word in one locked read-modify-write.
void WriteMailboxWord(uint16_t word);
// Consumes the byte that waits in the mailbox.
void AcknowledgeMailbox(MailboxChannel channel = MailboxChannel::Application);
// Acknowledges and discards every waiting byte; returns the last status read. A microcontroller
// that goes on sending for longer than MicrocontrollerPatience is left: the status returned then
// shows a byte.
uint16_t DrainMailbox(MailboxChannel channel = MailboxChannel::Application);

// Sends the bytes in order, each once the microcontroller reports TX ready, as one frame: once its
// last byte is written, in the same hold of the lock, the frame counts among those sent whole. The
// wait for each byte is bounded: when the microcontroller takes no byte for
// MicrocontrollerPatience, one line says so and the result is false (the rest of the bytes are not
// sent, and the frame does not count).
bool SendMailboxBytes(const uint8_t* bytes, size_t count,
                      MailboxChannel channel = MailboxChannel::Application);
// The line SendMailboxBytes prints when the microcontroller takes no byte.
void ReportMicrocontrollerNotTaking();

// One byte each way, waiting at most MicrocontrollerPatience; false, with nothing printed, when
// the microcontroller does not take or offer a byte in that time. A received byte is acknowledged.
// Each poll reads the register once and, when the byte can move, writes it within the same hold of
// the lock: two register accesses per byte while the microcontroller keeps up. One that makes no
// progress for some tens of milliseconds is polled about once a millisecond for the rest of the
// wait.
bool SendMailboxByte(uint8_t byte, MailboxChannel channel = MailboxChannel::Application);
bool ReceiveMailboxByte(uint8_t& byte, MailboxChannel channel = MailboxChannel::Application);

// One poll without waiting: when a byte waits, takes it and acknowledges it within the same hold
// of the lock (two register accesses); false, after one read, when none waits. With the byte
// comes the number of frames that had been sent whole when it was taken: the firmware answers a
// frame only once it has all of it, so a reply begun before then answers something earlier.
bool TryTakeMailboxByte(uint8_t& byte, MailboxChannel channel = MailboxChannel::Application,
                        uint32_t* framesSentWhole = nullptr);

// How many frames SendMailboxBytes has sent whole so far.
uint32_t FramesSentWhole();

// How long a wait for the microcontroller may go without progress before the tool gives up.
unsigned MicrocontrollerPatienceMilliseconds();
// The same in seconds, as the stopwatches measure.
double MicrocontrollerPatienceSeconds();
void SetMicrocontrollerPatienceMilliseconds(unsigned milliseconds); // tests shorten it

} // namespace Corvane::Common
