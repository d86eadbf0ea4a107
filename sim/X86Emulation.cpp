#include "X86Emulation.h"

namespace Corvane::Common
{

namespace
{

const uint64_t CarryFlag = 0x001;
const uint64_t ParityFlag = 0x004;
const uint64_t AdjustFlag = 0x010;
const uint64_t ZeroFlag = 0x040;
const uint64_t SignFlag = 0x080;
const uint64_t OverflowFlag = 0x800;

// The operations, in the order of the processor's three-bit operation field of opcodes 00-3F,
// 81 and 83, followed by those with encodings of their own.
enum class Operation
{
    Add,
    Or,
    Adc,
    Sbb,
    And,
    Sub,
    Xor,
    Cmp,
    Test,
    Inc,
    Dec,
    BitTest,
    Load,
    Store,
};

// Where the instruction's other operand comes from and where its result goes.
enum class Form
{
    MemoryFromRegister,  // op r/m32, r32: memory = memory op register
    RegisterFromMemory,  // op r32, r/m32: register = register op memory
    MemoryFromImmediate, // op r/m32, imm: memory = memory op immediate
    MemoryOnly,          // inc, dec
};

struct Instruction
{
    Operation Op = Operation::Load;
    Form Shape = Form::RegisterFromMemory;
    unsigned Register = 0;
    uint32_t Immediate = 0;
    unsigned Length = 0;
};

bool IsLegacyPrefix(uint8_t byte)
{
    switch (byte)
    {
    case 0x67: // address size: changes the address computation, not the operand
    case 0xF0: // lock: the emulated access is atomic under the simulation's mutex anyway
    case 0xF2:
    case 0xF3:
    case 0x26:
    case 0x2E:
    case 0x36:
    case 0x3E:
    case 0x64:
    case 0x65:
        return true;
    default:
        return false;
    }
}

// Length of the ModRM byte with its SIB byte and displacement; false for a register operand.
bool MemoryOperandLength(const uint8_t* modrmByte, unsigned& length)
{
    const unsigned mod = *modrmByte >> 6;
    const unsigned rm = *modrmByte & 7;
    if (mod == 3)
        return false;
    length = 1;
    if (rm == 4)
    {
        const unsigned sibBase = modrmByte[1] & 7;
        ++length;
        if (mod == 0 && sibBase == 5)
            length += 4;
    }
    if (mod == 0 && rm == 5)
        length += 4; // instruction-pointer relative
    else if (mod == 1)
        length += 1;
    else if (mod == 2)
        length += 4;
    return true;
}

uint32_t ReadImmediate32(const uint8_t* bytes)
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Why an instruction that is not emulated was refused: narrow accesses are named as such, since
// they are the likeliest mistake (a byte or half-word access to a 32-bit register).
const char* NarrowAccessProblem(const uint8_t* opcode)
{
    const uint8_t first = opcode[0];
    if (first == 0x0F && (opcode[1] == 0xB7 || opcode[1] == 0xBF))
        return "16-bit access (only 32-bit accesses reach the card)";
    const bool byteArithmetic = first < 0x40 && (first & 7) <= 2 && (first & 7) != 1;
    const bool byteOther = first == 0x88 || first == 0x8A || first == 0xC6 || first == 0x80 ||
                           first == 0x84 || first == 0xF6 || first == 0xFE;
    if (byteArithmetic || byteOther || (first == 0x0F && (opcode[1] == 0xB6 || opcode[1] == 0xBE)))
        return "8-bit access (only 32-bit accesses reach the card)";
    return "not a 32-bit move, arithmetic or logic instruction with a memory operand";
}

bool DecodeOpcode(const uint8_t* opcode, Instruction& instruction, unsigned& opcodeLength,
                  unsigned& immediateLength, bool& immediateIsByte, const char*& problem)
{
    const uint8_t first = opcode[0];
    const unsigned field = (opcode[1] >> 3) & 7;
    opcodeLength = 1;
    immediateLength = 0;
    immediateIsByte = false;
    if (first < 0x40 && (first & 7) == 1)
    {
        instruction.Op = static_cast<Operation>(first >> 3);
        instruction.Shape = Form::MemoryFromRegister;
        return true;
    }
    if (first < 0x40 && (first & 7) == 3)
    {
        instruction.Op = static_cast<Operation>(first >> 3);
        instruction.Shape = Form::RegisterFromMemory;
        return true;
    }
    switch (first)
    {
    case 0x8B:
        instruction.Op = Operation::Load;
        instruction.Shape = Form::RegisterFromMemory;
        return true;
    case 0x89:
        instruction.Op = Operation::Store;
        instruction.Shape = Form::MemoryFromRegister;
        return true;
    case 0x85:
        instruction.Op = Operation::Test;
        instruction.Shape = Form::MemoryFromRegister;
        return true;
    case 0xC7:
        if (field != 0)
            break;
        instruction.Op = Operation::Store;
        instruction.Shape = Form::MemoryFromImmediate;
        immediateLength = 4;
        return true;
    case 0x81:
    case 0x83:
        instruction.Op = static_cast<Operation>(field);
        instruction.Shape = Form::MemoryFromImmediate;
        immediateLength = first == 0x81 ? 4 : 1;
        immediateIsByte = first == 0x83;
        return true;
    case 0xF7:
        if (field != 0)
            break;
        instruction.Op = Operation::Test;
        instruction.Shape = Form::MemoryFromImmediate;
        immediateLength = 4;
        return true;
    case 0xFF:
        if (field > 1)
            break;
        instruction.Op = field == 0 ? Operation::Inc : Operation::Dec;
        instruction.Shape = Form::MemoryOnly;
        return true;
    case 0x0F:
        if (opcode[1] != 0xBA || ((opcode[2] >> 3) & 7) != 4)
            break;
        instruction.Op = Operation::BitTest;
        instruction.Shape = Form::MemoryFromImmediate;
        opcodeLength = 2;
        immediateLength = 1;
        return true;
    default:
        break;
    }
    problem = NarrowAccessProblem(opcode);
    return false;
}

bool Decode(const uint8_t* code, Instruction& instruction, const char*& problem)
{
    unsigned position = 0;
    bool operandSize16 = false;
    for (; position < 14; ++position)
    {
        if (code[position] == 0x66)
            operandSize16 = true;
        else if (!IsLegacyPrefix(code[position]))
            break;
    }
    uint8_t rex = 0;
    if ((code[position] & 0xF0) == 0x40)
        rex = code[position++];
    if (rex & 0x08)
    {
        problem = "64-bit access (only 32-bit accesses reach the card)";
        return false;
    }
    if (operandSize16)
    {
        problem = "16-bit access (only 32-bit accesses reach the card)";
        return false;
    }
    unsigned opcodeLength = 0;
    unsigned immediateLength = 0;
    bool immediateIsByte = false;
    if (!DecodeOpcode(code + position, instruction, opcodeLength, immediateLength, immediateIsByte,
                      problem))
        return false;
    position += opcodeLength;
    const uint8_t modrm = code[position];
    instruction.Register = ((modrm >> 3) & 7) | ((rex & 0x04) ? 8 : 0);
    unsigned operandLength = 0;
    if (!MemoryOperandLength(code + position, operandLength))
    {
        problem = "instruction without a memory operand";
        return false;
    }
    position += operandLength;
    if (immediateLength == 4)
        instruction.Immediate = ReadImmediate32(code + position);
    else if (immediateLength == 1)
        instruction.Immediate =
            immediateIsByte
                ? static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(code[position])))
                : code[position];
    instruction.Length = position + immediateLength;
    return true;
}

