#pragma once

#include "ConsoleInput.h"

namespace Corvane::Common
{

// The interactive console: typed commands become command frames while the receiver thread prints
// the replies. Runs until "exit", which ends it at once, or the end of standard input, after
// which the replies still coming are printed (exit code 0 either way); -1 when the input ends in
// the middle of a command or the microcontroller stops taking bytes.
int RunConsole(CConsoleInput& input);

} // namespace Corvane::Common
