#include "EmulatedGen2Card.h"

#include <cstdio>
#include <cstring>

namespace Corvane::Common
{

const char* const Gen2CounterNames[CEmulatedGen2CardBase::CounterCount] = {
    "opens",
    "open_failures",
    "closes",
    "card_info_reads",
    "space_info_reads",
    "space_configs",
    "configures",
    "clock_sets",
    "bank_info_reads",
    "control_reads",
    "control_writes",
    "control_word0_reads",
    "control_command_writes",
    "control_command_reads",
};

namespace
{
const uint32_t CONTROL_COMMAND = 0x400;
// A command word with this bit set starts an operation that reads back busy for a few reads.
const uint32_t CONTROL_BUSY = 0x10000000;
} // namespace

CEmulatedGen2Card::CEmulatedGen2Card(const Gen2CardSettings& settings)
    : CEmulatedGen2CardBase(settings)
{
}

CEmulatedGen2Card::~CEmulatedGen2Card()
{
    if (ControlWindow != nullptr)
        RetireTrappedWindow(ControlWindow);
}

void* CEmulatedGen2Card::ControlSpacePointer()
{
    // The window is made on first request and kept for the card's life: the card layer never
    // gives a space back.
    if (ControlWindow == nullptr)
        ControlWindow = MapTrappedWindow(*this, 0, CONTROL_SPACE_SIZE);
    return ControlWindow;
}

uint32_t CEmulatedGen2Card::ReadWord(uint32_t byteOffset)
{
    Count(Gen2Counter::ControlReads);
    if (byteOffset == 0)
        Count(Gen2Counter::ControlWord0Reads);
    if (byteOffset != CONTROL_COMMAND)
        return Control[byteOffset / 4];
    Count(Gen2Counter::ControlCommandReads);
    const uint32_t command = Control[CONTROL_COMMAND / 4];
    if (BusyReadsLeft == 0)
        return command & ~CONTROL_BUSY;
    --BusyReadsLeft;
    return command | CONTROL_BUSY;
}

void CEmulatedGen2Card::WriteWord(uint32_t byteOffset, uint32_t value)
{
    Count(Gen2Counter::ControlWrites);
    RecordWrite(CONTROL_SPACE, byteOffset, value);
    Control[byteOffset / 4] = value;
    if (byteOffset != CONTROL_COMMAND)
        return;
    Count(Gen2Counter::ControlCommandWrites);
    BusyReadsLeft = (value & CONTROL_BUSY) ? Config.ControlBusyReads : 0;
}

uint32_t CEmulatedGen2Card::Peek(uint32_t space, uint32_t byteOffset) const
{
    if (byteOffset % 4 != 0)
        return 0;
    uint32_t value = 0;
    if (space == FPGA_SPACE && InFpgaSpace(byteOffset))
        std::memcpy(&value, FpgaSpace.get() + byteOffset, sizeof value);
    else if (space == CONTROL_SPACE && byteOffset < CONTROL_SPACE_SIZE)
        value = Control[byteOffset / 4];
    return value;
}

void CEmulatedGen2Card::Poke(uint32_t space, uint32_t byteOffset, uint32_t value)
{
    if (byteOffset % 4 != 0)
        return;
    if (space == FPGA_SPACE && InFpgaSpace(byteOffset))
        std::memcpy(FpgaSpace.get() + byteOffset, &value, sizeof value);
    else if (space == CONTROL_SPACE && byteOffset < CONTROL_SPACE_SIZE)
        Control[byteOffset / 4] = value;
}

const std::vector<uint32_t>& CEmulatedGen2Card::ControlWords() const
{
    return WriteLog(CONTROL_SPACE, CONTROL_COMMAND);
}

std::string CEmulatedGen2Card::TraceLine() const
{
    std::string line = "control_words";
    char word[16];
    for (uint32_t value : ControlWords())
    {
        std::snprintf(word, sizeof word, " 0x%08x", value);
        line += word;
    }
    return line;
}

} // namespace Corvane::Common
