#include "Gen3Host.h"

#include "FaultTrap.h"
#include "SimEnvironment.h"
#include "SimStatus.h"

#include <cstring>

namespace Corvane::Common
{

namespace
{

CGen3Host* TheHost = nullptr;

// Handles are never reused within a process, so a stale handle cannot reach a newer card.
TvxHandle NextHandle = 0x30001;

// Record bytes the library does not define are filled with this, so that a caller reading a field
// at the wrong offset sees a value that stands out.
const uint8_t RecordFiller = 0xA5;

void StoreU32(uint8_t* record, size_t offset, uint32_t value)
{
    std::memcpy(record + offset, &value, sizeof value);
}

uint32_t WindowSize(uint32_t window)
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

SimFailure MapFailure(uint32_t window)
{
    if (window == FPGA_WINDOW)
        return SimFailure::Map0;
    return window == REGISTER_WINDOW ? SimFailure::Map2 : SimFailure::Map3;
}

// Writes the counters to the trace file when the library is unloaded (at the latest when the
// process ends). The host itself is never destroyed, since another thread may still be inside a
// window access while the process winds down.
struct CTraceAtUnload
{
    ~CTraceAtUnload()
    {
        // A thread that died holding the mutex (Windows ends the other threads before it unloads
        // libraries) must not keep the trace from being written.
        std::unique_lock<std::mutex> lock(SimulationMutex(), std::try_to_lock);
        CGen3Host* host = CGen3Host::Existing();
        if (host != nullptr && !host->TracePath().empty())
            AppendTrace(host->TracePath(), host->TraceLines());
    }
} TraceAtUnload;

} // namespace

CGen3Host& CGen3Host::Instance()
{
    if (TheHost == nullptr)
        TheHost = new CGen3Host();
    return *TheHost;
}

CGen3Host* CGen3Host::Existing()
{
    return TheHost;
}

CGen3Host::CGen3Host()
{
    PowerUp(LoadConfigurationFromEnvironment(Error));
}

void CGen3Host::PowerUp(const SimConfiguration& configuration)
{
    CloseAll();
    Configuration = configuration;
    Cards.clear();
    for (const Gen3CardSettings& settings : Configuration.Gen3Cards)
        Cards[settings.Index] = std::make_unique<CEmulatedGen3Card>(settings);
}

void CGen3Host::CloseAll()
{
    for (auto& [handle, session] : Sessions)
        for (void* window : session.Windows)
            RetireTrappedWindow(window);
    Sessions.clear();
}

bool CGen3Host::Configure(const std::string& text)
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

CEmulatedGen3Card* CGen3Host::Card(uint32_t index)
{
    const auto found = Cards.find(index);
    return found == Cards.end() ? nullptr : found->second.get();
}

uint32_t CGen3Host::OpenHandles(uint32_t index) const
{
    uint32_t count = 0;
    for (const auto& [handle, session] : Sessions)
        if (session.Index == index)
            ++count;
    return count;
}

CGen3Host::Session* CGen3Host::FindSession(TvxHandle handle)
{
    const auto found = Sessions.find(handle);
    return found == Sessions.end() ? nullptr : &found->second;
}

CEmulatedGen3Card* CGen3Host::SessionCard(TvxHandle handle)
{
    Session* session = FindSession(handle);
    return session == nullptr ? nullptr : Card(session->Index);
}

TvxStatus CGen3Host::OpenEx(uint32_t index, uint32_t inspectOnly, TvxHandle* handle)
{
    if (handle == nullptr)
        return SIM_STATUS_INVALID_ARGUMENT;
    *handle = 0;
    CEmulatedGen3Card* card = Card(index);
    if (card == nullptr)
        return SIM_STATUS_CARD_NOT_FOUND;
    if (card->Settings().Fails(SimFailure::Open))
    {
        card->Count(Gen3Counter::OpenFailures);
        return SIM_STATUS_OPEN_FAILED;
    }
    *handle = NextHandle++;
    Sessions[*handle] = Session{index, {}};
    card->Count(Gen3Counter::Opens);
    card->Count(inspectOnly != 0 ? Gen3Counter::InspectionOpens : Gen3Counter::UseOpens);
    return SIM_STATUS_SUCCESS;
}

TvxStatus CGen3Host::GetCardInfo(TvxHandle handle, uint8_t* record)
{
    CEmulatedGen3Card* card = SessionCard(handle);
    if (card == nullptr)
        return SIM_STATUS_INVALID_HANDLE;
    if (record == nullptr)
        return SIM_STATUS_INVALID_ARGUMENT;
    card->Count(Gen3Counter::CardInfoReads);
    if (card->Settings().Fails(SimFailure::CardInfo))
        return SIM_STATUS_CARD_INFO_FAILED;
    const Gen3CardSettings& settings = card->Settings();
    std::memset(record, RecordFiller, TVX3_CARD_INFO_SIZE);
    StoreU32(record, TVX3_CARD_INFO_SERIAL, settings.Serial);
    StoreU32(record, TVX3_CARD_INFO_MODEL_CODE, settings.ModelCode);
    StoreU32(record, TVX3_CARD_INFO_CLOCK_COUNT, settings.ClockCount);
    record[TVX3_CARD_INFO_BYTE] = settings.InfoByte;
    return SIM_STATUS_SUCCESS;
}

TvxStatus CGen3Host::ConfigureFromFile(TvxHandle handle, uint32_t flags, const char* path)
{
    CEmulatedGen3Card* card = SessionCard(handle);
    if (card == nullptr)
        return SIM_STATUS_INVALID_HANDLE;
    if (path == nullptr)
        return SIM_STATUS_INVALID_ARGUMENT;
    card->Count(Gen3Counter::Configures);
    card->LastConfigurePath = path;
    card->LastConfigureFlags = flags;
    if (card->Settings().Fails(SimFailure::Configure))
        return SIM_STATUS_CONFIGURE_FAILED;
    return SIM_STATUS_SUCCESS;
}

TvxStatus CGen3Host::MapWindow(TvxHandle handle, uint32_t window, uint64_t offset, uint64_t length,
                               void** pointer)
{
    Session* session = FindSession(handle);
    CEmulatedGen3Card* card = SessionCard(handle);
    if (card == nullptr)
        return SIM_STATUS_INVALID_HANDLE;
    if (pointer == nullptr)
        return SIM_STATUS_INVALID_ARGUMENT;
    *pointer = nullptr;
    const uint32_t size = WindowSize(window);
    if (size == 0 || length == 0 || offset > size || length > size - offset || offset % 4 != 0)
        return SIM_STATUS_INVALID_ARGUMENT;
    if (card->Settings().Fails(MapFailure(window)))
        return SIM_STATUS_MAP_FAILED;
    void* memory = MapTrappedWindow(card->Device(window), static_cast<uint32_t>(offset),
                                    static_cast<uint32_t>(length));
    if (memory == nullptr)
        return SIM_STATUS_OUT_OF_WINDOWS;
    session->Windows.push_back(memory);
    card->Count(Gen3Counter::Maps);
    *pointer = memory;
    return SIM_STATUS_SUCCESS;
}

TvxStatus CGen3Host::SetClockFrequency(TvxHandle handle, uint32_t clock, double frequency,
                                       double* actual)
{
    CEmulatedGen3Card* card = SessionCard(handle);
    if (card == nullptr)
        return SIM_STATUS_INVALID_HANDLE;
    if (actual == nullptr)
        return SIM_STATUS_INVALID_ARGUMENT;
    if (clock >= card->Settings().ClockCount)
        return SIM_STATUS_NO_SUCH_CLOCK;
    if (card->Settings().Fails(SimFailure::Clock))
        return SIM_STATUS_CLOCK_FAILED;
    card->Count(Gen3Counter::ClockSets);
    card->ClockFrequencies[clock] = frequency;
    *actual = frequency; // the emulated synthesizer hits every frequency exactly
    return SIM_STATUS_SUCCESS;
}

TvxStatus CGen3Host::GetFpgaInfoA(TvxHandle handle, uint8_t* record)
{
    CEmulatedGen3Card* card = SessionCard(handle);
    if (card == nullptr)
        return SIM_STATUS_INVALID_HANDLE;
    if (record == nullptr)
        return SIM_STATUS_INVALID_ARGUMENT;
    card->Count(Gen3Counter::FpgaInfoReads);
    if (card->Settings().Fails(SimFailure::FpgaInfo))
        return SIM_STATUS_FPGA_INFO_FAILED;
    const std::string& name = card->Settings().FpgaName;
    std::memset(record, 0, TVX3_FPGA_INFO_A_SIZE);
    std::memcpy(record + TVX3_FPGA_INFO_A_NAME, name.c_str(), name.size() + 1);
    return SIM_STATUS_SUCCESS;
}

TvxStatus CGen3Host::GetFpgaInfoW(TvxHandle handle, uint8_t* record)
{
    CEmulatedGen3Card* card = SessionCard(handle);
    if (card == nullptr)
        return SIM_STATUS_INVALID_HANDLE;
    if (record == nullptr)
        return SIM_STATUS_INVALID_ARGUMENT;
    card->Count(Gen3Counter::FpgaInfoReads);
    if (card->Settings().Fails(SimFailure::FpgaInfo))
        return SIM_STATUS_FPGA_INFO_FAILED;
    const std::string& name = card->Settings().FpgaName;
    const std::wstring wide(name.begin(), name.end()); // device names are ASCII
    std::memset(record, 0, TVX3_FPGA_INFO_W_SIZE);
    std::memcpy(record + TVX3_FPGA_INFO_W_NAME, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    return SIM_STATUS_SUCCESS;
}

TvxStatus CGen3Host::GetBankInfo(TvxHandle handle, uint8_t bank, uint8_t* record)
{
    CEmulatedGen3Card* card = SessionCard(handle);
    if (card == nullptr)
        return SIM_STATUS_INVALID_HANDLE;
    if (record == nullptr)
        return SIM_STATUS_INVALID_ARGUMENT;
    card->Count(Gen3Counter::BankInfoReads);
    if (card->Settings().Fails(SimFailure::Bank))
        return SIM_STATUS_BANK_INFO_FAILED;
    if (bank >= card->Settings().Banks.size())
        return SIM_STATUS_NO_SUCH_BANK;
    const SimBank& info = card->Settings().Banks[bank];
    const auto width = static_cast<uint16_t>(info.WidthBits);
    std::memset(record, 0, TVX3_BANK_INFO_SIZE);
    std::memcpy(record + TVX3_BANK_INFO_DEPTH, &info.Depth, sizeof info.Depth);
    std::memcpy(record + TVX3_BANK_INFO_WIDTH, &width, sizeof width);
    StoreU32(record, TVX3_BANK_INFO_FITTED, width != 0 ? 1 : 0);
    return SIM_STATUS_SUCCESS;
}

TvxStatus CGen3Host::UnmapWindow(TvxHandle handle, void* pointer)
{
    Session* session = FindSession(handle);
    if (session == nullptr)
        return SIM_STATUS_INVALID_HANDLE;
    auto& windows = session->Windows;
    for (auto window = windows.begin(); window != windows.end(); ++window)
        if (*window == pointer)
        {
            RetireTrappedWindow(pointer);
            windows.erase(window);
            Card(session->Index)->Count(Gen3Counter::Unmaps);
            return SIM_STATUS_SUCCESS;
        }
    return SIM_STATUS_NOT_MAPPED;
}

TvxStatus CGen3Host::Close(TvxHandle handle)
{
    Session* session = FindSession(handle);
    if (session == nullptr)
        return SIM_STATUS_INVALID_HANDLE;
    CEmulatedGen3Card* card = Card(session->Index);
    for (void* window : session->Windows)
        RetireTrappedWindow(window);
    Sessions.erase(handle);
    card->Count(Gen3Counter::Closes);
    // The handle is gone either way; an injected failure only changes what the caller is told.
    return card->Settings().Fails(SimFailure::Close) ? SIM_STATUS_CLOSE_FAILED : SIM_STATUS_SUCCESS;
}

std::vector<std::string> CGen3Host::TraceLines() const
{
    std::vector<std::string> lines;
    for (const auto& [index, card] : Cards)
    {
        const std::string prefix = "gen3 " + std::to_string(index) + " ";
        const Gen3CounterValues values = card->CounterValues();
        for (size_t i = 0; i < Gen3CounterCount; ++i)
            lines.push_back(prefix + Gen3CounterNames[i] + " " + std::to_string(values[i]));
        lines.push_back(prefix + "received " + HexBytes(card->Microcontroller().ReceivedBytes()));
    }
    return lines;
}

} // namespace Corvane::Common
