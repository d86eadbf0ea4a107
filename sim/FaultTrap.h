#pragma once

#include <cstdint>
#include <mutex>

namespace Corvane::Common
{

// The fault-trap engine: card windows are handed out as memory without any access rights, so
// every load or store of the tool faults; the engine's fault handler decodes the instruction,
// performs the access on the emulated card and resumes the thread after the instruction. This is
// what lets a register such as the mailbox behave unlike plain memory (a written send pattern does
// not read back as a received byte).

// A card device behind a window: 32-bit words addressed by byte offset.
class ITrappedDevice
{
public:
    virtual ~ITrappedDevice() = default;
    virtual uint32_t ReadWord(uint32_t byteOffset) = 0;
    virtual void WriteWord(uint32_t byteOffset, uint32_t value) = 0;
};

// The one mutex of this library's simulation. The fault handler holds it for each emulated access,
// and every library call holds it while it touches simulation state. Taking a mutex inside a fault
// handler is sound here because the fault is synchronous: it arises at the tool's own load or
// store of a window, never inside this library or the C library, so the faulting thread holds
// neither this mutex nor any lock of the C library; other threads that hold the mutex release it
// as usual.
std::mutex& SimulationMutex();

// Reserves length bytes of inaccessible memory whose word at offset o is the device's word at
// baseOffset + o. The fault handler is installed with the first window. Null when the address
// space or the engine's table of windows is exhausted. Call with SimulationMutex held.
void* MapTrappedWindow(ITrappedDevice& device, uint32_t baseOffset, uint32_t length);

// Detaches a window from its device. Its memory stays reserved and inaccessible, so that a later
// access ends the process with a clear message instead of reaching unrelated memory. False when
// pointer is not the start of a window in use. Call with SimulationMutex held.
bool RetireTrappedWindow(void* pointer);

} // namespace Corvane::Common
