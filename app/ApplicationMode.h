#pragma once

namespace Corvane::Common
{

// The run in application mode, where the microcontroller's firmware answers: the second pass
// over the command line, the loop-back test, or the receiver thread with one one-shot command or
// the interactive console. Returns the exit code; the caller shuts the link down.
int RunApplicationCommands(int argc, const char* const* argv);

} // namespace Corvane::Common
