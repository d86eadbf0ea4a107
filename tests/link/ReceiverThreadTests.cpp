// The threads of application mode working together: the main thread sends requests and waits on
// the events, the receiver thread takes the replies out of the mailbox, and Shutdown ends it all.
// The card is an in-process model whose mailbox register is plain atomics, so that these tests
// also run under ThreadSanitizer, which cannot host the stand-in's fault trap.
#include "MailboxModelCard.h"

#include "board/I2CTransfers.h"
#include "cards/CTVX3Card.h"
#include "link/CommandFrames.h"
#include "link/LinkState.h"
#include "link/Mailbox.h"
#include "link/ReceiverThread.h"
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

// A Gen 3 card whose mailbox is two one-byte slots, one each way, and a model of the application
// firmware on a thread of its own behind them. The slots are atomics with relaxed order, as a
// device register orders nothing else: whatever one thread of the tool sees of another's memory
// it owes to the tool's own locks and events, and that is what ThreadSanitizer checks here.
class CFirmwareModelCard : public CTVX3Card
{
public:
    CFirmwareModelCard() : CTVX3Card(0, CardForInspection{}), Firmware([this] { RunFirmware(); }) {}

    ~CFirmwareModelCard() override
    {
        Stopping = true;
        Firmware.join();
    }

    uint32_t ReadRegister(uint32_t) override
    {
        const uint32_t toMicrocontroller = HostToFirmware.load(Relaxed);
        const uint32_t toHost = FirmwareToHost.load(Relaxed);
        uint32_t low = (toMicrocontroller & SlotFull) != 0 ? 0 : MAILBOX_TX_READY;
        low |= (toHost & SlotFull) != 0 ? toHost & MAILBOX_DATA : MAILBOX_RX_EMPTY;
        return Upper.load(Relaxed) | low;
    }

    void WriteRegister(uint32_t, uint32_t value) override
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
        Card = new CFirmwareModelCard;
        CurrentCard.reset(Card);
        KeepRunning = true;
        SetMicrocontrollerPatienceMilliseconds(5000);
        ASSERT_TRUE(StartReceiverThread(StatusDecoding{}));
    }

    void TearDown() override
    {
        Shutdown();
        EXPECT_EQ(Card->Overruns.load(), 0u) << "a byte was sent before the last was taken";
        CurrentCard.reset();
        KeepRunning = true;
    }

    CFirmwareModelCard* Card = nullptr;
};

} // namespace

// Then the self-reconfigure order, whose answer is the first byte that comes.
TEST_F(ReceiverThreadWithModelCard, RepliesAreHandedToTheWaitingThreadRoundAfterRound)
{
    for (uint8_t round = 0; round < 8; ++round)
    {
        const uint32_t versionsBefore = VersionRepliesPrinted;
        ASSERT_TRUE(SendFrame(VersionRequestFrame()));
        ASSERT_TRUE(WaitUntil([&] { return VersionRepliesPrinted == versionsBefore + 1; }))
            << "round " << int(round);

        const uint8_t chip = 0x50, reg = static_cast<uint8_t>(0xF0 + round);
        const uint8_t written[8] = {round, 1, 2, 3, 4, 5, 6, static_cast<uint8_t>(~round)};
        ASSERT_TRUE(I2CWrite(8, chip, reg, written)) << "round " << int(round);
        uint8_t read[8] = {};
        ASSERT_TRUE(I2CRead(8, chip, reg, read)) << "round " << int(round);
        EXPECT_EQ(std::memcmp(read, written, sizeof read), 0) << "round " << int(round);
    }
    ReconfigureReplyEvent.Reset();
    ReconfigurePending = true;
    ASSERT_TRUE(SendFrame(SelfReconfigureFrame()));
    ASSERT_TRUE(ReconfigureReplyEvent.WaitFor(5000));
    EXPECT_EQ(ReplyChar.load(), '!');
    EXPECT_FALSE(ReconfigurePending);
}

TEST_F(ReceiverThreadWithModelCard, ShutdownWhileAReplyIsInFlightEndsTheReceiverAtOnce)
{
    Card->CutRepliesShort = true;
    const uint32_t versionsBefore = VersionRepliesPrinted;
    ASSERT_TRUE(SendFrame(VersionRequestFrame()));
    // The marker and half of the payload: the receiver now waits for the rest, up to 5 s.
    ASSERT_TRUE(WaitUntil([&] { return Card->BytesTaken == 3u + 4u; }));

    CStopwatch stopping;
    Shutdown();
    EXPECT_LT(stopping.ElapsedSeconds(), 1.0) << "Shutdown waited for the reply's patience";
    EXPECT_EQ(ReceiverThread, nullptr);
    EXPECT_EQ(VersionRepliesPrinted, versionsBefore) << "half a version reply was printed";
}

TEST(ShutdownWithoutReceiver, ReleasesEveryWaiterAndMayBeCalledAgain)
{
    std::atomic<int> released{0};
    std::vector<std::unique_ptr<CThread>> waiters;
    for (CAutoResetEvent* event : {&ReadReplyEvent, &WriteReplyEvent, &ReconfigureReplyEvent})
    {
        event->Reset();
        waiters.push_back(std::make_unique<CThread>(
            [&released, event]
            {
                if (event->WaitFor(5000))
                    ++released;
            }));
    }
    SleepMilliseconds(20); // so that Shutdown finds them waiting
    CStopwatch stopping;
    Shutdown();
    Shutdown();
    for (const auto& waiter : waiters)
        waiter->Join();
    EXPECT_LT(stopping.ElapsedSeconds(), 2.0);
    EXPECT_EQ(released, 3);
    EXPECT_FALSE(KeepRunning);
    KeepRunning = true;
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
        Card = new CMailboxModelCard;
        Card->Logging = false; // the receiver reads millions of times while it spins
        CurrentCard.reset(Card);
        KeepRunning = true;
        SetMicrocontrollerPatienceMilliseconds(3000);
        SetLongestReceiverIdleWaitMilliseconds(4000);
        testing::internal::CaptureStdout(); // what the receiver prints
        ASSERT_TRUE(StartReceiverThread(StatusDecoding{}));
    }
    void TearDown() override
    {
        Shutdown();
        testing::internal::GetCapturedStdout();
        CurrentCard.reset();
    }

    CMailboxModelCard* Card = nullptr;
};

} // namespace

TEST_F(ReceiverThreadPacing, AnIdleReceiverPollsRarelyAndShutdownEndsItsWaitAtOnce)
{
    SleepMilliseconds(IdleForMilliseconds);
    const uint64_t readsBefore = Card->Reads;
    SleepMilliseconds(300);
    EXPECT_LT(Card->Reads - readsBefore, 5u);

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
        ASSERT_TRUE(SendFrame(VersionRequestFrame()));
        SleepMilliseconds(lateBy);
        const uint32_t before = VersionRepliesPrinted;
        {
            CLockHolder held(MailboxLock);
            Card->Outgoing.insert(Card->Outgoing.end(), std::begin(VersionReply),
                                  std::end(VersionReply));
        }
        CStopwatch watch;
        ASSERT_TRUE(WaitUntil([&] { return VersionRepliesPrinted != before; }, 10));
        EXPECT_LT(watch.ElapsedSeconds(), 0.3);
    }
}
