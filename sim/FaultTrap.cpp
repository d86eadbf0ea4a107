// The fault-trap engine. Besides platform/, this is the one place that knows the operating
// system: how inaccessible memory is reserved, how the fault handler is installed, and where the
// interrupted thread's registers are found. Everything else (the window table, the instruction
// emulation, the card devices) is the same on every system.

#include "FaultTrap.h"

#include "X86Emulation.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <dlfcn.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#endif

#if !defined(__x86_64__) && !defined(_M_X64)
#error "the fault-trap engine emulates x86-64 instructions only"
#endif

namespace Corvane::Common
{

namespace
{

// One window: fixed once published, apart from the device, which is cleared (under the simulation
// mutex) when the window is retired.
struct TrapWindow
{
    uintptr_t Begin = 0;
    uintptr_t ReservedEnd = 0; // whole pages
    uint32_t Length = 0;       // the length the card layer asked for
    uint32_t BaseOffset = 0;
    ITrappedDevice* Device = nullptr;
};

// Windows are never removed from the table (retired windows stay reserved), so the fault handler
// can search the published part without a lock: a fault that is not ours, such as a real crash in
// the tool, must reach the previous handler even while another thread holds the mutex.
const size_t MaximumWindows = 4096;
TrapWindow Windows[MaximumWindows];
std::atomic<size_t> PublishedWindows{0};

const TrapWindow* FindWindow(uintptr_t address)
{
    const size_t count = PublishedWindows.load(std::memory_order_acquire);
    for (size_t i = count; i-- > 0;)
        if (address >= Windows[i].Begin && address < Windows[i].ReservedEnd)
            return &Windows[i];
    return nullptr;
}

[[noreturn]] void Die(const char* problem, uintptr_t address, const CpuRegisters& cpu)
{
    const auto* code = reinterpret_cast<const uint8_t*>(cpu.InstructionPointer);
    std::fprintf(stderr,
                 "tvxsim: cannot emulate the access to card window memory at %p by the instruction "
                 "at %p (%02x %02x %02x %02x %02x %02x): %s\n",
                 reinterpret_cast<void*>(address), reinterpret_cast<void*>(cpu.InstructionPointer),
                 code[0], code[1], code[2], code[3], code[4], code[5], problem);
    std::fflush(stderr);
    std::abort();
}

class CDeviceWord : public IEmulatedWord
{
public:
    CDeviceWord(ITrappedDevice& device, uint32_t byteOffset)
        : Device(device), ByteOffset(byteOffset)
    {
    }
    uint32_t Read() override { return Device.ReadWord(ByteOffset); }
    void Write(uint32_t value) override { Device.WriteWord(ByteOffset, value); }

private:
    ITrappedDevice& Device;
    uint32_t ByteOffset;
};

// The system-independent part of the fault handler. False: the fault is not in a window.
bool EmulateFault(uintptr_t address, CpuRegisters& cpu)
{
    const TrapWindow* window = FindWindow(address);
    if (window == nullptr)
        return false;
    if (FindWindow(cpu.InstructionPointer) != nullptr)
        Die("the processor tried to execute card window memory", address, cpu);
    std::lock_guard<std::mutex> lock(SimulationMutex());
    if (window->Device == nullptr)
        Die("the window was unmapped or its card closed", address, cpu);
    const uintptr_t offset = address - window->Begin;
    if (offset % 4 != 0)
        Die("the access is not aligned to a 32-bit word", address, cpu);
    if (offset + 4 > window->Length)
        Die("the access lies beyond the end of the mapped window", address, cpu);
    CDeviceWord word(*window->Device, window->BaseOffset + static_cast<uint32_t>(offset));
    const char* problem = nullptr;
    if (!EmulateWordInstruction(reinterpret_cast<const uint8_t*>(cpu.InstructionPointer), cpu, word,
                                problem))
        Die(problem, address, cpu);
    return true;
}

bool HandlerInstalled = false;

#ifdef _WIN32

const size_t PageSize = 0x1000;

void* ReserveInaccessible(size_t length)
{
    return VirtualAlloc(nullptr, length, MEM_RESERVE, PAGE_NOACCESS);
}

// The processor's register numbering mapped onto the exception context.
DWORD64* ContextRegister(CONTEXT& context, unsigned number)
{
    DWORD64* const registers[16] = {&context.Rax, &context.Rcx, &context.Rdx, &context.Rbx,
                                    &context.Rsp, &context.Rbp, &context.Rsi, &context.Rdi,
                                    &context.R8,  &context.R9,  &context.R10, &context.R11,
                                    &context.R12, &context.R13, &context.R14, &context.R15};
    return registers[number];
}

LONG CALLBACK WindowFaultHandler(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record.NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    const uintptr_t address = static_cast<uintptr_t>(record.ExceptionInformation[1]);
    if (FindWindow(address) == nullptr)
        return EXCEPTION_CONTINUE_SEARCH; // the next handler decides, usually a crash
    CONTEXT& context = *exception->ContextRecord;
    CpuRegisters cpu;
    for (unsigned i = 0; i < 16; ++i)
        cpu.General[i] = *ContextRegister(context, i);
    cpu.Flags = context.EFlags;
    cpu.InstructionPointer = context.Rip;
    if (!EmulateFault(address, cpu))
        return EXCEPTION_CONTINUE_SEARCH;
    for (unsigned i = 0; i < 16; ++i)
        *ContextRegister(context, i) = cpu.General[i];
    context.EFlags = static_cast<DWORD>(cpu.Flags);
    context.Rip = cpu.InstructionPointer;
    return EXCEPTION_CONTINUE_EXECUTION;
}

// The handler lives in this library, so the library must stay loaded for as long as the handler
// is installed: it pins itself for the rest of the process.
void PinThisLibrary()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&WindowFaultHandler), &module);
}

