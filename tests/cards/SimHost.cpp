#include "SimHost.h"

#include "platform/SharedLibrary.h"
#include "sim/TvxSimApi.h"

#include <cstdio>
#include <cstdlib>

namespace Corvane::Common::SimHost
{

namespace
{

// Kept for the whole test process, like the card layer keeps its modules.
const CSharedLibrary& Module(const char* fileName)
{
    std::unique_ptr<CSharedLibrary> module = CSharedLibrary::Load(fileName);
    if (module == nullptr)
    {
        std::fprintf(stderr, "the stand-in %s is not on the library path\n", fileName);
        std::abort();
    }
    return *module.release();
}

const CSharedLibrary& Gen3()
{
    static const CSharedLibrary& module = Module(Gen3LibraryFileName());
    return module;
}

const CSharedLibrary& Gen2()
{
    static const CSharedLibrary& module = Module(Gen2LibraryFileName());
    return module;
}

template <typename Function> Function* Find(const CSharedLibrary& module, const char* name)
{
    Function* function = module.Find<Function>(name);
    if (function == nullptr)
    {
        std::fprintf(stderr, "the stand-in has no function %s\n", name);
        std::abort();
    }
    return function;
}

} // namespace

bool Configure(const std::string& text)
{
    static TvxSim_Configure_t* configure3 = Find<TvxSim_Configure_t>(Gen3(), "TvxSim_Configure");
    static TvxSim_Configure_t* configure2 = Find<TvxSim_Configure_t>(Gen2(), "TvxSim_Configure");
    return configure3(text.c_str()) == 1 && configure2(text.c_str()) == 1;
}

uint64_t Count3(uint32_t index, const char* counter)
{
    static TvxSim3_Count_t* count = Find<TvxSim3_Count_t>(Gen3(), "TvxSim3_Count");
    return count(index, counter);
}

uint32_t Peek3(uint32_t index, uint32_t window, uint32_t byteOffset)
{
    static TvxSim3_Peek_t* peek = Find<TvxSim3_Peek_t>(Gen3(), "TvxSim3_Peek");
    return peek(index, window, byteOffset);
}

void Poke3(uint32_t index, uint32_t window, uint32_t byteOffset, uint32_t value)
{
    static TvxSim3_Poke_t* poke = Find<TvxSim3_Poke_t>(Gen3(), "TvxSim3_Poke");
    poke(index, window, byteOffset, value);
}

uint32_t LastWrite3(uint32_t index, uint32_t window, uint32_t byteOffset)
{
    static TvxSim3_LastWrite_t* lastWrite = Find<TvxSim3_LastWrite_t>(Gen3(), "TvxSim3_LastWrite");
    return lastWrite(index, window, byteOffset);
}

uint32_t PeekFpga3(uint32_t index, uint32_t byteAddress)
{
    static TvxSim3_PeekFpga_t* peek = Find<TvxSim3_PeekFpga_t>(Gen3(), "TvxSim3_PeekFpga");
    return peek(index, byteAddress);
}

void PokeFpga3(uint32_t index, uint32_t byteAddress, uint32_t value)
{
    static TvxSim3_PokeFpga_t* poke = Find<TvxSim3_PokeFpga_t>(Gen3(), "TvxSim3_PokeFpga");
    poke(index, byteAddress, value);
}

uint64_t Count2(uint32_t index, const char* counter)
{
    static TvxSim2_Count_t* count = Find<TvxSim2_Count_t>(Gen2(), "TvxSim2_Count");
    return count(index, counter);
}

std::vector<uint32_t> ControlWords2(uint32_t index)
{
    static TvxSim2_ControlWords_t* controlWords =
        Find<TvxSim2_ControlWords_t>(Gen2(), "TvxSim2_ControlWords");
    const uint32_t count = controlWords(index, nullptr, 0);
    std::vector<uint32_t> words(count);
    controlWords(index, words.data(), count);
    return words;
}

uint32_t SpaceConfig2(uint32_t index, uint32_t space)
{
    static TvxSim2_SpaceConfig_t* spaceConfig =
        Find<TvxSim2_SpaceConfig_t>(Gen2(), "TvxSim2_SpaceConfig");
    return spaceConfig(index, space);
}

uint32_t Peek2(uint32_t index, uint32_t space, uint32_t byteOffset)
{
    static TvxSim2_Peek_t* peek = Find<TvxSim2_Peek_t>(Gen2(), "TvxSim2_Peek");
    return peek(index, space, byteOffset);
}

void Poke2(uint32_t index, uint32_t space, uint32_t byteOffset, uint32_t value)
{
    static TvxSim2_Poke_t* poke = Find<TvxSim2_Poke_t>(Gen2(), "TvxSim2_Poke");
    poke(index, space, byteOffset, value);
}

} // namespace Corvane::Common::SimHost
