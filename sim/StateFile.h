#pragma once

#include "BoardMemory.h"
#include "platform/FileLock.h"

#include <map>
#include <string>

namespace Corvane::Common
{

// The file named by [host] state. It is read when the library is first used and replaced
// atomically when the process ends (or the simulated host is configured anew); a lock file beside
// it (the name with ".lock" added) is held all the while, so that a second run on the same state
// waits for the first and never loses its update.
class CStateFile
{
public:
    // Takes the lock and reads the file; a missing file is a factory-fresh host. A file that
    // cannot be read or parsed gives one line on standard error and fresh cards, and it is left
    // as it is: nothing is written back over it.
    void Open(const std::string& path);
    const std::map<uint32_t, BoardMemory>& Saved() const { return Memories; }
    // Writes the memories back (unless the file was unreadable) and releases the lock.
    void Close(const std::map<uint32_t, BoardMemory>& memories);
    bool IsOpen() const { return !Path.empty(); }

private:
    std::string Path;
    CFileLock Lock;
    bool KeepAsItIs = false;
    std::map<uint32_t, BoardMemory> Memories;
};

} // namespace Corvane::Common
