#include "Files.h"

#include "Print.h"

#include <cerrno>
#include <chrono>
#include <mutex>
#include <random>
#include <utility>

#ifdef _WIN32
#include "WideText.h"

#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Corvane::Common
{

namespace
{

// Tries at names that happen to be taken (by a planted file or another run) before giving up.
const int TemporaryNameAttempts = 16;

// Sixteen hexadecimal digits from a generator seeded once from the system's source of randomness:
// nobody can tell the next name in advance and plant a link there.
std::string RandomSuffix()
{
    static std::mutex guard;
    static std::mt19937_64 generator = []
    {
        std::random_device source;
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        std::seed_seq seed{source(), source(), source(), source(), static_cast<unsigned>(now)};
        return std::mt19937_64(seed);
    }();
    uint64_t value = 0;
    {
        const std::lock_guard<std::mutex> held(guard);
        value = generator();
    }
    static const char digits[] = "0123456789abcdef";
    std::string suffix(16, '0');
    for (char& digit : suffix)
    {
        digit = digits[value & 0xf];
        value >>= 4;
    }
    return suffix;
}

std::string TemporaryNameFor(const std::string& path)
{
    return path + ".part-" + RandomSuffix();
}

#ifdef _WIN32

bool IsPlainFileHandle(HANDLE handle)
{
    return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK;
}

const char* ProblemOfExisting(HANDLE handle)
{
    switch (GetFileType(handle))
    {
    case FILE_TYPE_DISK:
        break;
    case FILE_TYPE_PIPE:
        return "a pipe";
    default:
        return "a device";
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileInformationByHandle(handle, &information) == 0)
        return nullptr; // the creation of the temporary file will say what is wrong
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return "a link";
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return "a folder";
    return nullptr;
}

#else

bool IsPlainFileDescriptor(int descriptor)
{
    struct stat status
    {
    };
    return fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
}

const char* ProblemOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return nullptr;
    if (S_ISLNK(mode))
        return "a link";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a pipe";
    if (S_ISSOCK(mode))
        return "a socket";
    return "a device";
}

#endif

} // namespace

const char* OutputNameProblem(const std::string& path)
{
#ifdef _WIN32
    // Opens what stands under the name itself, not what a link points to; a folder opens too.
    const HANDLE handle = CreateFileW(
        Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr; // free, or the creation of the temporary file will say what is wrong
    const char* problem = ProblemOfExisting(handle);
    CloseHandle(handle);
    return problem;
#else
    struct stat status
    {
    };
    if (lstat(path.c_str(), &status) != 0)
        return nullptr; // free, or the creation of the temporary file will say what is wrong
    return ProblemOfMode(status.st_mode);
#endif
}

bool IsUsableOutputName(const std::string& path)
{
    const char* problem = OutputNameProblem(path);
    if (problem == nullptr)
        return true;
    Print("\nThe output file %s is %s, not a plain file; the run is refused.\n", path.c_str(),
          problem);
    return false;
}

bool IsFolder(const std::string& path)
{
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
    struct stat status
    {
    };
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
#endif
}

#ifdef _WIN32

InputFile OpenInputFile(const std::string& path)
{
    if (IsFolder(path))
        return InputFile();
    InputFile file(std::fopen(path.c_str(), "rb"));
    // A device name (CON, a pipe) opens too, but reading it could wait for ever.
    if (file && !IsPlainFileHandle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file.get())))))
        file.reset();
    return file;
}

#else

InputFile OpenInputFile(const std::string& path)
{
    // Without O_NONBLOCK the open of a pipe would already wait for a writer.
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0)
        return InputFile();
    const int flags = fcntl(descriptor, F_GETFL);
    std::FILE* file = nullptr;
    if (IsPlainFileDescriptor(descriptor) && flags >= 0 &&
        fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) == 0)
        file = fdopen(descriptor, "rb");
    if (file == nullptr)
    {
        close(descriptor);
        errno = EINVAL;
    }
    return InputFile(file);
}

#endif

InputFileStatus ReadInputFile(const std::string& path, size_t maximumSize,
                              std::vector<uint8_t>& contents)
{
    contents.clear();
    const InputFile file = OpenInputFile(path);
    if (!file)
        return InputFileStatus::CannotOpen;
    uint8_t chunk[4096];
    for (;;)
    {
        const size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        if (got == 0)
            break;
        if (got > maximumSize - contents.size())
        {
            contents.clear();
            return InputFileStatus::TooLarge;
        }
        contents.insert(contents.end(), chunk, chunk + got);
    }
    if (std::ferror(file.get()))
    {
        contents.clear();
        return InputFileStatus::CannotOpen;
    }
    return InputFileStatus::Read;
}

COutputFile::COutputFile(std::string path) : Path(std::move(path)) {}

COutputFile::~COutputFile()
{
    Discard();
}

bool COutputFile::Create()
{
    Discard();
    Failed = false;
    if (OutputNameProblem(Path) != nullptr)
        return false;
    for (int attempt = 0; attempt < TemporaryNameAttempts; ++attempt)
    {
        const std::string candidate = TemporaryNameFor(Path);
#ifdef _WIN32
        HANDLE handle = CreateFileW(Widen(candidate).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE)
        {
            Handle = handle;
            TemporaryPath = candidate;
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return false;
#else
        // 0666: the mode any new file gets, less what the umask takes away.
        const int descriptor =
            open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (descriptor >= 0)
        {
            Descriptor = descriptor;
            TemporaryPath = candidate;
            return true;
        }
        if (errno != EEXIST)
            return false;
#endif
    }
    return false;
}

bool COutputFile::IsOpen() const
{
#ifdef _WIN32
    return Handle != nullptr;
#else
    return Descriptor >= 0;
#endif
}

bool COutputFile::Write(const void* data, size_t size)
{
    if (!IsOpen() || Failed)
        return false;
    const char* next = static_cast<const char*>(data);
    while (size > 0 && !Failed)
    {
#ifdef _WIN32
        const DWORD part = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (WriteFile(Handle, next, part, &written, nullptr) == 0 || written == 0)
            Failed = true;
#else
        const ssize_t written = write(Descriptor, next, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            Failed = true;
#endif
        if (Failed)
            break;
        next += written;
        size -= static_cast<size_t>(written);
    }
    return !Failed;
}

// A write that only the flush or the close reports (a full disk) fails the whole file.
bool COutputFile::Commit()
{
    if (!IsOpen())
        return false;
#ifdef _WIN32
    const bool flushed = FlushFileBuffers(Handle) != 0;
    const bool closed = CloseHandle(Handle) != 0;
    Handle = nullptr;
    const bool renamed = !Failed && flushed && closed &&
                         MoveFileExW(Widen(TemporaryPath).c_str(), Widen(Path).c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    const bool flushed = fsync(Descriptor) == 0;
    const bool closed = close(Descriptor) == 0;
    Descriptor = -1;
    const bool renamed =
        !Failed && flushed && closed && std::rename(TemporaryPath.c_str(), Path.c_str()) == 0;
#endif
    if (!renamed)
    {
        Discard();
        return false;
    }
    TemporaryPath.clear();
    return true;
}

void COutputFile::Discard()
{
#ifdef _WIN32
    if (Handle != nullptr)
        CloseHandle(Handle);
    Handle = nullptr;
    if (!TemporaryPath.empty())
        DeleteFileW(Widen(TemporaryPath).c_str());
#else
    if (Descriptor >= 0)
        close(Descriptor);
    Descriptor = -1;
    if (!TemporaryPath.empty())
        unlink(TemporaryPath.c_str());
#endif
    TemporaryPath.clear();
}

} // namespace Corvane::Common
