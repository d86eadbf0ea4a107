#include "ElapsedTimeCounter.h"

#include "I2CTransfers.h"
#include "cards/ITVXCard.h"
#include "link/Mailbox.h"
#include "platform/Print.h"
#include "platform/Time.h"

namespace Corvane::Common
{

namespace
{

// The counter's chip address and the registers this operation uses.
const uint8_t EtcChip = 0x6B;
const uint8_t ConfigurationRegister = 0;
const uint8_t AlarmRegister = 1;
const uint8_t ElapsedTimeRegister = 5;
const uint8_t EventCountRegister = 9;
const uint8_t SerialStampRegister = 11;
const uint8_t TimeStampRegister = 14;
const uint8_t ResetRegister = 29;
const uint8_t CounterProtectRegister = 30;
const uint8_t UserDataProtectRegister = 31;

const uint8_t WriteProtectedFlags = 0x30;
const uint8_t ResetEnable = 0x04;
const uint8_t ResetCommand = 0x55;
const uint8_t CounterProtectCommand = 0xAA;
const uint8_t UserDataProtectCommand = 0xF0;

const unsigned ProtectPauseMilliseconds = 1000;
const unsigned ResetPauseMilliseconds = 500;

const size_t SerialStampBytes = 3;
const size_t TimeStampBytes = 7;

struct StampFields
{
    int Seconds, Minutes, Hours, Day, Month, Year, Serial;
};

StampFields Fields(const uint8_t* serialStamp, const uint8_t* timeStamp)
{
    return {timeStamp[0],
            timeStamp[1],
            timeStamp[2],
            timeStamp[3],
            timeStamp[4],
            timeStamp[5] | timeStamp[6] << 8,
            serialStamp[0] | serialStamp[1] << 8};
}

void PrintStamp(const char* label, const StampFields& f)
{
    Print("\n%s %d %d %d %d %d %d SN:%d\n", label, f.Seconds, f.Minutes, f.Hours, f.Day, f.Month,
          f.Year, f.Serial);
}

// One command byte, written twice as the device wants it.
bool WriteCommandTwice(uint8_t reg, uint8_t command)
{
    return I2CWrite(1, EtcChip, reg, &command) && I2CWrite(1, EtcChip, reg, &command);
}

bool StampAndShow(const EtcStamp& stamp)
{
    uint8_t serialRead[SerialStampBytes] = {};
    uint8_t timeRead[TimeStampBytes] = {};
    if (!I2CWrite(SerialStampBytes, EtcChip, SerialStampRegister, stamp.data()) ||
        !I2CWrite(TimeStampBytes, EtcChip, TimeStampRegister, stamp.data() + SerialStampBytes) ||
        !I2CRead(SerialStampBytes, EtcChip, SerialStampRegister, serialRead) ||
        !I2CRead(TimeStampBytes, EtcChip, TimeStampRegister, timeRead))
        return false;
    // Shown for the operator's eye; the operation goes on either way.
    PrintStamp("Write", Fields(stamp.data(), stamp.data() + SerialStampBytes));
    PrintStamp("Read ", Fields(serialRead, timeRead));
    return true;
}

bool ClearCounters()
{
    const uint8_t alarm[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    const uint8_t zeros[4] = {};
    return I2CWrite(4, EtcChip, AlarmRegister, alarm) &&
           I2CWrite(4, EtcChip, ElapsedTimeRegister, zeros) &&
           I2CWrite(2, EtcChip, EventCountRegister, zeros);
}

bool ProtectAndReset()
{
    PrintText("\nWrite Protecting the User Data (WMDF)");
    if (!WriteCommandTwice(UserDataProtectRegister, UserDataProtectCommand))
        return false;
    SleepMilliseconds(ProtectPauseMilliseconds);
    PrintText("\nWrite Protecting the ETC and EC and alarm");
    if (!WriteCommandTwice(CounterProtectRegister, CounterProtectCommand))
        return false;
    SleepMilliseconds(ProtectPauseMilliseconds);
    PrintText("\nPerforming final reset");
    uint8_t configuration = 0;
    if (!I2CRead(1, EtcChip, ConfigurationRegister, &configuration))
        return false;
    configuration |= ResetEnable;
    if (!I2CWrite(1, EtcChip, ConfigurationRegister, &configuration))
        return false;
    SleepMilliseconds(ResetPauseMilliseconds);
    if (!WriteCommandTwice(ResetRegister, ResetCommand))
        return false;
    SleepMilliseconds(ResetPauseMilliseconds);
    return true;
}

} // namespace

EtcStamp BuildEtcStamp(std::time_t now, uint32_t serialNumber)
{
    const std::tm utc = *std::gmtime(&now);
    const int year = utc.tm_year + 1900;
    return {static_cast<uint8_t>(serialNumber),
            static_cast<uint8_t>(serialNumber >> 8),
            0,
            static_cast<uint8_t>(utc.tm_sec),
            static_cast<uint8_t>(utc.tm_min),
            static_cast<uint8_t>(utc.tm_hour),
            static_cast<uint8_t>(utc.tm_mday),
            static_cast<uint8_t>(utc.tm_mon + 1),
            static_cast<uint8_t>(year),
            static_cast<uint8_t>(year >> 8)};
}

bool ProgramElapsedTimeCounter()
{
    const uint32_t serialNumber = CurrentCard ? CurrentCard->GetSerialNumber() : 0;
    const EtcStamp stamp = BuildEtcStamp(std::time(nullptr), serialNumber);
    const StampFields when = Fields(stamp.data(), stamp.data() + SerialStampBytes);
    Print("\n %d %d %d %d %d %d\n", when.Seconds, when.Minutes, when.Hours, when.Day, when.Month,
          when.Year);
    if (!CurrentCard || (serialNumber & 0xFFFF) == 0)
        return false;

    uint8_t configuration = 0;
    if (!I2CRead(1, EtcChip, ConfigurationRegister, &configuration))
        return false;
    if ((configuration & WriteProtectedFlags) != 0)
    {
        PrintText("\nInfo: ETC counter has already been blown!\n");
        return true;
    }
    if (!StampAndShow(stamp) || !ClearCounters() || !ProtectAndReset())
        return false;
    PrintText("\n");
    PrintText("\nETC Counter has been blown!");
    PrintText("\n\n");
    return true;
}

} // namespace Corvane::Common
