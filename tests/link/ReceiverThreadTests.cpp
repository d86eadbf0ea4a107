// The threads of application mode working together: the main thread sends requests and waits on
// the events, the receiver thread takes the replies out of the mailbox, and Shutdown ends it all.
// The card is an in-process model whose mailbox register is plain atomics, so that these tests
// also run under ThreadSanitizer, which cannot host the stand-in's fault trap.
#include "MailboxModel.h"

#include "board/I2CTransfers.h"
#include "link/CommandFrames.h"
#include "link/FirmwareLink.h"
#include "link/Mailbox.h"
#include "platform/Thread.h"
#include "platform/Time.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace Corvane::Common;
using namespace MistleTest;

namespace
{

using Bytes = std::vector<uint8_t>;

constexpr uint8_t ModelVersion[8] = {2, 0, 4, 0, 0, 0, 17, 0}; // 2.4.0.17
constexpr uint32_t SlotFull = 0x10000;
constexpr auto Relaxed = std::memory_order_relaxed;

// A mailbox of two one-byte slots, one each way, and a model of the application firmware on a
// thread of its own behind them. The slots are atomics with relaxed order, as a
// device register orders nothing else: whatever one thread of the tool sees of another's memory
// it owes to the tool's own locks and events, and that is what ThreadSanitizer checks here.
class CFirmwareModel : public IMailboxRegister
{
public:
    CFirmwareModel() : Firmware([this] { RunFirmware(); }) { ConnectMailbox(this); }

    ~CFirmwareModel() override
    {
        ConnectMailbox(nullptr);
        Stopping = true;
        Firmware.join();
    }

    uint32_t ReadMailboxRegister() override
    {
        const uint32_t toMicrocontroller = HostToFirmware.load(Relaxed);
        const uint32_t toHost = FirmwareToHost.load(Relaxed);
        uint32_t low = (toMicrocontroller & SlotFull) != 0 ? 0 : MAILBOX_TX_READY;
        low |= (toHost & SlotFull) != 0 ? toHost & MAILBOX_DATA : MAILBOX_RX_EMPTY;
        return Upper.load(Relaxed) | low;
    }

    void WriteMailboxRegister(uint32_t value) override
    {
        Upper.store(value & 0xFFFF0000u, Relaxed);
        if ((value & MAILBOX_TX_STROBE) != 0 &&
            (HostToFirmware.exchange(SlotFull | (value & MAILBOX_DATA), Relaxed) & SlotFull) != 0)
            Overruns.fetch_add(1, Relaxed);
        if ((value & MAILBOX_RX_EMPTY) != 0 &&
            (FirmwareToHost.exchange(0, Relaxed) & SlotFull) != 0)
            BytesTaken.fetch_add(1, Relaxed);
    }

    // From now on every reply stops after half of its payload.
    std::atomic<bool> CutRepliesShort{false};
    // Bytes the host sent while the firmware had not taken the one before (it must wait for TX
    // ready), and bytes the host took out of the mailbox.
    std::atomic<uint32_t> Overruns{0};
    std::atomic<uint32_t> BytesTaken{0};

private:
    // The firmware's side: everything below is touched by its thread only.
    void RunFirmware()
    {
        while (!Stopping)
        {
            const uint32_t request = HostToFirmware.exchange(0, Relaxed);
            if ((request & SlotFull) != 0)
                TakeRequestByte(static_cast<uint8_t>(request));
            if (!Outgoing.empty() && (FirmwareToHost.load(Relaxed) & SlotFull) == 0)
            {
                FirmwareToHost.store(SlotFull | Outgoing.front(), Relaxed);
                Outgoing.pop_front();
            }
            if ((request & SlotFull) == 0)
                std::this_thread::yield();
        }
    }

