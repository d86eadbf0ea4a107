#include "LinkState.h"

namespace Corvane::Common
{

std::atomic<bool> KeepRunning{true};
std::atomic<bool> ReconfigurePending{false};
std::atomic<uint8_t> ReplyChar{0};
uint8_t I2cReadData[8] = {};
std::atomic<uint32_t> VersionRepliesPrinted{0};
CAutoResetEvent VersionReplyEvent;
uint16_t VersionReplyNumbers[4] = {};
uint8_t StatusRecordData[64] = {};
std::atomic<uint32_t> StatusRecordsPrinted{0};
std::atomic<uint32_t> StatusRepliesDropped{0};
std::atomic<uint32_t> RepliesBegun{0};
CAutoResetEvent StatusReplyEvent;

CAutoResetEvent ReadReplyEvent;
CAutoResetEvent WriteReplyEvent;
CAutoResetEvent ReconfigureReplyEvent;

std::atomic<uint32_t> FramesSent{0};
CAutoResetEvent ReceiverWakeEvent;

CLock MailboxLock;

std::unique_ptr<CThread> ReceiverThread;

void Shutdown()
{
    // The flags are cleared before the events are set, so that a woken thread sees the run ending.
    ReconfigurePending = false;
    KeepRunning = false;
    ReadReplyEvent.Set();
    WriteReplyEvent.Set();
    ReconfigureReplyEvent.Set();
    VersionReplyEvent.Set();
    StatusReplyEvent.Set();
    ReceiverWakeEvent.Set();
    if (ReceiverThread)
    {
        if (!ReceiverThread->IsFinished())
            ReceiverThread->Join();
        ReceiverThread.reset();
    }
}

} // namespace Corvane::Common
