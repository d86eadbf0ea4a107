#pragma once

#include "EmulatedCard.h"
#include "FaultTrap.h"
#include "SimConfiguration.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace Corvane::Common
{

// The spaces of a Gen 2 card and the size of the control space in bytes.
constexpr uint32_t FPGA_SPACE = 0;
constexpr uint32_t CONTROL_SPACE = 1;
constexpr uint32_t CONTROL_SPACE_SIZE = 0x1000;

// Counters of a Gen 2 card, in the order of Gen2CounterNames.
enum class Gen2Counter : size_t
{
    Opens,
    OpenFailures,
    Closes,
    CardInfoReads,
    SpaceInfoReads,
    SpaceConfigs,
    Configures,
    ClockSets,
    BankInfoReads,
    ControlReads,
    ControlWrites,
    ControlWord0Reads,
    ControlCommandWrites,
    ControlCommandReads,
    Count
};

extern const char* const Gen2CounterNames[];
using CEmulatedGen2CardBase = CEmulatedCard<Gen2CardSettings, Gen2Counter, Gen2CounterNames>;

// One emulated Gen 2 card. Its FPGA space (space 0) is plain host memory; its control space
// (space 1) is a trapped window, so that the control command register can record every command
// word written to it and report a busy bit for a few reads. Callers hold SimulationMutex.
class CEmulatedGen2Card : public CEmulatedGen2CardBase, public ITrappedDevice
{
public:
    explicit CEmulatedGen2Card(const Gen2CardSettings& settings);
    ~CEmulatedGen2Card() override;

    // The host pointer of a space; null when the control window cannot be mapped.
    void* FpgaSpacePointer() { return FpgaSpace.get(); }
    void* ControlSpacePointer();

    // The control space as the host's accesses see it.
    uint32_t ReadWord(uint32_t byteOffset) override;
    void WriteWord(uint32_t byteOffset, uint32_t value) override;

    uint32_t Peek(uint32_t space, uint32_t byteOffset) const;
    void Poke(uint32_t space, uint32_t byteOffset, uint32_t value);
    const std::vector<uint32_t>& ControlWords() const;
    // The line of the trace file after the counters: the words of the control command register.
    std::string TraceLine() const;

    std::array<uint32_t, 2> SpaceConfigs{};

private:
    std::array<uint32_t, CONTROL_SPACE_SIZE / 4> Control{};
    void* ControlWindow = nullptr;
    uint32_t BusyReadsLeft = 0;
};

} // namespace Corvane::Common
