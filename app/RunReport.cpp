#include "RunReport.h"

namespace Corvane::Common
{

nlohmann::ordered_json& RunReport()
{
    static nlohmann::ordered_json report = nlohmann::ordered_json::object();
    return report;
}

nlohmann::ordered_json VersionDocument(const uint16_t* numbers)
{
    nlohmann::ordered_json version;
    std::string text;
    for (int i = 0; i < 4; ++i)
    {
        version["numbers"].push_back(numbers[i]);
        text += (i == 0 ? "" : ".") + std::to_string(numbers[i]);
    }
    version["text"] = text;
    return version;
}

std::string LastPrintedLine(const std::string& printedText)
{
    size_t end = printedText.size();
    while (end > 0)
    {
        const size_t start = printedText.find_last_of('\n', end - 1);
        const size_t from = start == std::string::npos ? 0 : start + 1;
        std::string line = printedText.substr(from, end - from);
        const size_t lastReturn = line.find_last_of('\r');
        if (lastReturn != std::string::npos)
            line = line.substr(lastReturn + 1);
        const size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos)
            return line.substr(first, line.find_last_not_of(" \t") + 1 - first);
        if (start == std::string::npos)
            break;
        end = start;
    }
    return "";
}

std::string FinishRunReport(int exitCode, const std::string& printedText)
{
    const nlohmann::ordered_json& report = RunReport();
    nlohmann::ordered_json document = nlohmann::ordered_json::object();
    document["command"] = report.contains("command") ? report["command"] : nlohmann::ordered_json();
    document["exit_code"] = exitCode;
    if (exitCode != 0)
        document["error"] = LastPrintedLine(printedText);
    for (const auto& item : report.items())
        if (item.key() != "command")
            document[item.key()] = item.value();
    // Text that is not valid UTF-8 (a file name, say) is replaced, never a reason for no output.
    return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

} // namespace Corvane::Common
