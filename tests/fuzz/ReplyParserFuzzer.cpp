// The reply parser fed what a confused, noisy or broken firmware might send. The first byte of an
// input sets the scene (bit 0: the board answers SX? rather than ST?); the rest is the byte
// stream, taken as the receiver thread takes it, byte i as if i frames had gone out whole by then.
// Besides what the sanitizers catch, each byte is checked against the parser's promises: nothing
// of a reply is shown or handed on before its whole payload has come, a reply is handed on with
// the place of its marker, and after a payload the parser is back between replies.
#include "FuzzTarget.h"

#include "board/BoardProfile.h"
#include "board/StatusRecord.h"
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

// What the parser handed on for the last byte.
class CHanded : public IReplySink
{
public:
    void ReplyCame(ReplyKind kind, const uint8_t* payload, uint32_t sentWhole) override
    {
        ++Replies;
        Kind = kind;
        Payload.assign(payload, payload + ReplyPayloadSize(kind));
        Stamp = sentWhole;
    }
    void WriteAcknowledged(uint32_t sentWhole) override
    {
        ++Acknowledgements;
        Stamp = sentWhole;
    }
    void ByteCame(uint8_t byte, uint32_t sentWhole) override
    {
        ++Bytes;
        Byte = byte;
        Stamp = sentWhole;
    }
    void Forget() { *this = CHanded(); }

    int Replies = 0, Acknowledgements = 0, Bytes = 0;
    ReplyKind Kind = ReplyKind::None;
    std::vector<uint8_t> Payload;
    uint8_t Byte = 0;
    uint32_t Stamp = 0;
};

// What the parser has shown so far.
struct Observation
{
    ReplyKind Reply;
    uint32_t Received;
    long Printed;
};

Observation Observe(const CReplyParser& parser, std::FILE* output)
{
    return {parser.ReplyInProgress(), parser.PayloadBytesReceived(), std::ftell(output)};
}

// The replies the parser shows; the others are only consumed.
bool IsShown(ReplyKind kind)
{
    return kind == ReplyKind::VN || kind == ReplyKind::IR || kind == ReplyKind::GF ||
           kind == ReplyKind::SF || kind == ReplyKind::ST || kind == ReplyKind::SX ||
           kind == ReplyKind::LG;
}

// A byte inside a payload that does not complete it: collected, and nothing else happens.
void CheckPayloadByte(const Observation& before, const Observation& after, const CHanded& handed)
{
    Require(after.Reply == before.Reply && after.Received == before.Received + 1,
            "a payload byte is collected");
    Require(after.Printed == before.Printed, "nothing is shown before a reply is complete");
    Require(handed.Replies + handed.Acknowledgements + handed.Bytes == 0,
            "nothing is handed on before a reply is complete");
}

// The byte that completes a payload: the reply is acted on, handed on once with the place of its
// marker, and the parser is back between replies.
void CheckLastPayloadByte(const Observation& before, const Observation& after,
                          const CHanded& handed, const uint8_t* payloadEnd, uint32_t marker)
{
    Require(after.Reply == ReplyKind::None && after.Received == before.Received + 1,
            "back between replies after a payload");
    Require((after.Printed > before.Printed) == IsShown(before.Reply),
            "a complete reply is shown if its kind is shown");
    Require(handed.Replies == 1 && handed.Acknowledgements + handed.Bytes == 0 &&
                handed.Kind == before.Reply && handed.Stamp == marker,
            "a complete reply is handed on once, with the place of its marker");
    Require(std::memcmp(handed.Payload.data(), payloadEnd - handed.Payload.size(),
                        handed.Payload.size()) == 0,
            "the payload handed on is the one received");
}

// A byte between replies: it begins a reply (its marker), acknowledges a write, or is shown; it
// is handed on as itself.
void CheckByteBetweenReplies(uint8_t byte, uint32_t place, const Observation& before,
                             const Observation& after, const CHanded& handed)
{
    if (after.Reply != ReplyKind::None)
        Require(byte == '=' && after.Received == 0 && after.Printed == before.Printed,
                "a reply begins with its marker and shows nothing yet");
    Require(handed.Replies == 0, "a byte between replies completes no reply");
    Require(handed.Bytes == 1 && handed.Byte == byte && handed.Stamp == place,
            "a byte between replies is handed on as itself");
    if (handed.Acknowledgements != 0)
        Require(byte == '!' && after.Printed == before.Printed,
                "an acknowledgement is a '!' that is not shown");
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

    // On the heap, so that a write past the end of the reply buffer, the parser's last member,
    // lands outside the object where AddressSanitizer sees it.
    CHanded handed;
    auto parser = std::make_unique<CReplyParser>(
        StatusDecoding{extendedStatus, &PrintWithEveryBoardLayout}, output, &handed);
    uint32_t marker = 0;
    for (size_t i = 1; i < size; ++i)
    {
        const auto place = static_cast<uint32_t>(i);
        const Observation before = Observe(*parser, output);
        handed.Forget();
        parser->Take(data[i], place);
        const Observation after = Observe(*parser, output);
        if (before.Reply == ReplyKind::None)
        {
            CheckByteBetweenReplies(data[i], place, before, after, handed);
            marker = place;
        }
        else if (before.Received + 1 < ReplyPayloadSize(before.Reply))
            CheckPayloadByte(before, after, handed);
        else
            CheckLastPayloadByte(before, after, handed, data + i + 1, marker);
    }

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
