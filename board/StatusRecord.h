#pragma once

#include "BoardProfile.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace Corvane::Common
{

// Prints a status record as named lines, as the profile lays it out: elapsed time, event
// counter, analog readings, flags, and the clock status when withClockStatus is set (the SX=
// reply). The record must be as long as the profile's reply; it is trusted as it is.
void PrintStatusRecord(const BoardProfile& profile, const uint8_t* record, bool withClockStatus,
                       std::FILE* output = stdout);

// A status record as values, as PrintStatusRecord prints it: the same rows in the same order.
struct StatusValues
{
    struct Reading
    {
        const char* Name;
        double Value;
        const char* Unit;
    };
    struct Flag
    {
        const char* Name;
        bool Set;
    };
    struct Clock
    {
        const char* Name;
        uint32_t Error; // the upper four bits of the status byte; 0 is OK
        uint32_t Type;  // the lower four bits
    };
    const char* ElapsedTimeName = nullptr;
    uint32_t ElapsedQuarterSeconds = 0;
    const char* EventCounterName = nullptr;
    uint32_t EventCount = 0;
    std::vector<Reading> Readings;
    std::vector<Flag> Flags;
    std::optional<Clock> ClockStatus;
};

StatusValues DecodeStatusRecord(const BoardProfile& profile, const uint8_t* record,
                                bool withClockStatus);

// The same with the current board profile.
void PrintStatusRecord(const uint8_t* record, bool withClockStatus, std::FILE* output = stdout);

} // namespace Corvane::Common
