#pragma once

#include "ReplyParser.h"

namespace Corvane::Common
{

// Starts the background thread that takes every byte the firmware sends out of the mailbox,
// parses and prints the replies and wakes the main thread where it waits for one. It runs until
// Shutdown. False when the thread cannot be started.
bool StartReceiverThread(const StatusDecoding& decoding);

// The thread's body: polls the mailbox while KeepRunning is set, or until StopReceiverWhenQuiet
// ends it. A reply whose payload stops coming for MicrocontrollerPatience is dropped with one
// line, and the thread goes back to idle. It polls without pause while a reply comes, while a
// request of the main thread has had no answer yet and for a short while after the last byte; an
// idle mailbox it polls after short waits that the main thread's next frame (and Shutdown) cut
// short.
void ReceiverLoop(const StatusDecoding& decoding);

// Ends the receiver thread once the firmware has finished what it is sending: no reply is coming in
// and no byte has come for quietMilliseconds, counted from the call at the earliest. After
// boundMilliseconds it ends all the same, also under a firmware that never stops talking, and a
// reply still coming in then is dropped with its line. Nothing is printed after that. True when
// the firmware fell quiet, and at once when no receiver thread runs.
bool StopReceiverWhenQuiet(unsigned quietMilliseconds, unsigned boundMilliseconds);

// The longest of the waits between polls of an idle mailbox; tests lengthen it.
void SetLongestReceiverIdleWaitMilliseconds(unsigned milliseconds);

} // namespace Corvane::Common