    void TakeRequestByte(uint8_t byte)
    {
        Request.push_back(byte);
        if (Request.size() < 3)
            return;
        const std::string code(Request.begin(), Request.begin() + 3);
        const std::map<std::string, size_t> argumentBytes = {
            {"VN?", 0}, {"IR?", 3}, {"IW?", 11}, {"SD!", 8}};
        const auto known = argumentBytes.find(code);
        if (known == argumentBytes.end())
        {
            Request.erase(Request.begin()); // out of step: look for a command one byte on
            return;
        }
        if (Request.size() == 3 + known->second)
        {
            Answer(code);
            Request.clear();
        }
    }

    void Answer(const std::string& code)
    {
        if (code == "VN?")
            Reply("VN=", Bytes(std::begin(ModelVersion), std::end(ModelVersion)));
        else if (code == "IR?")
        {
            Bytes data(8);
            for (uint8_t i = 0; i < data.size(); ++i)
                data[i] = I2cRegisters[Request[3]][static_cast<uint8_t>(Request[4] + i)];
            Reply("IR=", data);
        }
        else if (code == "IW?")
        {
            for (uint8_t i = 0; i < Request[5] && i < 8; ++i)
                I2cRegisters[Request[3]][static_cast<uint8_t>(Request[4] + i)] = Request[6 + i];
            Reply("IW!", {});
        }
        else
            Outgoing.push_back('!'); // the self-reconfigure order accepted
    }

    void Reply(const char* marker, const Bytes& payload)
    {
        Outgoing.insert(Outgoing.end(), marker, marker + 3);
        const size_t sent = CutRepliesShort ? payload.size() / 2 : payload.size();
        Outgoing.insert(Outgoing.end(), payload.begin(), payload.begin() + sent);
    }

    std::atomic<uint32_t> Upper{0x5A5A0000u};
    std::atomic<uint32_t> HostToFirmware{0};
    std::atomic<uint32_t> FirmwareToHost{0};
    std::atomic<bool> Stopping{false};
    Bytes Request;
    std::deque<uint8_t> Outgoing;
    std::map<uint8_t, std::array<uint8_t, 256>> I2cRegisters;
    std::thread Firmware;
};

class ReceiverThreadWithModelCard : public testing::Test
{
protected:
    void SetUp() override
    {
        SetMicrocontrollerPatienceMilliseconds(5000);
        ASSERT_TRUE(FirmwareLink().StartReceiver(StatusDecoding{}));
    }

    void TearDown() override
    {
        Shutdown();
        EXPECT_EQ(Card.Overruns.load(), 0u) << "a byte was sent before the last was taken";
    }

    CFirmwareModel Card;
};

} // namespace

// Then the self-reconfigure order, whose answer is the first byte that comes.
TEST_F(ReceiverThreadWithModelCard, RepliesAreHandedToTheWaitingThreadRoundAfterRound)
{
    for (uint8_t round = 0; round < 8; ++round)
    {
        ASSERT_TRUE(FirmwareLink().Request(VersionRequestFrame(), ReplyOf(ReplyKind::VN)));
        ASSERT_TRUE(FirmwareLink().AwaitAnswer(5000)) << "round " << int(round);

        const uint8_t chip = 0x50, reg = static_cast<uint8_t>(0xF0 + round);
        const uint8_t written[8] = {round, 1, 2, 3, 4, 5, 6, static_cast<uint8_t>(~round)};
        ASSERT_TRUE(I2CWrite(8, chip, reg, written)) << "round " << int(round);
        uint8_t read[8] = {};
        ASSERT_TRUE(I2CRead(8, chip, reg, read)) << "round " << int(round);
        EXPECT_EQ(std::memcmp(read, written, sizeof read), 0) << "round " << int(round);
    }
    ASSERT_TRUE(FirmwareLink().Request(SelfReconfigureFrame(), FirstByte));
    ASSERT_TRUE(FirmwareLink().AwaitAnswer(5000));
    EXPECT_EQ(FirmwareLink().ReplyChar(), '!');
}

