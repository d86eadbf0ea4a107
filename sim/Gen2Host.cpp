#include "Gen2Host.h"

#include "FaultTrap.h"
#include "SimEnvironment.h"
#include "SimStatus.h"

#include <cstdio>
#include <cstring>

namespace Corvane::Common
{

namespace
{

CGen2Host* TheHost = nullptr;
TvxHandle NextHandle = 0x20001;    // never reused within a process
const uint8_t RecordFiller = 0xA5; // bytes the library does not define

void StoreU32(uint8_t* record, size_t offset, uint32_t value)
{
    std::memcpy(record + offset, &value, sizeof value);
}

struct CTraceAtUnload
{
    ~CTraceAtUnload()
    {
        std::unique_lock<std::mutex> lock(SimulationMutex(), std::try_to_lock);
        CGen2Host* host = CGen2Host::Existing();
        if (host != nullptr && !host->TracePath().empty())
            AppendTrace(host->TracePath(), host->TraceLines());
    }
} TraceAtUnload;

} // namespace

CGen2Host& CGen2Host::Instance()
{
    if (TheHost == nullptr)
        TheHost = new CGen2Host();
    return *TheHost;
}

CGen2Host* CGen2Host::Existing()
{
    return TheHost;
}

CGen2Host::CGen2Host()
{
    PowerUp(LoadConfigurationFromEnvironment(Error));
}

void CGen2Host::PowerUp(const SimConfiguration& configuration)
{
    Sessions.clear();
    Configuration = configuration;
    Cards.clear();
    for (const Gen2CardSettings& settings : Configuration.Gen2Cards)
        Cards[settings.Index] = std::make_unique<CEmulatedGen2Card>(settings);
}

bool CGen2Host::Configure(const std::string& text)
{
    SimConfiguration configuration;
    std::string error;
    if (!ParseSimConfiguration(text, "configuration text", configuration, error))
    {
        Error = error;
        return false;
    }
    Error.clear();
    PowerUp(configuration);
    return true;
}

CEmulatedGen2Card* CGen2Host::Card(uint32_t index)
{
    const auto found = Cards.find(index);
    return found == Cards.end() ? nullptr : found->second.get();
}

uint32_t CGen2Host::OpenHandles(uint32_t index) const
{
    uint32_t count = 0;
    for (const auto& [handle, cardIndex] : Sessions)
        if (cardIndex == index)
            ++count;
    return count;
}

CEmulatedGen2Card* CGen2Host::SessionCard(TvxHandle handle)
{
    const auto found = Sessions.find(handle);
    return found == Sessions.end() ? nullptr : Card(found->second);
}

TvxStatus CGen2Host::OpenCardByIndex(uint32_t index, TvxHandle* handle)
{
    if (handle == nullptr)
        return SIM_STATUS_INVALID_ARGUMENT;
    *handle = 0;
    CEmulatedGen2Card* card = Card(index);
    if (card == nullptr)
        return SIM_STATUS_CARD_NOT_FOUND;
    if (card->Settings().Fails(SimFailure::Open))
    {
        card->Count(Gen2Counter::OpenFailures);
        return SIM_STATUS_OPEN_FAILED;
    }
    *handle = NextHandle++;
    Sessions[*handle] = index;
    card->Count(Gen2Counter::Opens);
    return SIM_STATUS_SUCCESS;
}

TvxStatus CGen2Host::GetCardInfo(TvxHandle handle, uint8_t* record)
{
    CEmulatedGen2Card* card = SessionCard(handle);
    if (card == nullptr)
        return SIM_STATUS_INVALID_HANDLE;
    if (record == nullptr)
        return SIM_STATUS_INVALID_ARGUMENT;
    card->Count(Gen2Counter::CardInfoReads);
    if (card->Settings().Fails(SimFailure::CardInfo))
        return SIM_STATUS_CARD_INFO_FAILED;
    const Gen2CardSettings& settings = card->Settings();
    std::memset(record, RecordFiller, TVX2_CARD_INFO_SIZE);
    StoreU32(record, TVX2_CARD_INFO_SERIAL, settings.Serial);
    StoreU32(record, TVX2_CARD_INFO_CARD_TYPE, settings.CardType);
    StoreU32(record, TVX2_CARD_INFO_FPGA_TYPE, settings.FpgaType);
    StoreU32(record, TVX2_CARD_INFO_CLOCK_COUNT, settings.ClockCount);
    record[TVX2_CARD_INFO_BYTE] = settings.InfoByte;
    return SIM_STATUS_SUCCESS;
}

TvxStatus CGen2Host::GetSpaceInfo(TvxHandle handle, uint32_t space, uint8_t* record)
{
    CEmulatedGen2Card* card = SessionCard(handle);
    if (card == nullptr)
        return SIM_STATUS_INVALID_HANDLE;
    if (record == nullptr || space > TVX2_SPACE_CONTROL)
        return SIM_STATUS_INVALID_ARGUMENT;
    card->Count(Gen2Counter::SpaceInfoReads);
    const bool control = space == TVX2_SPACE_CONTROL;
    if (card->Settings().Fails(control ? SimFailure::ControlSpace : SimFailure::FpgaSpace))
        return SIM_STATUS_SPACE_FAILED;
    void* pointer = control ? card->ControlSpacePointer() : card->FpgaSpacePointer();
    if (pointer == nullptr)
        return SIM_STATUS_OUT_OF_WINDOWS;
    const uint32_t size = control ? CONTROL_SPACE_SIZE : card->Settings().FpgaSpaceBytes;
    std::memset(record, 0, TVX2_SPACE_INFO_SIZE);
    std::memcpy(record + TVX2_SPACE_INFO_POINTER, &pointer, sizeof pointer);
    StoreU32(record, TVX2_SPACE_INFO_POINTER + sizeof pointer, size);
    return SIM_STATUS_SUCCESS;
}

TvxStatus CGen2Host::SetSpaceConfig(TvxHandle handle, uint32_t space, uint32_t config)
{
    CEmulatedGen2Card* card = SessionCard(handle);
    if (card == nullptr)
        return SIM_STATUS_INVALID_HANDLE;
    if (space > TVX2_SPACE_CONTROL)
        return SIM_STATUS_INVALID_ARGUMENT;
    card->Count(Gen2Counter::SpaceConfigs);
    if (card->Settings().Fails(SimFailure::SpaceConfig))
        return SIM_STATUS_SPACE_CONFIG_FAILED;
    card->SpaceConfigs[space] = config;
    return SIM_STATUS_SUCCESS;
}

TvxStatus CGen2Host::ConfigureFromFile(TvxHandle handle, const char* path)
{
    CEmulatedGen2Card* card = SessionCard(handle);
    if (card == nullptr)
        return SIM_STATUS_INVALID_HANDLE;
    if (path == nullptr)
        return SIM_STATUS_INVALID_ARGUMENT;
    card->Count(Gen2Counter::Configures);
    card->LastConfigurePath = path;
    return card->Settings().Fails(SimFailure::Configure) ? SIM_STATUS_CONFIGURE_FAILED
                                                         : SIM_STATUS_SUCCESS;
}

TvxStatus CGen2Host::SetClockRate(TvxHandle handle, uint32_t clock, double frequency,
                                  double* actual)
{
    CEmulatedGen2Card* card = SessionCard(handle);
    if (card == nullptr)
        return SIM_STATUS_INVALID_HANDLE;
    if (actual == nullptr)
        return SIM_STATUS_INVALID_ARGUMENT;
    if (clock >= card->Settings().ClockCount)
        return SIM_STATUS_NO_SUCH_CLOCK;
    if (card->Settings().Fails(SimFailure::Clock))
        return SIM_STATUS_CLOCK_FAILED;
    card->Count(Gen2Counter::ClockSets);
    card->ClockFrequencies[clock] = frequency;
    *actual = frequency;
    return SIM_STATUS_SUCCESS;
}

TvxStatus CGen2Host::GetBankInfo(TvxHandle handle, uint8_t bank, uint8_t* record)
{
    CEmulatedGen2Card* card = SessionCard(handle);
    if (card == nullptr)
        return SIM_STATUS_INVALID_HANDLE;
    if (record == nullptr)
        return SIM_STATUS_INVALID_ARGUMENT;
    card->Count(Gen2Counter::BankInfoReads);
    if (card->Settings().Fails(SimFailure::Bank))
        return SIM_STATUS_BANK_INFO_FAILED;
    if (bank >= card->Settings().Banks.size())
        return SIM_STATUS_NO_SUCH_BANK;
    const SimBank& info = card->Settings().Banks[bank];
    std::memset(record, 0, TVX2_BANK_INFO_SIZE);
    StoreU32(record, TVX2_BANK_INFO_FACTOR_A, static_cast<uint32_t>(info.Depth));
    StoreU32(record, TVX2_BANK_INFO_FACTOR_B, info.WidthBits);
    record[TVX2_BANK_INFO_FITTED] = info.WidthBits != 0 ? 1 : 0;
    return SIM_STATUS_SUCCESS;
}

TvxStatus CGen2Host::CloseCard(TvxHandle handle)
{
    CEmulatedGen2Card* card = SessionCard(handle);
    if (card == nullptr)
        return SIM_STATUS_INVALID_HANDLE;
    Sessions.erase(handle);
    card->Count(Gen2Counter::Closes);
    return card->Settings().Fails(SimFailure::Close) ? SIM_STATUS_CLOSE_FAILED : SIM_STATUS_SUCCESS;
}

std::vector<std::string> CGen2Host::TraceLines() const
{
    std::vector<std::string> lines;
    char word[16];
    for (const auto& [index, card] : Cards)
    {
        const std::string prefix = "gen2 " + std::to_string(index) + " ";
        const Gen2CounterValues& values = card->CounterValues();
        for (size_t i = 0; i < Gen2CounterCount; ++i)
            lines.push_back(prefix + Gen2CounterNames[i] + " " + std::to_string(values[i]));
        std::string words = prefix + "control_words";
        for (uint32_t value : card->ControlWords())
        {
            std::snprintf(word, sizeof word, " 0x%08x", value);
            words += word;
        }
        lines.push_back(words);
    }
    return lines;
}

} // namespace Corvane::Common