uint64_t ParityOf(uint32_t result)
{
    unsigned bits = result & 0xFF;
    bits ^= bits >> 4;
    bits ^= bits >> 2;
    bits ^= bits >> 1;
    return (bits & 1) ? 0 : ParityFlag;
}

uint64_t ResultFlags(uint32_t result)
{
    return ParityOf(result) | (result == 0 ? ZeroFlag : 0) |
           ((result & 0x80000000u) ? SignFlag : 0);
}

uint64_t AdditionFlags(uint32_t a, uint32_t b, uint32_t result, bool carry)
{
    return ResultFlags(result) | (carry ? CarryFlag : 0) |
           (((a ^ b ^ result) & 0x10) ? AdjustFlag : 0) |
           ((((a ^ result) & (b ^ result)) & 0x80000000u) ? OverflowFlag : 0);
}

uint64_t SubtractionFlags(uint32_t a, uint32_t b, uint32_t result, bool borrow)
{
    return ResultFlags(result) | (borrow ? CarryFlag : 0) |
           (((a ^ b ^ result) & 0x10) ? AdjustFlag : 0) |
           ((((a ^ b) & (a ^ result)) & 0x80000000u) ? OverflowFlag : 0);
}

// Computes a op b; sets flags to the arithmetic flags the processor leaves.
uint32_t Compute(Operation op, uint32_t a, uint32_t b, uint64_t oldFlags, uint64_t& flags)
{
    const uint32_t carryIn = (oldFlags & CarryFlag) ? 1 : 0;
    uint32_t result = 0;
    switch (op)
    {
    case Operation::Add:
    case Operation::Adc:
    {
        const uint32_t carry = op == Operation::Adc ? carryIn : 0;
        const uint64_t sum = static_cast<uint64_t>(a) + b + carry;
        result = static_cast<uint32_t>(sum);
        flags = AdditionFlags(a, b, result, (sum >> 32) != 0);
        return result;
    }
    case Operation::Sub:
    case Operation::Sbb:
    case Operation::Cmp:
    {
        const uint32_t borrow = op == Operation::Sbb ? carryIn : 0;
        result = a - b - borrow;
        flags = SubtractionFlags(a, b, result,
                                 static_cast<uint64_t>(a) < static_cast<uint64_t>(b) + borrow);
        return result;
    }
    case Operation::Or:
        result = a | b;
        break;
    case Operation::And:
    case Operation::Test:
        result = a & b;
        break;
    case Operation::Xor:
        result = a ^ b;
        break;
    case Operation::Inc:
        result = a + 1;
        flags = (AdditionFlags(a, 1, result, false) & ~CarryFlag) | (oldFlags & CarryFlag);
        return result;
    case Operation::Dec:
        result = a - 1;
        flags = (SubtractionFlags(a, 1, result, false) & ~CarryFlag) | (oldFlags & CarryFlag);
        return result;
    case Operation::BitTest:
        // Only the carry flag is defined; the others are left as they were.
        flags =
            (oldFlags & ArithmeticFlagsMask & ~CarryFlag) | (((a >> (b & 31)) & 1) ? CarryFlag : 0);
        return a;
    case Operation::Load:
    case Operation::Store:
        flags = oldFlags & ArithmeticFlagsMask;
        return b;
    }
    flags = ResultFlags(result); // logic operations clear CF and OF
    return result;
}

