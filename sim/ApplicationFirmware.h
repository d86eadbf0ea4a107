#pragma once

#include "EmulatedMicrocontroller.h"

namespace Corvane::Common
{

// The microcontroller's application firmware: its command protocol over the mailbox.
class CApplicationFirmware : public IEmulatedFirmware
{
public:
    CApplicationFirmware(const Gen3CardSettings& settings, BoardMemory& memory);
    bool IsBootLoader() const override { return false; }
    void OnHostByte(uint8_t byte, bool bootChannel, IMicrocontrollerPort& port) override;

private:
    const Gen3CardSettings Settings;
    [[maybe_unused]] BoardMemory& Memory; // for the firmware's commands, still to come
};

} // namespace Corvane::Common
