#include "Process.h"

#include "Time.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#ifdef _WIN32
#include "WideText.h"

#include <windows.h>
#else
#include <cerrno>
#include <csignal>
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

bool IsRemoved(const ProcessRequest& request, const std::string& name)
{
    if (std::find(request.RemovedEnvironment.begin(), request.RemovedEnvironment.end(), name) !=
        request.RemovedEnvironment.end())
        return true;
    for (const auto& entry : request.Environment)
        if (entry.first == name)
            return true;
    return false;
}

// Our own environment with the request's changes, as NAME=VALUE lines.
std::vector<std::string> ChildEnvironment(const ProcessRequest& request,
                                          const std::vector<std::string>& current)
{
    std::vector<std::string> result;
    for (const std::string& line : current)
    {
        std::string name = line.substr(0, line.find('='));
        if (!IsRemoved(request, name))
            result.push_back(line);
    }
    for (const auto& entry : request.Environment)
        result.push_back(entry.first + "=" + entry.second);
    return result;
}

// Plays the request's input: first the plain input, then each step once the output shows its
// text and its pause has passed.
class CInputScript
{
public:
    explicit CInputScript(const ProcessRequest& request) : Request(request)
    {
        Pending = request.Input;
    }

    // Looks at the output so far: queues what is due and collects the signals to send.
    void Advance(const std::string& output, std::vector<int>& signals)
    {
        while (Next < Request.Steps.size())
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
            ++Next;
        }
    }

    bool Finished() const { return Next == Request.Steps.size(); }
    std::string& PendingInput() { return Pending; }

private:
    const ProcessRequest& Request;
    std::string Pending;
    size_t Next = 0;
    size_t SearchFrom = 0;
    bool Matched = false;
    CStopwatch MatchedAt;
};

// How often a paced conversation looks at the output and the clock.
const unsigned ScriptTickMilliseconds = 5;

} // namespace

#ifdef _WIN32

int ShellExitCode(int programResult)
{
    return programResult;
}

bool CanSignalChildren()
{
    return false;
}

int InterruptSignal()
{
    return 0;
}

std::string ProgramOutputFromTextMode(const std::string& output)
{
    std::string program;
    program.reserve(output.size());
    for (size_t i = 0; i < output.size(); ++i)
        if (!(output[i] == '\r' && i + 1 < output.size() && output[i + 1] == '\n'))
            program.push_back(output[i]);
    return program;
}

namespace
{
// Quotes one argument the way the C run-time's command-line parser takes it apart again.
std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    for (size_t i = 0;; ++i)
    {
        size_t backslashes = 0;
        while (i < argument.size() && argument[i] == L'\\')
        {
            ++i;
            ++backslashes;
        }
        if (i == argument.size())
        {
            quoted.append(backslashes * 2, L'\\');
            break;
        }
        if (argument[i] == L'"')
        {
            quoted.append(backslashes * 2 + 1, L'\\');
            quoted.push_back(L'"');
        }
        else
        {
            quoted.append(backslashes, L'\\');
            quoted.push_back(argument[i]);
        }
    }
    quoted.push_back(L'"');
    return quoted;
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
} // namespace

ProcessResult RunProcess(const ProcessRequest& request)
{
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE inputRead = nullptr, inputWrite = nullptr, outputRead = nullptr, outputWrite = nullptr;
    if (!CreatePipe(&inputRead, &inputWrite, &inherit, 0))
        return result;
    if (!CreatePipe(&outputRead, &outputWrite, &inherit, 0))
    {
        CloseHandle(inputRead);
        CloseHandle(inputWrite);
        return result;
    }
    SetHandleInformation(inputWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0);

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
    startup.hStdInput = inputRead;
    startup.hStdOutput = outputWrite;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    BOOL created =
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup, &process);
    CloseHandle(inputRead);
    CloseHandle(outputWrite);
    if (!created)
    {
        CloseHandle(inputWrite);
        CloseHandle(outputRead);
        return result;
    }
    result.Started = true;

    std::mutex outputMutex;
    std::condition_variable outputGrew;
    bool processEnded = false;
    std::thread feeder(
        [&]
        {
            CInputScript script(request);
            std::vector<int> signals; // no signals on this platform
            for (;;)
            {
                std::string text;
                {
                    std::unique_lock<std::mutex> lock(outputMutex);
                    // The steps wait for text as the program wrote it.
                    script.Advance(ProgramOutputFromTextMode(result.Output), signals);
                    text.swap(script.PendingInput());
                    if (text.empty() && !script.Finished() && !processEnded)
                    {
                        outputGrew.wait_for(lock,
                                            std::chrono::milliseconds(ScriptTickMilliseconds));
                        continue;
                    }
                }
                DWORD written = 0;
                size_t offset = 0;
                while (offset < text.size() &&
                       WriteFile(inputWrite, text.data() + offset,
                                 static_cast<DWORD>(text.size() - offset), &written, nullptr))
                    offset += written;
                if (offset < text.size() || script.Finished())
                    break;
                std::lock_guard<std::mutex> lock(outputMutex);
                if (processEnded)
                    break;
            }
            CloseHandle(inputWrite);
        });
    std::thread collector(
        [&]
        {
            char buffer[4096];
            DWORD got = 0;
            while (ReadFile(outputRead, buffer, sizeof(buffer), &got, nullptr) && got > 0)
            {
                std::lock_guard<std::mutex> lock(outputMutex);
                result.Output.append(buffer, got);
                outputGrew.notify_all();
            }
        });

    if (WaitForSingleObject(process.hProcess, request.TimeoutMilliseconds) == WAIT_TIMEOUT)
    {
        result.TimedOut = true;
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    result.ExitCode = static_cast<int>(exitCode);
    {
        std::lock_guard<std::mutex> lock(outputMutex);
        processEnded = true;
        outputGrew.notify_all();
    }
    feeder.join();
    collector.join();
    CloseHandle(outputRead);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return result;
}

