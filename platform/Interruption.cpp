#include "Interruption.h"

#include "Time.h"

#include <algorithm>
#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <initializer_list>
#include <poll.h>
#include <unistd.h>
#endif

namespace Corvane::Common
{

namespace
{

std::atomic<bool> Interrupted{false};

// What the process returns when a second interruption ends it at once.
const int InsistedExitCode = -1;

static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

} // namespace

bool IsInterrupted()
{
    return Interrupted.load();
}

bool PauseUnlessInterrupted(unsigned milliseconds)
{
    // Short slices: an interruption is noticed within one of them.
    const unsigned slice = 10;
    for (unsigned slept = 0; slept < milliseconds && !IsInterrupted(); slept += slice)
        SleepMilliseconds(std::min(slice, milliseconds - slept));
    return !IsInterrupted();
}

#ifdef _WIN32

namespace
{

HANDLE RunEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);

// Windows ends the process a few seconds after a close event; the run usually needs less to end
// cleanly.
const DWORD CloseGraceMilliseconds = 4500;

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    if (Interrupted.exchange(true))
        ExitProcess(static_cast<UINT>(InsistedExitCode));
    if (event == CTRL_CLOSE_EVENT)
        // Returning ends the process: first let the main thread finish its unit and shut down.
        WaitForSingleObject(RunEnded, CloseGraceMilliseconds);
    return TRUE;
}

} // namespace

void CatchInterruptions()
{
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void RunHasEnded()
{
    SetEvent(RunEnded);
}

bool WaitForInputUnlessInterrupted(std::FILE*)
{
    // A console read that Ctrl+C cuts short returns by itself.
    return !IsInterrupted();
}

#else

namespace
{

extern "C" void OnSignal(int)
{
    if (Interrupted.exchange(true))
        _exit(InsistedExitCode);
}

} // namespace

void CatchInterruptions()
{
    struct sigaction action
    {
    };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read of standard input that the signal cuts short returns, so the console
    // sees the interruption at once instead of after the next line typed.
    action.sa_flags = 0;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    // A reader that goes away (output piped into head) must not end a run in the middle of a
    // page: what is printed to a closed pipe then fails and is dropped, and the run goes on.
    struct sigaction ignore
    {
    };
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

void RunHasEnded() {}

bool WaitForInputUnlessInterrupted(std::FILE* input)
{
    // Polled in short slices: a signal may come just before a read would begin to wait, or be
    // taken by another thread, and then no read is cut short by it.
    const int sliceMilliseconds = 50;
    pollfd watched{fileno(input), POLLIN, 0};
    while (!IsInterrupted())
    {
        const int ready = poll(&watched, 1, sliceMilliseconds);
        if (ready > 0 || (ready < 0 && errno != EINTR))
            return true;
    }
    return false;
}

#endif

} // namespace Corvane::Common
