#include "cards/CardTrace.h"

namespace Corvane::Common
{

namespace
{
CardTraceObserver Observer = nullptr;
}

void CardTrace(const char* text)
{
    if (Observer != nullptr)
        Observer(text);
}

CardTraceObserver SetCardTraceObserver(CardTraceObserver observer)
{
    CardTraceObserver previous = Observer;
    Observer = observer;
    return previous;
}

} // namespace Corvane::Common
