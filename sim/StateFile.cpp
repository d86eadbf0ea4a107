#include "StateFile.h"

#include "platform/Files.h"

#include <cerrno>
#include <cstdio>

namespace Corvane::Common
{

namespace
{

// Far more than the flash and devices of fifteen cards take as text.
const size_t MaximumStateBytes = 256 * 1024 * 1024;

void Report(const std::string& path, const std::string& problem)
{
    std::fprintf(stderr, "tvxsim: state file '%s': %s\n", path.c_str(), problem.c_str());
    std::fflush(stderr);
}

} // namespace

void CStateFile::Open(const std::string& path)
{
    Memories.clear();
    KeepAsItIs = false;
    Path = path;
    const LockStatus locked = Lock.Acquire(path + ".lock", -1).Status;
    if (locked == LockStatus::NotAPlainFile)
        Report(path, "its lock file is a link or no plain file; the state is not kept");
    else if (locked != LockStatus::Held)
        Report(path, "its lock file cannot be created; the state is not kept");
    std::string error;
    if (IsFolder(path))
        error = "is a folder";
    else
    {
        std::vector<uint8_t> bytes;
        const InputFileStatus read = ReadInputFile(path, MaximumStateBytes, bytes);
        if (read == InputFileStatus::CannotOpen && errno == ENOENT)
            return; // no state yet: the cards come fresh from the factory
        if (read != InputFileStatus::Read)
            error = read == InputFileStatus::TooLarge ? "is too large" : "cannot be read";
        else if (!ParseBoardMemories(std::string(bytes.begin(), bytes.end()), Memories, error))
            Memories.clear();
    }
    if (!error.empty())
    {
        Report(path, error + "; the cards start fresh and the file is left as it is");
        KeepAsItIs = true;
    }
}

void CStateFile::Close(const std::map<uint32_t, BoardMemory>& memories)
{
    if (!IsOpen())
        return;
    if (!KeepAsItIs && Lock.IsHeld())
    {
        COutputFile file(Path);
        const std::string text = FormatBoardMemories(memories);
        if (!file.Create() || !file.Write(text.data(), text.size()) || !file.Commit())
            Report(Path, "cannot be written; the state of this run is lost");
    }
    Lock.Release();
    Path.clear();
}

} // namespace Corvane::Common
