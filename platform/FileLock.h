#pragma once

#include <string>

namespace Corvane::Common
{

// An exclusive lock between processes, held on a lock file for as long as the object holds it.
// The lock file is created when missing and stays behind; the lock goes with the process that
// holds it, also when that process ends without releasing it.
class CFileLock
{
public:
    CFileLock() = default;
    ~CFileLock();
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;

    // Takes the lock, waiting at most the given time (a negative time: as long as it takes).
    // False when the file cannot be opened or another process holds the lock all that time.
    bool Acquire(const std::string& path, int timeoutMilliseconds);
    void Release();
    bool IsHeld() const;

private:
    bool TryLock();

#ifdef _WIN32
    void* Handle = nullptr;
#else
    int Descriptor = -1;
#endif
};

} // namespace Corvane::Common
