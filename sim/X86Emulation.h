#pragma once

#include <cstdint>

namespace Corvane::Common
{

// The registers of the interrupted thread that an emulated instruction may read or change, in the
// processor's numbering (0 rax, 1 rcx, 2 rdx, 3 rbx, 4 rsp, 5 rbp, 6 rsi, 7 rdi, 8-15 r8-r15).
struct CpuRegisters
{
    uint64_t General[16] = {};
    uint64_t Flags = 0;
    uint64_t InstructionPointer = 0;
};

// The one 32-bit word of emulated memory that the faulting instruction addressed.
class IEmulatedWord
{
public:
    virtual ~IEmulatedWord() = default;
    virtual uint32_t Read() = 0;
    virtual void Write(uint32_t value) = 0;
};

// Decodes the x86-64 instruction at code, which faulted on an access to word, performs it the way
// the processor would (register results zero-extended to 64 bits, arithmetic flags as the
// processor sets them) and moves the instruction pointer past it. Handles the 32-bit forms that
// compilers emit for volatile 32-bit accesses: mov load/store/store-immediate, the arithmetic and
// logic operations with a memory operand (add, or, adc, sbb, and, sub, xor, cmp, test), inc, dec
// and bt with an immediate bit number. Returns false, with a short description in problem, for
// anything else; nothing has been accessed then.
bool EmulateWordInstruction(const uint8_t* code, CpuRegisters& cpu, IEmulatedWord& word,
                            const char*& problem);

// The arithmetic flags that the emulation computes (CF, PF, AF, ZF, SF, OF).
constexpr uint64_t ArithmeticFlagsMask = 0x8D5;

} // namespace Corvane::Common
