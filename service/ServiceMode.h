#pragma once

namespace Corvane::Common
{

// The run in service mode, where the microcontroller's boot loader answers. Answers the two mode
// checks, then carries out the service-mode options in command-line order. Returns the exit code.
int RunServiceMode(bool applicationModeCheck, bool serviceModeCheck, int argc,
                   const char* const* argv);

} // namespace Corvane::Common
