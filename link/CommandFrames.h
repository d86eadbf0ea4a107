#pragma once

#include <cstdint>
#include <vector>

namespace Corvane::Common
{

// A command of the application firmware as it goes through the mailbox: two letters, a mode
// character and fixed arguments, little-endian, without length, checksum or terminator.
using CommandFrame = std::vector<uint8_t>;

// The I2C frames carry at most this many data bytes.
constexpr uint32_t I2C_FRAME_DATA_BYTES = 8;
// The loop-back test sends blocks of this many bytes, 0x00 upwards.
constexpr uint32_t LOOP_BACK_BLOCK_BYTES = 16;

CommandFrame VersionRequestFrame();
// ST? or, for a board with the extended record, SX?.
CommandFrame StatusRequestFrame(bool extended);
CommandFrame BusSelectFrame(uint32_t bus);
CommandFrame LoopBackRequestFrame();
CommandFrame I2cReadFrame(uint32_t chip, uint32_t reg, uint32_t count);
// Always 14 bytes: the first count (at most 8) of the data field are data, the rest zeros.
CommandFrame I2cWriteFrame(uint32_t chip, uint32_t reg, uint32_t count, const uint8_t* data);
CommandFrame GetFrequencyFrame(uint32_t multisynth);
CommandFrame SetFrequencyFrame(uint32_t multisynth, uint32_t hertz);
// The order with its access code, put together only now.
CommandFrame SelfReconfigureFrame();

// Sends a frame through the mailbox; false (with one line said) when the microcontroller stops
// taking bytes.
bool SendFrame(const CommandFrame& frame);

} // namespace Corvane::Common
