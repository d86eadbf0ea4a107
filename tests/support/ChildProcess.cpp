#include "ChildProcess.h"

#include "platform/Time.h"

#include <algorithm>
#include <csignal>

#ifdef _WIN32
#include "platform/WideText.h"

#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace Corvane::Common
{

namespace
{

// Our own environment (NAME=VALUE lines) with the request's changes.
std::vector<std::string> ChildEnvironment(const ProcessRequest& request,
                                          const std::vector<std::string>& current)
{
    std::vector<std::string> result;
    for (const std::string& line : current)
    {
        const std::string name = line.substr(0, line.find('='));
        const auto& removed = request.RemovedEnvironment;
        const bool replaced = std::any_of(request.Environment.begin(), request.Environment.end(),
                                          [&](const auto& entry) { return entry.first == name; });
        if (!replaced && std::find(removed.begin(), removed.end(), name) == removed.end())
            result.push_back(line);
    }
    for (const auto& entry : request.Environment)
        result.push_back(entry.first + "=" + entry.second);
    return result;
}

// Plays the request's input: first the plain input, then each step once the output shows its
// text and its pause has passed.
struct CInputScript
{
    // Looks at the output so far: queues what is due and collects the signals to send.
    void Advance(const std::string& output, std::vector<int>& signals)
    {
        for (; Next < Request.Steps.size(); ++Next)
        {
            const ProcessStep& step = Request.Steps[Next];
            if (!Matched)
            {
                const size_t found = output.find(step.AfterOutput, SearchFrom);
                if (found == std::string::npos)
                    return;
                SearchFrom = found + step.AfterOutput.size();
                Matched = true;
                MatchedAt.Restart();
            }
            if (MatchedAt.ElapsedSeconds() * 1000 < step.DelayMilliseconds)
                return;
            Pending += step.Send;
            if (step.Signal != 0)
                signals.push_back(step.Signal);
            Matched = false;
        }
    }

    bool Finished() const { return Next == Request.Steps.size(); }

    const ProcessRequest& Request;
    std::string Pending = Request.Input; // all the input due so far
    size_t Next = 0;
    size_t SearchFrom = 0;
    bool Matched = false;
    CStopwatch MatchedAt{};
};

// How often a paced conversation looks at the output and the clock.
const unsigned TickMilliseconds = 5;

#ifdef _WIN32

const bool Posix = false;

// Quotes one argument the way the C run-time's command-line parser takes it apart again.
std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument)
    {
        if (c == L'\\')
        {
            ++backslashes;
            continue;
        }
        // Backslashes count double only before a quote, which is escaped itself.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        quoted.push_back(c);
        backslashes = 0;
    }
    quoted.append(backslashes * 2, L'\\'); // before the closing quote
    return quoted + L"\"";
}

std::vector<std::string> CurrentEnvironment()
{
    std::vector<std::string> lines;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1)
        lines.push_back(Narrow(entry));
    FreeEnvironmentStringsW(block);
    return lines;
}

// A started child and our ends of its standard input and output.
class CChild
{
public:
    ~CChild()
    {
        CloseInput();
        for (HANDLE handle : {Output, Process.hProcess, Process.hThread})
            if (handle != nullptr)
                CloseHandle(handle);
    }

    bool Start(const ProcessRequest& request)
    {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE childInput = nullptr, childOutput = nullptr;
        // A pipe that holds every input a test types, so that writing it never blocks.
        if (!CreatePipe(&childInput, &Input, &inherit, 1 << 20))
            return false;
        if (!CreatePipe(&Output, &childOutput, &inherit, 0))
        {
            CloseHandle(childInput);
            return false;
        }
        SetHandleInformation(Input, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(Output, HANDLE_FLAG_INHERIT, 0);

        std::wstring commandLine = QuoteArgument(Widen(request.Program));
        for (const std::string& argument : request.Arguments)
            commandLine += L" " + QuoteArgument(Widen(argument));
        std::wstring environment;
        for (const std::string& line : ChildEnvironment(request, CurrentEnvironment()))
            environment += Widen(line) + L'\0';
        environment += L'\0';

        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childInput;
        startup.hStdOutput = childOutput;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        const BOOL created = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                            CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr,
                                            &startup, &Process);
        CloseHandle(childInput);
        CloseHandle(childOutput);
        return created != FALSE;
    }

    // Writes what the pipe takes; all of it once the child's input is closed.
    size_t WriteInput(const char* data, size_t size)
    {
        DWORD written = 0;
        if (Input == nullptr || size == 0)
            return size;
        if (!WriteFile(Input, data, static_cast<DWORD>(size), &written, nullptr))
            CloseInput(); // the child closed its input: nothing more can reach it
        return Input == nullptr ? size : written;
    }

    void CloseInput()
    {
        if (Input != nullptr)
            CloseHandle(Input);
        Input = nullptr;
    }

    // Adds what the child wrote to the output, waiting up to the milliseconds for something;
    // false once its output has ended.
    bool ReadOutput(std::string& output, unsigned milliseconds)
    {
        DWORD available = 0;
        if (!PeekNamedPipe(Output, nullptr, 0, nullptr, &available, nullptr))
            return false;
        if (available == 0)
        {
            Sleep(milliseconds);
            return true;
        }
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(Output, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr))
            return false;
        output.append(buffer, got);
        return true;
    }

    void Signal(int) {}
    void Kill() { TerminateProcess(Process.hProcess, 1); }

    int Wait(uint64_t&)
    {
        DWORD exitCode = 0;
        WaitForSingleObject(Process.hProcess, INFINITE);
        GetExitCodeProcess(Process.hProcess, &exitCode);
        return static_cast<int>(exitCode);
    }

