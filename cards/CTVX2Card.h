#pragma once

#include "cards/BoardLibraryApi.h"
#include "cards/ITVXCard.h"

#include <memory>

namespace Corvane::Common
{

struct TVX2CardData;

// Bit of the flags given to Open of a Gen 2 card; the other bits mean nothing to it.
constexpr uint8_t OPEN_GEN2_ALTERNATE_SPACE_CONFIG = 0x01;

// A Gen 2 card. The tool only inspects these, but the class is a complete card: it can be opened,
// configured and used for FPGA-space access through the library's space pointer.
class CTVX2Card : public ITVXCard
{
public:
    explicit CTVX2Card(uint32_t index);
    ~CTVX2Card() override;

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
    CTVX3Card* AsGen3Card() override { return nullptr; }
    CTVX2Card* AsGen2Card() override { return this; }
    uint8_t GetCardInfoByte() override;
    uint64_t GetBankSize(uint8_t bankIndex) override;

    // The stored card-information record (TVX2_CARD_INFO_SIZE bytes) and FPGA-space information
    // record (TVX2_SPACE_INFO_SIZE bytes); null when the Gen 2 library is missing.
    virtual const uint8_t* GetCardInfo();
    virtual const uint8_t* GetSpaceInfo();
    virtual TvxHandle GetHandle();

private:
    bool CompleteConstruction();
    bool MapControlSpace();
    void InitialiseControl();
    void SendControlCommand(uint32_t command);
    uint32_t ReadControlCommand();
    uint32_t CardInfoField(uint32_t offset) const;
    uint32_t ClockCount() const;

    std::unique_ptr<TVX2CardData> Data; // null when the Gen 2 library is missing
};

} // namespace Corvane::Common
