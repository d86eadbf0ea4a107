#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

namespace Corvane::Common
{

// The replies of the application firmware, recognised by two letters and '='.
enum class ReplyKind : uint8_t
{
    ST,
    LG,
    VN,
    IR,
    SX,
    LX,
    GF,
    SF,
    XS,
    VP,
    XD,
    AS,
    None
};

// The bytes that follow the marker of a reply of this kind.
uint32_t ReplyPayloadSize(ReplyKind kind);

// How status records are printed: the receiver takes this from the board profile when it starts,
// so that the link does not depend on the board tables.
struct StatusDecoding
{
    // True: the board answers SX? (64 bytes); false: ST? (32 bytes).
    bool ExtendedStatus = false;
    // Prints the named lines of a record, with the clock-status line when asked.
    void (*PrintRecord)(const uint8_t* record, bool withClockStatus, std::FILE* output) = nullptr;
};

// What the parser hands on, each time after it has printed what it prints. `sentWhole` is the
// number of frames the host had sent whole when the reply's marker, or the byte, was taken.
class IReplySink
{
public:
    // A reply whose payload has come in full.
    virtual void ReplyCame(ReplyKind kind, const uint8_t* payload, uint32_t sentWhole) = 0;
    // The acknowledgement of an I2C write (IW!).
    virtual void WriteAcknowledged(uint32_t sentWhole) = 0;
    // Any byte that came outside a payload.
    virtual void ByteCame(uint8_t byte, uint32_t sentWhole) = 0;
    // A reply whose payload stopped coming, dropped with its line.
    virtual void ReplyDropped(ReplyKind, uint32_t) {}

protected:
    virtual ~IReplySink() = default;
};

// The four numbers of a version, as the payload of a VN= reply holds them (little-endian).
std::array<uint16_t, 4> VersionNumbers(const uint8_t* payload);

// Takes the bytes of the firmware one by one: outside a reply it looks for a two-letter code and
// its marker, printing every other byte in hex; inside a reply it collects the fixed payload and,
// once it is complete, prints the reply and hands it to the sink.
class CReplyParser
{
public:
    CReplyParser(const StatusDecoding& decoding, std::FILE* output, IReplySink* sink = nullptr);

    // One byte taken from the mailbox when sentWhole frames had been sent whole.
    void Take(uint8_t byte, uint32_t sentWhole = 0);

    bool InPayload() const { return Kind != ReplyKind::None; }
    // The reply being taken (None between replies) and how many bytes of its payload have come.
    ReplyKind ReplyInProgress() const { return Kind; }
    uint32_t PayloadBytesReceived() const { return Received; }
    // Gives up a reply whose payload stopped coming: says so once and returns to idle.
    void AbandonPayload();

private:
    void TakeOutsidePayload(uint8_t byte, uint32_t sentWhole);
    void TakePayloadByte(uint8_t byte);
    // Back to idle after a reply, complete or dropped.
    void EndReply();
    void ActOnReply();
    void PrintVersion();
    void PrintI2cData();
    void PrintFrequency(bool actual);
    void PrintStatus(bool extended);
    const char* Code() const;

    StatusDecoding Decoding;
    std::FILE* Output;
    IReplySink* Sink;
    ReplyKind Kind = ReplyKind::None;
    uint32_t MarkerSentWhole = 0;
    uint8_t Previous = 0;
    uint8_t BeforePrevious = 0;
    uint32_t Received = 0;
    // Holds the payload of the reply being taken; the largest reply fills it.
    std::array<uint8_t, 2048> ReplyBuffer{};
};

} // namespace Corvane::Common
