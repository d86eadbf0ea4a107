// The reply parser fed what a confused, noisy or broken firmware might send. The first byte of an
// input sets the scene (bit 0: the board answers SX? rather than ST?; bit 1: the main thread
// waits for the answer to the self-reconfigure order); the rest is the byte stream, taken as the
// receiver thread takes it. Besides what the sanitizers catch, each byte is checked against the
// parser's promises: nothing of a reply is shown or handed over before its whole payload has
// come, and after a payload the parser is back between replies.
#include "FuzzTarget.h"

#include "board/BoardProfile.h"
#include "board/StatusRecord.h"
#include "link/LinkState.h"
#include "link/ReplyParser.h"

#include <cstring>
#include <memory>
#include <vector>

using namespace Corvane::Common;
using MistleFuzz::Require;

namespace
{

// Every status record goes through the layout of every board that answers the same request, each
// time from a copy exactly as long as the reply, so that a layout reaching past it is caught.
void PrintWithEveryBoardLayout(const uint8_t* record, bool extended, std::FILE* output)
{
    const size_t size = extended ? EXTENDED_STATUS_RECORD_SIZE : STATUS_RECORD_SIZE;
    const std::vector<uint8_t> reply(record, record + size);
    for (int32_t model = 0; model < 256; ++model)
    {
        const BoardProfile* profile = FindBoardProfile(model);
        if (profile != nullptr && profile->ExtendedStatus == extended)
            PrintStatusRecord(*profile, reply.data(), extended, output);
    }
}

// What the parser has shown and handed to the waiting threads so far.
struct Observation
{
    ReplyKind Reply;
    uint32_t Received;
    long Printed;
    uint32_t VersionsPrinted;
};

Observation Observe(const CReplyParser& parser, std::FILE* output)
{
    return {parser.ReplyInProgress(), parser.PayloadBytesReceived(), std::ftell(output),
            VersionRepliesPrinted.load()};
}

// Consumes the event's signal, if it has one. Asked only at the points where a waiter may be woken
// and at the end of the input: a signal set anywhere else stays until then and is caught.
bool Woken(CAutoResetEvent& event)
{
    return event.WaitFor(0);
}

bool WakesTheReadWaiter(ReplyKind kind)
{
    return kind == ReplyKind::IR || kind == ReplyKind::GF || kind == ReplyKind::SF;
}

// The replies the parser shows; the others are only consumed.
bool IsShown(ReplyKind kind)
{
    return kind == ReplyKind::VN || kind == ReplyKind::IR || kind == ReplyKind::GF ||
           kind == ReplyKind::SF || kind == ReplyKind::ST || kind == ReplyKind::SX ||
           kind == ReplyKind::LG;
}

// A byte inside a payload that does not complete it: collected, and nothing else happens.
void CheckPayloadByte(const Observation& before, const Observation& after)
{
    Require(after.Reply == before.Reply && after.Received == before.Received + 1,
            "a payload byte is collected");
    Require(after.Printed == before.Printed, "nothing is shown before a reply is complete");
    Require(after.VersionsPrinted == before.VersionsPrinted,
            "no version is counted before its reply is complete");
}

// The byte that completes a payload: the reply is acted on and the parser is back between replies.
void CheckLastPayloadByte(const Observation& before, const Observation& after,
                          const uint8_t* payloadEnd)
{
    Require(after.Reply == ReplyKind::None && after.Received == before.Received + 1,
            "back between replies after a payload");
    Require((after.Printed > before.Printed) == IsShown(before.Reply),
            "a complete reply is shown if its kind is shown");
    Require((after.VersionsPrinted == before.VersionsPrinted + 1) ==
                (before.Reply == ReplyKind::VN),
            "only a complete version reply counts as one");
    Require(Woken(ReadReplyEvent) == WakesTheReadWaiter(before.Reply),
            "the read waiter is woken by a complete I2C or frequency reply only");
    if (before.Reply == ReplyKind::IR)
        Require(std::memcmp(I2cReadData, payloadEnd - sizeof I2cReadData, sizeof I2cReadData) == 0,
                "the I2C data handed over is the payload received");
    Require(!Woken(WriteReplyEvent), "only an acknowledgement wakes the write waiter");
}

// A byte between replies: it begins a reply (its marker), acknowledges a write, or is shown.
void CheckByteBetweenReplies(uint8_t byte, const Observation& before, const Observation& after)
{
    if (after.Reply != ReplyKind::None)
        Require(byte == '=' && after.Received == 0 && after.Printed == before.Printed,
                "a reply begins with its marker and shows nothing yet");
    Require(after.VersionsPrinted == before.VersionsPrinted,
            "a byte between replies completes no reply");
    if (byte == '!' && Woken(WriteReplyEvent))
        Require(after.Printed == before.Printed, "an acknowledgement is not shown");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::FILE* const output = std::tmpfile();
    Require(output != nullptr, "a scratch file for the parser's output");
    if (size == 0)
        return 0;
    std::rewind(output);
    const bool extendedStatus = (data[0] & 1) != 0;
    ReconfigurePending = (data[0] & 2) != 0;
    ReadReplyEvent.Reset();
    WriteReplyEvent.Reset();
    ReconfigureReplyEvent.Reset();

    // On the heap, so that a write past the end of the reply buffer, the parser's last member,
    // lands outside the object where AddressSanitizer sees it.
    auto parser = std::make_unique<CReplyParser>(
        StatusDecoding{extendedStatus, &PrintWithEveryBoardLayout}, output);
    for (size_t i = 1; i < size; ++i)
    {
        const bool awaitedReconfigure = ReconfigurePending;
        const Observation before = Observe(*parser, output);
        parser->Take(data[i]);
        const Observation after = Observe(*parser, output);
        if (before.Reply == ReplyKind::None)
            CheckByteBetweenReplies(data[i], before, after);
        else if (before.Received + 1 < ReplyPayloadSize(before.Reply))
            CheckPayloadByte(before, after);
        else
            CheckLastPayloadByte(before, after, data + i + 1);
        if (awaitedReconfigure)
            Require(!ReconfigurePending && ReplyChar == data[i] && Woken(ReconfigureReplyEvent),
                    "the first byte answers the self-reconfigure order");
    }
    Require(!Woken(ReadReplyEvent) && !Woken(WriteReplyEvent) && !Woken(ReconfigureReplyEvent),
            "no waiter is woken but by a complete reply, an acknowledgement or a first byte");

    // The stream ends where it ends: a reply cut short is given up once, with one line.
    const bool cutShort = parser->InPayload();
    const long printed = std::ftell(output);
    parser->AbandonPayload();
    Require(!parser->InPayload(), "back between replies after giving a reply up");
    Require((std::ftell(output) > printed) == cutShort, "a reply given up is reported");
    const long reported = std::ftell(output);
    parser->AbandonPayload();
    Require(std::ftell(output) == reported, "a reply is given up only once");
    return 0;
}
