#include "FileLock.h"

#include "Time.h"

#ifdef _WIN32
#include "WideText.h"

#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

LockOutcome CFileLock::Acquire(const std::string& path, int timeoutMilliseconds)
{
    Release();
    LockOutcome outcome;
    outcome.Place = path;
    outcome.Status = Open(path);
    if (outcome.Status != LockStatus::Held)
    {
        Release();
        return outcome;
    }
    CStopwatch waited;
    while (!TryLock())
    {
        if (timeoutMilliseconds >= 0 && waited.ElapsedSeconds() * 1000 >= timeoutMilliseconds)
        {
            outcome.Status = LockStatus::Busy;
            outcome.Holder = ReadHolder();
            Release();
            return outcome;
        }
        SleepMilliseconds(RetryMilliseconds);
    }
    NoteHolder();
    return outcome;
}

#ifdef _WIN32

LockStatus CFileLock::Open(const std::string& path)
{
    const std::wstring name = Widen(path);
    const DWORD standing = GetFileAttributesW(name.c_str());
    if (standing != INVALID_FILE_ATTRIBUTES &&
        (standing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        return LockStatus::NotAPlainFile;
    // A reparse point (a link) is opened as itself, never followed.
    HANDLE file =
        CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LockStatus::CannotOpen;
    Handle = file;
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(file) != FILE_TYPE_DISK ||
        GetFileInformationByHandle(file, &information) == 0 ||
        (information.dwFileAttributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        information.nNumberOfLinks > 1)
        return LockStatus::NotAPlainFile;
    return LockStatus::Held;
}

bool CFileLock::TryLock()
{
    OVERLAPPED whole{};
    return LockFileEx(Handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                      &whole) != 0;
}

// The locked byte cannot be read by another process here: the holder stays unknown.
void CFileLock::NoteHolder() {}

unsigned long CFileLock::ReadHolder() const
{
    return 0;
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

namespace
{

// Readable by all, so that a waiting run of another user can read the holder; writable by its
// owner only.
const mode_t LockFileMode = 0644;

bool IsPlainFileOfItsOwn(const struct stat& status)
{
    // A second name of a file (a hard link) could be any file on the host: it is refused like a
    // symbolic link, so that nothing of another file is changed.
    return S_ISREG(status.st_mode) && status.st_nlink == 1;
}

bool IsRunning(pid_t process)
{
    return kill(process, 0) == 0 || errno == EPERM;
}

} // namespace

LockStatus CFileLock::Open(const std::string& path)
{
    // Whatever other than a plain file stands under the name is not even opened (a device could
    // act on the open).
    struct stat status
    {
    };
    if (lstat(path.c_str(), &status) == 0 && !IsPlainFileOfItsOwn(status))
        return LockStatus::NotAPlainFile;
    // Never through a link; a pipe that took the name since would not hold up the open.
    const int flags = O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    Writable = true;
    Descriptor = open(path.c_str(), O_RDWR | O_CREAT | flags, LockFileMode);
    if (Descriptor < 0 && errno == EACCES)
    {
        // Another user's lock file: a read-only descriptor takes the lock as well.
        Writable = false;
        Descriptor = open(path.c_str(), O_RDONLY | flags);
    }
    if (Descriptor < 0)
        return errno == ELOOP || errno == EISDIR || errno == ENXIO ? LockStatus::NotAPlainFile
                                                                   : LockStatus::CannotOpen;
    if (fstat(Descriptor, &status) != 0)
        return LockStatus::CannotOpen;
    if (!IsPlainFileOfItsOwn(status))
        return LockStatus::NotAPlainFile;
    // The mode is set, whatever the umask, only on a file of this user's own.
    if (status.st_uid == geteuid() && (status.st_mode & 07777) != LockFileMode &&
        fchmod(Descriptor, LockFileMode) != 0)
        return LockStatus::CannotOpen;
    return LockStatus::Held;
}

bool CFileLock::TryLock()
{
    return flock(Descriptor, LOCK_EX | LOCK_NB) == 0;
}

void CFileLock::NoteHolder()
{
    Locked = true;
    // Without the process id a waiting run only cannot say which run it waited for.
    const std::string text = std::to_string(getpid()) + "\n";
    if (Writable && ftruncate(Descriptor, 0) == 0)
        Writable =
            pwrite(Descriptor, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

unsigned long CFileLock::ReadHolder() const
{
    char text[24] = {};
    if (pread(Descriptor, text, sizeof text - 1, 0) <= 0)
        return 0;
    char* end = nullptr;
    const unsigned long process = std::strtoul(text, &end, 10);
    // A process id left by a holder that ended without clearing it names nobody.
    if (end == text || *end != '\n' || process == 0 || !IsRunning(static_cast<pid_t>(process)))
        return 0;
    return process;
}

void CFileLock::Release()
{
    if (Descriptor >= 0)
    {
        // A holder clears its process id (a process that only tried leaves the holder's), and
        // closing the descriptor releases the lock.
        if (Locked && Writable && ftruncate(Descriptor, 0) != 0)
            Writable = false;
        close(Descriptor);
        Locked = false;
        Descriptor = -1;
    }
}

bool CFileLock::IsHeld() const
{
    return Descriptor >= 0;
}

#endif

} // namespace Corvane::Common