private:
    HANDLE Input = nullptr;
    HANDLE Output = nullptr;
    PROCESS_INFORMATION Process{};
};

#else

const bool Posix = true;

std::vector<std::string> CurrentEnvironment()
{
    std::vector<std::string> lines;
    for (char** entry = environ; *entry != nullptr; ++entry)
        lines.emplace_back(*entry);
    return lines;
}

std::vector<char*> PointerList(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

class CChild
{
public:
    ~CChild()
    {
        CloseInput();
        if (Output >= 0)
            close(Output);
    }

    bool Start(const ProcessRequest& request)
    {
        // A child that stops reading its input must not end us: SIGPIPE becomes EPIPE.
        signal(SIGPIPE, SIG_IGN);
        int input[2], output[2];
        if (pipe(input) != 0)
            return false;
        if (pipe(output) != 0)
        {
            close(input[0]);
            close(input[1]);
            return false;
        }
        Input = input[1];
        Output = output[0];
        fcntl(Input, F_SETFD, FD_CLOEXEC);
        fcntl(Output, F_SETFD, FD_CLOEXEC);
        fcntl(Input, F_SETFL, O_NONBLOCK);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], 0);
        posix_spawn_file_actions_adddup2(&actions, output[1], 1);
        posix_spawn_file_actions_addclose(&actions, input[0]);
        posix_spawn_file_actions_addclose(&actions, output[1]);
        std::vector<std::string> arguments{request.Program};
        arguments.insert(arguments.end(), request.Arguments.begin(), request.Arguments.end());
        std::vector<std::string> environment = ChildEnvironment(request, CurrentEnvironment());
        std::vector<char*> argv = PointerList(arguments);
        std::vector<char*> envp = PointerList(environment);
        const int spawned =
            posix_spawn(&Pid, request.Program.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        close(input[0]);
        close(output[1]);
        return spawned == 0;
    }

    size_t WriteInput(const char* data, size_t size)
    {
        if (Input < 0 || size == 0)
            return size;
        const ssize_t written = write(Input, data, size);
        if (written >= 0)
            return static_cast<size_t>(written);
        if (errno != EAGAIN && errno != EINTR)
            CloseInput(); // the child closed its input: nothing more can reach it
        return Input < 0 ? size : 0;
    }

    void CloseInput()
    {
        if (Input >= 0)
            close(Input);
        Input = -1;
    }

    bool ReadOutput(std::string& output, unsigned milliseconds)
    {
        pollfd watched = {Output, POLLIN, 0};
        if (poll(&watched, 1, static_cast<int>(milliseconds)) <= 0)
            return true;
        char buffer[4096];
        const ssize_t got = read(Output, buffer, sizeof buffer);
        if (got <= 0)
            return got < 0 && errno == EINTR;
        output.append(buffer, static_cast<size_t>(got));
        return true;
    }

    void Signal(int number) { kill(Pid, number); }
    void Kill() { kill(Pid, SIGKILL); }

    int Wait(uint64_t& peakMemoryKilobytes)
    {
        int status = 0;
        rusage usage{};
        wait4(Pid, &status, 0, &usage);
        peakMemoryKilobytes = static_cast<uint64_t>(usage.ru_maxrss);
        return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    }

private:
    int Input = -1;
    int Output = -1;
    pid_t Pid = 0;
};

#endif

} // namespace

bool CanSignalChildren()
{
    return Posix;
}

int InterruptSignal()
{
    return Posix ? SIGINT : 0;
}

int ShellExitCode(int programResult)
{
    return Posix ? programResult & 0xFF : programResult;
}

std::string ProgramOutputFromTextMode(const std::string& output)
{
    if (Posix)
        return output;
    std::string program;
    for (size_t i = 0; i < output.size(); ++i)
        if (!(output[i] == '\r' && i + 1 < output.size() && output[i + 1] == '\n'))
            program.push_back(output[i]);
    return program;
}

ProcessResult RunProcess(const ProcessRequest& request)
{
    ProcessResult result;
    CChild child;
    result.Started = child.Start(request);
    if (!result.Started)
        return result;
    CInputScript script{request};
    size_t fed = 0;
    const CStopwatch running;
    for (;;)
    {
        std::vector<int> signals;
        // The steps wait for text as the program wrote it.
        script.Advance(ProgramOutputFromTextMode(result.Output), signals);
        for (int signal : signals)
            child.Signal(signal);
        const std::string& pending = script.Pending;
        fed += child.WriteInput(pending.data() + fed, pending.size() - fed);
        if (fed == pending.size() && script.Finished())
            child.CloseInput();
        if (running.ElapsedSeconds() * 1000 >= request.TimeoutMilliseconds)
        {
            result.TimedOut = true;
            child.Kill();
            break;
        }
        if (!child.ReadOutput(result.Output, TickMilliseconds))
            break;
    }
    result.ExitCode = child.Wait(result.PeakMemoryKilobytes);
    return result;
}

} // namespace Corvane::Common
