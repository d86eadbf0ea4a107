#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Corvane::Common
{

// One I2C device: 256 registers and flags of its own (the elapsed-time counter keeps its
// write protections there).
struct I2cDeviceState
{
    std::array<uint8_t, 256> Registers{};
    uint8_t Flags = 0;
    // The register and value of the device's last write (-1: none since power-up); not kept in
    // the state file, as the device forgets it when its power goes.
    int LastRegister = -1;
    uint8_t LastValue = 0;
};

// Where a device sits: its bus and its 7-bit chip address.
struct I2cAddress
{
    uint8_t Bus = 0;
    uint8_t Chip = 0;

    bool operator<(const I2cAddress& other) const
    {
        return Bus != other.Bus ? Bus < other.Bus : Chip < other.Chip;
    }
};

// What an erased byte of the microcontroller's flash reads.
constexpr uint8_t ErasedFlash = 0xFF;

// What a real card keeps while its power stays on: the microcontroller's flash and the contents
// of every I2C device on the board (a device that was never written reads as zeros and is not
// stored). A command a program of the microcontroller has received only in part stays pending too.
struct BoardMemory
{
    std::vector<uint8_t> Flash;
    std::map<I2cAddress, I2cDeviceState> Devices;
    std::vector<uint8_t> PendingCommand;
    bool PendingInBootLoader = false; // which of the two programs received it
};

// The text of the state file for the memories of the cards, by library index; and back. Parsing
// fails with one line naming the line of the text.
std::string FormatBoardMemories(const std::map<uint32_t, BoardMemory>& memories);
bool ParseBoardMemories(const std::string& text, std::map<uint32_t, BoardMemory>& memories,
                        std::string& error);

} // namespace Corvane::Common
