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

uint32_t EventCount(const EventCounterField& field, const uint8_t* record)
{
    uint32_t value = 0;
    for (int32_t i = 0; i < field.Count && i < 4; ++i)
        value |= ByteAt(record, field.Offsets[i]) << (8 * i);
    return value;
}
} // namespace

StatusValues DecodeStatusRecord(const BoardProfile& profile, const uint8_t* record,
                                bool withClockStatus)
{
    StatusValues values;
    if (profile.ElapsedTime)
    {
        values.ElapsedTimeName = profile.ElapsedTime->Name;
        values.ElapsedQuarterSeconds = Read32(record, profile.ElapsedTime->Offset);
    }
    if (profile.EventCounter)
    {
        values.EventCounterName = profile.EventCounter->Name;
        values.EventCount = EventCount(*profile.EventCounter, record);
    }
    for (const AnalogChannel* row = profile.AnalogChannels; row && row->Name; ++row)
        // Exact in double: a 16-bit count times a float factor.
        values.Readings.push_back({row->Name,
                                   Read16(record, row->Offset) * static_cast<double>(row->Scale) +
                                       static_cast<double>(row->Added),
                                   row->Unit});
    for (const StatusFlag* row = profile.StatusFlags; row && row->Name; ++row)
        values.Flags.push_back({row->Name, (ByteAt(record, row->Offset) >> row->Bit & 1) != 0});
    if (withClockStatus && profile.ClockStatus)
    {
        const uint32_t status = ByteAt(record, profile.ClockStatus->Offset);
        values.ClockStatus =
            StatusValues::Clock{profile.ClockStatus->Name, status >> 4, status & 0x0F};
    }
    return values;
}

void PrintStatusRecord(const BoardProfile& profile, const uint8_t* record, bool withClockStatus,
                       std::FILE* output)
{
    const StatusValues values = DecodeStatusRecord(profile, record, withClockStatus);
    // The lines go out in one write: a record has up to 111 of them.
    std::string text;
    if (values.ElapsedTimeName)
    {
        const uint32_t quarters = values.ElapsedQuarterSeconds;
        text +=
            FormatUnchecked(Formats.ElapsedTime, values.ElapsedTimeName, quarters / QuartersPerDay,
                            quarters / QuartersPerHour % 24, quarters / QuartersPerMinute % 60,
                            quarters / QuartersPerSecond % 60);
    }
    if (values.EventCounterName)
        text += FormatUnchecked(Formats.EventCounter, values.EventCounterName, values.EventCount);
    for (const StatusValues::Reading& reading : values.Readings)
        text += FormatUnchecked(Formats.Analog, reading.Name, reading.Value, reading.Unit);
    for (const StatusValues::Flag& flag : values.Flags)
        text += FormatUnchecked(Formats.Flag, flag.Name, flag.Set ? "true" : "false");
    if (values.ClockStatus && values.ClockStatus->Error == 0)
        text += FormatUnchecked(Formats.ClockOk, values.ClockStatus->Name);
    else if (values.ClockStatus)
        text += FormatUnchecked(Formats.ClockError, values.ClockStatus->Name,
                                values.ClockStatus->Error, values.ClockStatus->Type);
    PrintText(text.c_str(), output);
}

void PrintStatusRecord(const uint8_t* record, bool withClockStatus, std::FILE* output)
{
    PrintStatusRecord(CurrentBoardProfile(), record, withClockStatus, output);
}

} // namespace Corvane::Common
