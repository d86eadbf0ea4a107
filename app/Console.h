#pragma once

#include "ConsoleInput.h"

namespace Corvane::Common
{

// The interactive console: typed commands become command frames while the receiver thread prints
// the replies. Runs until "exit" or the end of standard input (exit code 0); -1 when the input
// ends in the middle of a command or the microcontroller stops taking bytes.
int RunConsole(CConsoleInput& input);

} // namespace Corvane::Common
