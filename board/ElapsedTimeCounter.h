#pragma once

#include <array>
#include <cstdint>
#include <ctime>

namespace Corvane::Common
{

// The user data the counter is stamped with: the serial number's low 16 bits and a zero byte
// (registers 11-13), then seconds, minutes, hours, day, month (1-12) and the full year as 16 bits
// (registers 14-20), all little-endian and from one reading of the clock in UTC.
using EtcStamp = std::array<uint8_t, 10>;
EtcStamp BuildEtcStamp(std::time_t now, uint32_t serialNumber);

// Blows the board's elapsed-time counter: stamps it with the card's serial number and the time,
// clears its counters, write-protects it and resets it. True when it was blown now or had been
// before; false without a card, with a serial number whose low 16 bits are 0, or when the
// microcontroller does not answer.
bool ProgramElapsedTimeCounter();

} // namespace Corvane::Common
