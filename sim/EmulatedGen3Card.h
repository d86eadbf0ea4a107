#pragma once

#include "EmulatedCard.h"
#include "EmulatedMicrocontroller.h"
#include "FaultTrap.h"
#include "SimConfiguration.h"

#include <array>
#include <cstdint>
#include <string>

namespace Corvane::Common
{

// The Gen 3 card's windows and their sizes in bytes.
constexpr uint32_t FPGA_WINDOW = 0;
constexpr uint32_t REGISTER_WINDOW = 2;
constexpr uint32_t BRIDGE_WINDOW = 3;
constexpr uint32_t FPGA_WINDOW_SIZE = 0x400000;
constexpr uint32_t REGISTER_WINDOW_SIZE = 0x800;
constexpr uint32_t BRIDGE_WINDOW_SIZE = 0x100;

// The size of a window in bytes; 0 for a window the card does not have.
uint32_t Gen3WindowSize(uint32_t window);

// Counters of a Gen 3 card, in the order of Gen3CounterNames.
enum class Gen3Counter : size_t
{
    Opens,
    InspectionOpens,
    UseOpens,
    OpenFailures,
    Closes,
    CardInfoReads,
    Configures,
    Maps,
    Unmaps,
    ClockSets,
    FpgaInfoReads,
    BankInfoReads,
    MailboxReads,
    MailboxWrites,
    MailboxUpperChanges,
    HostBytes,
    TxOverruns,
    BootChannelBytes,
    RxAcks,
    RxBytesTaken,
    EmptyAcks,
    McuBytesSent,
    McuReplies,
    RegisterReads,
    RegisterWrites,
    Register0Reads,
    BridgeReads,
    BridgeWrites,
    PageWrites,
    PageRefusals,
    LaneWrites,
    StatusReads,
    StatusClears,
    Window0Reads,
    Window0Writes,
    OutOfRange,
    IndirectCommands,
    IndirectStatusReads,
    IndirectDataWrites,
    IndirectDataReads,
    ProbeCommands,
    ProbeClears,
    ProbeReads,
    Count
};

extern const char* const Gen3CounterNames[];
using CEmulatedGen3CardBase = CEmulatedCard<Gen3CardSettings, Gen3Counter, Gen3CounterNames>;

// One emulated Gen 3 card: its three windows, the simulated FPGA space behind window 0 and the
// indirect-access registers, the bus probe controller, and the microcontroller behind the mailbox.
// Not locked itself: callers hold SimulationMutex.
class CEmulatedGen3Card : public CEmulatedGen3CardBase
{
public:
    explicit CEmulatedGen3Card(const Gen3CardSettings& settings);

    // The host's accesses through a window, with all their side effects.
    uint32_t Read(uint32_t window, uint32_t byteOffset);
    void Write(uint32_t window, uint32_t byteOffset, uint32_t value);
    ITrappedDevice& Device(uint32_t window);

    // Inspection: no side effects, nothing counted.
    uint32_t Peek(uint32_t window, uint32_t byteOffset) const;
    void Poke(uint32_t window, uint32_t byteOffset, uint32_t value);
    uint32_t LastWrite(uint32_t window, uint32_t byteOffset) const;
    uint32_t PeekFpga(uint32_t byteAddress) const;
    void PokeFpga(uint32_t byteAddress, uint32_t value);

    // The counters with the microcontroller's events; clearing also forgets the bytes it received.
    CounterValueArray CounterValues() const;
    void ClearCounters();
    CEmulatedMicrocontroller& Microcontroller() { return Mcu; }
    const CEmulatedMicrocontroller& Microcontroller() const { return Mcu; }
    // The line of the trace file after the counters: the bytes the microcontroller received.
    std::string TraceLine() const;

private:
    class CWindowDevice : public ITrappedDevice
    {
    public:
        CWindowDevice(CEmulatedGen3Card& card, uint32_t window) : Card(card), Window(window) {}
        uint32_t ReadWord(uint32_t byteOffset) override { return Card.Read(Window, byteOffset); }
        void WriteWord(uint32_t byteOffset, uint32_t value) override
        {
            Card.Write(Window, byteOffset, value);
        }

    private:
        CEmulatedGen3Card& Card;
        uint32_t Window;
    };

    uint32_t ReadRegister(uint32_t byteOffset);
    void WriteRegister(uint32_t byteOffset, uint32_t value);
    uint32_t ReadBridge(uint32_t byteOffset);
    void WriteBridge(uint32_t byteOffset, uint32_t value);
    uint32_t ReadFpgaWindow(uint32_t byteOffset);
    void WriteFpgaWindow(uint32_t byteOffset, uint32_t value);

    uint32_t ReadMailbox();
    void WriteMailbox(uint32_t value);
    uint32_t ReadIndirectStatus();
    void WriteIndirectCommand(uint32_t value);
    void CompleteIndirectAccess();
    void WriteProbeController(uint32_t value);
    void WritePageRegister(uint32_t value);

    uint32_t LoadFpga(uint32_t byteAddress);
    void StoreFpga(uint32_t byteAddress, uint32_t value);

    std::array<uint32_t, REGISTER_WINDOW_SIZE / 4> Registers{};
    std::array<uint32_t, BRIDGE_WINDOW_SIZE / 4> Bridge{};
    CEmulatedMicrocontroller Mcu;
    uint16_t MailboxUpper;

    // Indirect access: the command being carried out and the status reads it still takes.
    bool IndirectPending = false;
    uint32_t IndirectCommand = 0;
    uint32_t IndirectReadsLeft = 0;
    uint32_t IndirectStatus = 0;

    CWindowDevice FpgaDevice{*this, FPGA_WINDOW};
    CWindowDevice RegisterDevice{*this, REGISTER_WINDOW};
    CWindowDevice BridgeDevice{*this, BRIDGE_WINDOW};
};

} // namespace Corvane::Common
