// The reply parser fed byte streams as the receiver thread takes them from the mailbox.
#include "link/ReplyParser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace Corvane::Common;

namespace
{

// Stands in for the board's decoder: shows which record it was given.
void PrintRecordMarker(const uint8_t* record, bool withClockStatus, std::FILE* output)
{
    std::fprintf(output, "[record %02x..%02x clock=%d]", record[0], record[31], withClockStatus);
}

const std::string Record32 = "\xA0" + std::string(30, 0x11) + "\xAF";

struct ReplyCase
{
    const char* Name;
    std::string Stream;
    bool ExtendedStatus; // the board answers SX? rather than ST?
    std::string Printed;
    // What was handed on, each with the place in the stream of its marker: "VN@2", "IW!@2".
    std::string Handed;
    bool EndsInPayload = false;
};

// Notes what the parser hands on. Byte i of a stream is taken as if i frames had gone out whole.
class CHandedNotes : public IReplySink
{
public:
    void ReplyCame(ReplyKind kind, const uint8_t*, uint32_t sentWhole) override
    {
        static const char* const Codes[] = {"ST", "LG", "VN", "IR", "SX", "LX",
                                            "GF", "SF", "XS", "VP", "XD", "AS"};
        Notes += std::string(Codes[static_cast<size_t>(kind)]) + "@" + std::to_string(sentWhole);
    }
    void WriteAcknowledged(uint32_t sentWhole) override
    {
        Notes += "IW!@" + std::to_string(sentWhole);
    }
    void ByteCame(uint8_t, uint32_t) override {}
    std::string Notes;
};

const std::string RefusedExtended = "This board does not support SX? (Extended Status). "
                                    "Please use ST? (Status) instead.\n";

// A refused reply is still read whole and handed on; a code is never found across a payload (the
// version's last two bytes are "ST" before '='); a reply is handed on with the place of its marker.
const ReplyCase ReplyCases[] = {
    {"extended refused", "SX=" + Record32 + Record32, false, "0x53 0x58 \n" + RefusedExtended,
     "SX@2"},
    {"unknown code", "QQ=", false, "0x51 0x51 0x3d ", ""},
    {"unknown acknowledgement", "XW!", false, "0x58 0x57 0x21 ", ""},
    {"code inside a payload", std::string("VN=\1\0\2\0\3\0ST=", 12), false,
     "0x56 0x4e \nVN=1.2.3.21587\n0x3d ", "VN@2"},
    {"log", "LG=" + std::string(1024, 'V') + "!", false, "0x4c 0x47 \nLG=\n\n\n0x21 ", "LG@2"},
    {"consumed quietly", "LX=" + std::string(2048, '=') + "AS=" + std::string(32, 0), false,
     "0x4c 0x58 0x41 0x53 ", "LX@2AS@2053"},
    {"version begun", "VN=", false, "0x56 0x4e ", "", true},
};

} // namespace

TEST(ReplyParsing, EveryFormOfReply)
{
    for (const ReplyCase& c : ReplyCases)
    {
        SCOPED_TRACE(c.Name);
        CHandedNotes handed;
        std::FILE* output = std::tmpfile();
        ASSERT_NE(output, nullptr);
        {
            CReplyParser parser({c.ExtendedStatus, &PrintRecordMarker}, output, &handed);
            for (size_t i = 0; i < c.Stream.size(); ++i)
                parser.Take(static_cast<uint8_t>(c.Stream[i]), static_cast<uint32_t>(i));
            EXPECT_EQ(parser.InPayload(), c.EndsInPayload);
        }
        std::string printed(static_cast<size_t>(std::ftell(output)), '\0');
        std::rewind(output);
        EXPECT_EQ(std::fread(printed.data(), 1, printed.size(), output), printed.size());
        std::fclose(output);
        EXPECT_EQ(printed, c.Printed);
        EXPECT_EQ(handed.Notes, c.Handed);
    }
}
