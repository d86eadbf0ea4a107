#include "StatusRecord.h"

#include "platform/Print.h"

namespace Corvane::Common
{

namespace
{
// The line formats live in character arrays, not literals: the compilers' format check objects
// to the ' ' and '#' flags with %s, which the C libraries ignore, and the lines must stay exactly
// as the tool has always printed them.
struct StatusLineFormats
{
    char ElapsedTime[64];
    char EventCounter[16];
    char Analog[32];
    char Flag[24];
    char ClockOk[16];
    char ClockError[48];
};

const StatusLineFormats Formats = {
    "\n% #25s: %u days, %u hours, %u min.s, %u sec.s",
    "\n% #25s: %u",
    "\n% #25s: % #7.3f %s",
    "\n% #25s: % #7s",
    "\n% #25s: OK",
    "\n% #25s: Error 0x%01x: Type 0x%01x",
};

// The elapsed-time counter counts quarter seconds.
constexpr uint32_t QuartersPerSecond = 4;
constexpr uint32_t QuartersPerMinute = 60 * QuartersPerSecond;
constexpr uint32_t QuartersPerHour = 60 * QuartersPerMinute;
constexpr uint32_t QuartersPerDay = 24 * QuartersPerHour;

uint32_t ByteAt(const uint8_t* record, int32_t offset)
{
    return record[offset];
}

uint32_t Read16(const uint8_t* record, int32_t offset)
{
    return ByteAt(record, offset) | ByteAt(record, offset + 1) << 8;
}

uint32_t Read32(const uint8_t* record, int32_t offset)
{
    return Read16(record, offset) | Read16(record, offset + 2) << 16;
}

void PrintElapsedTime(const ElapsedTimeField& field, const uint8_t* record, std::FILE* output)
{
    const uint32_t quarters = Read32(record, field.Offset);
    PrintUnchecked(output, Formats.ElapsedTime, field.Name, quarters / QuartersPerDay,
                   quarters / QuartersPerHour % 24, quarters / QuartersPerMinute % 60,
                   quarters / QuartersPerSecond % 60);
}

void PrintEventCounter(const EventCounterField& field, const uint8_t* record, std::FILE* output)
{
    uint32_t value = 0;
    for (int32_t i = 0; i < field.Count && i < 4; ++i)
        value |= ByteAt(record, field.Offsets[i]) << (8 * i);
    PrintUnchecked(output, Formats.EventCounter, field.Name, value);
}

void PrintAnalogChannels(const AnalogChannel* rows, const uint8_t* record, std::FILE* output)
{
    for (const AnalogChannel* row = rows; row && row->Name; ++row)
    {
        // Exact in double: a 16-bit count times a float factor.
        const double value = Read16(record, row->Offset) * static_cast<double>(row->Scale) +
                             static_cast<double>(row->Added);
        PrintUnchecked(output, Formats.Analog, row->Name, value, row->Unit);
    }
}

void PrintStatusFlags(const StatusFlag* rows, const uint8_t* record, std::FILE* output)
{
    for (const StatusFlag* row = rows; row && row->Name; ++row)
    {
        const bool set = (ByteAt(record, row->Offset) >> row->Bit & 1) != 0;
        PrintUnchecked(output, Formats.Flag, row->Name, set ? "true" : "false");
    }
}

void PrintClockStatus(const ClockStatusField& field, const uint8_t* record, std::FILE* output)
{
    const uint32_t status = ByteAt(record, field.Offset);
    if (status >> 4 == 0)
        PrintUnchecked(output, Formats.ClockOk, field.Name);
    else
        PrintUnchecked(output, Formats.ClockError, field.Name, status >> 4, status & 0x0F);
}
} // namespace

void PrintStatusRecord(const BoardProfile& profile, const uint8_t* record, bool withClockStatus,
                       std::FILE* output)
{
    if (profile.ElapsedTime)
        PrintElapsedTime(*profile.ElapsedTime, record, output);
    if (profile.EventCounter)
        PrintEventCounter(*profile.EventCounter, record, output);
    PrintAnalogChannels(profile.AnalogChannels, record, output);
    PrintStatusFlags(profile.StatusFlags, record, output);
    if (withClockStatus && profile.ClockStatus)
        PrintClockStatus(*profile.ClockStatus, record, output);
}

void PrintStatusRecord(const uint8_t* record, bool withClockStatus, std::FILE* output)
{
    PrintStatusRecord(CurrentBoardProfile(), record, withClockStatus, output);
}

} // namespace Corvane::Common
