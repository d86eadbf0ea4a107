#include "Files.h"

#include <atomic>
#include <utility>

#ifdef _WIN32
#include "WideText.h"

#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Corvane::Common
{

namespace
{

#ifdef _WIN32
unsigned long ProcessId()
{
    return GetCurrentProcessId();
}

bool ReplaceFile(const std::string& from, const std::string& to)
{
    return MoveFileExW(Widen(from).c_str(), Widen(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
#else
unsigned long ProcessId()
{
    return static_cast<unsigned long>(getpid());
}

bool ReplaceFile(const std::string& from, const std::string& to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}
#endif

// Unique within the process and, by the process id, among processes.
std::string TemporaryNameFor(const std::string& path)
{
    static std::atomic<unsigned> counter{0};
    return path + ".part-" + std::to_string(ProcessId()) + "-" + std::to_string(++counter);
}

} // namespace

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

InputFile OpenInputFile(const std::string& path)
{
    return InputFile(IsFolder(path) ? nullptr : std::fopen(path.c_str(), "rb"));
}

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
    if (IsFolder(Path))
        return false;
    TemporaryPath = TemporaryNameFor(Path);
    File = std::fopen(TemporaryPath.c_str(), "wb");
    if (File == nullptr)
    {
        TemporaryPath.clear();
        return false;
    }
    return true;
}

bool COutputFile::Write(const void* data, size_t size)
{
    if (File == nullptr || Failed)
        return false;
    if (size > 0 && std::fwrite(data, 1, size, File) != size)
        Failed = true;
    return !Failed;
}

bool COutputFile::Commit()
{
    if (File == nullptr)
        return false;
    // A write that only the flush or the close reports (a full disk) fails the whole file.
    const bool flushed = std::fflush(File) == 0;
    const bool closed = std::fclose(File) == 0;
    File = nullptr;
    if (Failed || !flushed || !closed || !ReplaceFile(TemporaryPath, Path))
    {
        Discard();
        return false;
    }
    TemporaryPath.clear();
    return true;
}

void COutputFile::Discard()
{
    if (File != nullptr)
    {
        std::fclose(File);
        File = nullptr;
    }
    if (!TemporaryPath.empty())
    {
        std::remove(TemporaryPath.c_str());
        TemporaryPath.clear();
    }
}

} // namespace Corvane::Common
