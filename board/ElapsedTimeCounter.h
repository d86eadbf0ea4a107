#pragma once

namespace Corvane::Common
{

// Blows the board's elapsed-time counter: stamps it with the card's serial number and the time,
// clears its counters, write-protects it and resets it. True when it was blown now or had been
// before; false without a card or with a serial number whose low 16 bits are 0.
bool ProgramElapsedTimeCounter();

} // namespace Corvane::Common
