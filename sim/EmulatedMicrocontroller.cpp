#include "EmulatedMicrocontroller.h"

#include "ApplicationFirmware.h"
#include "BoardModels.h"
#include "BootLoaderFirmware.h"

#include <algorithm>

namespace Corvane::Common
{

namespace
{
// The received-byte log is for tests; a flash image of any size here fits many times.
const size_t MaximumReceivedLog = 16 * 1024 * 1024;
} // namespace

void SendReply(const Gen3CardSettings& settings, std::string_view header,
               const std::vector<uint8_t>& payload, bool& stopped, IMicrocontrollerPort& port)
{
    port.CountReply();
    for (char letter : header)
        port.SendToHost(static_cast<uint8_t>(letter));
    size_t count = payload.size();
    if (settings.Has(McuFault::StopMidReply) && count > 0)
    {
        count /= 2;
        stopped = true;
    }
    for (size_t i = 0; i < count; ++i)
        port.SendToHost(payload[i]);
}

std::unique_ptr<IEmulatedFirmware> MakeFirmware(const Gen3CardSettings& settings,
                                                BoardMemory& memory)
{
    switch (settings.Mcu)
    {
    case McuMode::Application:
        return std::make_unique<CApplicationFirmware>(settings, memory);
    case McuMode::Service:
        return std::make_unique<CBootLoaderFirmware>(settings, memory);
    case McuMode::Absent:
        break;
    }
    return nullptr;
}

namespace
{
BoardMemory FactoryMemory(const Gen3CardSettings& settings)
{
    BoardMemory memory;
    memory.Flash.assign(FindMcuModel(settings.ModelCode).FlashSize, ErasedFlash);
    return memory;
}
} // namespace

CEmulatedMicrocontroller::CEmulatedMicrocontroller(const Gen3CardSettings& settings)
    : Kept(FactoryMemory(settings)), Firmware(MakeFirmware(settings, Kept)),
      TxNeverReady(settings.TxNeverReady), TxReadyAfter(settings.TxReadyAfter)
{
    if (Firmware)
        Outgoing.assign(settings.McuSends.begin(), settings.McuSends.end());
}

BoardMemory CEmulatedMicrocontroller::MemoryToKeep() const
{
    BoardMemory memory = Kept;
    if (Firmware)
    {
        memory.PendingCommand = Firmware->PartialCommand();
        memory.PendingInBootLoader = Firmware->IsBootLoader();
    }
    return memory;
}

namespace
{
// Takes what a program sends while it catches up on a command from an earlier run: a command
// received only in part has not answered yet.
class CDiscardingPort : public IMicrocontrollerPort
{
public:
    void SendToHost(uint8_t) override {}
    void HoldTxReady(uint32_t) override {}
    void HoldTxReadyUntilTaken() override {}
    bool HostHasTakenAll() const override { return true; }
    void CountReply() override {}
};
} // namespace

void CEmulatedMicrocontroller::RestoreMemory(const BoardMemory& saved)
{
    // The flash keeps its size: what the file holds beyond it does not fit this card.
    const size_t count = std::min(saved.Flash.size(), Kept.Flash.size());
    std::copy_n(saved.Flash.begin(), count, Kept.Flash.begin());
    Kept.Devices = saved.Devices;
    // The program that had received part of a command goes on from where it was.
    if (Firmware && Firmware->IsBootLoader() == saved.PendingInBootLoader)
    {
        CDiscardingPort nowhere;
        for (uint8_t byte : saved.PendingCommand)
            Firmware->OnHostByte(byte, saved.PendingInBootLoader, nowhere);
    }
}

bool CEmulatedMicrocontroller::TxReady() const
{
    return Firmware && !TxNeverReady && TxBusyReads == 0 &&
           !(TxHeldUntilTaken && !Outgoing.empty());
}

uint16_t CEmulatedMicrocontroller::PeekStatus() const
{
    if (!Firmware)
        return MAILBOX_RX_EMPTY; // nothing answers: never ready, never a byte
    uint16_t status = TxReady() ? MAILBOX_TX_READY : 0;
    if (Firmware->IsBootLoader())
        status |= MAILBOX_SERVICE_MODE;
    if (Outgoing.empty())
        status |= MAILBOX_RX_EMPTY;
    else
        status |= Outgoing.front();
    return status;
}

uint16_t CEmulatedMicrocontroller::ReadStatus()
{
    const uint16_t status = PeekStatus();
    if (TxBusyReads > 0)
        --TxBusyReads;
    if (Firmware)
        Firmware->OnHostRead(*this);
    return status;
}

void CEmulatedMicrocontroller::Write(uint16_t low)
{
    // Acknowledge first: a write with both strobes takes the waiting byte, then sends.
    if (low & MAILBOX_RX_EMPTY)
    {
        ++Counts.Acknowledges;
        if (Outgoing.empty())
            ++Counts.EmptyAcknowledges;
        else
        {
            Outgoing.pop_front();
            ++Counts.BytesTaken;
            if (Outgoing.empty())
                TxHeldUntilTaken = false;
            if (Firmware)
                Firmware->OnByteTaken(*this);
        }
    }
    if (low & MAILBOX_TX_STROBE)
        TakeHostByte(static_cast<uint8_t>(low & MAILBOX_DATA), (low & MAILBOX_BOOT_CHANNEL) != 0);
}

void CEmulatedMicrocontroller::TakeHostByte(uint8_t byte, bool bootChannel)
{
    if (bootChannel)
        ++Counts.BootChannelBytes;
    if (!TxReady())
    {
        ++Counts.Overruns; // the microcontroller was not listening: the byte is lost
        return;
    }
    ++Counts.HostBytes;
    if (Received.size() < MaximumReceivedLog)
        Received.push_back(byte);
    TxBusyReads = TxReadyAfter;
    Firmware->OnHostByte(byte, bootChannel, *this);
}

void CEmulatedMicrocontroller::SendToHost(uint8_t byte)
{
    Outgoing.push_back(byte);
    ++Counts.BytesSent;
}

void CEmulatedMicrocontroller::HoldTxReady(uint32_t reads)
{
    TxBusyReads += reads;
}

void CEmulatedMicrocontroller::HoldTxReadyUntilTaken()
{
    TxHeldUntilTaken = true;
}

void CEmulatedMicrocontroller::ClearHistory()
{
    Received.clear();
    Counts = MailboxEvents();
}

} // namespace Corvane::Common
