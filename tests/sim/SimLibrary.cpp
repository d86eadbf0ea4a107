#include "SimLibrary.h"

#include "platform/SharedLibrary.h"

#include <memory>

using namespace Corvane::Common;

namespace SimTest
{

namespace
{

// The libraries stay loaded for the whole test program: once a window is mapped, a stand-in
// library keeps itself loaded anyway.
CSharedLibrary* Keep(const char* fileName)
{
    return CSharedLibrary::Load(fileName).release();
}

template <typename Function> bool Resolve(CSharedLibrary* library, const char* name, Function*& out)
{
    out = library->Find<Function>(name);
    return out != nullptr;
}

#define RESOLVE(prefix, name) Resolve(library, #prefix #name, api.name)

std::unique_ptr<Gen3Library> ResolveGen3()
{
    CSharedLibrary* library = Keep(Gen3LibraryFileName());
    if (library == nullptr)
        return nullptr;
    auto result = std::make_unique<Gen3Library>();
    Gen3Library& api = *result;
    const bool complete = RESOLVE(TORVEX3_, OpenEx) && RESOLVE(TORVEX3_, GetCardInfo) &&
                          RESOLVE(TORVEX3_, ConfigureFromFileA) && RESOLVE(TORVEX3_, MapWindow) &&
                          RESOLVE(TORVEX3_, SetClockFrequency) && RESOLVE(TORVEX3_, GetFpgaInfoA) &&
                          RESOLVE(TORVEX3_, GetFpgaInfoW) && RESOLVE(TORVEX3_, GetBankInfo) &&
                          RESOLVE(TORVEX3_, UnmapWindow) && RESOLVE(TORVEX3_, Close) &&
                          RESOLVE(TORVEX3_, GetStatusStringA) && RESOLVE(TvxSim_, Configure) &&
                          RESOLVE(TvxSim_, LastError) && RESOLVE(TvxSim3_, Count) &&
                          RESOLVE(TvxSim3_, ClearCounters) && RESOLVE(TvxSim3_, Peek) &&
                          RESOLVE(TvxSim3_, Poke) && RESOLVE(TvxSim3_, LastWrite) &&
                          RESOLVE(TvxSim3_, PeekFpga) && RESOLVE(TvxSim3_, PokeFpga) &&
                          RESOLVE(TvxSim3_, McuReceived) && RESOLVE(TvxSim3_, McuSend) &&
                          RESOLVE(TvxSim3_, OpenHandles) && RESOLVE(TvxSim3_, LastConfigure) &&
                          RESOLVE(TvxSim3_, ClockFrequency);
    return complete ? std::move(result) : nullptr;
}

std::unique_ptr<Gen2Library> ResolveGen2()
{
    CSharedLibrary* library = Keep(Gen2LibraryFileName());
    if (library == nullptr)
        return nullptr;
    auto result = std::make_unique<Gen2Library>();
    Gen2Library& api = *result;
    const bool complete = RESOLVE(TORVEX2_, OpenCardByIndex) && RESOLVE(TORVEX2_, GetCardInfo) &&
                          RESOLVE(TORVEX2_, GetSpaceInfo) && RESOLVE(TORVEX2_, SetSpaceConfig) &&
                          RESOLVE(TORVEX2_, ConfigureFromFile) && RESOLVE(TORVEX2_, SetClockRate) &&
                          RESOLVE(TORVEX2_, GetBankInfo) && RESOLVE(TORVEX2_, CloseCard) &&
                          RESOLVE(TORVEX2_, GetStatusString) && RESOLVE(TvxSim_, Configure) &&
                          RESOLVE(TvxSim_, LastError) && RESOLVE(TvxSim2_, Count) &&
                          RESOLVE(TvxSim2_, ControlWords) && RESOLVE(TvxSim2_, Peek) &&
                          RESOLVE(TvxSim2_, Poke) && RESOLVE(TvxSim2_, SpaceConfig) &&
                          RESOLVE(TvxSim2_, LastConfigure) && RESOLVE(TvxSim2_, OpenHandles) &&
                          RESOLVE(TvxSim2_, ClockFrequency);
    return complete ? std::move(result) : nullptr;
}

} // namespace

const Gen3Library* LoadGen3()
{
    static const std::unique_ptr<Gen3Library> library = ResolveGen3();
    return library.get();
}

const Gen2Library* LoadGen2()
{
    static const std::unique_ptr<Gen2Library> library = ResolveGen2();
    return library.get();
}

MappedCard ConfigureAndMap(const std::string& configuration, uint32_t index)
{
    const Gen3Library* api = LoadGen3();
    MappedCard card;
    if (api == nullptr || !api->Configure(configuration.c_str()) ||
        api->OpenEx(index, 0, 0, &card.Handle) != 0)
        return MappedCard();
    void* fpga = nullptr;
    void* registers = nullptr;
    void* bridge = nullptr;
    if (api->MapWindow(card.Handle, 0, 0, 0x400000, &fpga) != 0 ||
        api->MapWindow(card.Handle, 2, 0, 0x800, &registers) != 0 ||
        api->MapWindow(card.Handle, 3, 0, 0x100, &bridge) != 0)
        return MappedCard();
    card.Fpga = static_cast<uint8_t*>(fpga);
    card.Registers = static_cast<uint8_t*>(registers);
    card.Bridge = static_cast<uint8_t*>(bridge);
    return card;
}

} // namespace SimTest
