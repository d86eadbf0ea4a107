#include "FileLock.h"

#include "Time.h"

#ifdef _WIN32
#include "WideText.h"

#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace Corvane::Common
{

namespace
{
// How often a waiting process looks whether the lock has become free.
const unsigned RetryMilliseconds = 10;
} // namespace

CFileLock::~CFileLock()
{
    Release();
}

bool CFileLock::Acquire(const std::string& path, int timeoutMilliseconds)
{
    Release();
#ifdef _WIN32
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    Handle = file;
#else
    Descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (Descriptor < 0)
        return false;
#endif
    CStopwatch waited;
    while (!TryLock())
    {
        if (timeoutMilliseconds >= 0 && waited.ElapsedSeconds() * 1000 >= timeoutMilliseconds)
        {
            Release();
            return false;
        }
        SleepMilliseconds(RetryMilliseconds);
    }
    return true;
}

#ifdef _WIN32

bool CFileLock::TryLock()
{
    OVERLAPPED whole{};
    return LockFileEx(Handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                      &whole) != 0;
}

void CFileLock::Release()
{
    if (Handle != nullptr)
    {
        // Closing the handle releases the lock.
        CloseHandle(Handle);
        Handle = nullptr;
    }
}

bool CFileLock::IsHeld() const
{
    return Handle != nullptr;
}

#else

bool CFileLock::TryLock()
{
    return flock(Descriptor, LOCK_EX | LOCK_NB) == 0;
}

void CFileLock::Release()
{
    if (Descriptor >= 0)
    {
        // Closing the descriptor releases the lock.
        close(Descriptor);
        Descriptor = -1;
    }
}

bool CFileLock::IsHeld() const
{
    return Descriptor >= 0;
}

#endif

} // namespace Corvane::Common
