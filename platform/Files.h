#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace Corvane::Common
{

enum class InputFileStatus
{
    Read,
    CannotOpen, // missing, unreadable, or no plain file (a folder, a pipe, a device)
    TooLarge,   // holds more than the operation can use; not read to its end
};

// Reads a whole input file of at most maximumSize bytes. A larger file is refused after
// maximumSize + 1 bytes, so a huge file is never read into memory.
InputFileStatus ReadInputFile(const std::string& path, size_t maximumSize,
                              std::vector<uint8_t>& contents);

// True when the path names a folder.
bool IsFolder(const std::string& path);

// What stands under an output name that the tool must not replace: "a link", "a folder", "a
// device", "a pipe" or "a socket"; null for a plain file or a name that is free. Replacing a link
// would leave the file it points to as it was, and writing to a device or pipe is no file.
const char* OutputNameProblem(const std::string& path);

// False, with one line that says why, when OutputNameProblem finds a problem.
bool IsUsableOutputName(const std::string& path);

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using InputFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens a plain file to read as bytes; empty when it cannot be opened or is no plain file: a
// folder, or a pipe or device, whose reading could wait for ever. A missing file leaves errno at
// ENOENT.
InputFile OpenInputFile(const std::string& path);

// An output file that appears under its name only when complete: the bytes go to a temporary
// file in the same folder, which Commit flushes to the disk, closes and renames over the target.
// The tool runs with administrator rights, so the temporary file is created anew under a name
// nobody can guess and never through a link someone planted there, and the rename replaces
// the plain file under the target's name, never a link or anything else. Until then,
// and on every failure, the file the user had under that name stays as it was, and the temporary
// file is removed when the object goes.
class COutputFile
{
public:
    explicit COutputFile(std::string path);
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    // Creates the temporary file; false when it cannot be created, or the target is no plain file
    // (OutputNameProblem).
    bool Create();
    // False once any write has failed.
    bool Write(const void* data, size_t size);
    // Flushes the temporary file to the disk, closes it and renames it over the target; false when
    // any of these fails.
    bool Commit();

private:
    bool IsOpen() const;
    void Discard();

    std::string Path;
    std::string TemporaryPath;
#ifdef _WIN32
    void* Handle = nullptr;
#else
    int Descriptor = -1;
#endif
    bool Failed = false;
};

} // namespace Corvane::Common
