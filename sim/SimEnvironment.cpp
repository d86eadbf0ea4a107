#include "SimEnvironment.h"

#include "platform/FileLock.h"
#include "platform/Files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <list>

namespace Corvane::Common
{

namespace
{

// Both stand-in libraries read the same file; the one that finds it broken first leaves this mark
// in the process environment, which the two share, so that the user sees the error once.
const char* const ReportedVariable = "TVXSIM_CONFIG_REPORTED";

void ReportOnce(const std::string& path, const std::string& error)
{
    const char* reported = std::getenv(ReportedVariable);
    if (reported != nullptr && path == reported)
        return;
    std::fprintf(stderr, "tvxsim: %s\n", error.c_str());
    std::fflush(stderr);
    // putenv keeps the text itself, so it must live for the rest of the process: it is kept in a
    // list that is never freed, where it does not move and stays reachable (no leak to report).
    static auto* const assignments = new std::list<std::string>;
    assignments->push_back(std::string(ReportedVariable) + "=" + path);
    putenv(&assignments->back()[0]);
}

// Far more than any configuration or trace a test writes.
const size_t MaximumTextBytes = 64 * 1024 * 1024;

// A missing file reads as empty when that is allowed.
bool ReadWholeFile(const std::string& path, std::string& text, bool missingIsEmpty = false)
{
    std::vector<uint8_t> bytes;
    const InputFileStatus read = ReadInputFile(path, MaximumTextBytes, bytes);
    if (read == InputFileStatus::CannotOpen && errno == ENOENT && missingIsEmpty)
        bytes.clear();
    else if (read != InputFileStatus::Read)
        return false;
    text.assign(bytes.begin(), bytes.end());
    return true;
}

} // namespace

SimConfiguration LoadConfigurationFromEnvironment(std::string& error)
{
    error.clear();
    const char* path = std::getenv(SimConfigurationVariable);
    if (path == nullptr || *path == '\0')
        return SimConfiguration::Default();
    std::string text;
    SimConfiguration configuration;
    if (!ReadWholeFile(path, text))
        error = std::string("cannot read the configuration file '") + path + "' named by " +
                SimConfigurationVariable + "; no cards are simulated";
    else if (!ParseSimConfiguration(text, path, configuration, error))
        error += "; no cards are simulated";
    if (error.empty())
        return configuration;
    ReportOnce(path, error);
    return SimConfiguration();
}

void AppendTrace(const std::string& path, const std::vector<std::string>& lines)
{
    // The file is replaced, never written through a link, like the tool's own output files; the
    // lock beside it keeps two processes from losing each other's lines.
    CFileLock lock;
    std::string text;
    if (lock.Acquire(path + ".lock", -1).Status != LockStatus::Held ||
        !ReadWholeFile(path, text, true))
    {
        std::fprintf(stderr,
                     "tvxsim: trace file '%s' cannot be read or locked; nothing is traced\n",
                     path.c_str());
        return;
    }
    for (const std::string& line : lines)
        text += line + '\n';
    COutputFile file(path);
    if (!file.Create() || !file.Write(text.data(), text.size()) || !file.Commit())
        std::fprintf(stderr, "tvxsim: trace file '%s' cannot be written\n", path.c_str());
}

std::string HexBytes(const std::vector<uint8_t>& bytes)
{
    std::string text;
    char hex[4];
    for (uint8_t byte : bytes)
    {
        std::snprintf(hex, sizeof hex, "%02x", byte);
        if (!text.empty())
            text += ' ';
        text += hex;
    }
    return text;
}

} // namespace Corvane::Common
