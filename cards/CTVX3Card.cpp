#include "cards/CTVX3Card.h"

#include "cards/BoardLibraryFunctions.h"
#include "cards/CardEndian.h"
#include "cards/CardNames.h"
#include "cards/FpgaBits.h"
#include "cards/Gen3Registers.h"
#include "cards/TVX3CardData.h"

#include <cstring>

namespace Corvane::Common
{

namespace
{

constexpr size_t NameBufferLength = 512;

// The FPGA-name queries of all Gen 3 cards share these; each call overwrites the last result.
char FpgaNameBuffer[NameBufferLength];
wchar_t FpgaNameBufferW[NameBufferLength];

const char* const FailedFpgaName = "Unknown";
const wchar_t* const FailedFpgaNameW = L"Unknown";

uint32_t ReadU32(const uint8_t* record, size_t offset)
{
    uint32_t value = 0;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

template <typename Char> Char ToLowerAscii(Char c)
{
    return (c >= Char('A') && c <= Char('Z')) ? Char(c - Char('A') + Char('a')) : c;
}

// Copies the terminated text at the start of a record field of fieldBytes bytes, lower-cased,
// stopping at the terminator, at the end of the field or when the buffer is full.
template <typename Char>
const Char* CopyLowerCaseName(const uint8_t* field, size_t fieldBytes,
                              Char (&buffer)[NameBufferLength])
{
    const size_t fieldChars = fieldBytes / sizeof(Char);
    size_t length = 0;
    while (length + 1 < NameBufferLength && length < fieldChars)
    {
        Char c;
        std::memcpy(&c, field + length * sizeof(Char), sizeof c);
        if (c == Char(0))
            break;
        buffer[length++] = ToLowerAscii(c);
    }
    buffer[length] = Char(0);
    return buffer;
}

} // namespace

CTVX3Card::CTVX3Card(uint32_t index, CardForInspection) : CTVX3Card(index, true) {}

CTVX3Card::CTVX3Card(uint32_t index, CardForUse) : CTVX3Card(index, false) {}

CTVX3Card::CTVX3Card(uint32_t index, bool inspectOnly)
{
    const CGen3Library* library = AcquireGen3Library();
    if (library == nullptr)
        return;
    Data = std::make_unique<TVX3CardData>(*library, index);

    TvxHandle handle = 0;
    if (!Succeeded(*library, library->OpenEx(index, inspectOnly ? 1 : 0, 0, &handle)) ||
        handle == 0)
        return;
    if (!Succeeded(*library, library->GetCardInfo(handle, Data->CardInfo)))
    {
        // A half-filled record would give a made-up serial number or model.
        std::memset(Data->CardInfo, 0, sizeof Data->CardInfo);
        Succeeded(*library, library->Close(handle));
        return;
    }
    Data->Handle = handle;
    Data->ClockFrequencies =
        std::make_unique<double[]>(ReadU32(Data->CardInfo, TVX3_CARD_INFO_CLOCK_COUNT));
}

CTVX3Card::~CTVX3Card()
{
    if (Data == nullptr || Data->Handle == 0)
        return;
    const CGen3Library& library = Data->Library;
    for (volatile uint32_t* window : {Data->FpgaSpace, Data->RegisterWindow, Data->BridgeWindow})
    {
        if (window != nullptr)
            library.UnmapWindow(Data->Handle, const_cast<uint32_t*>(window));
    }
    Succeeded(library, library.Close(Data->Handle));
    Data->Handle = 0;
}

bool CTVX3Card::Open(uint8_t flags, IConfigSource* source)
{
    if (Data == nullptr)
        return false;
    Data->IndirectMode = (flags & OPEN_INDIRECT_MODE) != 0;
    Data->LaneSelect = (flags & OPEN_LANE_SELECT) != 0;
    if (Data->Handle == 0)
        return false;
    if (source != nullptr && !ConfigureFrom(*source))
        return false;
    if (!MapWindows())
        return false;
    ClearBridgeError();
    StoreBridge(Gen3Registers::PageRegister, 0);
    if (Data->IndirectMode)
    {
        // The first read wakes the indirect engine; its value means nothing.
        static_cast<void>(LoadRegister(0));
        StoreRegister(Gen3Registers::IndirectCommand, Gen3Registers::IndirectEnable);
    }
    if ((flags & OPEN_BUS_PROBE) != 0)
        RunBusProbe();
    else
        Data->ProbeEnabled = false;
    Data->Opened = true;
    return true;
}

bool CTVX3Card::ConfigureFrom(IConfigSource& source)
{
    const char* path = source.GetConfigFile(*this);
    if (!source.ShouldConfigure(*this))
        return false;
    const uint32_t configureFlags = Data->IndirectMode ? 2 : 0;
    const CGen3Library& library = Data->Library;
    return Succeeded(library, library.ConfigureFromFileA(Data->Handle, 0, configureFlags,
                                                         path != nullptr ? path : ""));
}

bool CTVX3Card::MapWindow(uint32_t window, uint64_t offset, uint64_t length,
                          volatile uint32_t*& mapping)
{
    void* pointer = nullptr;
    const CGen3Library& library = Data->Library;
    if (!Succeeded(library, library.MapWindow(Data->Handle, window, offset, length, &pointer)))
        return false;
    mapping = static_cast<volatile uint32_t*>(pointer);
    return pointer != nullptr;
}

bool CTVX3Card::MapWindows()
{
    // In indirect mode the FPGA space is reached through window 2, so window 0 is not needed.
    if (!Data->IndirectMode && !MapWindow(Gen3Registers::FpgaWindow, Data->FpgaPageBase,
                                          Data->FpgaPageSize, Data->FpgaSpace))
        return false;
    return MapWindow(Gen3Registers::RegisterWindow, 0, Gen3Registers::RegisterWindowLength,
                     Data->RegisterWindow) &&
           MapWindow(Gen3Registers::BridgeWindow, 0, Gen3Registers::BridgeWindowLength,
                     Data->BridgeWindow);
}

void CTVX3Card::ClearBridgeError()
{
    if ((LoadBridge(Gen3Registers::BridgeStatus) & Gen3Registers::BridgeStatusError) != 0)
        StoreBridge(Gen3Registers::BridgeStatus, Gen3Registers::BridgeStatusClear);
}

double CTVX3Card::GetClockFrequency(uint32_t clockIndex)
{
    if (Data == nullptr || !Data->Opened || clockIndex >= ClockCount())
        return 0.0;
    return Data->ClockFrequencies[clockIndex];
}

bool CTVX3Card::SetClockFrequency(uint32_t clockIndex, double frequency)
{
    if (!IsValid() || clockIndex >= ClockCount())
        return false;
    const CGen3Library& library = Data->Library;
    return Succeeded(library, library.SetClockFrequency(Data->Handle, clockIndex, 0, frequency,
                                                        &Data->ClockFrequencies[clockIndex]));
}

uint32_t CTVX3Card::ClockCount() const
{
    if (Data == nullptr || Data->ClockFrequencies == nullptr)
        return 0;
    return ReadU32(Data->CardInfo, TVX3_CARD_INFO_CLOCK_COUNT);
}

volatile uint32_t* CTVX3Card::GetFpgaSpace()
{
    return IsOpen() ? Data->FpgaSpace : nullptr;
}

const char* CTVX3Card::GetModelName()
{
    return Data == nullptr ? "" : Gen3ModelName(ModelCode());
}

const wchar_t* CTVX3Card::GetModelNameW()
{
    return Data == nullptr ? L"" : Gen3ModelNameW(ModelCode());
}

const char* CTVX3Card::GetFpgaName()
{
    if (Data == nullptr)
        return "";
    alignas(8) uint8_t record[TVX3_FPGA_INFO_A_SIZE] = {};
    if (Data->Handle == 0 || Data->Library.GetFpgaInfoA(Data->Handle, 0, record) != 0)
        return FailedFpgaName;
    return CopyLowerCaseName(record + TVX3_FPGA_INFO_A_NAME,
                             TVX3_FPGA_INFO_A_SIZE - TVX3_FPGA_INFO_A_NAME, FpgaNameBuffer);
}

const wchar_t* CTVX3Card::GetFpgaNameW()
{
    if (Data == nullptr)
        return L"";
    alignas(8) uint8_t record[TVX3_FPGA_INFO_W_SIZE] = {};
    if (Data->Handle == 0 || Data->Library.GetFpgaInfoW(Data->Handle, 0, record) != 0)
        return FailedFpgaNameW;
    return CopyLowerCaseName(record + TVX3_FPGA_INFO_W_NAME,
                             TVX3_FPGA_INFO_W_SIZE - TVX3_FPGA_INFO_W_NAME, FpgaNameBufferW);
}

uint32_t CTVX3Card::GetSerialNumber()
{
    return Data == nullptr ? 0 : ReadU32(Data->CardInfo, TVX3_CARD_INFO_SERIAL);
}

uint32_t CTVX3Card::ModelCode() const
{
    return ReadU32(Data->CardInfo, TVX3_CARD_INFO_MODEL_CODE);
}

int CTVX3Card::GetCardModel()
{
    return Data == nullptr ? MODEL_GEN3_UNKNOWN : Gen3ModelNumber(ModelCode());
}

bool CTVX3Card::IsValid()
{
    return Data != nullptr && Data->Handle != 0;
}

bool CTVX3Card::IsOpen()
{
    return Data != nullptr && Data->Opened;
}

uint32_t CTVX3Card::GetIndex()
{
    return Data == nullptr ? 0 : Data->Index;
}

void CTVX3Card::SetFpgaBits(uint32_t wordAddress, uint32_t mask)
{
    SetFpgaWordBits(*this, wordAddress, mask);
}

void CTVX3Card::ClearFpgaBits(uint32_t wordAddress, uint32_t mask)
{
    ClearFpgaWordBits(*this, wordAddress, mask);
}

uint8_t CTVX3Card::GetCardInfoByte()
{
    return Data == nullptr ? 0 : Data->CardInfo[TVX3_CARD_INFO_BYTE];
}

uint64_t CTVX3Card::GetBankSize(uint8_t bankIndex)
{
    if (!IsValid())
        return 0;
    alignas(8) uint8_t record[TVX3_BANK_INFO_SIZE] = {};
    if (Data->Library.GetBankInfo(Data->Handle, bankIndex, record) != 0 ||
        ReadU32(record, TVX3_BANK_INFO_FITTED) == 0)
        return 0;
    uint64_t depth = 0;
    uint16_t widthBits = 0;
    std::memcpy(&depth, record + TVX3_BANK_INFO_DEPTH, sizeof depth);
    std::memcpy(&widthBits, record + TVX3_BANK_INFO_WIDTH, sizeof widthBits);
    return depth * widthBits / 8;
}

TvxHandle CTVX3Card::GetHandle()
{
    return Data == nullptr ? 0 : Data->Handle;
}

uint32_t CTVX3Card::ReadRegister(uint32_t index)
{
    if (Data == nullptr || Data->RegisterWindow == nullptr || index >= Gen3Registers::RegisterCount)
        return 0;
    return LoadRegister(index);
}

void CTVX3Card::WriteRegister(uint32_t index, uint32_t value)
{
    if (Data == nullptr || Data->RegisterWindow == nullptr || index >= Gen3Registers::RegisterCount)
        return;
    StoreRegister(index, value);
}

uint8_t CTVX3Card::GetProbeAddress() const
{
    return Data == nullptr ? 0 : Data->ProbeAddress;
}

bool CTVX3Card::IsProbeEnabled() const
{
    return Data != nullptr && Data->ProbeEnabled;
}

// The raw accesses below are single volatile 32-bit loads and stores of a mapped window, which is
// what the card's registers need; callers have checked that the window is mapped.

uint32_t CTVX3Card::LoadRegister(uint32_t index) const
{
    return ToCardEndian(Data->RegisterWindow[index]);
}

void CTVX3Card::StoreRegister(uint32_t index, uint32_t value)
{
    Data->RegisterWindow[index] = ToCardEndian(value);
}

uint32_t CTVX3Card::LoadBridge(uint32_t byteOffset) const
{
    return ToCardEndian(Data->BridgeWindow[byteOffset / 4]);
}

void CTVX3Card::StoreBridge(uint32_t byteOffset, uint32_t value)
{
    Data->BridgeWindow[byteOffset / 4] = ToCardEndian(value);
}

} // namespace Corvane::Common
