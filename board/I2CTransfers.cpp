#include "I2CTransfers.h"

#include "link/CommandFrames.h"
#include "link/FirmwareLink.h"
#include "link/Mailbox.h"
#include "platform/Files.h"
#include "platform/Interruption.h"
#include "platform/Print.h"

#include <algorithm>
#include <vector>

namespace Corvane::Common
{

namespace
{

// One more byte and the file is too large: the transfer takes at most this many.
const size_t MaximumWriteFileBytes = 511;

bool AwaitReply(const char* what, uint8_t chip, uint8_t reg)
{
    if (FirmwareLink().AwaitAnswer(MicrocontrollerPatienceMilliseconds()))
        return true;
    Print("\nNo answer to the I2C %s of 0x%02x:0x%02x within %u ms.\n", what, chip, reg,
          MicrocontrollerPatienceMilliseconds());
    return false;
}

uint8_t RegisterAfter(uint8_t start, size_t offset)
{
    return static_cast<uint8_t>(start + offset);
}

// Transfers stop only between registers, never within a command or before its answer.
bool StopsHere(const char* transfer, size_t done, size_t total)
{
    if (!IsInterrupted())
        return false;
    Print("\nInterrupted: the I2C %s stopped after register %u of %u.\n", transfer,
          static_cast<unsigned>(done), static_cast<unsigned>(total));
    return true;
}

} // namespace

bool I2CRead(uint8_t count, uint8_t chip, uint8_t reg, uint8_t* destination)
{
    Print("\nSending I2C Read: 0x%02x:0x%02x %u bytes...\n", chip, reg, count);
    if (!FirmwareLink().Request(I2cReadFrame(chip, reg, count), ReplyOf(ReplyKind::IR)) ||
        !AwaitReply("read", chip, reg))
        return false;
    const std::array<uint8_t, 8> data = FirmwareLink().I2cReadData();
    std::copy_n(data.begin(), std::min<uint32_t>(count, I2C_FRAME_DATA_BYTES), destination);
    return true;
}

bool I2CWrite(uint8_t count, uint8_t chip, uint8_t reg, const uint8_t* source)
{
    const CommandFrame frame = I2cWriteFrame(chip, reg, count, source);
    Print("\nSending I2C Write: 0x%02x:0x%02x %u bytes...\n", chip, reg, count);
    return FirmwareLink().Request(frame, WriteAcknowledgement) && AwaitReply("write", chip, reg);
}

bool I2CReadToFile(const std::string& path, uint8_t chip, uint32_t size, uint8_t startRegister)
{
    std::vector<uint8_t> buffer(size);
    Print("\nReading back %d bytes of data...\n", static_cast<int>(size));
    for (size_t i = 0; i < buffer.size(); ++i)
        if (StopsHere("read", i, buffer.size()) ||
            !I2CRead(1, chip, RegisterAfter(startRegister, i), &buffer[i]))
            return false;
    PrintText("\n...done! Writing data to file...\n");
    // An empty block counts as a write that did not complete.
    COutputFile file(path);
    if (!buffer.empty() && file.Create() && file.Write(buffer.data(), buffer.size()) &&
        file.Commit())
    {
        PrintText("\n...done\n");
        return true;
    }
    Print("\nError writing output file %s\n", path.c_str());
    return false;
}

bool I2CWriteFromFile(const std::string& path, uint8_t chip, uint8_t startRegister)
{
    std::vector<uint8_t> data;
    switch (ReadInputFile(path, MaximumWriteFileBytes, data))
    {
    case InputFileStatus::CannotOpen:
        Print("\nCould not open input file %s", path.c_str());
        return false;
    case InputFileStatus::TooLarge:
        Print("\nInput file (%s) too large!", path.c_str());
        return false;
    case InputFileStatus::Read:
        break;
    }
    PrintText("Writing data...");
    for (size_t j = 0; j < data.size(); ++j)
        if (StopsHere("write", j, data.size()) ||
            !I2CWrite(1, chip, RegisterAfter(startRegister, j), &data[j]))
            return false;
    PrintText("...done!");
    return true;
}

} // namespace Corvane::Common
