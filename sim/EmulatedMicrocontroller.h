#pragma once

#include "BoardMemory.h"
#include "SimConfiguration.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

namespace Corvane::Common
{

// The host side of the mailbox register as the microcontroller drives it. The stand-in plays the
// hardware, so it spells out the register map itself instead of taking the tool's constants: a
// misread bit in the tool then shows up as a failing test rather than agreeing with itself.
constexpr uint16_t MAILBOX_DATA = 0x00FF;
constexpr uint16_t MAILBOX_BOOT_CHANNEL = 0x0100;
constexpr uint16_t MAILBOX_RX_EMPTY = 0x0200;
constexpr uint16_t MAILBOX_TX_STROBE = 0x0400;
constexpr uint16_t MAILBOX_TX_READY = 0x1000;
constexpr uint16_t MAILBOX_SERVICE_MODE = 0x4000;

// What a firmware may do to the microcontroller it runs on.
class IMicrocontrollerPort
{
public:
    virtual ~IMicrocontrollerPort() = default;
    // Queues a byte for the host; the host sees it once the bytes before it are taken.
    virtual void SendToHost(uint8_t byte) = 0;
    // Keeps TX_READY low for this many more mailbox reads (the firmware is busy).
    virtual void HoldTxReady(uint32_t reads) = 0;
    // Keeps TX_READY low until the host has taken every byte queued for it.
    virtual void HoldTxReadyUntilTaken() = 0;
    // True when no byte waits for the host.
    virtual bool HostHasTakenAll() const = 0;
    // Counts a reply the program has begun to send (for the tests' counters).
    virtual void CountReply() = 0;
};

// A program on the emulated microcontroller: the application firmware or the boot loader. The
// microcontroller is driven by the host's register accesses only, never by wall-clock time, so a
// run is reproducible.
class IEmulatedFirmware
{
public:
    virtual ~IEmulatedFirmware() = default;
    // True for the boot loader: the mailbox then reads MAILBOX_SERVICE_MODE.
    virtual bool IsBootLoader() const = 0;
    // The host sent a byte (written with MAILBOX_TX_STROBE while TX_READY was 1).
    virtual void OnHostByte(uint8_t byte, bool bootChannel, IMicrocontrollerPort& port) = 0;
    // The host acknowledged the byte that was waiting for it.
    virtual void OnByteTaken(IMicrocontrollerPort& port) { (void)port; }
    // The host read the mailbox: the program's clock, since it runs only as the host polls.
    virtual void OnHostRead(IMicrocontrollerPort& port) { (void)port; }
    // The bytes of a command received only in part. A real microcontroller keeps them while its
    // power stays on, and takes the next run's first bytes as the rest of that command.
    virtual std::vector<uint8_t> PartialCommand() const { return {}; }
};

// Sends a program's reply: counts it, then sends its header and its payload. Under stop_mid_reply
// only the first half of a payload goes and stopped is set: the program then sends nothing more.
void SendReply(const Gen3CardSettings& settings, std::string_view header,
               const std::vector<uint8_t>& payload, bool& stopped, IMicrocontrollerPort& port);

// The program that starts on a card in its configured mode, working on the card's memory; null
// when no microcontroller answers.
std::unique_ptr<IEmulatedFirmware> MakeFirmware(const Gen3CardSettings& settings,
                                                BoardMemory& memory);

// What happened at the mailbox, for the counters.
struct MailboxEvents
{
    uint64_t HostBytes = 0;         // bytes the firmware received
    uint64_t Overruns = 0;          // bytes strobed while TX_READY was 0, lost
    uint64_t BootChannelBytes = 0;  // bytes strobed with MAILBOX_BOOT_CHANNEL set
    uint64_t Acknowledges = 0;      // writes with the acknowledge strobe
    uint64_t BytesTaken = 0;        // acknowledges that consumed a waiting byte
    uint64_t EmptyAcknowledges = 0; // acknowledges with nothing waiting
    uint64_t BytesSent = 0;         // bytes the program queued for the host
    uint64_t Replies = 0;           // replies the program began to send
};

// The board-management microcontroller behind the low 16 bits of the mailbox register.
class CEmulatedMicrocontroller : public IMicrocontrollerPort
{
public:
    explicit CEmulatedMicrocontroller(const Gen3CardSettings& settings);

    // The low 16 bits a host read sees. A counted read advances the TX_READY countdown; a peek
    // (for the inspection functions) changes nothing.
    uint16_t ReadStatus();
    uint16_t PeekStatus() const;
    // A host write of the low 16 bits: strobes act, other bits are ignored.
    void Write(uint16_t low);

    void SendToHost(uint8_t byte) override;
    void HoldTxReady(uint32_t reads) override;
    void HoldTxReadyUntilTaken() override;
    bool HostHasTakenAll() const override { return Outgoing.empty(); }
    void CountReply() override { ++Counts.Replies; }

    // What the card keeps across runs, with the command in progress; restored from the state
    // file after power-up.
    BoardMemory MemoryToKeep() const;
    void RestoreMemory(const BoardMemory& saved);

    const std::vector<uint8_t>& ReceivedBytes() const { return Received; }
    const MailboxEvents& Events() const { return Counts; }
    void ClearHistory();

private:
    bool TxReady() const;
    void TakeHostByte(uint8_t byte, bool bootChannel);

    BoardMemory Kept;
    std::unique_ptr<IEmulatedFirmware> Firmware;
    bool TxNeverReady;
    bool TxHeldUntilTaken = false;
    uint32_t TxReadyAfter;
    uint32_t TxBusyReads = 0;
    std::deque<uint8_t> Outgoing;
    std::vector<uint8_t> Received;
    MailboxEvents Counts;
};

} // namespace Corvane::Common
