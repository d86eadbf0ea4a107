#pragma once

#include "ServiceOptions.h"

namespace Corvane::Common
{

// The run in service mode, where the microcontroller's boot loader answers. Answers the two mode
// checks, then carries out the service-mode options in command-line order, each option's words
// ending at the next option word. Returns the exit code.
int RunServiceMode(bool applicationModeCheck, bool serviceModeCheck, int argc,
                   const char* const* argv, OptionWordTest isOptionWord);

} // namespace Corvane::Common
