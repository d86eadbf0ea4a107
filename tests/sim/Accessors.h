#pragma once

#include <cstdint>

namespace SimTest
{

// Register accessors written the way the card layer writes them, compiled once without and once
// with optimisation, so that the emulation sees every instruction form the compiler picks.
struct AccessorSet
{
    const char* Name;
    uint32_t (*ReadRegister)(uint8_t* window, uint32_t index);
    void (*WriteRegister)(uint8_t* window, uint32_t index, uint32_t value);
    uint32_t (*ReadMailbox)(volatile uint32_t* registers);
    void (*WriteMailbox)(volatile uint32_t* registers, uint32_t value);
    void (*ClearProbe)(volatile uint32_t* registers); // store of an immediate, 32-bit displacement
    void (*ClearPage)(uint8_t* bridge);               // store of an immediate 0, 8-bit displacement
    uint32_t (*ReplaceLowHalf)(volatile uint32_t* registers, uint16_t low); // returns the old value
    void (*SetBits)(volatile uint32_t* word, uint32_t mask);
    void (*ClearBits)(volatile uint32_t* word, uint32_t mask);
    uint32_t (*AddTo)(volatile uint32_t* word, uint32_t addend);
    uint64_t (*SumWords)(volatile uint32_t* words, uint32_t count);
};

const AccessorSet& UnoptimisedAccessors();
const AccessorSet& OptimisedAccessors();

} // namespace SimTest
