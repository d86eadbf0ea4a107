#include "OutputCapture.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace Corvane::Common
{

namespace
{

#ifdef _WIN32
int MakePipe(int (&ends)[2])
{
    return _pipe(ends, 65536, _O_BINARY | _O_NOINHERIT);
}
int Duplicate(int descriptor)
{
    return _dup(descriptor);
}
int DuplicateOnto(int descriptor, int target)
{
    return _dup2(descriptor, target);
}
int Close(int descriptor)
{
    return _close(descriptor);
}
int ReadSome(int descriptor, char* buffer, unsigned size)
{
    return _read(descriptor, buffer, size);
}
#else
int MakePipe(int (&ends)[2])
{
    return pipe2(ends, O_CLOEXEC);
}
int Duplicate(int descriptor)
{
    return fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
}
int DuplicateOnto(int descriptor, int target)
{
    return dup2(descriptor, target);
}
int Close(int descriptor)
{
    return close(descriptor);
}
int ReadSome(int descriptor, char* buffer, unsigned size)
{
    return static_cast<int>(read(descriptor, buffer, size));
}
#endif

const int StandardOutput = 1;

} // namespace

COutputCapture::~COutputCapture()
{
    Finish();
}

bool COutputCapture::Start()
{
    int ends[2] = {-1, -1};
    std::fflush(stdout);
    if (SavedOutput >= 0 || MakePipe(ends) != 0)
        return false;
    SavedOutput = Duplicate(StandardOutput);
    if (SavedOutput < 0 || DuplicateOnto(ends[1], StandardOutput) < 0)
    {
        if (SavedOutput >= 0)
            Close(SavedOutput);
        SavedOutput = -1;
        Close(ends[0]);
        Close(ends[1]);
        return false;
    }
    Close(ends[1]);
    // The pipe is emptied as it fills, so that a writer never blocks on it.
    const int readEnd = ends[0];
    Reader = std::thread(
        [this, readEnd]
        {
            char buffer[4096];
            int got = 0;
            while ((got = ReadSome(readEnd, buffer, sizeof buffer)) > 0)
                Text.append(buffer, static_cast<size_t>(got));
            Close(readEnd);
        });
    return true;
}

std::string COutputCapture::Finish()
{
    if (SavedOutput < 0)
        return Text;
    std::fflush(stdout);
    // Once standard output is the process's own again, no write end of the pipe is left and the
    // reader sees its end.
    DuplicateOnto(SavedOutput, StandardOutput);
    Close(SavedOutput);
    SavedOutput = -1;
    if (Reader.joinable())
        Reader.join();
    return Text;
}

} // namespace Corvane::Common
