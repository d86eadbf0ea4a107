// FPGA-space access of a Gen 3 card, directly through the paged window 0 or indirectly through
// command registers of window 2, and the bus probe that Open can run.

#include "cards/CTVX3Card.h"

#include "cards/CardEndian.h"
#include "cards/Gen3Registers.h"
#include "cards/TVX3CardData.h"
#include "platform/Time.h"

namespace Corvane::Common
{

namespace
{
// The probe controller normally finishes within a few milliseconds; one that takes longer than
// this is taken as stuck, so that Open cannot hang on it.
constexpr double ProbeWaitLimitSeconds = 0.1;
} // namespace

uint32_t CTVX3Card::ReadFpga(uint32_t wordAddress)
{
    // Nothing is mapped to reach the FPGA space before a successful Open.
    if (!IsOpen())
        return 0;
    CLockHolder holder(Data->Lock);
    if (Data->IndirectMode)
        return ReadIndirect(wordAddress * 4);
    return ReadDirect(wordAddress);
}

void CTVX3Card::WriteFpga(uint32_t wordAddress, uint32_t value)
{
    if (!IsOpen())
        return;
    CLockHolder holder(Data->Lock);
    if (Data->IndirectMode)
        WriteIndirect(wordAddress * 4, value);
    else
        WriteDirect(wordAddress, value);
}

uint32_t CTVX3Card::ReadIndirect(uint32_t byteAddress)
{
    StoreRegister(Gen3Registers::IndirectCommand,
                  Gen3Registers::IndirectReadCommand |
                      (byteAddress & Gen3Registers::IndirectAddressMask));
    WaitForIndirectCompletion(Gen3Registers::IndirectReadComplete);
    // Also after a time-out: the caller gets whatever the data register holds.
    return LoadRegister(Gen3Registers::IndirectReadData);
}

void CTVX3Card::WriteIndirect(uint32_t byteAddress, uint32_t value)
{
    StoreRegister(Gen3Registers::IndirectWriteData, value);
    StoreRegister(Gen3Registers::IndirectCommand,
                  Gen3Registers::IndirectWriteCommand |
                      (byteAddress & Gen3Registers::IndirectAddressMask));
    WaitForIndirectCompletion(Gen3Registers::IndirectWriteComplete);
}

void CTVX3Card::WaitForIndirectCompletion(uint32_t completeBits)
{
    uint32_t status = LoadRegister(Gen3Registers::IndirectCommand);
    CStopwatch watch;
    while ((status & completeBits) != completeBits)
    {
        status = LoadRegister(Gen3Registers::IndirectCommand);
        if (static_cast<float>(watch.ElapsedSeconds()) > Gen3Registers::IndirectTimeLimitSeconds)
            break;
    }
}

uint32_t CTVX3Card::ReadDirect(uint32_t wordAddress)
{
    if (Data->LaneSelect)
        StoreBridge(Gen3Registers::LaneEnable, Gen3Registers::LaneMasks[wordAddress % 4]);
    uint32_t value = 0;
    const uint32_t byteAddress = wordAddress * 4;
    const bool pageShown = SelectFpgaPage(byteAddress);
    if (pageShown)
    {
        value = ToCardEndian(Data->FpgaSpace[(byteAddress - Data->FpgaPageBase) / 4]);
        ClearBridgeError();
    }
    // The lane mask goes back to 0 also when the page was refused, or the next direct write, which
    // leaves the lane register alone, would reach only one byte lane.
    if (Data->LaneSelect)
        StoreBridge(Gen3Registers::LaneEnable, 0);
    return value;
}

void CTVX3Card::WriteDirect(uint32_t wordAddress, uint32_t value)
{
    const uint32_t byteAddress = wordAddress * 4;
    if (SelectFpgaPage(byteAddress))
        Data->FpgaSpace[(byteAddress - Data->FpgaPageBase) / 4] = ToCardEndian(value);
}

// Makes window 0 show the page that holds byteAddress, writing the page register only when the
// page changes. False when the page register does not take the page.
bool CTVX3Card::SelectFpgaPage(uint32_t byteAddress)
{
    const uint32_t pageSize = Data->FpgaPageSize;
    const uint32_t lastWordInPage = Data->FpgaPageBase + pageSize - 4;
    if (Data->FpgaPageKnown && byteAddress >= Data->FpgaPageBase && byteAddress <= lastWordInPage)
        return true;
    Data->FpgaPageBase = pageSize * (byteAddress / pageSize);
    StoreBridge(Gen3Registers::PageRegister, Data->FpgaPageBase);
    Data->FpgaPageKnown = LoadBridge(Gen3Registers::PageRegister) == Data->FpgaPageBase;
    return Data->FpgaPageKnown;
}

// Probes the bus addresses 0x50-0x57 twice; the first pass brings the controller and the bus into
// a known state, the second decides. Exactly one answering address is kept.
void CTVX3Card::RunBusProbe()
{
    Data->ProbeEnabled = true;
    for (uint8_t offset = 0; offset < Gen3Registers::ProbeAddressCount; ++offset)
        static_cast<void>(ProbeAddressAnswers(offset));
    int answered = 0;
    uint8_t answeringOffset = 0;
    for (uint8_t offset = 0; offset < Gen3Registers::ProbeAddressCount; ++offset)
    {
        if (ProbeAddressAnswers(offset))
        {
            ++answered;
            answeringOffset = offset;
        }
    }
    if (answered == 1 && Data->ProbeEnabled)
        Data->ProbeAddress = answeringOffset;
    else
        Data->ProbeEnabled = false;
}

bool CTVX3Card::ProbeAddressAnswers(uint8_t addressOffset)
{
    if (!Data->ProbeEnabled)
        return false;
    if ((LoadRegister(Gen3Registers::ProbeController) & Gen3Registers::ProbeIdle) == 0)
        return false;
    const uint32_t busAddress = Gen3Registers::ProbeFirstBusAddress + addressOffset;
    StoreRegister(Gen3Registers::ProbeController, (busAddress << 16) | Gen3Registers::ProbeStart);
    uint32_t status = 0;
    if (!WaitForProbeController(Gen3Registers::ProbeNoAnswer | Gen3Registers::ProbeIdle, status))
        return false;
    if ((status & Gen3Registers::ProbeNoAnswer) == 0)
        return true;
    StoreRegister(Gen3Registers::ProbeController, Gen3Registers::ProbeRecover);
    static_cast<void>(WaitForProbeController(Gen3Registers::ProbeIdle, status));
    return false;
}

// Polls the probe controller every millisecond until one of the bits is set. A controller that
// does not get there within the limit is stuck: the probe is switched off, so that the remaining
// steps give no answer at once.
bool CTVX3Card::WaitForProbeController(uint32_t anyOfBits, uint32_t& status)
{
    CStopwatch watch;
    for (;;)
    {
        status = LoadRegister(Gen3Registers::ProbeController);
        if ((status & anyOfBits) != 0)
            return true;
        if (watch.ElapsedSeconds() > ProbeWaitLimitSeconds)
        {
            Data->ProbeEnabled = false;
            return false;
        }
        SleepMilliseconds(1);
    }
}

} // namespace Corvane::Common
