#include "SimHost.h"

#include "platform/SharedLibrary.h"
#include "sim/TvxSimApi.h"

#include <cstdio>
#include <cstdlib>

namespace Corvane::Common::SimHost
{

namespace
{

// Opened again by name, which yields the modules the card layer holds; kept for the process.
const CSharedLibrary& Module(const char* fileName)
{
    CSharedLibrary* module = CSharedLibrary::Load(fileName).release();
    if (module == nullptr)
    {
        std::fprintf(stderr, "the stand-in %s is not on the library path\n", fileName);
        std::abort();
    }
    return *module;
}

template <typename Function> Function* Find(bool gen3, const char* name)
{
    static const CSharedLibrary& gen3Module = Module(Gen3LibraryFileName());
    static const CSharedLibrary& gen2Module = Module(Gen2LibraryFileName());
    Function* function = (gen3 ? gen3Module : gen2Module).Find<Function>(name);
    if (function == nullptr)
    {
        std::fprintf(stderr, "the stand-in has no function %s\n", name);
        std::abort();
    }
    return function;
}

// A log function asked first for its length, then for its words.
template <typename Fill> std::vector<uint32_t> AllWords(Fill fill)
{
    std::vector<uint32_t> words(fill(nullptr, 0));
    fill(words.data(), static_cast<uint32_t>(words.size()));
    return words;
}

} // namespace

bool Configure(const std::string& text)
{
    return Find<TvxSim_Configure_t>(true, "TvxSim_Configure")(text.c_str()) == 1 &&
           Find<TvxSim_Configure_t>(false, "TvxSim_Configure")(text.c_str()) == 1;
}

uint64_t Count3(uint32_t index, const char* counter)
{
    return Find<TvxSim3_Count_t>(true, "TvxSim3_Count")(index, counter);
}

void Poke3(uint32_t index, uint32_t window, uint32_t byteOffset, uint32_t value)
{
    Find<TvxSim3_Poke_t>(true, "TvxSim3_Poke")(index, window, byteOffset, value);
}

uint32_t LastWrite3(uint32_t index, uint32_t window, uint32_t byteOffset)
{
    return Find<TvxSim3_LastWrite_t>(true, "TvxSim3_LastWrite")(index, window, byteOffset);
}

std::vector<uint32_t> WriteLog3(uint32_t index, uint32_t window, uint32_t byteOffset)
{
    auto* writeLog = Find<TvxSim3_WriteLog_t>(true, "TvxSim3_WriteLog");
    return AllWords([&](uint32_t* values, uint32_t capacity)
                    { return writeLog(index, window, byteOffset, values, capacity); });
}

uint32_t PeekFpga3(uint32_t index, uint32_t byteAddress)
{
    return Find<TvxSim3_PeekFpga_t>(true, "TvxSim3_PeekFpga")(index, byteAddress);
}

void PokeFpga3(uint32_t index, uint32_t byteAddress, uint32_t value)
{
    Find<TvxSim3_PokeFpga_t>(true, "TvxSim3_PokeFpga")(index, byteAddress, value);
}

uint32_t LastConfigureFlags3(uint32_t index)
{
    uint32_t flags = 0;
    char path[8];
    Find<TvxSim3_LastConfigure_t>(true, "TvxSim3_LastConfigure")(index, path, sizeof path, &flags);
    return flags;
}

uint64_t Count2(uint32_t index, const char* counter)
{
    return Find<TvxSim2_Count_t>(false, "TvxSim2_Count")(index, counter);
}

std::vector<uint32_t> ControlWords2(uint32_t index)
{
    auto* controlWords = Find<TvxSim2_ControlWords_t>(false, "TvxSim2_ControlWords");
    return AllWords([&](uint32_t* words, uint32_t capacity)
                    { return controlWords(index, words, capacity); });
}

uint32_t SpaceConfig2(uint32_t index, uint32_t space)
{
    return Find<TvxSim2_SpaceConfig_t>(false, "TvxSim2_SpaceConfig")(index, space);
}

uint32_t Peek2(uint32_t index, uint32_t space, uint32_t byteOffset)
{
    return Find<TvxSim2_Peek_t>(false, "TvxSim2_Peek")(index, space, byteOffset);
}

void Poke2(uint32_t index, uint32_t space, uint32_t byteOffset, uint32_t value)
{
    Find<TvxSim2_Poke_t>(false, "TvxSim2_Poke")(index, space, byteOffset, value);
}

std::vector<uint8_t> McuReceived3(uint32_t index)
{
    auto* received = Find<TvxSim3_McuReceived_t>(true, "TvxSim3_McuReceived");
    std::vector<uint8_t> bytes(received(index, nullptr, 0));
    received(index, bytes.data(), static_cast<uint32_t>(bytes.size()));
    return bytes;
}

} // namespace Corvane::Common::SimHost
