#pragma once

#include <string>

namespace Corvane::Common
{

enum class LockStatus
{
    Held,
    Busy,          // another process held it all the time given
    NotAPlainFile, // a link, a folder, a device or a second name of another file stands there
    CannotOpen,    // it cannot be created or opened
};

struct LockOutcome
{
    LockStatus Status = LockStatus::CannotOpen;
    // With Busy: the process that holds the lock, 0 when that cannot be known.
    unsigned long Holder = 0;
    // Where the lock lives (its file, or the name of its mutex), for a message.
    std::string Place;
};

// An exclusive lock between processes, held on a lock file for as long as the object holds it.
// The lock file is created when missing and stays behind; the lock goes with the process that
// holds it, also when that process ends without releasing it. The lock file is never opened
// through a link, is readable by all and writable by its owner, and names (on Linux) the process
// that holds the lock, so that a waiting process can say which one it waited for.
class CFileLock
{
public:
    CFileLock() = default;
    ~CFileLock();
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;

    // Takes the lock, waiting at most the given time (a negative time: as long as it takes).
    LockOutcome Acquire(const std::string& path, int timeoutMilliseconds);
    void Release();
    bool IsHeld() const;

private:
    LockStatus Open(const std::string& path);
    bool TryLock();
    void NoteHolder();
    unsigned long ReadHolder() const;

#ifdef _WIN32
    void* Handle = nullptr;
#else
    int Descriptor = -1;
    bool Writable = false; // the holder can note its process id
    bool Locked = false;
#endif
};

} // namespace Corvane::Common
