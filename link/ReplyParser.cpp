#include "ReplyParser.h"

#include "platform/Print.h"

#include <algorithm>

namespace Corvane::Common
{

namespace
{

struct ReplyCode
{
    char Letters[3];
    uint32_t PayloadSize;
};

// By ReplyKind, in its order.
const ReplyCode ReplyCodes[] = {
    {"ST", 32}, {"LG", 1024}, {"VN", 8},  {"IR", 8},   {"SX", 64},  {"LX", 2048},
    {"GF", 5},  {"SF", 5},    {"XS", 64}, {"VP", 256}, {"XD", 256}, {"AS", 32},
};

constexpr uint8_t ReplyMarker = '=';
constexpr uint8_t AcknowledgeMarker = '!';

ReplyKind KindOfCode(uint8_t first, uint8_t second)
{
    for (size_t kind = 0; kind < std::size(ReplyCodes); ++kind)
        if (ReplyCodes[kind].Letters[0] == first && ReplyCodes[kind].Letters[1] == second)
            return static_cast<ReplyKind>(kind);
    return ReplyKind::None;
}

uint32_t Word16(const uint8_t* bytes)
{
    return bytes[0] | static_cast<uint32_t>(bytes[1]) << 8;
}

uint32_t Word32(const uint8_t* bytes)
{
    return Word16(bytes) | Word16(bytes + 2) << 16;
}

} // namespace

uint32_t ReplyPayloadSize(ReplyKind kind)
{
    const auto index = static_cast<size_t>(kind);
    return index < std::size(ReplyCodes) ? ReplyCodes[index].PayloadSize : 0;
}

CReplyParser::CReplyParser(const StatusDecoding& decoding, std::FILE* output, IReplySink* sink)
    : Decoding(decoding), Output(output), Sink(sink)
{
}

void CReplyParser::Take(uint8_t byte, uint32_t sentWhole)
{
    if (InPayload())
        TakePayloadByte(byte);
    else
        TakeOutsidePayload(byte, sentWhole);
}

void CReplyParser::TakeOutsidePayload(uint8_t byte, uint32_t sentWhole)
{
    const uint8_t first = BeforePrevious;
    const uint8_t second = Previous;
    BeforePrevious = Previous;
    Previous = byte;
    const ReplyKind kind = byte == ReplyMarker ? KindOfCode(first, second) : ReplyKind::None;
    const bool acknowledgesWrite = byte == AcknowledgeMarker && first == 'I' && second == 'W';
    if (kind != ReplyKind::None)
    {
        Kind = kind;
        Received = 0;
        MarkerSentWhole = sentWhole;
    }
    else if (!acknowledgesWrite)
        PrintTo(Output, "0x%02x ", byte);
    if (Sink == nullptr)
        return;
    if (acknowledgesWrite)
        Sink->WriteAcknowledged(sentWhole);
    // Last, so that whoever it wakes prints after what the byte printed.
    Sink->ByteCame(byte, sentWhole);
}

void CReplyParser::TakePayloadByte(uint8_t byte)
{
    ReplyBuffer[Received++] = byte;
    if (Received < ReplyPayloadSize(Kind))
        return;
    ActOnReply();
    if (Sink != nullptr)
        Sink->ReplyCame(Kind, ReplyBuffer.data(), MarkerSentWhole);
    EndReply();
}

void CReplyParser::EndReply()
{
    // A code never spans a payload: what came before the reply is forgotten.
    Previous = 0;
    BeforePrevious = 0;
    Kind = ReplyKind::None;
}

void CReplyParser::AbandonPayload()
{
    if (!InPayload())
        return;
    PrintTo(Output, "\nThe reply %s= stopped after %u of %u bytes; it was dropped.\n", Code(),
            Received, ReplyPayloadSize(Kind));
    const ReplyKind dropped = Kind;
    EndReply();
    if (Sink != nullptr)
        Sink->ReplyDropped(dropped, MarkerSentWhole);
}

const char* CReplyParser::Code() const
{
    return ReplyCodes[static_cast<size_t>(Kind)].Letters;
}

void CReplyParser::ActOnReply()
{
    switch (Kind)
    {
    case ReplyKind::VN:
        PrintVersion();
        break;
    case ReplyKind::IR:
        PrintI2cData();
        break;
    case ReplyKind::GF:
        PrintFrequency(false);
        break;
    case ReplyKind::SF:
        PrintFrequency(true);
        break;
    case ReplyKind::ST:
        PrintStatus(false);
        break;
    case ReplyKind::SX:
        PrintStatus(true);
        break;
    case ReplyKind::LG:
        PrintText("\nLG=\n", Output);
        PrintText("\n", Output);
        PrintText("\n", Output);
        break;
    default:
        break; // consumed, not shown
    }
}

std::array<uint16_t, 4> VersionNumbers(const uint8_t* payload)
{
    std::array<uint16_t, 4> numbers{};
    for (size_t i = 0; i < numbers.size(); ++i)
        numbers[i] = static_cast<uint16_t>(Word16(payload + 2 * i));
    return numbers;
}

void CReplyParser::PrintVersion()
{
    const std::array<uint16_t, 4> v = VersionNumbers(ReplyBuffer.data());
    PrintTo(Output, "\nVN=%hu.%hu.%hu.%hu\n", v[0], v[1], v[2], v[3]);
}

void CReplyParser::PrintI2cData()
{
    // The eight bytes read as one 64-bit little-endian number: the high word first.
    PrintTo(Output, "\nI2C Read Data = 0x%08x %08x\n", Word32(&ReplyBuffer[4]),
            Word32(&ReplyBuffer[0]));
}

void CReplyParser::PrintFrequency(bool actual)
{
    const uint8_t* p = ReplyBuffer.data();
    const auto hertz = static_cast<unsigned long>(Word32(p + 1));
    PrintTo(Output, "\n0x%02x 0x%02x 0x%02x 0x%02x 0x%02x\n", p[0], p[1], p[2], p[3], p[4]);
    if (actual)
        PrintTo(Output, "\nStatus = 0x%02x, Actual frequency = %lu\n", p[0], hertz);
    else
        PrintTo(Output, "\nStatus = 0x%02x, Frequency = %lu\n", p[0], hertz);
}

void CReplyParser::PrintStatus(bool extended)
{
    // A board answers only one of the two requests; the other reply was still read whole.
    if (extended != Decoding.ExtendedStatus)
    {
        PrintText(extended ? "\nThis board does not support SX? (Extended Status). Please use "
                             "ST? (Status) instead.\n"
                           : "\nThis board does not support ST? (Status). Please use SX? "
                             "(Extended Status) instead.\n",
                  Output);
        return;
    }
    PrintText(extended ? "\nSX=\n" : "\nST=\n", Output);
    if (Decoding.PrintRecord != nullptr)
        Decoding.PrintRecord(ReplyBuffer.data(), extended, Output);
    PrintText("\n", Output);
}

} // namespace Corvane::Common
