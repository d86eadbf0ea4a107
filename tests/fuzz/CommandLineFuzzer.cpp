// Both passes over the command line and the service-mode argument rules fed arbitrary command
// lines: the input's words are separated by NUL bytes, the program's name comes first as the
// system gives it, and argv ends with a null pointer as it does for the entry point.
#include "FuzzTarget.h"

#include "app/ApplicationOptions.h"
#include "app/FirstPass.h"
#include "app/OptionWords.h"
#include "service/ServiceOptions.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace Corvane::Common;
using MistleFuzz::Require;

namespace
{

// The program's name, then the words of the input (none for an empty input).
std::vector<std::string> CommandLine(const uint8_t* data, size_t size)
{
    std::vector<std::string> words{"mistle"};
    if (size > 0)
        words.emplace_back();
    for (size_t i = 0; i < size; ++i)
        if (data[i] == '\0')
            words.emplace_back();
        else
            words.back().push_back(static_cast<char>(data[i]));
    return words;
}

// The very word of the command line, not an equal text.
bool IsOneOf(const char* word, const std::vector<const char*>& argv)
{
    return std::find(argv.begin(), argv.end(), word) != argv.end();
}

void CheckFirstPass(const FirstPassResult& result)
{
    const FirstPassOptions& options = result.Options;
    // Ended with -1, or by the help, which ends the run wherever it stands.
    Require(!(options.SerialNumberGiven && options.CardIndexGiven) || result.ExitCode,
            "/sn and /index together never go on to choose a card");
}

void CheckServiceRequests(const std::vector<ServiceRequest>& requests,
                          const std::vector<const char*>& argv)
{
    for (size_t i = 0; i < requests.size(); ++i)
    {
        const ServiceRequest& request = requests[i];
        Require(IsOneOf(request.Option, argv), "an option is a word of the command line");
        Require(request.Operation != ServiceOperation::CompareFlash || i + 1 == requests.size(),
                "nothing is carried out after /c");
        const char* file = request.Arguments.FileName;
        Require(file == nullptr || (IsOneOf(file, argv) && !IsOptionWord(file) && file[0] != '\0'),
                "a file name is a word after the option that is no option word");
        Require(request.Operation != ServiceOperation::ReadVersion ||
                    (file == nullptr && request.Arguments.Offset == 0 && !request.Arguments.Size),
                "/v takes no words");
    }
    // An option word is never taken as another option's file name, offset or size.
    size_t serviceOptions = 0;
    for (size_t i = 1; i + 1 < argv.size(); ++i)
    {
        if (!IsServiceOption(argv[i]))
            continue;
        ++serviceOptions;
        if (std::string(argv[i]) == "/c")
            break;
    }
    Require(requests.size() == serviceOptions, "every service option up to /c is carried out");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<std::string> words = CommandLine(data, size);
    std::vector<const char*> argv;
    for (const std::string& word : words)
        argv.push_back(word.c_str());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    CheckFirstPass(RunFirstPass(argc, argv.data()));
    RunSecondPass(argc, argv.data());
    CheckServiceRequests(ParseServiceOptions(argc, argv.data(), IsOptionWord), argv);
    return 0;
}
