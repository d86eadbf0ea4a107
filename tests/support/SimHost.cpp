#include "SimHost.h"

#include "platform/SharedLibrary.h"
#include "sim/TvxSimApi.h"

#include <cstdio>
#include <cstdlib>

namespace Corvane::Common::SimHost
{

namespace
{

[[noreturn]] void Fail(const char* what, const char* name)
{
    std::fprintf(stderr, "the stand-in %s %s\n", what, name);
    std::abort();
}

// Kept for the whole process: once a window is mapped, a stand-in library stays loaded anyway.
const CSharedLibrary& Module(const char* fileName)
{
    CSharedLibrary* module = CSharedLibrary::Load(fileName).release();
    if (module == nullptr)
        Fail("library is not on the library path:", fileName);
    return *module;
}

void* Find(const CSharedLibrary& module, const char* name)
{
    void* function = module.FindFunction(name);
    if (function == nullptr)
        Fail("library has no function", name);
    return function;
}

// A log function asked first for its length, then for its items.
template <typename Item, typename Fill> std::vector<Item> All(Fill fill)
{
    std::vector<Item> items(fill(nullptr, 0));
    fill(items.data(), static_cast<uint32_t>(items.size()));
    return items;
}

} // namespace

void* Gen3Function(const char* name)
{
    static const CSharedLibrary& module = Module(Gen3LibraryFileName());
    return Find(module, name);
}

void* Gen2Function(const char* name)
{
    static const CSharedLibrary& module = Module(Gen2LibraryFileName());
    return Find(module, name);
}

bool Configure(const std::string& text)
{
    return Gen3<TvxSim_Configure_t>("TvxSim_Configure")(text.c_str()) == 1 &&
           Gen2<TvxSim_Configure_t>("TvxSim_Configure")(text.c_str()) == 1;
}

std::string LastError()
{
    return Gen3<TvxSim_LastError_t>("TvxSim_LastError")();
}

uint64_t Count3(uint32_t index, const char* counter)
{
    return Gen3<TvxSim3_Count_t>("TvxSim3_Count")(index, counter);
}

void ClearCounters3(uint32_t index)
{
    Gen3<TvxSim3_ClearCounters_t>("TvxSim3_ClearCounters")(index);
}

uint32_t Peek3(uint32_t index, uint32_t window, uint32_t byteOffset)
{
    return Gen3<TvxSim3_Peek_t>("TvxSim3_Peek")(index, window, byteOffset);
}

void Poke3(uint32_t index, uint32_t window, uint32_t byteOffset, uint32_t value)
{
    Gen3<TvxSim3_Poke_t>("TvxSim3_Poke")(index, window, byteOffset, value);
}

uint32_t LastWrite3(uint32_t index, uint32_t window, uint32_t byteOffset)
{
    return Gen3<TvxSim3_LastWrite_t>("TvxSim3_LastWrite")(index, window, byteOffset);
}

std::vector<uint32_t> WriteLog3(uint32_t index, uint32_t window, uint32_t byteOffset)
{
    auto* writeLog = Gen3<TvxSim3_WriteLog_t>("TvxSim3_WriteLog");
    return All<uint32_t>([&](uint32_t* values, uint32_t capacity)
                         { return writeLog(index, window, byteOffset, values, capacity); });
}

uint32_t PeekFpga3(uint32_t index, uint32_t byteAddress)
{
    return Gen3<TvxSim3_PeekFpga_t>("TvxSim3_PeekFpga")(index, byteAddress);
}

void PokeFpga3(uint32_t index, uint32_t byteAddress, uint32_t value)
{
    Gen3<TvxSim3_PokeFpga_t>("TvxSim3_PokeFpga")(index, byteAddress, value);
}

uint32_t LastConfigureFlags3(uint32_t index)
{
    uint32_t flags = 0;
    Gen3<TvxSim3_LastConfigure_t>("TvxSim3_LastConfigure")(index, nullptr, 0, &flags);
    return flags;
}

std::vector<uint8_t> McuReceived3(uint32_t index)
{
    auto* received = Gen3<TvxSim3_McuReceived_t>("TvxSim3_McuReceived");
    return All<uint8_t>([&](uint8_t* bytes, uint32_t capacity)
                        { return received(index, bytes, capacity); });
}

uint64_t Count2(uint32_t index, const char* counter)
{
    return Gen2<TvxSim2_Count_t>("TvxSim2_Count")(index, counter);
}

std::vector<uint32_t> ControlWords2(uint32_t index)
{
    auto* controlWords = Gen2<TvxSim2_ControlWords_t>("TvxSim2_ControlWords");
    return All<uint32_t>([&](uint32_t* words, uint32_t capacity)
                         { return controlWords(index, words, capacity); });
}

uint32_t SpaceConfig2(uint32_t index, uint32_t space)
{
    return Gen2<TvxSim2_SpaceConfig_t>("TvxSim2_SpaceConfig")(index, space);
}

uint32_t Peek2(uint32_t index, uint32_t space, uint32_t byteOffset)
{
    return Gen2<TvxSim2_Peek_t>("TvxSim2_Peek")(index, space, byteOffset);
}

void Poke2(uint32_t index, uint32_t space, uint32_t byteOffset, uint32_t value)
{
    Gen2<TvxSim2_Poke_t>("TvxSim2_Poke")(index, space, byteOffset, value);
}

MappedCard OpenAndMap(uint32_t index)
{
    auto* map = Gen3<TORVEX3_MapWindow_t>("TORVEX3_MapWindow");
    MappedCard card;
    void* windows[3] = {};
    if (Gen3<TORVEX3_OpenEx_t>("TORVEX3_OpenEx")(index, 0, 0, &card.Handle) != 0 ||
        map(card.Handle, 0, 0, 0x400000, &windows[0]) != 0 ||
        map(card.Handle, 2, 0, 0x800, &windows[1]) != 0 ||
        map(card.Handle, 3, 0, 0x100, &windows[2]) != 0)
        return MappedCard();
    card.Fpga = static_cast<uint8_t*>(windows[0]);
    card.Registers = static_cast<uint8_t*>(windows[1]);
    card.Bridge = static_cast<uint8_t*>(windows[2]);
    return card;
}

MappedCard ConfigureAndMap(const std::string& configuration, uint32_t index)
{
    return Configure(configuration) ? OpenAndMap(index) : MappedCard();
}

} // namespace Corvane::Common::SimHost
