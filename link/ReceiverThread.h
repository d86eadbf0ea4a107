#pragma once

#include "ReplyParser.h"

namespace Corvane::Common
{

// Starts the background thread that takes every byte the firmware sends out of the mailbox,
// parses and prints the replies and wakes the main thread where it waits for one. It runs until
// Shutdown. False when the thread cannot be started.
bool StartReceiverThread(const StatusDecoding& decoding);

// The thread's body: polls the mailbox while KeepRunning is set. A reply whose payload stops
// coming for MicrocontrollerPatience is dropped with one line, and the thread goes back to idle.
void ReceiverLoop(const StatusDecoding& decoding);

} // namespace Corvane::Common
