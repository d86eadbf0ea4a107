#pragma once

#include "platform/Event.h"
#include "platform/Lock.h"
#include "platform/Thread.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace Corvane::Common
{

// Process-wide state shared by the main thread and the receiver thread. Everything here exists
// before the entry point runs.

// Set while the run goes on; the receiver thread and the interactive console run while it is set.
extern std::atomic<bool> KeepRunning;
// Set while the main thread waits for the answer to the self-reconfigure request.
extern std::atomic<bool> ReconfigurePending;
// The first byte the receiver thread took while ReconfigurePending was set.
extern std::atomic<uint8_t> ReplyChar;
// The eight data bytes of the last I2C read reply (written before ReadReplyEvent is set).
extern uint8_t I2cReadData[8];
// How many version replies the receiver thread has printed, so that a run can tell whether one
// came.
extern std::atomic<uint32_t> VersionRepliesPrinted;
// Set once a version reply has been printed.
extern CAutoResetEvent VersionReplyEvent;
// The four numbers of the last version reply (written before VersionReplyEvent is set).
extern uint16_t VersionReplyNumbers[4];
// The last status record the receiver thread printed (written before StatusReplyEvent is set),
// how many it has printed, how many replies of any kind have begun to come, and how many status
// replies stopped halfway and were dropped; the event is set for a printed or a dropped record.
extern uint8_t StatusRecordData[64];
extern std::atomic<uint32_t> StatusRecordsPrinted;
extern std::atomic<uint32_t> StatusRepliesDropped;
extern std::atomic<uint32_t> RepliesBegun;
extern CAutoResetEvent StatusReplyEvent;

extern CAutoResetEvent ReadReplyEvent;
extern CAutoResetEvent WriteReplyEvent;
extern CAutoResetEvent ReconfigureReplyEvent;

// Counts the frames the main thread has begun to send: an answer to a request may be on its way,
// and the receiver thread polls without pause until it comes.
extern std::atomic<uint32_t> FramesSent;
// Ends a wait of the receiver thread between polls: set when a frame goes out and by Shutdown.
extern CAutoResetEvent ReceiverWakeEvent;

// Taken around every single access to the mailbox register, and held from the read to the write
// of each read-modify-write.
extern CLock MailboxLock;

// The background receiver thread of application mode; empty until it is started.
extern std::unique_ptr<CThread> ReceiverThread;

// The one orderly ending of a run: stops the receiver thread, if any, and releases every waiter.
// Safe to call any number of times, also before any receiver thread exists.
void Shutdown();

} // namespace Corvane::Common
