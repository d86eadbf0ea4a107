#pragma once

#include <cstddef>
#include <cstdint>

namespace Corvane::Common
{

// The payload of an ST= reply and of an SX= reply.
constexpr size_t STATUS_RECORD_SIZE = 32;
constexpr size_t EXTENDED_STATUS_RECORD_SIZE = 64;

// A 16-bit reading: value = raw × Scale + Added.
struct AnalogChannel
{
    const char* Name; // null in the row that ends a table
    const char* Unit;
    int32_t Offset;
    float Scale;
    float Added;
};

// One status bit of the record.
struct StatusFlag
{
    const char* Name; // null in the row that ends a table
    int32_t Offset;
    int32_t Bit;
};

// A 32-bit count of quarter seconds.
struct ElapsedTimeField
{
    const char* Name;
    int32_t Offset;
};

// A counter assembled from the bytes at the first Count offsets, the first one least significant.
struct EventCounterField
{
    const char* Name;
    int32_t Offsets[4];
    int32_t Count;
};

// One status byte of the clock synthesizer.
struct ClockStatusField
{
    const char* Name;
    int32_t Offset;
};

// What differs between the supported boards: the microcontroller's flash and boot-loader page,
// and what the firmware's status record holds. The empty profile (all zero, no tables) stands
// for a board that has none.
struct BoardProfile
{
    uint32_t FlashSize = 0;
    uint32_t PageSize = 0;
    const AnalogChannel* AnalogChannels = nullptr; // up to the row with a null name
    const StatusFlag* StatusFlags = nullptr;       // up to the row with a null name
    const ElapsedTimeField* ElapsedTime = nullptr;
    const EventCounterField* EventCounter = nullptr;
    const ClockStatusField* ClockStatus = nullptr;
    // True: the board answers SX? with 64 bytes; false: ST? with 32 bytes.
    bool ExtendedStatus = false;
};

// The profile of a card model code, or null when the model has none.
const BoardProfile* FindBoardProfile(int32_t modelCode);

// Makes the model's profile the current one. False, and the current profile unchanged, for a
// model without a profile. Called once, before the receiver thread starts.
bool SelectBoardProfile(int32_t modelCode);

// The profile chosen for this run; the empty profile until one is chosen.
const BoardProfile& CurrentBoardProfile();

} // namespace Corvane::Common
