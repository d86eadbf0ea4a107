// The reply parser fed byte streams as the receiver thread takes them from the mailbox.
#include "link/LinkState.h"
#include "link/ReplyParser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace Corvane::Common;

namespace
{

using Bytes = std::vector<uint8_t>;

// Stands in for the board's decoder: shows which record it was given.
void PrintRecordMarker(const uint8_t* record, bool withClockStatus, std::FILE* output)
{
    std::fprintf(output, "[record %02x..%02x clock=%d]", record[0], record[31], withClockStatus);
}

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes joined;
    for (const Bytes& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

class ReplyParsing : public testing::Test
{
protected:
    void SetUp() override
    {
        ReadReplyEvent.Reset();
        WriteReplyEvent.Reset();
        ReconfigureReplyEvent.Reset();
        ReconfigurePending = false;
    }

    // What the parser prints for the bytes.
    std::string Parse(const Bytes& bytes, bool extendedStatus = false, bool abandonAtEnd = false)
    {
        std::FILE* output = std::tmpfile();
        EXPECT_NE(output, nullptr);
        {
            CReplyParser parser({extendedStatus, &PrintRecordMarker}, output);
            for (uint8_t byte : bytes)
                parser.Take(byte);
            StillInPayload = parser.InPayload();
            if (abandonAtEnd)
                parser.AbandonPayload();
        }
        std::string text(static_cast<size_t>(std::ftell(output)), '\0');
        std::rewind(output);
        EXPECT_EQ(std::fread(text.data(), 1, text.size(), output), text.size());
        std::fclose(output);
        return text;
    }

    bool StillInPayload = false;
};

const Bytes Record32 = []
{
    Bytes record(32, 0x11);
    record[0] = 0xA0;
    record[31] = 0xAF;
    return record;
}();

} // namespace

TEST_F(ReplyParsing, StatusRepliesAreDecodedOrRefusedByTheBoardsKind)
{
    const Bytes reply = Join({Text("ST="), Record32, Text("z")});
    EXPECT_EQ(Parse(reply), "0x53 0x54 \nST=\n[record a0..af clock=0]\n0x7a ");
    EXPECT_EQ(Parse(reply, true),
              "0x53 0x54 \nThis board does not support ST? (Status). Please use "
              "SX? (Extended Status) instead.\n0x7a ")
        << "a refused reply is still read whole";
    const Bytes extended = Join({Text("SX="), Record32, Record32});
    EXPECT_EQ(Parse(extended, true), "0x53 0x58 \nSX=\n[record a0..af clock=1]\n");
    EXPECT_EQ(Parse(extended), "0x53 0x58 \nThis board does not support SX? (Extended Status). "
                               "Please use ST? (Status) instead.\n");
}

TEST_F(ReplyParsing, UnknownCodesAndMarkersArePrintedInHex)
{
    EXPECT_EQ(Parse(Text("QQ=")), "0x51 0x51 0x3d ");
    EXPECT_EQ(Parse(Text("XW!")), "0x58 0x57 0x21 ");
    EXPECT_FALSE(WriteReplyEvent.WaitFor(0));
    EXPECT_EQ(Parse(Text("IW!")), "0x49 0x57 ");
    EXPECT_TRUE(WriteReplyEvent.WaitFor(0));
}

TEST_F(ReplyParsing, ACodeIsNeverFoundAcrossAPayload)
{
    // A version whose last two bytes are "ST", then '=': no status reply begins.
    const Bytes stream = Join({Text("VN="), {1, 0, 2, 0, 3, 0, 'S', 'T'}, Text("=")});
    EXPECT_EQ(Parse(stream), "0x56 0x4e \nVN=1.2.3.21587\n0x3d ");
    EXPECT_FALSE(StillInPayload);
}

TEST_F(ReplyParsing, LongRepliesAreConsumedQuietly)
{
    EXPECT_EQ(Parse(Join({Text("LG="), Bytes(1024, 'V'), Text("!")})),
              "0x4c 0x47 \nLG=\n\n\n0x21 ");
    EXPECT_EQ(Parse(Join({Text("LX="), Bytes(2048, '='), Text("AS="), Bytes(32, 0)})),
              "0x4c 0x58 0x41 0x53 ");
}

TEST_F(ReplyParsing, TheFirstByteAfterTheOrderIsItsAnswer)
{
    ReconfigurePending = true;
    EXPECT_EQ(Parse(Text("!")), "0x21 ");
    EXPECT_EQ(ReplyChar, '!');
    EXPECT_FALSE(ReconfigurePending);
    EXPECT_TRUE(ReconfigureReplyEvent.WaitFor(0));

    // Inside a payload nothing is taken for the answer.
    EXPECT_EQ(Parse(Text("VN=")), "0x56 0x4e ");
    ReconfigurePending = true;
    EXPECT_EQ(Parse(Join({Text("VN="), {'X', 0, 0, 0, 0, 0, 0, 0}, Text("?")})),
              "0x56 0x4e \nVN=88.0.0.0\n0x3f ");
    EXPECT_EQ(ReplyChar, 'V') << "the reply's first letter came first";
}
