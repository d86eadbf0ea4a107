#include "Gen3Host.h"

#include <cstring>

namespace Corvane::Common
{

namespace
{

CWriteAtUnload<CGen3Host> WriteAtUnload;

SimFailure MapFailure(uint32_t window)
{
    if (window == FPGA_WINDOW)
        return SimFailure::Map0;
    return window == REGISTER_WINDOW ? SimFailure::Map2 : SimFailure::Map3;
}

} // namespace

CGen3Host::CGen3Host() : CSimulatedHost("gen3", &SimConfiguration::Gen3Cards, 0x30001) {}

void CGen3Host::BeforePowerDown()
{
    if (!State.IsOpen())
        return;
    std::map<uint32_t, BoardMemory> memories = State.Saved();
    for (const auto& [index, card] : AllCards())
        memories[index] = card->Microcontroller().MemoryToKeep();
    State.Close(memories);
}

void CGen3Host::AfterPowerUp()
{
    if (StatePath().empty())
        return;
    State.Open(StatePath());
    for (const auto& [index, card] : AllCards())
    {
        const auto saved = State.Saved().find(index);
        if (saved != State.Saved().end())
            card->Microcontroller().RestoreMemory(saved->second);
    }
}

TvxStatus CGen3Host::OpenEx(uint32_t index, uint32_t inspectOnly, TvxHandle* handle)
{
    const TvxStatus status = Open(index, handle);
    if (status == SIM_STATUS_SUCCESS)
        Card(index)->Count(inspectOnly != 0 ? Gen3Counter::InspectionOpens : Gen3Counter::UseOpens);
    return status;
}

void CGen3Host::StoreCardDetails(const Gen3CardSettings& settings, uint8_t* record)
{
    StoreU32(record, TVX3_CARD_INFO_MODEL_CODE, settings.ModelCode);
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
    const uint32_t size = Gen3WindowSize(window);
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

TvxStatus CGen3Host::GetFpgaInfo(TvxHandle handle, uint8_t* record, bool wide)
{
    TvxStatus status = SIM_STATUS_SUCCESS;
    CEmulatedGen3Card* card =
        BeginRecordCall(handle, record, Gen3Counter::FpgaInfoReads, SimFailure::FpgaInfo,
                        SIM_STATUS_FPGA_INFO_FAILED, status);
    if (card == nullptr)
        return status;
    const std::string& name = card->Settings().FpgaName;
    if (wide)
    {
        const std::wstring wideName(name.begin(), name.end()); // device names are ASCII
        std::memset(record, 0, TVX3_FPGA_INFO_W_SIZE);
        std::memcpy(record + TVX3_FPGA_INFO_W_NAME, wideName.c_str(),
                    (wideName.size() + 1) * sizeof(wchar_t));
    }
    else
    {
        std::memset(record, 0, TVX3_FPGA_INFO_A_SIZE);
        std::memcpy(record + TVX3_FPGA_INFO_A_NAME, name.c_str(), name.size() + 1);
    }
    return SIM_STATUS_SUCCESS;
}

TvxStatus CGen3Host::GetBankInfo(TvxHandle handle, uint8_t bank, uint8_t* record)
{
    TvxStatus status = SIM_STATUS_SUCCESS;
    const SimBank* info = FindBank(handle, bank, record, status);
    if (info == nullptr)
        return status;
    const auto width = static_cast<uint16_t>(info->WidthBits);
    std::memset(record, 0, TVX3_BANK_INFO_SIZE);
    std::memcpy(record + TVX3_BANK_INFO_DEPTH, &info->Depth, sizeof info->Depth);
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

} // namespace Corvane::Common