void InstallHandler()
{
    PinThisLibrary();
    AddVectoredExceptionHandler(1, WindowFaultHandler);
}

#else

const size_t PageSize = 0x1000;

void* ReserveInaccessible(size_t length)
{
    void* memory =
        mmap(nullptr, length, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return memory == MAP_FAILED ? nullptr : memory;
}

const int ContextRegisterIndex[16] = {REG_RAX, REG_RCX, REG_RDX, REG_RBX, REG_RSP, REG_RBP,
                                      REG_RSI, REG_RDI, REG_R8,  REG_R9,  REG_R10, REG_R11,
                                      REG_R12, REG_R13, REG_R14, REG_R15};

struct sigaction PreviousAction;

class CSavedErrno
{
public:
    CSavedErrno() : Saved(errno) {}
    ~CSavedErrno() { errno = Saved; }
    CSavedErrno(const CSavedErrno&) = delete;
    CSavedErrno& operator=(const CSavedErrno&) = delete;

private:
    int Saved;
};

// A fault outside the windows goes on to whatever handled SIGSEGV before us. With the default
// action, the handler is reset and the instruction faults again, so a real fault still crashes
// (with a core dump where enabled) at the faulting instruction.
void ChainToPrevious(int signalNumber, siginfo_t* info, void* context)
{
    if (PreviousAction.sa_flags & SA_SIGINFO)
    {
        if (PreviousAction.sa_sigaction != nullptr)
        {
            PreviousAction.sa_sigaction(signalNumber, info, context);
            return;
        }
    }
    else if (PreviousAction.sa_handler != SIG_DFL && PreviousAction.sa_handler != SIG_IGN)
    {
        PreviousAction.sa_handler(signalNumber);
        return;
    }
    signal(SIGSEGV, SIG_DFL);
}

void WindowFaultHandler(int signalNumber, siginfo_t* info, void* context)
{
    // The interrupted code must find errno as it left it.
    const CSavedErrno savedErrno;
    const uintptr_t address = reinterpret_cast<uintptr_t>(info->si_addr);
    auto* user = static_cast<ucontext_t*>(context);
    if (FindWindow(address) == nullptr)
    {
        ChainToPrevious(signalNumber, info, context);
        return;
    }
    greg_t* registers = user->uc_mcontext.gregs;
    CpuRegisters cpu;
    for (unsigned i = 0; i < 16; ++i)
        cpu.General[i] = static_cast<uint64_t>(registers[ContextRegisterIndex[i]]);
    cpu.Flags = static_cast<uint64_t>(registers[REG_EFL]);
    cpu.InstructionPointer = static_cast<uint64_t>(registers[REG_RIP]);
    if (!EmulateFault(address, cpu))
    {
        ChainToPrevious(signalNumber, info, context);
        return;
    }
    for (unsigned i = 0; i < 16; ++i)
        registers[ContextRegisterIndex[i]] = static_cast<greg_t>(cpu.General[i]);
    registers[REG_EFL] = static_cast<greg_t>(cpu.Flags);
    registers[REG_RIP] = static_cast<greg_t>(cpu.InstructionPointer);
}

// The handler lives in this library, so the library must stay loaded for as long as the handler
// is installed: it pins itself for the rest of the process.
void PinThisLibrary()
{
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&WindowFaultHandler), &info) != 0 && info.dli_fname)
        dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

void InstallHandler()
{
    PinThisLibrary();
    struct sigaction action = {};
    action.sa_sigaction = WindowFaultHandler;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSEGV, &action, &PreviousAction);
}

#endif

} // namespace

std::mutex& SimulationMutex()
{
    // Never destroyed: threads may still access windows, and the trace is written, while the
    // process ends.
    static std::mutex* const mutex = new std::mutex;
    return *mutex;
}

void* MapTrappedWindow(ITrappedDevice& device, uint32_t baseOffset, uint32_t length)
{
    const size_t count = PublishedWindows.load(std::memory_order_relaxed);
    if (count == MaximumWindows || length == 0)
        return nullptr;
    const size_t reserved = (static_cast<size_t>(length) + PageSize - 1) / PageSize * PageSize;
    void* memory = ReserveInaccessible(reserved);
    if (memory == nullptr)
        return nullptr;
    if (!HandlerInstalled)
    {
        InstallHandler();
        HandlerInstalled = true;
    }
    TrapWindow& window = Windows[count];
    window.Begin = reinterpret_cast<uintptr_t>(memory);
    window.ReservedEnd = window.Begin + reserved;
    window.Length = length;
    window.BaseOffset = baseOffset;
    window.Device = &device;
    PublishedWindows.store(count + 1, std::memory_order_release);
    return memory;
}

bool RetireTrappedWindow(void* pointer)
{
    const uintptr_t address = reinterpret_cast<uintptr_t>(pointer);
    const size_t count = PublishedWindows.load(std::memory_order_relaxed);
    for (size_t i = 0; i < count; ++i)
        if (Windows[i].Begin == address && Windows[i].Device != nullptr)
        {
            Windows[i].Device = nullptr;
            return true;
        }
    return false;
}

} // namespace Corvane::Common
