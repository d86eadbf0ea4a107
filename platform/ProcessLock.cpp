#include "ProcessLock.h"

#ifdef _WIN32
#include "WideText.h"

#include <windows.h>
#else
#include <filesystem>
#endif

namespace Corvane::Common
{

CProcessLock::~CProcessLock()
{
    Release();
}

#ifdef _WIN32

bool CProcessLock::Acquire(const std::string& name, unsigned timeoutMilliseconds)
{
    Release();
    // Global: a run in another session would reach the same card. Without the right to make
    // global objects, the session's own namespace still keeps two runs of one user apart.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, Widen("Global\\" + name).c_str());
    if (mutex == nullptr)
        mutex = CreateMutexW(nullptr, FALSE, Widen("Local\\" + name).c_str());
    if (mutex == nullptr)
        return false;
    const DWORD waited = WaitForSingleObject(mutex, timeoutMilliseconds);
    // An abandoned mutex was left by a run that ended without releasing it: now it is ours.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED)
    {
        CloseHandle(mutex);
        return false;
    }
    Mutex = mutex;
    return true;
}

void CProcessLock::Release()
{
    if (Mutex != nullptr)
    {
        ReleaseMutex(Mutex);
        CloseHandle(Mutex);
        Mutex = nullptr;
    }
}

#else

bool CProcessLock::Acquire(const std::string& name, unsigned timeoutMilliseconds)
{
    // The system's temporary folder, as every program finds it.
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error)
        folder = "/tmp";
    return File.Acquire((folder / (name + ".lock")).string(),
                        static_cast<int>(timeoutMilliseconds));
}

void CProcessLock::Release()
{
    File.Release();
}

#endif

} // namespace Corvane::Common
