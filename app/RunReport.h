#pragma once

#include "service/ServiceMode.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

namespace Corvane::Common
{

// What a run has found, gathered while it runs for the one JSON document of "/json". Commands add
// their fields whether or not the document is asked for.
nlohmann::ordered_json& RunReport();

// A version as four numbers and as the text "a.b.c.d".
nlohmann::ordered_json VersionDocument(const uint16_t* numbers);

// Adds what the service-mode options found: "write", "compare" and "read".
void ReportServiceResults(const ServiceResults& results);

// The document of a run that ended with this exit code: what the commands gathered, the exit
// code and, for a failed run, the message the run printed last (from the text it would have
// printed without "/json").
std::string FinishRunReport(int exitCode, const std::string& printedText);

// The last line of printed text that holds anything, as the user saw it: a line that overwrote
// itself shows its last form.
std::string LastPrintedLine(const std::string& printedText);

} // namespace Corvane::Common
