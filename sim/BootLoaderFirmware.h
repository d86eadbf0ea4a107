#pragma once

#include "EmulatedMicrocontroller.h"

namespace Corvane::Common
{

// The microcontroller's boot loader: its version and the page protocol on the card's flash.
class CBootLoaderFirmware : public IEmulatedFirmware
{
public:
    CBootLoaderFirmware(const Gen3CardSettings& settings, BoardMemory& memory);
    bool IsBootLoader() const override { return true; }
    void OnHostByte(uint8_t byte, bool bootChannel, IMicrocontrollerPort& port) override;

private:
    const Gen3CardSettings Settings;
    [[maybe_unused]] BoardMemory& Memory;
};

} // namespace Corvane::Common
