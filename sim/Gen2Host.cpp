#include "Gen2Host.h"

#include <cstring>

namespace Corvane::Common
{

namespace
{
CWriteAtUnload<CGen2Host> WriteAtUnload;
} // namespace

CGen2Host::CGen2Host() : CSimulatedHost("gen2", &SimConfiguration::Gen2Cards, 0x20001) {}

void CGen2Host::StoreCardDetails(const Gen2CardSettings& settings, uint8_t* record)
{
    StoreU32(record, TVX2_CARD_INFO_CARD_TYPE, settings.CardType);
    StoreU32(record, TVX2_CARD_INFO_FPGA_TYPE, settings.FpgaType);
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

TvxStatus CGen2Host::GetBankInfo(TvxHandle handle, uint8_t bank, uint8_t* record)
{
    TvxStatus status = SIM_STATUS_SUCCESS;
    const SimBank* info = FindBank(handle, bank, record, status);
    if (info == nullptr)
        return status;
    std::memset(record, 0, TVX2_BANK_INFO_SIZE);
    StoreU32(record, TVX2_BANK_INFO_FACTOR_A, static_cast<uint32_t>(info->Depth));
    StoreU32(record, TVX2_BANK_INFO_FACTOR_B, info->WidthBits);
    record[TVX2_BANK_INFO_FITTED] = info->WidthBits != 0 ? 1 : 0;
    return SIM_STATUS_SUCCESS;
}

} // namespace Corvane::Common
