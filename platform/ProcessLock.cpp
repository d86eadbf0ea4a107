#include "ProcessLock.h"

#ifdef _WIN32
#include "WideText.h"

#include <windows.h>
#else
#include <cstdlib>
#endif

namespace Corvane::Common
{

CProcessLock::~CProcessLock()
{
    Release();
}

#ifdef _WIN32

namespace
{

// Maps the holder's section, reads or writes the process id in it, and unmaps it again.
bool AccessHolder(HANDLE section, DWORD access, DWORD& process, bool write)
{
    void* view = MapViewOfFile(section, access, 0, 0, sizeof(DWORD));
    if (view == nullptr)
        return false;
    volatile DWORD* shared = static_cast<volatile DWORD*>(view);
    if (write)
        *shared = process;
    else
        process = *shared;
    UnmapViewOfFile(view);
    return true;
}

HANDLE NoteHolder(const std::string& sectionName)
{
    HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(DWORD), Widen(sectionName).c_str());
    DWORD process = GetCurrentProcessId();
    if (section != nullptr && !AccessHolder(section, FILE_MAP_WRITE, process, true))
    {
        CloseHandle(section);
        section = nullptr;
    }
    return section;
}

unsigned long ReadHolder(const std::string& sectionName)
{
    HANDLE section = OpenFileMappingW(FILE_MAP_READ, FALSE, Widen(sectionName).c_str());
    if (section == nullptr)
        return 0;
    DWORD process = 0;
    if (!AccessHolder(section, FILE_MAP_READ, process, false))
        process = 0;
    CloseHandle(section);
    return process;
}

} // namespace

LockOutcome CProcessLock::Acquire(const std::string& name, unsigned timeoutMilliseconds)
{
    Release();
    LockOutcome outcome;
    // Global: a run in another session would reach the same card. Without the right to make
    // global objects, the session's own namespace still keeps two runs of one user apart.
    outcome.Place = "Global\\" + name;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, Widen(outcome.Place).c_str());
    if (mutex == nullptr)
    {
        outcome.Place = "Local\\" + name;
        mutex = CreateMutexW(nullptr, FALSE, Widen(outcome.Place).c_str());
    }
    if (mutex == nullptr)
        return outcome;
    const std::string sectionName = outcome.Place + "-holder";
    const DWORD waited = WaitForSingleObject(mutex, timeoutMilliseconds);
    // An abandoned mutex was left by a run that ended without releasing it: now it is ours.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED)
    {
        CloseHandle(mutex);
        if (waited == WAIT_TIMEOUT)
        {
            outcome.Status = LockStatus::Busy;
            outcome.Holder = ReadHolder(sectionName);
        }
        return outcome;
    }
    Mutex = mutex;
    HolderSection = NoteHolder(sectionName);
    outcome.Status = LockStatus::Held;
    return outcome;
}

void CProcessLock::Release()
{
    if (HolderSection != nullptr)
    {
        DWORD nobody = 0;
        AccessHolder(HolderSection, FILE_MAP_WRITE, nobody, true);
        CloseHandle(HolderSection);
        HolderSection = nullptr;
    }
    if (Mutex != nullptr)
    {
        ReleaseMutex(Mutex);
        CloseHandle(Mutex);
        Mutex = nullptr;
    }
}

#else

namespace
{

// The system's folder for lock files, the same for every process of the host whatever its
// TMPDIR or private /tmp. The test suites give each run a folder of its own instead, so that
// they neither wait for nor hold up each other or a run on the host; nothing else sets it.
std::string LockFolder()
{
    const char* forTests = std::getenv("MISTLE_TEST_LOCK_FOLDER");
    return forTests != nullptr && *forTests != '\0' ? forTests : "/run/lock";
}

} // namespace

LockOutcome CProcessLock::Acquire(const std::string& name, unsigned timeoutMilliseconds)
{
    return File.Acquire(LockFolder() + "/" + name + ".lock", static_cast<int>(timeoutMilliseconds));
}

void CProcessLock::Release()
{
    File.Release();
}

#endif

} // namespace Corvane::Common