bool WritesResult(Operation op)
{
    return op != Operation::Cmp && op != Operation::Test && op != Operation::BitTest;
}

bool SetsFlags(Operation op)
{
    return op != Operation::Load && op != Operation::Store;
}

} // namespace

bool EmulateWordInstruction(const uint8_t* code, CpuRegisters& cpu, IEmulatedWord& word,
                            const char*& problem)
{
    Instruction instruction;
    if (!Decode(code, instruction, problem))
        return false;
    uint64_t& reg = cpu.General[instruction.Register];
    const uint32_t registerValue = static_cast<uint32_t>(reg);
    uint64_t flags = 0;
    if (instruction.Op == Operation::Store)
    {
        // A store never reads the card: a read could have side effects.
        word.Write(instruction.Shape == Form::MemoryFromImmediate ? instruction.Immediate
                                                                  : registerValue);
    }
    else if (instruction.Shape == Form::RegisterFromMemory)
    {
        const uint32_t memory = word.Read();
        const uint32_t result = Compute(instruction.Op, registerValue, memory, cpu.Flags, flags);
        if (WritesResult(instruction.Op))
            reg = result; // a 32-bit result clears the upper half of the 64-bit register
    }
    else
    {
        const uint32_t memory = word.Read();
        const uint32_t other =
            instruction.Shape == Form::MemoryFromRegister ? registerValue : instruction.Immediate;
        const uint32_t result = Compute(instruction.Op, memory, other, cpu.Flags, flags);
        if (WritesResult(instruction.Op))
            word.Write(result);
    }
    if (SetsFlags(instruction.Op))
        cpu.Flags = (cpu.Flags & ~ArithmeticFlagsMask) | (flags & ArithmeticFlagsMask);
    cpu.InstructionPointer += instruction.Length;
    return true;
}

} // namespace Corvane::Common
