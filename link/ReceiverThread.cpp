#include "ReceiverThread.h"

#include "LinkState.h"
#include "Mailbox.h"
#include "platform/Time.h"

#include <cstdio>
#include <new>

namespace Corvane::Common
{

void ReceiverLoop(const StatusDecoding& decoding)
{
    CReplyParser parser(decoding, stdout);
    CStopwatch sinceLastByte;
    const double patienceSeconds = MicrocontrollerPatienceMilliseconds() / 1000.0;
    while (KeepRunning)
    {
        uint8_t byte = 0;
        if (TryTakeMailboxByte(byte))
        {
            parser.Take(byte);
            sinceLastByte.Restart();
        }
        else if (parser.InPayload() && sinceLastByte.ElapsedSeconds() > patienceSeconds)
            parser.AbandonPayload();
    }
}

bool StartReceiverThread(const StatusDecoding& decoding)
{
    ReceiverThread.reset(new (std::nothrow) CThread([decoding] { ReceiverLoop(decoding); }));
    return ReceiverThread && ReceiverThread->IsRunning();
}

} // namespace Corvane::Common
