#include "cards/BoardLibraryFunctions.h"

#include "cards/BoardLibraries.h"
#include "cards/CardTrace.h"
#include "platform/SharedLibrary.h"

#include <memory>

namespace Corvane::Common
{

bool Gen2LibraryMissing = false;
bool Gen3LibraryMissing = false;

namespace
{

template <typename Function>
bool Resolve(const CSharedLibrary& module, const char* name, Function*& function)
{
    function = module.Find<Function>(name);
    return function != nullptr;
}

bool ResolveAll(const CSharedLibrary& module, CGen3Library& library)
{
    return Resolve(module, "TORVEX3_OpenEx", library.OpenEx) &&
           Resolve(module, "TORVEX3_GetCardInfo", library.GetCardInfo) &&
           Resolve(module, "TORVEX3_ConfigureFromFileA", library.ConfigureFromFileA) &&
           Resolve(module, "TORVEX3_MapWindow", library.MapWindow) &&
           Resolve(module, "TORVEX3_SetClockFrequency", library.SetClockFrequency) &&
           Resolve(module, "TORVEX3_GetFpgaInfoA", library.GetFpgaInfoA) &&
           Resolve(module, "TORVEX3_GetFpgaInfoW", library.GetFpgaInfoW) &&
           Resolve(module, "TORVEX3_GetBankInfo", library.GetBankInfo) &&
           Resolve(module, "TORVEX3_UnmapWindow", library.UnmapWindow) &&
           Resolve(module, "TORVEX3_Close", library.Close) &&
           Resolve(module, "TORVEX3_GetStatusStringA", library.GetStatusStringA);
}

bool ResolveAll(const CSharedLibrary& module, CGen2Library& library)
{
    return Resolve(module, "TORVEX2_OpenCardByIndex", library.OpenCardByIndex) &&
           Resolve(module, "TORVEX2_GetCardInfo", library.GetCardInfo) &&
           Resolve(module, "TORVEX2_GetSpaceInfo", library.GetSpaceInfo) &&
           Resolve(module, "TORVEX2_SetSpaceConfig", library.SetSpaceConfig) &&
           Resolve(module, "TORVEX2_ConfigureFromFile", library.ConfigureFromFile) &&
           Resolve(module, "TORVEX2_SetClockRate", library.SetClockRate) &&
           Resolve(module, "TORVEX2_GetBankInfo", library.GetBankInfo) &&
           Resolve(module, "TORVEX2_CloseCard", library.CloseCard) &&
           Resolve(module, "TORVEX2_GetStatusString", library.GetStatusString);
}

// The module, once loaded with all its functions, is never unloaded: card objects may live until
// the end of the process, past the destruction of static objects, and still call into it.
template <typename Library> struct CHeldLibrary
{
    CSharedLibrary* Module = nullptr;
    Library Functions{};
};

template <typename Library>
const Library* Acquire(CHeldLibrary<Library>& held, const char* fileName, bool& missing)
{
    if (held.Module == nullptr)
    {
        std::unique_ptr<CSharedLibrary> module = CSharedLibrary::Load(fileName);
        // A module without every function we call is as good as none; it is let go and looked
        // for again at the next construction.
        if (module != nullptr && ResolveAll(*module, held.Functions))
            held.Module = module.release();
    }
    missing = held.Module == nullptr;
    return missing ? nullptr : &held.Functions;
}

void TraceStatusText(const char* text)
{
    CardTrace(text != nullptr ? text : "");
}

} // namespace

const CGen3Library* AcquireGen3Library()
{
    static CHeldLibrary<CGen3Library> held;
    return Acquire(held, Gen3LibraryFileName(), Gen3LibraryMissing);
}

const CGen2Library* AcquireGen2Library()
{
    static CHeldLibrary<CGen2Library> held;
    return Acquire(held, Gen2LibraryFileName(), Gen2LibraryMissing);
}

bool Succeeded(const CGen3Library& library, TvxStatus status)
{
    if (status != 0)
        TraceStatusText(library.GetStatusStringA(status, 0));
    return status == 0;
}

bool Succeeded(const CGen2Library& library, TvxStatus status)
{
    if (status != 0)
        TraceStatusText(library.GetStatusString(status));
    return status == 0;
}

} // namespace Corvane::Common
