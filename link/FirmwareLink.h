#pragma once

#include "CommandFrames.h"
#include "ReplyParser.h"
#include "platform/Event.h"
#include "platform/Thread.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

namespace Corvane::Common
{

// What answers a request: a reply of one kind, the acknowledgement of an I2C write, or (for the
// self-reconfigure order) the first byte that comes outside a reply.
struct ExpectedAnswer
{
    enum class Form : uint8_t
    {
        Reply,
        WriteAcknowledgement,
        FirstByte
    };
    Form Of;
    ReplyKind Kind; // of a reply
};

constexpr ExpectedAnswer ReplyOf(ReplyKind kind)
{
    return {ExpectedAnswer::Form::Reply, kind};
}
constexpr ExpectedAnswer WriteAcknowledgement{ExpectedAnswer::Form::WriteAcknowledgement,
                                              ReplyKind::None};
constexpr ExpectedAnswer FirstByte{ExpectedAnswer::Form::FirstByte, ReplyKind::None};

// The application firmware's side of the run: the receiver thread, which takes every byte the
// firmware sends, prints it and hands the main thread the answer it waits for, and the main
// thread's requests. Only the main thread sends and waits, one request at a time. An answer ends
// the wait of its own request only: one of the expected form whose first byte the firmware sent
// after the request's last byte had gone out (the firmware answers a frame only once it has all of
// it); a reply of another kind, or one begun earlier, is printed and answers nothing.
class CFirmwareLink final : private IReplySink
{
public:
    CFirmwareLink() = default;
    ~CFirmwareLink() override;
    CFirmwareLink(const CFirmwareLink&) = delete;
    CFirmwareLink& operator=(const CFirmwareLink&) = delete;

    // Starts the receiver thread, and returns once it has found the mailbox empty (so that what
    // waited there from before is taken, and shown, before the first request), or after the
    // microcontroller's patience. False when the thread cannot be started.
    bool StartReceiver(const StatusDecoding& decoding);

    // Sends a frame whose answer nobody waits for; false (with one line said) when the
    // microcontroller stops taking bytes.
    bool Send(const CommandFrame& frame);
    // Sends a request whose answer AwaitAnswer then waits for.
    bool Request(const CommandFrame& frame, ExpectedAnswer answer);
    // Waits at most the given time for the answer to the last request. True once it has come
    // (again on later calls, until the next request); false when it has not, when it stopped
    // halfway and was dropped, or Shutdown came.
    bool AwaitAnswer(unsigned milliseconds);
    // True once the reply that answers the last request has stopped halfway and been dropped.
    bool AnswerWasDropped();
    // True once any byte has come since the last request went out whole: an answer may be on its
    // way.
    bool AnswerHasBegun();

    // The answer's data: the eight bytes of an I2C read, the byte after the self-reconfigure order.
    std::array<uint8_t, 8> I2cReadData();
    // The payload of the reply that answered, up to its first 64 bytes (a status record whole).
    std::array<uint8_t, 64> AnswerPayload();
    uint8_t ReplyChar();

    // Set while the run goes on: from the start of the receiver thread until Shutdown.
    bool KeepRunning() const { return Running; }

    // Ends the receiver thread once the firmware has finished what it is sending: no reply is
    // coming in, and neither a byte nor a request has gone by for quietMilliseconds. After
    // boundMilliseconds it ends all the same, also under a firmware that never stops talking, and a
    // reply still coming in then is dropped with its line. Nothing is printed after that. True when
    // the firmware fell quiet, and at once when no receiver thread runs.
    bool StopReceiverWhenQuiet(unsigned quietMilliseconds, unsigned boundMilliseconds);

    // The one orderly ending: stops the receiver thread, if any, and releases the waiter. Safe to
    // call any number of times, also before any receiver thread exists.
    void Shutdown();

    // The longest of the waits between polls of an idle mailbox; tests lengthen it.
    void SetLongestIdleWaitMilliseconds(unsigned milliseconds) { LongestIdleWait = milliseconds; }

private:
    class CPollPacing;
    class CQuietStop;

    void ReceiverLoop(const StatusDecoding& decoding);

    void ReplyCame(ReplyKind kind, const uint8_t* payload, uint32_t sentWhole) override;
    void WriteAcknowledged(uint32_t sentWhole) override;
    void ByteCame(uint8_t byte, uint32_t sentWhole) override;
    void ReplyDropped(ReplyKind kind, uint32_t sentWhole) override;
    // Under AnswerMutex: whether an answer of this form, begun when sentWhole frames had gone out
    // whole, answers the request that waits.
    bool Answers(ExpectedAnswer::Form form, ReplyKind kind, uint32_t sentWhole) const;
    void Answered();

    std::atomic<bool> Running{true};
    std::unique_ptr<CThread> ReceiverThread;

    // The request that waits for its answer, and the answer's data.
    std::mutex AnswerMutex;
    std::condition_variable AnswerCame;
    bool Awaiting = false;
    bool Came = false;
    bool Dropped = false;
    bool Begun = false;
    ExpectedAnswer Expected = FirstByte;
    uint32_t RequestSentWhole = 0; // the count of frames sent whole once the request is
    std::array<uint8_t, 64> Payload{};
    uint8_t FirstByteCame = 0;

    // The receiver polls without pause while a request of the main thread is owed an answer; a
    // frame going out ends its wait between polls of an idle mailbox.
    std::atomic<uint32_t> FramesBegun{0};
    CAutoResetEvent ReceiverWakeEvent;
    std::atomic<unsigned> LongestIdleWait{10};
    CAutoResetEvent ReceiverSettled;

    // The main thread's wish that the receiver end once the firmware is quiet. Only the receiver
    // knows whether a reply is coming in, so it decides when, and says so through the event.
    std::atomic<bool> QuietWanted{false};
    std::atomic<unsigned> QuietMilliseconds{0};
    std::atomic<unsigned> QuietBoundMilliseconds{0};
    std::atomic<bool> FellQuiet{false};
    CAutoResetEvent QuietStopDone;
};

// The run's link.
CFirmwareLink& FirmwareLink();

// FirmwareLink().Shutdown(): every ending of the run goes through it.
void Shutdown();

} // namespace Corvane::Common
