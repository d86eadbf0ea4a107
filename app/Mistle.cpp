#include "Mistle.h"

#include "ConfigImage.h"
#include "FirstPass.h"
#include "link/LinkState.h"

#include <cstdio>

namespace Corvane::Common
{

namespace
{

int EndRun(int exitCode)
{
    Shutdown();
    return exitCode;
}

int RunWithCard(const FirstPassOptions& /*options*/)
{
    // Card discovery comes with the card layer; without it no card can be found.
    std::fputs("\nNo Corvane cards could be found that are ready for use!\n", stdout);
    return EndRun(-1);
}

} // namespace

int RunMistle(int argc, const char* const* argv)
{
    const FirstPassResult firstPass = RunFirstPass(argc, argv);
    if (firstPass.ExitCode)
        return EndRun(*firstPass.ExitCode);
    const FirstPassOptions& options = firstPass.Options;
    if (options.ImageFileName)
        return EndRun(WriteConfigImage(options.Gain0, options.Gain1, *options.ImageFileName));
    return RunWithCard(options);
}

} // namespace Corvane::Common
