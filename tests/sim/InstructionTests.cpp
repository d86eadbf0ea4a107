// Each instruction form the emulation takes, run once on plain memory and once on a card
// register holding the same value: results, memory and arithmetic flags must agree.

#include "SimHost.h"

#include <gtest/gtest.h>

#if defined(__GNUC__) && defined(__x86_64__)

using namespace Corvane::Common::SimHost;

namespace
{

const uint32_t PlainRegister = 100; // reads back what was written
const uint64_t AllFlags = 0x8D5;    // CF PF AF ZF SF OF
const uint64_t LogicFlags = 0x8C5;  // AF is undefined after logic operations
const uint64_t CarryOnly = 0x001;

struct Outcome
{
    uint32_t Value;
    uint64_t Flags;
};

// Each form: a name for its function, the instruction, the flags it defines, and whether it reads
// and whether it writes the card word.
#define FORMS(FORM)                                                                                \
    FORM(Load, "movl (%[p]), %k[v]", 0, true, false)                                               \
    FORM(Store, "movl %k[b], (%[p])", 0, false, true)                                              \
    FORM(StoreImmediate, "movl $0x87654321, (%[p])", 0, false, true)                               \
    FORM(AddLoad, "addl (%[p]), %k[v]", AllFlags, true, false)                                     \
    FORM(AddStore, "addl %k[b], (%[p])", AllFlags, true, true)                                     \
    FORM(AdcLoad, "adcl (%[p]), %k[v]", AllFlags, true, false)                                     \
    FORM(SubLoad, "subl (%[p]), %k[v]", AllFlags, true, false)                                     \
    FORM(SubStore, "subl %k[b], (%[p])", AllFlags, true, true)                                     \
    FORM(SbbStore, "sbbl %k[b], (%[p])", AllFlags, true, true)                                     \
    FORM(AndLoad, "andl (%[p]), %k[v]", LogicFlags, true, false)                                   \
    FORM(OrStore, "orl %k[b], (%[p])", LogicFlags, true, true)                                     \
    FORM(XorLoad, "xorl (%[p]), %k[v]", LogicFlags, true, false)                                   \
    FORM(CmpLoad, "cmpl (%[p]), %k[v]", AllFlags, true, false)                                     \
    FORM(CmpStore, "cmpl %k[b], (%[p])", AllFlags, true, false)                                    \
    FORM(TestStore, "testl %k[b], (%[p])", LogicFlags, true, false)                                \
    FORM(TestImmediate, "testl $0x10000000, (%[p])", LogicFlags, true, false)                      \
    FORM(OrImmediate, "orl $0x0F00F00F, (%[p])", LogicFlags, true, true)                           \
    FORM(AndSignedByte, "andl $-16, (%[p])", LogicFlags, true, true)                               \
    FORM(CmpSignedByte, "cmpl $-1, (%[p])", AllFlags, true, false)                                 \
    FORM(AddByte, "addl $100, (%[p])", AllFlags, true, true)                                       \
    FORM(Increment, "incl (%[p])", AllFlags, true, true)                                           \
    FORM(Decrement, "decl (%[p])", AllFlags, true, true)                                           \
    FORM(BitTest, "btl $28, (%[p])", CarryOnly, true, false)                                       \
    FORM(LockedAdd, "lock addl %k[b], (%[p])", AllFlags, true, true)

// Runs one instruction with value in a register (%[v]), other in a register (%[b]) and the
// carry flag preset from carry; the stack pointer is moved past the red zone before pushfq.
#define INSTRUCTION(name, text, defined, reads, writes)                                            \
    Outcome name(volatile uint32_t* p, uint32_t value, uint32_t other, uint32_t carry)             \
    {                                                                                              \
        uint64_t flags;                                                                            \
        asm volatile("sub $128, %%rsp\n\t"                                                         \
                     "bt $0, %k[c]\n\t" text "\n\t"                                                \
                     "pushfq\n\t"                                                                  \
                     "pop %[f]\n\t"                                                                \
                     "add $128, %%rsp"                                                             \
                     : [v] "+r"(value), [f] "=&r"(flags)                                           \
                     : [p] "r"(p), [b] "r"(other), [c] "r"(carry)                                  \
                     : "cc", "memory");                                                            \
        return {value, flags};                                                                     \
    }

FORMS(INSTRUCTION)

struct Form
{
    const char* Name;
    Outcome (*Run)(volatile uint32_t*, uint32_t, uint32_t, uint32_t);
    uint64_t Flags; // flags the instruction defines
    bool ReadsCard;
    bool WritesCard;
};

#define FORM_ROW(name, text, flags, reads, writes) {text, name, flags, reads, writes},
const Form Forms[] = {FORMS(FORM_ROW)};

struct Operands
{
    uint32_t Memory;
    uint32_t Other;
    uint32_t Carry;
};

// Values around the carry, overflow, sign, zero and adjust boundaries.
const Operands OperandSets[] = {
    {0, 0, 0},
    {1, 0xFFFFFFFF, 1},
    {0x7FFFFFFF, 1, 0},
    {0x80000000, 0x80000000, 1},
    {0xFFFFFFFF, 0xFFFFFFFF, 0},
    {0x12345678, 0x0F0F0F0F, 1},
    {0x1000000F, 0x00000001, 0},
    {0x00000005, 0x00000007, 1},
};

class InstructionTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Card = ConfigureAndMap("[gen3]\nindex = 0\n");
        ASSERT_NE(Card.Handle, 0u);
    }

    MappedCard Card;
};

} // namespace