TEST_F(ReceiverThreadWithModelCard, ShutdownWhileAReplyIsInFlightEndsTheReceiverAtOnce)
{
    Card.CutRepliesShort = true;
    ASSERT_TRUE(FirmwareLink().Request(VersionRequestFrame(), ReplyOf(ReplyKind::VN)));
    // The marker and half of the payload: the receiver now waits for the rest, up to 5 s.
    for (CStopwatch waiting; Card.BytesTaken != 3u + 4u && waiting.ElapsedSeconds() < 5;)
        SleepMilliseconds(1);
    ASSERT_EQ(Card.BytesTaken, 3u + 4u);

    CStopwatch stopping;
    Shutdown();
    EXPECT_LT(stopping.ElapsedSeconds(), 1.0) << "Shutdown waited for the reply's patience";
    EXPECT_FALSE(FirmwareLink().AwaitAnswer(0)) << "half a version reply answered the request";
}

TEST(ShutdownWithoutReceiver, ReleasesTheWaiterAndMayBeCalledAgain)
{
    CFirmwareLink link;
    std::atomic<bool> answered{true};
    CThread waiter([&] { answered = link.AwaitAnswer(5000); });
    SleepMilliseconds(20); // so that Shutdown finds it waiting
    CStopwatch stopping;
    link.Shutdown();
    link.Shutdown();
    waiter.Join();
    EXPECT_LT(stopping.ElapsedSeconds(), 2.0);
    EXPECT_FALSE(answered);
    EXPECT_FALSE(link.KeepRunning());
}

