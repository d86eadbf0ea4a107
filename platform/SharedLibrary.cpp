#include "SharedLibrary.h"

#ifdef _WIN32
#include "WideText.h"

#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace Corvane::Common
{

#ifdef _WIN32

std::unique_ptr<CSharedLibrary> CSharedLibrary::Load(const std::string& fileName)
{
    // The tool runs as administrator, often from a folder others can write: the current folder is
    // left out of the search, so that a library planted there is never loaded.
    SetDllDirectoryW(L"");
    HMODULE module = LoadLibraryW(Widen(fileName).c_str());
    if (module == nullptr)
        return nullptr;
    return std::unique_ptr<CSharedLibrary>(new CSharedLibrary(module));
}

CSharedLibrary::~CSharedLibrary()
{
    FreeLibrary(static_cast<HMODULE>(Module));
}

void* CSharedLibrary::FindFunction(const char* name) const
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(Module), name));
}

const char* Gen2LibraryFileName()
{
    return "torvex.dll";
}

const char* Gen3LibraryFileName()
{
    return "torvex3.dll";
}

#else

std::unique_ptr<CSharedLibrary> CSharedLibrary::Load(const std::string& fileName)
{
    void* module = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr)
        return nullptr;
    return std::unique_ptr<CSharedLibrary>(new CSharedLibrary(module));
}

CSharedLibrary::~CSharedLibrary()
{
    dlclose(Module);
}

void* CSharedLibrary::FindFunction(const char* name) const
{
    return dlsym(Module, name);
}

const char* Gen2LibraryFileName()
{
    return "libtorvex.so";
}

const char* Gen3LibraryFileName()
{
    return "libtorvex3.so";
}

#endif

} // namespace Corvane::Common