#else

int ShellExitCode(int programResult)
{
    return programResult & 0xFF;
}

bool CanSignalChildren()
{
    return true;
}

int InterruptSignal()
{
    return SIGINT;
}

std::string ProgramOutputFromTextMode(const std::string& output)
{
    return output;
}

namespace
{
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
} // namespace

ProcessResult RunProcess(const ProcessRequest& request)
{
    ProcessResult result;
    int input[2], output[2];
    if (pipe(input) != 0)
        return result;
    if (pipe(output) != 0)
    {
        close(input[0]);
        close(input[1]);
        return result;
    }
    fcntl(input[1], F_SETFD, FD_CLOEXEC);
    fcntl(output[0], F_SETFD, FD_CLOEXEC);

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

    pid_t child = 0;
    int spawned =
        posix_spawn(&child, request.Program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    close(output[1]);
    if (spawned != 0)
    {
        close(input[1]);
        close(output[0]);
        return result;
    }
    result.Started = true;

    // A child that stops reading its input must not stop us: SIGPIPE becomes EPIPE.
    struct sigaction ignore
    {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    fcntl(input[1], F_SETFL, O_NONBLOCK);

    CInputScript script(request);
    size_t fed = 0;
    CStopwatch stopwatch;
    for (;;)
    {
        std::vector<int> signals;
        script.Advance(result.Output, signals);
        for (int signal : signals)
            kill(child, signal);
        std::string& pending = script.PendingInput();
        if (input[1] >= 0 && fed == pending.size() && script.Finished())
        {
            close(input[1]);
            input[1] = -1;
        }
        const bool writing = input[1] >= 0 && fed < pending.size();
        pollfd watched[2] = {{output[0], POLLIN, 0}, {input[1], POLLOUT, 0}};
        int count = writing ? 2 : 1;
        double remaining = request.TimeoutMilliseconds / 1000.0 - stopwatch.ElapsedSeconds();
        if (remaining <= 0)
        {
            result.TimedOut = true;
            kill(child, SIGKILL);
            break;
        }
        int wait = static_cast<int>(remaining * 1000) + 1;
        if (!script.Finished())
            wait = std::min(wait, static_cast<int>(ScriptTickMilliseconds));
        if (poll(watched, static_cast<nfds_t>(count), wait) < 0 && errno != EINTR)
            break;
        if (count == 2 && (watched[1].revents & (POLLOUT | POLLERR | POLLHUP)) != 0)
        {
            ssize_t written = write(input[1], pending.data() + fed, pending.size() - fed);
            if (written > 0)
                fed += static_cast<size_t>(written);
            if (written < 0 && errno != EAGAIN)
            {
                // The child closed its input: nothing more can reach it.
                close(input[1]);
                input[1] = -1;
            }
        }
        if ((watched[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
        {
            char buffer[4096];
            ssize_t got = read(output[0], buffer, sizeof(buffer));
            if (got <= 0)
                break;
            result.Output.append(buffer, static_cast<size_t>(got));
        }
    }
    if (input[1] >= 0)
        close(input[1]);
    close(output[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    result.PeakMemoryKilobytes = static_cast<uint64_t>(usage.ru_maxrss);
    sigaction(SIGPIPE, &previous, nullptr);
    if (WIFEXITED(status))
        result.ExitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.ExitCode = 128 + WTERMSIG(status);
    return result;
}

#endif

} // namespace Corvane::Common