// Which reply answers which request. The firmware sends `Early` once it has the request's first
// byte, and takes the next byte only once those have been taken, so that they are begun before the
// request is whole; it sends `Late` once it has the whole request.
namespace
{

struct AnswerCase
{
    const char* Name;
    CommandFrame Request;
    ExpectedAnswer Expected;
    Bytes Early;
    Bytes Late;
    bool Answered;
    uint8_t Data; // the first byte of the I2C read data, or the byte after the order
};

Bytes operator+(Bytes first, const Bytes& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Bytes Reply(const char* marker, Bytes payload)
{
    payload.insert(payload.begin(), marker, marker + 3);
    return payload;
}

const uint8_t Written = 0x41;
const Bytes StaleRead = Reply("IR=", Bytes(8, 0xEE));
const Bytes FreshRead = Reply("IR=", {0x41, 0, 0, 0, 0, 0, 0, 0});

const Bytes Nothing;
const Bytes Acknowledgement = {'I', 'W', '!'};
const CommandFrame ReadRequest = I2cReadFrame(0x50, 0, 1);
const CommandFrame WriteRequest = I2cWriteFrame(0x50, 0, 1, &Written);

// clang-format off
const AnswerCase AnswerCases[] = {
    {"read after an earlier read and a frequency", ReadRequest, ReplyOf(ReplyKind::IR),
     StaleRead, Reply("GF=", {0, 0, 0xE1, 0xF5, 5}) + FreshRead, true, 0x41},
    {"write acknowledged before its request", WriteRequest, WriteAcknowledgement,
     Acknowledgement, Nothing, false, 0},
    {"write acknowledged after a read", WriteRequest, WriteAcknowledgement,
     Nothing, FreshRead + Acknowledgement, true, 0},
    {"order answered after a byte before it", SelfReconfigureFrame(), FirstByte,
     {'X'}, {'!'}, true, '!'},
    {"version not answered by a read", VersionRequestFrame(), ReplyOf(ReplyKind::VN),
     Nothing, FreshRead, false, 0},
};
// clang-format on

} // namespace

TEST(ReceiverThreadAnswers, OnlyAReplyOfItsKindBegunAfterTheRequestAnswersIt)
{
    SetMicrocontrollerPatienceMilliseconds(3000);
    for (const AnswerCase& c : AnswerCases)
    {
        SCOPED_TRACE(c.Name);
        CMailboxModel card;
        card.Logging = false;
        card.HoldTxReadyWhileSending = true;
        size_t received = 0;
        card.OnHostByte = [&](uint8_t)
        {
            const Bytes& answer = ++received == 1 ? c.Early : Bytes{};
            card.Outgoing.insert(card.Outgoing.end(), answer.begin(), answer.end());
            if (received == c.Request.size())
                card.Outgoing.insert(card.Outgoing.end(), c.Late.begin(), c.Late.end());
        };
        testing::internal::CaptureStdout();
        ASSERT_TRUE(FirmwareLink().StartReceiver(StatusDecoding{}));
        ASSERT_TRUE(FirmwareLink().Request(c.Request, c.Expected));
        EXPECT_EQ(FirmwareLink().AwaitAnswer(c.Answered ? 5000 : 300), c.Answered);
        if (c.Expected.Of == ExpectedAnswer::Form::FirstByte)
        {
            EXPECT_EQ(FirmwareLink().ReplyChar(), c.Data);
        }
        else if (c.Answered && c.Expected.Kind == ReplyKind::IR)
        {
            EXPECT_EQ(FirmwareLink().I2cReadData()[0], c.Data);
        }
        Shutdown();
        testing::internal::GetCapturedStdout();
    }
}

// How the receiver thread paces its polls: waits between polls of an idle mailbox, and none that
// hold up a reply. The waits are lengthened here to seconds, so that a byte taken only when a
// wait ran out stands out from one taken at once.
namespace
{

const uint8_t VersionReply[] = {'V', 'N', '=', 1, 0, 2, 0, 3, 0, 4, 0};

// Long enough for the receiver to be well into its waits: they double from a millisecond, so
// the one under way then lasts about a second.
constexpr unsigned IdleForMilliseconds = 1100;

class ReceiverThreadPacing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Card.Logging = false; // the receiver reads millions of times while it spins
        SetMicrocontrollerPatienceMilliseconds(3000);
        FirmwareLink().SetLongestIdleWaitMilliseconds(4000);
        testing::internal::CaptureStdout(); // what the receiver prints
        ASSERT_TRUE(FirmwareLink().StartReceiver(StatusDecoding{}));
    }
    void TearDown() override
    {
        Shutdown();
        FirmwareLink().SetLongestIdleWaitMilliseconds(10);
        testing::internal::GetCapturedStdout();
    }

    CMailboxModel Card;
};

} // namespace

TEST_F(ReceiverThreadPacing, AnIdleReceiverPollsRarelyAndShutdownEndsItsWaitAtOnce)
{
    SleepMilliseconds(IdleForMilliseconds);
    const uint64_t readsBefore = Card.Reads;
    SleepMilliseconds(300);
    EXPECT_LT(Card.Reads - readsBefore, 5u);

    CStopwatch stopping; // the wait under way has most of a second to go
    Shutdown();
    EXPECT_LT(stopping.ElapsedSeconds(), 0.3);
}

// A request ends the wait, and the main thread may wait for its answer longer than the receiver
// goes on polling after a byte: the receiver polls without pause until the answer comes.
TEST_F(ReceiverThreadPacing, AnAnswerIsTakenAtOnceWhetherItComesWithTheRequestOrLate)
{
    for (unsigned lateBy : {0u, 1200u})
    {
        SCOPED_TRACE(lateBy);
        SleepMilliseconds(IdleForMilliseconds);
        ASSERT_TRUE(FirmwareLink().Request(VersionRequestFrame(), ReplyOf(ReplyKind::VN)));
        SleepMilliseconds(lateBy);
        Card.Queue(Bytes(std::begin(VersionReply), std::end(VersionReply)));
        CStopwatch watch;
        ASSERT_TRUE(FirmwareLink().AwaitAnswer(10000));
        EXPECT_LT(watch.ElapsedSeconds(), 0.3);
    }
}
