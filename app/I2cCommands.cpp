#include "I2cCommands.h"

#include "board/I2CTransfers.h"
#include "platform/Files.h"
#include "platform/Interruption.h"
#include "platform/Print.h"

#include <cstdio>

namespace Corvane::Common
{

namespace
{

// One I2C read of the file transfer moves one register, and the registers are 256.
const uint32_t MaximumReadSize = 255;
// The verify stops at the eleventh difference.
const int MostErrorsShown = 10;

uint8_t LowByte(uint32_t value)
{
    return static_cast<uint8_t>(value);
}

} // namespace

int RunI2cReadToFile(const std::string& path, uint32_t chip, uint32_t size, uint32_t start)
{
    if (size > MaximumReadSize)
    {
        // The size travels as one byte: 300 would silently read 44 registers.
        Print("\nAn I2C read takes at most %u bytes; %u were asked for. Nothing was read.\n",
              MaximumReadSize, size);
        return -1;
    }
    return I2CReadToFile(path, LowByte(chip), size, LowByte(start)) ? 0 : -1;
}

int RunI2cWriteFromFile(const std::string& path, uint32_t chip, uint32_t start)
{
    return I2CWriteFromFile(path, LowByte(chip), LowByte(start)) ? 0 : -1;
}

// Compares the file with the registers from start on, wrapping at 256 as the write does.
int VerifyI2cAgainstFile(const std::string& path, uint32_t chip, uint32_t start)
{
    const InputFile file = OpenInputFile(path);
    if (!file)
    {
        Print("\nCould not open input file %s\n", path.c_str());
        return -1;
    }
    Print("\nReadback: %d", 0);
    int address = 0;
    int errors = 0;
    for (int expected = std::fgetc(file.get()); expected != EOF; expected = std::fgetc(file.get()))
    {
        if (IsInterrupted())
        {
            Print("\nInterrupted: the verify stopped after %d bytes.\n", address);
            return -1;
        }
        const uint8_t reg = LowByte(start + static_cast<uint32_t>(address));
        uint8_t got = 0;
        if (!I2CRead(1, LowByte(chip), reg, &got))
            return -1;
        if (got != expected)
        {
            Print("\nError at address 0x%04x, expected 0x%02x got 0x%02x\n", reg, expected, got);
            if (++errors > MostErrorsShown)
                break;
        }
        if (++address % 8 == 0)
            Print("\rVerified: %d bytes", address);
    }
    Print("\rVerified: %d bytes", address);
    PrintText("\n");
    if (errors > 0)
    {
        Print("\rFound %d bytes containing errors\n", errors);
        return -1;
    }
    return 0;
}

} // namespace Corvane::Common
