#include "SimEnvironment.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <list>
#include <sstream>

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

bool ReadWholeFile(const std::string& path, std::string& text)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
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
    std::ofstream file(path, std::ios::binary | std::ios::app);
    for (const std::string& line : lines)
        file << line << '\n';
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
