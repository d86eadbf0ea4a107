#pragma once

#include "ServiceOptions.h"

namespace Corvane::Common
{

// The run in service mode, where the microcontroller's boot loader answers. Answers the two mode
// checks, refuses an option of application mode (isApplicationOption) before anything is sent,
// then carries out the service-mode options in command-line order, each option's words ending at
// the next option word. Returns the exit code.
int RunServiceMode(bool applicationModeCheck, bool serviceModeCheck, int argc,
                   const char* const* argv, OptionWordTest isOptionWord,
                   OptionWordTest isApplicationOption);

// The one line for an option word of the mode the card is not in.
void ReportOptionOfOtherMode(const char* option, const char* itsMode, const char* cardMode);

} // namespace Corvane::Common
