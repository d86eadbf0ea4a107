#include "cards/CTVX2Card.h"

#include "cards/BoardLibraryFunctions.h"
#include "cards/CardEndian.h"
#include "cards/CardNames.h"
#include "cards/FpgaBits.h"
#include "platform/Time.h"

#include <cstring>

namespace Corvane::Common
{

struct TVX2CardData
{
    TVX2CardData(const CGen2Library& library, uint32_t index) : Library(library), Index(index) {}

    const CGen2Library& Library;
    uint32_t Index;
    volatile uint32_t* FpgaSpace = nullptr;    // space 0, set by Open
    volatile uint32_t* ControlSpace = nullptr; // space 1, for the card types that have one
    TvxHandle Handle = 0;
    uint8_t CardInfo[TVX2_CARD_INFO_SIZE] = {};
    uint8_t FpgaSpaceInfo[TVX2_SPACE_INFO_SIZE] = {};
    uint8_t ControlSpaceInfo[TVX2_SPACE_INFO_SIZE] = {};
    bool Opened = false;
    bool HasControlSpace = false;
    std::unique_ptr<double[]> ClockFrequencies; // null when construction did not complete
};

namespace
{

constexpr uint32_t SpaceConfigDefault = 0x37;
constexpr uint32_t SpaceConfigAlternate = 0x39;

// The control command register is the word at byte 0x400 of the control space.
constexpr uint32_t ControlCommandWord = 0x400 / 4;
constexpr uint32_t ControlBusy = 0x10000000;
constexpr int ControlSettleReads = 10;

// The two initialisation sequences of the control command register, by card type.
const uint32_t EarlyControlSequence[] = {0x00034080, 0x00031603, 0x00034001, 0x00040000};
const uint32_t LateControlSequence[] = {0x132D4080, 0x032D1603, 0x032D4001, 0x042D0000};

bool HasControlSpaceType(uint32_t cardType)
{
    return (cardType >= 9 && cardType <= 16) || cardType == 19;
}

bool UsesEarlyControlSequence(uint32_t cardType)
{
    return cardType >= 9 && cardType <= 12;
}

// These early types want a read of the control space before their first command.
bool NeedsControlWakeUpRead(uint32_t cardType)
{
    return cardType >= 9 && cardType <= 11;
}

uint32_t ReadU32(const uint8_t* record, size_t offset)
{
    uint32_t value = 0;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

volatile uint32_t* SpacePointer(const uint8_t* spaceInfo)
{
    void* pointer = nullptr;
    std::memcpy(&pointer, spaceInfo + TVX2_SPACE_INFO_POINTER, sizeof pointer);
    return static_cast<volatile uint32_t*>(pointer);
}

} // namespace

CTVX2Card::CTVX2Card(uint32_t index)
{
    const CGen2Library* library = AcquireGen2Library();
    if (library == nullptr)
        return;
    Data = std::make_unique<TVX2CardData>(*library, index);
    if (CompleteConstruction())
        Data->ClockFrequencies =
            std::make_unique<double[]>(CardInfoField(TVX2_CARD_INFO_CLOCK_COUNT));
}

// The steps of construction after the library is found; false when one of them failed. The card
// stays held from a successful library open on, whatever fails later.
bool CTVX2Card::CompleteConstruction()
{
    const CGen2Library& library = Data->Library;
    TvxHandle handle = 0;
    if (!Succeeded(library, library.OpenCardByIndex(Data->Index, &handle)) || handle == 0)
        return false;
    Data->Handle = handle;
    if (!Succeeded(library, library.GetCardInfo(handle, Data->CardInfo)))
    {
        // The record must read as zero-filled after a failed query.
        std::memset(Data->CardInfo, 0, sizeof Data->CardInfo);
        return false;
    }
    Data->HasControlSpace = HasControlSpaceType(CardInfoField(TVX2_CARD_INFO_CARD_TYPE));
    if (!Data->HasControlSpace)
        return true;
    if (!MapControlSpace())
        return false;
    InitialiseControl();
    return true;
}

bool CTVX2Card::MapControlSpace()
{
    const CGen2Library& library = Data->Library;
    if (!Succeeded(library,
                   library.GetSpaceInfo(Data->Handle, TVX2_SPACE_CONTROL, Data->ControlSpaceInfo)))
        return false;
    Data->ControlSpace = SpacePointer(Data->ControlSpaceInfo);
    return Data->ControlSpace != nullptr;
}

// The values read back during initialisation only pace the card; nothing depends on them.
void CTVX2Card::InitialiseControl()
{
    const uint32_t cardType = CardInfoField(TVX2_CARD_INFO_CARD_TYPE);
    if (NeedsControlWakeUpRead(cardType))
        static_cast<void>(ToCardEndian(Data->ControlSpace[0]));
    if (UsesEarlyControlSequence(cardType))
    {
        for (uint32_t command : EarlyControlSequence)
            SendControlCommand(command);
        return;
    }
    SendControlCommand(LateControlSequence[0]);
    static_cast<void>(ReadControlCommand());
    if ((ReadControlCommand() & ControlBusy) != 0)
        static_cast<void>(ReadControlCommand());
    for (size_t step = 1; step < sizeof LateControlSequence / sizeof LateControlSequence[0]; ++step)
        SendControlCommand(LateControlSequence[step]);
    for (int read = 0; read < ControlSettleReads; ++read)
    {
        static_cast<void>(ReadControlCommand());
        SleepMilliseconds(1);
    }
}

void CTVX2Card::SendControlCommand(uint32_t command)
{
    Data->ControlSpace[ControlCommandWord] = ToCardEndian(command);
    SleepMilliseconds(1);
}

uint32_t CTVX2Card::ReadControlCommand()
{
    return ToCardEndian(Data->ControlSpace[ControlCommandWord]);
}

uint32_t CTVX2Card::CardInfoField(uint32_t offset) const
{
    return ReadU32(Data->CardInfo, offset);
}

CTVX2Card::~CTVX2Card()
{
    // The library's spaces belong to the library; closing the card is all that is ours to do.
    if (Data == nullptr || Data->Handle == 0)
        return;
    Succeeded(Data->Library, Data->Library.CloseCard(Data->Handle));
    Data->Handle = 0;
}

bool CTVX2Card::Open(uint8_t flags, IConfigSource* source)
{
    if (!IsValid())
        return false;
    const CGen2Library& library = Data->Library;
    const uint32_t spaceConfig =
        (flags & OPEN_GEN2_ALTERNATE_SPACE_CONFIG) != 0 ? SpaceConfigAlternate : SpaceConfigDefault;
    if (!Succeeded(library, library.SetSpaceConfig(Data->Handle, TVX2_SPACE_FPGA, spaceConfig)))
        return false;
    if (source != nullptr)
    {
        const char* path = source->GetConfigFile(*this);
        if (!source->ShouldConfigure(*this))
            return false;
        if (!Succeeded(library,
                       library.ConfigureFromFile(Data->Handle, path != nullptr ? path : "")))
            return false;
    }
    if (!Succeeded(library,
                   library.GetSpaceInfo(Data->Handle, TVX2_SPACE_FPGA, Data->FpgaSpaceInfo)))
        return false;
    Data->FpgaSpace = SpacePointer(Data->FpgaSpaceInfo);
    if (Data->FpgaSpace == nullptr)
        return false;
    Data->Opened = true;
    return true;
}

double CTVX2Card::GetClockFrequency(uint32_t clockIndex)
{
    if (!IsOpen() || clockIndex >= ClockCount())
        return 0.0;
    return Data->ClockFrequencies[clockIndex];
}

bool CTVX2Card::SetClockFrequency(uint32_t clockIndex, double frequency)
{
    if (!IsValid() || clockIndex >= ClockCount())
        return false;
    const CGen2Library& library = Data->Library;
    return Succeeded(library, library.SetClockRate(Data->Handle, clockIndex, frequency,
                                                   &Data->ClockFrequencies[clockIndex]));
}

uint32_t CTVX2Card::ClockCount() const
{
    if (Data == nullptr || Data->ClockFrequencies == nullptr)
        return 0;
    return CardInfoField(TVX2_CARD_INFO_CLOCK_COUNT);
}

volatile uint32_t* CTVX2Card::GetFpgaSpace()
{
    return IsOpen() ? Data->FpgaSpace : nullptr;
}

const char* CTVX2Card::GetModelName()
{
    return Data == nullptr ? "" : Gen2ModelName(CardInfoField(TVX2_CARD_INFO_CARD_TYPE));
}

const wchar_t* CTVX2Card::GetModelNameW()
{
    return Data == nullptr ? L"" : Gen2ModelNameW(CardInfoField(TVX2_CARD_INFO_CARD_TYPE));
}

const char* CTVX2Card::GetFpgaName()
{
    return Data == nullptr ? "" : Gen2FpgaName(CardInfoField(TVX2_CARD_INFO_FPGA_TYPE));
}

const wchar_t* CTVX2Card::GetFpgaNameW()
{
    return Data == nullptr ? L"" : Gen2FpgaNameW(CardInfoField(TVX2_CARD_INFO_FPGA_TYPE));
}

uint32_t CTVX2Card::GetSerialNumber()
{
    return Data == nullptr ? 0 : CardInfoField(TVX2_CARD_INFO_SERIAL);
}

int CTVX2Card::GetCardModel()
{
    return Data == nullptr ? MODEL_GEN2_UNKNOWN
                           : Gen2ModelNumber(CardInfoField(TVX2_CARD_INFO_CARD_TYPE));
}

uint32_t CTVX2Card::ReadFpga(uint32_t wordAddress)
{
    if (!IsOpen())
        return 0;
    return ToCardEndian(Data->FpgaSpace[wordAddress]);
}

void CTVX2Card::WriteFpga(uint32_t wordAddress, uint32_t value)
{
    if (IsOpen())
        Data->FpgaSpace[wordAddress] = ToCardEndian(value);
}

bool CTVX2Card::IsValid()
{
    return Data != nullptr && Data->Handle != 0;
}

bool CTVX2Card::IsOpen()
{
    return Data != nullptr && Data->Opened;
}

uint32_t CTVX2Card::GetIndex()
{
    return Data == nullptr ? 0 : Data->Index;
}

void CTVX2Card::SetFpgaBits(uint32_t wordAddress, uint32_t mask)
{
    SetFpgaWordBits(*this, wordAddress, mask);
}

void CTVX2Card::ClearFpgaBits(uint32_t wordAddress, uint32_t mask)
{
    ClearFpgaWordBits(*this, wordAddress, mask);
}

uint8_t CTVX2Card::GetCardInfoByte()
{
    return Data == nullptr ? 0 : Data->CardInfo[TVX2_CARD_INFO_BYTE];
}

// The product is taken in 64 bits: a bank of 512 MiB or more would wrap to a wrong size in 32.
uint64_t CTVX2Card::GetBankSize(uint8_t bankIndex)
{
    if (!IsValid())
        return 0;
    alignas(8) uint8_t record[TVX2_BANK_INFO_SIZE] = {};
    if (!Succeeded(Data->Library, Data->Library.GetBankInfo(Data->Handle, bankIndex, record)) ||
        record[TVX2_BANK_INFO_FITTED] == 0)
        return 0;
    const uint64_t factorA = ReadU32(record, TVX2_BANK_INFO_FACTOR_A);
    const uint64_t factorB = ReadU32(record, TVX2_BANK_INFO_FACTOR_B);
    return factorA * factorB / 8;
}

const uint8_t* CTVX2Card::GetCardInfo()
{
    return Data == nullptr ? nullptr : Data->CardInfo;
}

const uint8_t* CTVX2Card::GetSpaceInfo()
{
    return Data == nullptr ? nullptr : Data->FpgaSpaceInfo;
}

TvxHandle CTVX2Card::GetHandle()
{
    return Data == nullptr ? 0 : Data->Handle;
}

} // namespace Corvane::Common
