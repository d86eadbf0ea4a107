#pragma once

namespace Corvane::Common
{

// Whether the board library of that generation was absent (or lacked a function the card classes
// call) at the latest construction of a card of that generation.
extern bool Gen2LibraryMissing;
extern bool Gen3LibraryMissing;

} // namespace Corvane::Common
