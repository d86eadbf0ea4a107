#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// The entry point of every fuzz target: libFuzzer calls it with each input it makes up, and
// CorpusReplay.cpp with each stored one. It returns 0.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace MistleFuzz
{

// A property the code under test promises for every input. When it does not hold, the target
// says which and aborts: libFuzzer keeps the input, and a corpus replay fails.
inline void Require(bool holds, const char* property)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz target: broken: %s\n", property);
    std::abort();
}

} // namespace MistleFuzz
