#include "SimHost.h"

#include "platform/SharedLibrary.h"

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

// A log function asked first for its length, then for its items.
template <typename Item, typename Fill> std::vector<Item> All(Fill fill)
{
    std::vector<Item> items(fill(nullptr, 0));
    fill(items.data(), static_cast<uint32_t>(items.size()));
    return items;
}

} // namespace

void* FindFunction(Library library, const char* name)
{
    static const CSharedLibrary& gen3 = Module(Gen3LibraryFileName());
    static const CSharedLibrary& gen2 = Module(Gen2LibraryFileName());
    void* function = (library == Library::Gen3 ? gen3 : gen2).FindFunction(name);
    if (function == nullptr)
        Fail("library has no function", name);
    return function;
}

SIM_FUNCTION(Gen3, Configure3, TvxSim_Configure);
SIM_FUNCTION(Gen2, Configure2, TvxSim_Configure);

bool Configure(const std::string& text)
{
    return Configure3(text.c_str()) == 1 && Configure2(text.c_str()) == 1;
}

std::string LastError()
{
    SIM_FUNCTION(Gen3, lastError, TvxSim_LastError);
    return lastError();
}

std::vector<uint32_t> WriteLog3(uint32_t index, uint32_t window, uint32_t byteOffset)
{
    SIM_FUNCTION(Gen3, writeLog, TvxSim3_WriteLog);
    return All<uint32_t>([&](uint32_t* values, uint32_t capacity)
                         { return writeLog(index, window, byteOffset, values, capacity); });
}

uint32_t LastConfigureFlags3(uint32_t index)
{
    SIM_FUNCTION(Gen3, lastConfigure, TvxSim3_LastConfigure);
    uint32_t flags = 0;
    lastConfigure(index, nullptr, 0, &flags);
    return flags;
}

std::vector<uint8_t> McuReceived3(uint32_t index)
{
    SIM_FUNCTION(Gen3, received, TvxSim3_McuReceived);
    return All<uint8_t>([&](uint8_t* bytes, uint32_t capacity)
                        { return received(index, bytes, capacity); });
}

std::vector<uint32_t> ControlWords2(uint32_t index)
{
    SIM_FUNCTION(Gen2, controlWords, TvxSim2_ControlWords);
    return All<uint32_t>([&](uint32_t* words, uint32_t capacity)
                         { return controlWords(index, words, capacity); });
}

MappedCard ConfigureAndMap(const std::string& configuration, uint32_t index)
{
    SIM_FUNCTION(Gen3, open, TORVEX3_OpenEx);
    SIM_FUNCTION(Gen3, map, TORVEX3_MapWindow);
    MappedCard card;
    void* windows[3] = {};
    if (!Configure(configuration) || open(index, 0, 0, &card.Handle) != 0 ||
        map(card.Handle, 0, 0, 0x400000, &windows[0]) != 0 ||
        map(card.Handle, 2, 0, 0x800, &windows[1]) != 0 ||
        map(card.Handle, 3, 0, 0x100, &windows[2]) != 0)
        return MappedCard();
    card.Fpga = static_cast<uint8_t*>(windows[0]);
    card.Registers = static_cast<uint8_t*>(windows[1]);
    card.Bridge = static_cast<uint8_t*>(windows[2]);
    return card;
}

} // namespace Corvane::Common::SimHost
