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

namespace
{

nlohmann::ordered_json RangeDocument(const FlashRange& range)
{
    return {{"file", range.FileName}, {"offset", range.Offset}, {"size", range.Size}};
}

// Adds the comparison's verdict under the name that says what a match means for the command.
void AddComparison(nlohmann::ordered_json& document, const char* matchName,
                   const FlashComparison& comparison)
{
    document[matchName] = comparison.DifferingBytes == 0;
    document["differing_bytes"] = comparison.DifferingBytes;
    nlohmann::ordered_json& differences = document["differences"] = nlohmann::ordered_json::array();
    for (const FlashDifference& difference : comparison.Shown)
        differences.push_back({{"offset", difference.Offset},
                               {"expected", difference.Expected},
                               {"read", difference.Read}});
}

} // namespace

void ReportServiceResults(const ServiceResults& results)
{
    if (results.Write)
    {
        nlohmann::ordered_json write = RangeDocument(results.Write->Range);
        write["pages_written"] = results.Write->PagesWritten;
        write["pages_unchanged"] = results.Write->PagesUnchanged;
        AddComparison(write, "verified", results.Write->ReadBack);
        RunReport()["write"] = write;
    }
    if (results.Compare)
    {
        nlohmann::ordered_json compare = RangeDocument(results.Compare->Range);
        AddComparison(compare, "matches", results.Compare->Comparison);
        RunReport()["compare"] = compare;
    }
    if (results.Read)
        RunReport()["read"] = RangeDocument(*results.Read);
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
