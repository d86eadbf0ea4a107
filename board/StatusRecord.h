#pragma once

#include "BoardProfile.h"

#include <cstdint>
#include <cstdio>

namespace Corvane::Common
{

// Prints a status record as named lines, as the profile lays it out: elapsed time, event
// counter, analog readings, flags, and the clock status when withClockStatus is set (the SX=
// reply). The record must be as long as the profile's reply; it is trusted as it is.
void PrintStatusRecord(const BoardProfile& profile, const uint8_t* record, bool withClockStatus,
                       std::FILE* output = stdout);

// The same with the current board profile.
void PrintStatusRecord(const uint8_t* record, bool withClockStatus, std::FILE* output = stdout);

} // namespace Corvane::Common
