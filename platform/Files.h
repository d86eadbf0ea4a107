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
    CannotOpen, // missing, unreadable, or a folder
    TooLarge,   // holds more than the operation can use; not read to its end
};

// Reads a whole input file of at most maximumSize bytes. A larger file is refused after
// maximumSize + 1 bytes, so a huge file is never read into memory.
InputFileStatus ReadInputFile(const std::string& path, size_t maximumSize,
                              std::vector<uint8_t>& contents);

// True when the path names a folder.
bool IsFolder(const std::string& path);

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using InputFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens a file to read as bytes; empty when it cannot be opened or names a folder (which some
// systems let fopen open).
InputFile OpenInputFile(const std::string& path);

// An output file that appears under its name only when complete: the bytes go to a temporary
// file in the same folder, which Commit closes and renames over the target. Until then, and on
// every failure, the file the user had under that name stays as it was, and the temporary file is
// removed when the object goes.
class COutputFile
{
public:
    explicit COutputFile(std::string path);
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    // Creates the temporary file; false when it cannot be created (or the target is a folder).
    bool Create();
    // False once any write has failed.
    bool Write(const void* data, size_t size);
    // Closes the temporary file and renames it over the target; false when either fails.
    bool Commit();

private:
    void Discard();

    std::string Path;
    std::string TemporaryPath;
    std::FILE* File = nullptr;
    bool Failed = false;
};

} // namespace Corvane::Common
