#pragma once

#include "SimConfiguration.h"

#include <string>
#include <vector>

namespace Corvane::Common
{

// The environment variable that names the configuration file. Only the stand-in reads it.
constexpr const char* SimConfigurationVariable = "TVXSIM_CONFIG";

// The configuration of this process: the file named by TVXSIM_CONFIG, or the default host when the
// variable is unset or empty. A file that cannot be read or parsed yields a host without cards and
// one line on standard error; the line is printed once per process, by whichever of the two
// stand-in libraries reads the file first. error receives the line's text (empty on success).
SimConfiguration LoadConfigurationFromEnvironment(std::string& error);

// Adds lines to the trace file, which is replaced by one with the old lines and the new, never
// written through a link (a test removes it or picks a fresh name before a run).
void AppendTrace(const std::string& path, const std::vector<std::string>& lines);

// "56 4e 3f": bytes as lower-case hex, separated by blanks.
std::string HexBytes(const std::vector<uint8_t>& bytes);

} // namespace Corvane::Common
