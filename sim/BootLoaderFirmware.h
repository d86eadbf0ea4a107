#pragma once

#include "EmulatedMicrocontroller.h"

#include <vector>

namespace Corvane::Common
{

struct BootLoaderCommandForm;

// The microcontroller's boot loader: its version and the page protocol on the card's flash. A
// command is one letter and its address bytes; a page write carries one page of data and is
// answered with one byte, a page read is answered with one page.
class CBootLoaderFirmware : public IEmulatedFirmware
{
public:
    CBootLoaderFirmware(const Gen3CardSettings& settings, BoardMemory& memory);
    bool IsBootLoader() const override { return true; }
    void OnHostByte(uint8_t byte, bool bootChannel, IMicrocontrollerPort& port) override;
    std::vector<uint8_t> PartialCommand() const override;

private:
    void Carry(const BootLoaderCommandForm& form, IMicrocontrollerPort& port);
    void AnswerVersion(IMicrocontrollerPort& port);
    void WritePage(const BootLoaderCommandForm& form, IMicrocontrollerPort& port);
    void ReadPage(const BootLoaderCommandForm& form, IMicrocontrollerPort& port);
    // The flash address of the command in progress, when the command suits this card.
    bool TargetPage(const BootLoaderCommandForm& form, uint32_t& address) const;

    const Gen3CardSettings Settings;
    BoardMemory& Memory;
    const uint32_t PageSize;
    const BootLoaderCommandForm* Form = nullptr; // the command in progress, if any
    std::vector<uint8_t> Received;               // its bytes so far
    bool Stopped = false;                        // a reply was cut off: nothing more comes
};

} // namespace Corvane::Common
