#pragma once

#include "cards/BoardLibraryApi.h"
#include "cards/IMailboxRegister.h"
#include "cards/ITVXCard.h"

#include <memory>

namespace Corvane::Common
{

struct TVX3CardData;

// Tags that pick one of the two constructors of a Gen 3 card. A card made for inspection is only
// looked at (discovery, model checks); a card made for use is the one the tool works with.
struct CardForInspection
{
};
struct CardForUse
{
};

// Bits of the flags given to Open.
constexpr uint8_t OPEN_INDIRECT_MODE = 0x02; // FPGA space through window-2 command registers
constexpr uint8_t OPEN_BUS_PROBE = 0x04;     // probe the bus controller for one answering address
constexpr uint8_t OPEN_LANE_SELECT = 0x08;   // direct reads enable the byte lane of the word

// A Gen 3 card. The board library opens the card at construction; Open maps its windows. Besides
// the card interface it gives plain 32-bit access to the registers of window 2, which is how the
// microcontroller's mailbox is reached.
class CTVX3Card : public ITVXCard, public IMailboxRegister
{
public:
    CTVX3Card(uint32_t index, CardForInspection);
    CTVX3Card(uint32_t index, CardForUse);
    ~CTVX3Card() override;

    bool Open(uint8_t flags, IConfigSource* source) override;
    double GetClockFrequency(uint32_t clockIndex) override;
    bool SetClockFrequency(uint32_t clockIndex, double frequency) override;
    volatile uint32_t* GetFpgaSpace() override;
    const char* GetModelName() override;
    const wchar_t* GetModelNameW() override;
    const char* GetFpgaName() override;
    const wchar_t* GetFpgaNameW() override;
    uint32_t GetSerialNumber() override;
    int GetCardModel() override;
    uint32_t ReadFpga(uint32_t wordAddress) override;
    void WriteFpga(uint32_t wordAddress, uint32_t value) override;
    bool IsValid() override;
    bool IsOpen() override;
    uint32_t GetIndex() override;
    void SetFpgaBits(uint32_t wordAddress, uint32_t mask) override;
    void ClearFpgaBits(uint32_t wordAddress, uint32_t mask) override;
    CTVX3Card* AsGen3Card() override { return this; }
    CTVX2Card* AsGen2Card() override { return nullptr; }
    uint8_t GetCardInfoByte() override;
    uint64_t GetBankSize(uint8_t bankIndex) override;

    virtual TvxHandle GetHandle();
    // One plain 32-bit load or store of register n (0-511) of window 2; no lock: callers
    // serialise. Before a successful Open, or beyond register 511, a read gives 0 and a write is
    // dropped.
    virtual uint32_t ReadRegister(uint32_t index);
    virtual void WriteRegister(uint32_t index, uint32_t value);
    uint32_t ReadMailboxRegister() override { return ReadRegister(MAILBOX_REGISTER); }
    void WriteMailboxRegister(uint32_t value) override { WriteRegister(MAILBOX_REGISTER, value); }

    // The outcome of the bus probe of Open.
    uint8_t GetProbeAddress() const;
    bool IsProbeEnabled() const;

private:
    CTVX3Card(uint32_t index, bool inspectOnly);

    bool ConfigureFrom(IConfigSource& source);
    bool MapWindow(uint32_t window, uint64_t offset, uint64_t length, volatile uint32_t*& mapping);
    bool MapWindows();
    void ClearBridgeError();
    uint32_t ClockCount() const;
    uint32_t ModelCode() const;

    void RunBusProbe();
    bool ProbeAddressAnswers(uint8_t addressOffset);
    bool WaitForProbeController(uint32_t anyOfBits, uint32_t& status);

    uint32_t ReadIndirect(uint32_t byteAddress);
    void WriteIndirect(uint32_t byteAddress, uint32_t value);
    void WaitForIndirectCompletion(uint32_t completeBits);
    uint32_t ReadDirect(uint32_t wordAddress);
    void WriteDirect(uint32_t wordAddress, uint32_t value);
    bool SelectFpgaPage(uint32_t byteAddress);

    uint32_t LoadRegister(uint32_t index) const;
    void StoreRegister(uint32_t index, uint32_t value);
    uint32_t LoadBridge(uint32_t byteOffset) const;
    void StoreBridge(uint32_t byteOffset, uint32_t value);

    std::unique_ptr<TVX3CardData> Data; // null when the Gen 3 library is missing
};

} // namespace Corvane::Common
