#pragma once

namespace Corvane::Common
{

// The card layer prints nothing. Each failing board-library call hands the library's status text
// to CardTrace, which passes it on to the observer if one is set and otherwise drops it.
using CardTraceObserver = void (*)(const char* text);

void CardTrace(const char* text);

// Returns the observer that was set before; null removes the observer.
CardTraceObserver SetCardTraceObserver(CardTraceObserver observer);

} // namespace Corvane::Common
