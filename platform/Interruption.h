#pragma once

#include <cstdio>

namespace Corvane::Common
{

// Ctrl+C and its kin: on Linux SIGINT, SIGTERM and SIGHUP; on Windows the console's Ctrl+C,
// Ctrl+Break and close events. The first one only raises a flag, which the tool looks at where
// stopping is safe (never within a page or a frame); a second one, while the tool finishes what
// it is doing, ends the process at once with -1 (the user insists). A closed or failing standard
// output ends nothing: what cannot be written is dropped (on Linux SIGPIPE is ignored).
void CatchInterruptions();

// True once an interruption has come.
bool IsInterrupted();

// Waits until the input has something to read (or has ended); false when an interruption comes
// first. Where the platform cannot wait on the input this way, it returns true at once. The
// input must be unbuffered, so that what it holds is what the system reports.
bool WaitForInputUnlessInterrupted(std::FILE* input);

// Sleeps the given time, or less when an interruption comes; false if it came.
bool PauseUnlessInterrupted(unsigned milliseconds);

// Tells a close-event handler that waits on Windows that the run has ended; call just before the
// process returns its exit code.
void RunHasEnded();

} // namespace Corvane::Common
