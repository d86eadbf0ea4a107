#pragma once

namespace Corvane::Common
{

// "/list": one line for every card that the board libraries report, of both generations, without
// choosing one and without waiting for another run's card. 0 when a card is listed.
int ListCards();

} // namespace Corvane::Common
