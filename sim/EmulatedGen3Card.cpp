#include "EmulatedGen3Card.h"

#include "SimEnvironment.h"

#include <algorithm>
#include <cstring>

namespace Corvane::Common
{

const char* const Gen3CounterNames[CEmulatedGen3CardBase::CounterCount] = {
    "opens",
    "inspection_opens",
    "use_opens",
    "open_failures",
    "closes",
    "card_info_reads",
    "configures",
    "maps",
    "unmaps",
    "clock_sets",
    "fpga_info_reads",
    "bank_info_reads",
    "mailbox_reads",
    "mailbox_writes",
    "mailbox_upper_changes",
    "host_bytes",
    "tx_overruns",
    "boot_channel_bytes",
    "rx_acks",
    "rx_bytes_taken",
    "empty_acks",
    "mcu_bytes_sent",
    "mcu_replies",
    "register_reads",
    "register_writes",
    "register0_reads",
    "bridge_reads",
    "bridge_writes",
    "page_writes",
    "page_refusals",
    "lane_writes",
    "status_reads",
    "status_clears",
    "window0_reads",
    "window0_writes",
    "out_of_range",
    "indirect_commands",
    "indirect_status_reads",
    "indirect_data_writes",
    "indirect_data_reads",
    "probe_commands",
    "probe_clears",
    "probe_reads",
};

namespace
{

// The card's register map, written out here rather than taken from the card layer: the stand-in
// stands for the hardware, and must not agree with a mistake in the tool's own constants.

// Register window (window 2), byte offsets.
const uint32_t REG_IDENTITY = 0x000;
const uint32_t REG_INDIRECT_COMMAND = 0x070; // command written, status read
const uint32_t REG_INDIRECT_WRITE_DATA = 0x074;
const uint32_t REG_INDIRECT_READ_DATA = 0x078;
const uint32_t REG_MAILBOX = 0x0B0;
const uint32_t REG_PROBE = 0x400;

// Bridge window (window 3), byte offsets.
const uint32_t BRIDGE_PAGE = 0x20;
const uint32_t BRIDGE_LANES = 0x24;
const uint32_t BRIDGE_STATUS = 0x34;

const uint32_t IDENTITY_VALUE = 0x00030001; // what register 0 reads: register-set version 3.1
const uint32_t BRIDGE_ERROR = 0x04000000;
const uint32_t BRIDGE_CLEARABLE = 0xFF000000; // written ones clear these status bits

const uint32_t INDIRECT_READ = 0x9F000000;
const uint32_t INDIRECT_WRITE = 0xDF000000;
const uint32_t INDIRECT_OPCODE_MASK = 0xFF000000;
const uint32_t INDIRECT_ADDRESS_MASK = 0x00FFFFFF;
const uint32_t INDIRECT_RESET = 0x10000000;
const uint32_t INDIRECT_DONE = 0x80000000;
const uint32_t INDIRECT_READ_DONE = 0xA0000000; // bits 31 and 29

const uint32_t PROBE_IDLE = 0x08000000;
const uint32_t PROBE_NO_ANSWER = 0x10000000;
const uint32_t PROBE_BUSY = 0; // neither idle nor done
const uint32_t PROBE_COMMAND = 0x02800000;
const uint32_t PROBE_COMMAND_MASK = 0xFF80FFFF; // bits 16-22: the 7-bit bus address
const uint32_t PROBE_CLEAR = 0x10800000;

const uint32_t UNREADABLE = 0xFFFFFFFF; // what a read beyond the FPGA space returns

bool ValidOffset(uint32_t window, uint32_t byteOffset)
{
    return byteOffset % 4 == 0 && byteOffset < Gen3WindowSize(window);
}

} // namespace

uint32_t Gen3WindowSize(uint32_t window)
{
    switch (window)
    {
    case FPGA_WINDOW:
        return FPGA_WINDOW_SIZE;
    case REGISTER_WINDOW:
        return REGISTER_WINDOW_SIZE;
    case BRIDGE_WINDOW:
        return BRIDGE_WINDOW_SIZE;
    default:
        return 0;
    }
}

CEmulatedGen3Card::CEmulatedGen3Card(const Gen3CardSettings& settings)
    : CEmulatedGen3CardBase(settings), Mcu(settings), MailboxUpper(settings.MailboxUpper)
{
    Registers[REG_IDENTITY / 4] = IDENTITY_VALUE;
    Registers[REG_PROBE / 4] = PROBE_IDLE;
    if (settings.Bridge != BridgeError::Clear)
        Bridge[BRIDGE_STATUS / 4] = BRIDGE_ERROR;
}

ITrappedDevice& CEmulatedGen3Card::Device(uint32_t window)
{
    if (window == FPGA_WINDOW)
        return FpgaDevice;
    return window == REGISTER_WINDOW ? static_cast<ITrappedDevice&>(RegisterDevice) : BridgeDevice;
}

uint32_t CEmulatedGen3Card::Read(uint32_t window, uint32_t byteOffset)
{
    if (window == FPGA_WINDOW)
        return ReadFpgaWindow(byteOffset);
    return window == REGISTER_WINDOW ? ReadRegister(byteOffset) : ReadBridge(byteOffset);
}

void CEmulatedGen3Card::Write(uint32_t window, uint32_t byteOffset, uint32_t value)
{
    if (window == FPGA_WINDOW)
    {
        WriteFpgaWindow(byteOffset, value);
        return;
    }
    RecordWrite(window, byteOffset, value);
    if (window == REGISTER_WINDOW)
        WriteRegister(byteOffset, value);
    else
        WriteBridge(byteOffset, value);
}

uint32_t CEmulatedGen3Card::ReadRegister(uint32_t byteOffset)
{
    Count(Gen3Counter::RegisterReads);
    switch (byteOffset)
    {
    case REG_IDENTITY:
        Count(Gen3Counter::Register0Reads);
        break;
    case REG_MAILBOX:
        return ReadMailbox();
    case REG_INDIRECT_COMMAND:
        return ReadIndirectStatus();
    case REG_INDIRECT_READ_DATA:
        Count(Gen3Counter::IndirectDataReads);
        break;
    case REG_PROBE:
        Count(Gen3Counter::ProbeReads);
        break;
    default:
        break;
    }
    return Registers[byteOffset / 4];
}

void CEmulatedGen3Card::WriteRegister(uint32_t byteOffset, uint32_t value)
{
    Count(Gen3Counter::RegisterWrites);
    switch (byteOffset)
    {
    case REG_MAILBOX:
        WriteMailbox(value);
        return;
    case REG_INDIRECT_COMMAND:
        WriteIndirectCommand(value);
        return;
    case REG_INDIRECT_WRITE_DATA:
        Count(Gen3Counter::IndirectDataWrites);
        break;
    case REG_INDIRECT_READ_DATA:
        return; // read-only
    case REG_PROBE:
        WriteProbeController(value);
        return;
    default:
        break;
    }
    Registers[byteOffset / 4] = value;
}

uint32_t CEmulatedGen3Card::ReadMailbox()
{
    Count(Gen3Counter::MailboxReads);
    return static_cast<uint32_t>(MailboxUpper) << 16 | Mcu.ReadStatus();
}

void CEmulatedGen3Card::WriteMailbox(uint32_t value)
{
    Count(Gen3Counter::MailboxWrites);
    const auto upper = static_cast<uint16_t>(value >> 16);
    if (upper != MailboxUpper)
        Count(Gen3Counter::MailboxUpperChanges);
    MailboxUpper = upper; // the bridge keeps the upper half as written
    Mcu.Write(static_cast<uint16_t>(value));
}

uint32_t CEmulatedGen3Card::ReadIndirectStatus()
{
    Count(Gen3Counter::IndirectStatusReads);
    if (IndirectPending && Config.IndirectCompleteAfter)
    {
        if (IndirectReadsLeft == 0)
            CompleteIndirectAccess();
        else
            --IndirectReadsLeft;
    }
    return IndirectStatus;
}

void CEmulatedGen3Card::WriteIndirectCommand(uint32_t value)
{
    const uint32_t opcode = value & INDIRECT_OPCODE_MASK;
    if (opcode != INDIRECT_READ && opcode != INDIRECT_WRITE)
    {
        // The reset the card layer writes when it opens in indirect mode; anything else is
        // recorded only.
        if (value == INDIRECT_RESET)
        {
            IndirectPending = false;
            IndirectStatus = 0;
        }
        return;
    }
    Count(Gen3Counter::IndirectCommands);
    IndirectCommand = value;
    IndirectPending = true;
    IndirectStatus = value & INDIRECT_ADDRESS_MASK; // busy: completion bits clear
    IndirectReadsLeft = Config.IndirectCompleteAfter.value_or(0);
    if (Config.IndirectCompleteAfter && IndirectReadsLeft == 0)
        CompleteIndirectAccess();
}

void CEmulatedGen3Card::CompleteIndirectAccess()
{
    const uint32_t address = IndirectCommand & INDIRECT_ADDRESS_MASK;
    IndirectPending = false;
    if ((IndirectCommand & INDIRECT_OPCODE_MASK) == INDIRECT_READ)
    {
        Registers[REG_INDIRECT_READ_DATA / 4] = LoadFpga(address);
        IndirectStatus = INDIRECT_READ_DONE | address;
    }
    else
    {
        StoreFpga(address, Registers[REG_INDIRECT_WRITE_DATA / 4]);
        IndirectStatus = INDIRECT_DONE | address;
    }
}

void CEmulatedGen3Card::WriteProbeController(uint32_t value)
{
    uint32_t& status = Registers[REG_PROBE / 4];
    if ((value & PROBE_COMMAND_MASK) == PROBE_COMMAND)
    {
        Count(Gen3Counter::ProbeCommands);
        const auto address = static_cast<uint8_t>((value >> 16) & 0x7F);
        const auto& answers = Config.ProbeAnswers;
        const bool answered = std::find(answers.begin(), answers.end(), address) != answers.end();
        status = answered ? PROBE_IDLE : PROBE_NO_ANSWER;
    }
    else if (value == PROBE_CLEAR)
    {
        Count(Gen3Counter::ProbeClears);
        status = PROBE_IDLE;
    }
    else
        return;
    // A stuck controller takes the command and stays busy until the card powers up again.
    if (Config.ProbeStuck)
        status = PROBE_BUSY;
}

uint32_t CEmulatedGen3Card::ReadBridge(uint32_t byteOffset)
{
    Count(Gen3Counter::BridgeReads);
    if (byteOffset == BRIDGE_STATUS)
        Count(Gen3Counter::StatusReads);
    return Bridge[byteOffset / 4];
}

void CEmulatedGen3Card::WriteBridge(uint32_t byteOffset, uint32_t value)
{
    Count(Gen3Counter::BridgeWrites);
    switch (byteOffset)
    {
    case BRIDGE_PAGE:
        WritePageRegister(value);
        return;
    case BRIDGE_LANES:
        Count(Gen3Counter::LaneWrites);
        break;
    case BRIDGE_STATUS:
        Count(Gen3Counter::StatusClears);
        Bridge[BRIDGE_STATUS / 4] &= ~(value & BRIDGE_CLEARABLE);
        return;
    default:
        break;
    }
    Bridge[byteOffset / 4] = value;
}

void CEmulatedGen3Card::WritePageRegister(uint32_t value)
{
    Count(Gen3Counter::PageWrites);
    const auto& refused = Config.RefusedPages;
    if (std::find(refused.begin(), refused.end(), value) != refused.end())
    {
        Count(Gen3Counter::PageRefusals); // the register keeps the page it had
        return;
    }
    Bridge[BRIDGE_PAGE / 4] = value;
}

uint32_t CEmulatedGen3Card::ReadFpgaWindow(uint32_t byteOffset)
{
    Count(Gen3Counter::Window0Reads);
    const uint32_t value = LoadFpga(Bridge[BRIDGE_PAGE / 4] + byteOffset);
    if (Config.Bridge == BridgeError::Always)
        Bridge[BRIDGE_STATUS / 4] |= BRIDGE_ERROR;
    return value;
}

void CEmulatedGen3Card::WriteFpgaWindow(uint32_t byteOffset, uint32_t value)
{
    Count(Gen3Counter::Window0Writes);
    StoreFpga(Bridge[BRIDGE_PAGE / 4] + byteOffset, value);
}

uint32_t CEmulatedGen3Card::LoadFpga(uint32_t byteAddress)
{
    if (!InFpgaSpace(byteAddress))
    {
        Count(Gen3Counter::OutOfRange);
        return UNREADABLE;
    }
    return PeekFpga(byteAddress);
}

void CEmulatedGen3Card::StoreFpga(uint32_t byteAddress, uint32_t value)
{
    if (!InFpgaSpace(byteAddress))
    {
        Count(Gen3Counter::OutOfRange);
        return;
    }
    PokeFpga(byteAddress, value);
}

uint32_t CEmulatedGen3Card::PeekFpga(uint32_t byteAddress) const
{
    if (!InFpgaSpace(byteAddress))
        return UNREADABLE;
    uint32_t value = 0;
    std::memcpy(&value, FpgaSpace.get() + byteAddress, sizeof value);
    return value;
}

void CEmulatedGen3Card::PokeFpga(uint32_t byteAddress, uint32_t value)
{
    if (InFpgaSpace(byteAddress))
        std::memcpy(FpgaSpace.get() + byteAddress, &value, sizeof value);
}

uint32_t CEmulatedGen3Card::Peek(uint32_t window, uint32_t byteOffset) const
{
    if (!ValidOffset(window, byteOffset))
        return 0;
    if (window == FPGA_WINDOW)
        return PeekFpga(Bridge[BRIDGE_PAGE / 4] + byteOffset);
    if (window == BRIDGE_WINDOW)
        return Bridge[byteOffset / 4];
    if (byteOffset == REG_MAILBOX)
        return static_cast<uint32_t>(MailboxUpper) << 16 | Mcu.PeekStatus();
    if (byteOffset == REG_INDIRECT_COMMAND)
        return IndirectStatus;
    return Registers[byteOffset / 4];
}

void CEmulatedGen3Card::Poke(uint32_t window, uint32_t byteOffset, uint32_t value)
{
    if (!ValidOffset(window, byteOffset))
        return;
    if (window == FPGA_WINDOW)
        PokeFpga(Bridge[BRIDGE_PAGE / 4] + byteOffset, value);
    else if (window == BRIDGE_WINDOW)
        Bridge[byteOffset / 4] = value;
    else if (byteOffset == REG_MAILBOX)
        MailboxUpper =
            static_cast<uint16_t>(value >> 16); // the low half belongs to the microcontroller
    else if (byteOffset == REG_INDIRECT_COMMAND)
        IndirectStatus = value;
    else
        Registers[byteOffset / 4] = value;
}

uint32_t CEmulatedGen3Card::LastWrite(uint32_t window, uint32_t byteOffset) const
{
    if (!ValidOffset(window, byteOffset))
        return 0;
    if (window == FPGA_WINDOW)
        return Peek(window, byteOffset);
    return LastWritten(window, byteOffset);
}

CEmulatedGen3Card::CounterValueArray CEmulatedGen3Card::CounterValues() const
{
    CounterValueArray values = Counters;
    const MailboxEvents& events = Mcu.Events();
    values[static_cast<size_t>(Gen3Counter::HostBytes)] = events.HostBytes;
    values[static_cast<size_t>(Gen3Counter::TxOverruns)] = events.Overruns;
    values[static_cast<size_t>(Gen3Counter::BootChannelBytes)] = events.BootChannelBytes;
    values[static_cast<size_t>(Gen3Counter::RxAcks)] = events.Acknowledges;
    values[static_cast<size_t>(Gen3Counter::RxBytesTaken)] = events.BytesTaken;
    values[static_cast<size_t>(Gen3Counter::EmptyAcks)] = events.EmptyAcknowledges;
    values[static_cast<size_t>(Gen3Counter::McuBytesSent)] = events.BytesSent;
    values[static_cast<size_t>(Gen3Counter::McuReplies)] = events.Replies;
    return values;
}

void CEmulatedGen3Card::ClearCounters()
{
    CEmulatedGen3CardBase::ClearCounters();
    Mcu.ClearHistory();
}

std::string CEmulatedGen3Card::TraceLine() const
{
    return "received " + HexBytes(Mcu.ReceivedBytes());
}

} // namespace Corvane::Common
