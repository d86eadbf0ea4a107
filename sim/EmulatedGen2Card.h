#pragma once

#include "FaultTrap.h"
#include "SimConfiguration.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace Corvane::Common
{

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

constexpr size_t Gen2CounterCount = static_cast<size_t>(Gen2Counter::Count);
extern const char* const Gen2CounterNames[Gen2CounterCount];
using Gen2CounterValues = std::array<uint64_t, Gen2CounterCount>;

// One emulated Gen 2 card. Its FPGA space (space 0) is plain host memory; its control space
// (space 1) is a trapped window, so that the control command register can record every command
// word written to it and report a busy bit for a few reads. Callers hold SimulationMutex.
class CEmulatedGen2Card : public ITrappedDevice
{
public:
    explicit CEmulatedGen2Card(const Gen2CardSettings& settings);
    ~CEmulatedGen2Card() override;
    CEmulatedGen2Card(const CEmulatedGen2Card&) = delete;
    CEmulatedGen2Card& operator=(const CEmulatedGen2Card&) = delete;

    const Gen2CardSettings& Settings() const { return Config; }

    // The host pointer of a space; null when the control window cannot be mapped.
    void* FpgaSpacePointer() { return FpgaSpace.get(); }
    void* ControlSpacePointer();

    // The control space as the host's accesses see it.
    uint32_t ReadWord(uint32_t byteOffset) override;
    void WriteWord(uint32_t byteOffset, uint32_t value) override;

    uint32_t Peek(uint32_t space, uint32_t byteOffset) const;
    void Poke(uint32_t space, uint32_t byteOffset, uint32_t value);
    const std::vector<uint32_t>& ControlWords() const { return CommandWords; }

    void Count(Gen2Counter counter) { ++Counters[static_cast<size_t>(counter)]; }
    const Gen2CounterValues& CounterValues() const { return Counters; }
    void ClearCounters();

    std::string LastConfigurePath;
    std::array<uint32_t, 2> SpaceConfigs{};
    std::vector<double> ClockFrequencies;

private:
    struct FreeMemory
    {
        void operator()(uint8_t* memory) const { std::free(memory); }
    };

    Gen2CardSettings Config;
    std::unique_ptr<uint8_t, FreeMemory> FpgaSpace;
    std::array<uint32_t, CONTROL_SPACE_SIZE / 4> Control{};
    void* ControlWindow = nullptr;
    std::vector<uint32_t> CommandWords;
    uint32_t BusyReadsLeft = 0;
    Gen2CounterValues Counters{};
};

} // namespace Corvane::Common
