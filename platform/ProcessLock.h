#pragma once

#include "FileLock.h"

#include <string>

namespace Corvane::Common
{

// A lock between processes by name for the whole host, held until the object goes or the process
// ends: a global named mutex on Windows, a lock file in /run/lock elsewhere (whatever TMPDIR or a
// private /tmp says). The holder leaves its process id where a waiting process finds it:
// in the lock file, or on Windows in a shared memory section named after the mutex.
class CProcessLock
{
public:
    CProcessLock() = default;
    ~CProcessLock();
    CProcessLock(const CProcessLock&) = delete;
    CProcessLock& operator=(const CProcessLock&) = delete;

    // Takes the lock of that name, waiting at most the given time.
    LockOutcome Acquire(const std::string& name, unsigned timeoutMilliseconds);
    void Release();

private:
#ifdef _WIN32
    void* Mutex = nullptr;
    void* HolderSection = nullptr; // holds the process id of the holder
#else
    CFileLock File;
#endif
};

} // namespace Corvane::Common
