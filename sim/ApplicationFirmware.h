#pragma once

#include "EmulatedMicrocontroller.h"

#include <array>
#include <vector>

namespace Corvane::Common
{

// The microcontroller's application firmware: it finds its commands (two letters and a mode
// character) in whatever the host sends, takes their fixed arguments and answers with a reply of
// two letters, a marker and a fixed payload. Text it does not know is taken and not answered.
class CApplicationFirmware : public IEmulatedFirmware
{
public:
    CApplicationFirmware(const Gen3CardSettings& settings, BoardMemory& memory);
    bool IsBootLoader() const override { return false; }
    void OnHostByte(uint8_t byte, bool bootChannel, IMicrocontrollerPort& port) override;
    std::vector<uint8_t> PartialCommand() const override;
    void OnHostRead(IMicrocontrollerPort& port) override;

    struct Command;

private:
    void EchoLoopBackByte(uint8_t byte, IMicrocontrollerPort& port);
    void Execute(const Command& command, IMicrocontrollerPort& port);
    void Reply(const char* header, const std::vector<uint8_t>& payload, IMicrocontrollerPort& port);

    std::vector<uint8_t> I2cRead() const;
    void I2cWrite();
    std::vector<uint8_t> Frequency(bool set);
    std::vector<uint8_t> StatusRecord(size_t size) const;
    bool AccessCodeMatches() const;

    const Gen3CardSettings Settings;
    BoardMemory& Memory;

    // The last three bytes outside a command, where the next command header is looked for.
    std::array<uint8_t, 3> Recent{};
    const Command* Current = nullptr;
    std::vector<uint8_t> Arguments;
    uint32_t LoopBackSent = 0; // bytes of the loop-back block echoed so far
    bool InLoopBack = false;
    uint8_t Bus = 0;
    std::array<uint32_t, 4> MultisynthHertz{100000000, 125000000, 156250000, 200000000};
    bool Stopped = false; // a reply was cut off: nothing more comes
    uint32_t ReadsSinceChatter = 0;
};

} // namespace Corvane::Common