TEST_F(InstructionTest, EveryFormMatchesTheProcessor)
{
    volatile uint32_t* cardWord = &Card.Register(PlainRegister);
    for (const Form& form : Forms)
        for (const Operands& operands : OperandSets)
        {
            SCOPED_TRACE(testing::Message()
                         << form.Name << " memory 0x" << std::hex << operands.Memory << " other 0x"
                         << operands.Other << " carry " << operands.Carry);
            volatile uint32_t plain = operands.Memory;
            const Outcome expected =
                form.Run(&plain, operands.Other, operands.Other, operands.Carry);

            Poke3(0, 2, 4 * PlainRegister, operands.Memory);
            ClearCounters3(0);
            const Outcome actual =
                form.Run(cardWord, operands.Other, operands.Other, operands.Carry);

            EXPECT_EQ(Peek3(0, 2, 4 * PlainRegister), plain);
            EXPECT_EQ(actual.Value, expected.Value);
            EXPECT_EQ(actual.Flags & form.Flags, expected.Flags & form.Flags);
            EXPECT_EQ(Count3(0, "register_reads"), form.ReadsCard ? 1u : 0u);
            EXPECT_EQ(Count3(0, "register_writes"), form.WritesCard ? 1u : 0u);
        }
}

// Extended registers (REX prefixes), SIB addressing with a scaled index and both displacement
// sizes, and the zero-extension of a 32-bit load into the full 64-bit register.
TEST_F(InstructionTest, ExtendedRegistersAndAddressingForms)
{
    Poke3(0, 2, MAILBOX_BYTE, 0xCAFE0000);
    Poke3(0, 2, 4 * PlainRegister, 0x13579BDF);
    uint64_t r9 = 0;
    uint64_t r15 = 0;
    uint64_t index = 44;
    asm volatile("movq $-1, %%r9\n\t"
                 "movq $-1, %%r15\n\t"
                 "movl (%[base],%[index],4), %%r9d\n\t" // SIB, no displacement, REX.R
                 "movl 0x190(%[base]), %%r15d\n\t"      // 32-bit displacement
                 "movq %%r9, %[r9]\n\t"
                 "movq %%r15, %[r15]"
                 : [r9] "=r"(r9), [r15] "=r"(r15)
                 : [base] "r"(Card.Registers), [index] "r"(index)
                 : "r9", "r15", "memory");
    EXPECT_EQ(r9, 0xCAFE1200u) << "upper 32 bits cleared by the 32-bit load";
    EXPECT_EQ(r15, 0x13579BDFu);

    uint64_t base = reinterpret_cast<uint64_t>(Card.Registers);
    asm volatile("movq %[base], %%r12\n\t"
                 "movl $0x2468ACE0, %%r13d\n\t"
                 "movl %%r13d, 0x20(%%r12)\n\t" // 8-bit displacement, REX.R and REX.B
                 "movl $9, %%r14d\n\t"
                 "movl $0x55AA55AA, -0xC(%%r12,%%r14,8)" // negative displacement, REX.X
                 :
                 : [base] "r"(base)
                 : "r12", "r13", "r14", "memory");
    EXPECT_EQ(LastWrite3(0, 2, 0x20), 0x2468ACE0u);
    EXPECT_EQ(LastWrite3(0, 2, 0x3C), 0x55AA55AAu);
}

#endif
