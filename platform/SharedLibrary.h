#pragma once

#include <memory>
#include <string>

namespace Corvane::Common
{

// A shared library loaded by its file name (found the way the platform's loader finds libraries).
// The module stays loaded while the object lives.
class CSharedLibrary
{
public:
    // Null when the library cannot be loaded.
    static std::unique_ptr<CSharedLibrary> Load(const std::string& fileName);
    ~CSharedLibrary();
    CSharedLibrary(const CSharedLibrary&) = delete;
    CSharedLibrary& operator=(const CSharedLibrary&) = delete;

    // The address of an exported function, or null when the library has none of that name.
    void* FindFunction(const char* name) const;

    template <typename Function> Function* Find(const char* name) const
    {
        return reinterpret_cast<Function*>(FindFunction(name));
    }

private:
    explicit CSharedLibrary(void* module) : Module(module) {}
    void* Module;
};

// The file names of the two board libraries on this platform.
const char* Gen2LibraryFileName();
const char* Gen3LibraryFileName();

} // namespace Corvane::Common
