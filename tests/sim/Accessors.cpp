// Compiled twice: ACCESSOR_SET_FUNCTION names the set and the build gives each copy its own
// optimisation level.
#include "Accessors.h"

namespace SimTest
{

namespace
{

uint32_t ReadRegister(uint8_t* window, uint32_t index)
{
    return *reinterpret_cast<volatile uint32_t*>(window + 4 * index);
}

void WriteRegister(uint8_t* window, uint32_t index, uint32_t value)
{
    *reinterpret_cast<volatile uint32_t*>(window + 4 * index) = value;
}

uint32_t ReadMailbox(volatile uint32_t* registers)
{
    return registers[44];
}

void WriteMailbox(volatile uint32_t* registers, uint32_t value)
{
    registers[44] = value;
}

void ClearProbe(volatile uint32_t* registers)
{
    registers[256] = 0x10800000;
}

void ClearPage(uint8_t* bridge)
{
    *reinterpret_cast<volatile uint32_t*>(bridge + 0x20) = 0;
}

uint32_t ReplaceLowHalf(volatile uint32_t* registers, uint16_t low)
{
    const uint32_t old = registers[44];
    registers[44] = (old & 0xFFFF0000u) | low;
    return old;
}

void SetBits(volatile uint32_t* word, uint32_t mask)
{
    *word |= mask;
}

void ClearBits(volatile uint32_t* word, uint32_t mask)
{
    *word &= ~mask;
}

uint32_t AddTo(volatile uint32_t* word, uint32_t addend)
{
    return *word + addend;
}

uint64_t SumWords(volatile uint32_t* words, uint32_t count)
{
    uint64_t sum = 0;
    for (uint32_t i = 0; i < count; ++i)
        sum += words[i];
    return sum;
}

} // namespace

const AccessorSet& ACCESSOR_SET_FUNCTION()
{
    static const AccessorSet set = {ACCESSOR_SET_NAME, ReadRegister, WriteRegister, ReadMailbox,
                                    WriteMailbox,      ClearProbe,   ClearPage,     ReplaceLowHalf,
                                    SetBits,           ClearBits,    AddTo,         SumWords};
    return set;
}

} // namespace SimTest
