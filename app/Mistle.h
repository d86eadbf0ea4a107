#pragma once

namespace Corvane::Common
{

// The whole run: both passes over the command line, card selection, the mode decision and the
// mode's work. Returns the process exit code; every way out has gone through Shutdown.
int RunMistle(int argc, const char* const* argv);

} // namespace Corvane::Common
