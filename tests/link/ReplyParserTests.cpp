// The reply parser fed byte streams as the receiver thread takes them from the mailbox.
#include "link/LinkState.h"
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
    bool AwaitsReconfigure;
    std::string Printed;
    bool Acknowledged = false; // the write waiter is woken
    uint8_t Answer = 0;        // what is taken for the self-reconfigure order's answer
    bool EndsInPayload = false;
};

const std::string RefusedStatus = "This board does not support ST? (Status). Please use "
                                  "SX? (Extended Status) instead.\n";
const std::string RefusedExtended = "This board does not support SX? (Extended Status). "
                                    "Please use ST? (Status) instead.\n";

// A refused reply is still read whole; a code is never found across a payload (the version's last
// two bytes are "ST" before '='); inside a payload nothing is taken for the reconfigure answer.
const ReplyCase ReplyCases[] = {
    {"status", "ST=" + Record32 + "z", false, false,
     "0x53 0x54 \nST=\n[record a0..af clock=0]\n0x7a "},
    {"status refused", "ST=" + Record32 + "z", true, false,
     "0x53 0x54 \n" + RefusedStatus + "0x7a "},
    {"extended status", "SX=" + Record32 + Record32, true, false,
     "0x53 0x58 \nSX=\n[record a0..af clock=1]\n"},
    {"extended refused", "SX=" + Record32 + Record32, false, false,
     "0x53 0x58 \n" + RefusedExtended},
    {"unknown code", "QQ=", false, false, "0x51 0x51 0x3d "},
    {"unknown acknowledgement", "XW!", false, false, "0x58 0x57 0x21 "},
    {"write acknowledged", "IW!", false, false, "0x49 0x57 ", true},
    {"code inside a payload", std::string("VN=\1\0\2\0\3\0ST=", 12), false, false,
     "0x56 0x4e \nVN=1.2.3.21587\n0x3d "},
    {"log", "LG=" + std::string(1024, 'V') + "!", false, false, "0x4c 0x47 \nLG=\n\n\n0x21 "},
    {"consumed quietly", "LX=" + std::string(2048, '=') + "AS=" + std::string(32, 0), false, false,
     "0x4c 0x58 0x41 0x53 "},
    {"reconfigure answer", "!", false, true, "0x21 ", false, '!'},
    {"version begun", "VN=", false, false, "0x56 0x4e ", false, 0, true},
    {"answer before a version", "VN=X" + std::string(7, 0) + "?", false, true,
     "0x56 0x4e \nVN=88.0.0.0\n0x3f ", false, 'V'},
};

} // namespace

TEST(ReplyParsing, EveryFormOfReply)
{
    for (const ReplyCase& c : ReplyCases)
    {
        SCOPED_TRACE(c.Name);
        WriteReplyEvent.Reset();
        ReconfigureReplyEvent.Reset();
        ReconfigurePending = c.AwaitsReconfigure;
        ReplyChar = 0;
        std::FILE* output = std::tmpfile();
        ASSERT_NE(output, nullptr);
        {
            CReplyParser parser({c.ExtendedStatus, &PrintRecordMarker}, output);
            for (char byte : c.Stream)
                parser.Take(static_cast<uint8_t>(byte));
            EXPECT_EQ(parser.InPayload(), c.EndsInPayload);
        }
        std::string printed(static_cast<size_t>(std::ftell(output)), '\0');
        std::rewind(output);
        EXPECT_EQ(std::fread(printed.data(), 1, printed.size(), output), printed.size());
        std::fclose(output);
        EXPECT_EQ(printed, c.Printed);
        EXPECT_EQ(WriteReplyEvent.WaitFor(0), c.Acknowledged);
        EXPECT_EQ(ReconfigureReplyEvent.WaitFor(0), c.Answer != 0);
        EXPECT_EQ(ReplyChar.load(), c.Answer);
        EXPECT_FALSE(ReconfigurePending);
    }
}
