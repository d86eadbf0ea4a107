#pragma once

#include <memory>
#include <string>
#include <thread>

namespace Corvane::Common
{

// Takes everything that the process writes to its standard output, from any thread and through
// any stream, into memory instead, until Finish gives it back and standard output is the
// process's own again. Standard output must be unbuffered (the tool makes it so).
class COutputCapture
{
public:
    COutputCapture() = default;
    ~COutputCapture();
    COutputCapture(const COutputCapture&) = delete;
    COutputCapture& operator=(const COutputCapture&) = delete;

    // False, and standard output left as it is, when the capture cannot be set up.
    bool Start();
    // The text written since Start.
    std::string Finish();

private:
    int SavedOutput = -1;
    std::string Text;
    std::thread Reader;
};

} // namespace Corvane::Common
