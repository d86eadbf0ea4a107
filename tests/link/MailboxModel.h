#pragma once

#include "cards/IMailboxRegister.h"
#include "link/Mailbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

namespace MistleTest
{

using Corvane::Common::MAILBOX_DATA;
using Corvane::Common::MAILBOX_RX_EMPTY;
using Corvane::Common::MAILBOX_TX_READY;
using Corvane::Common::MAILBOX_TX_STROBE;

// One register access as the card saw it: a read and the value it returned, or a write.
struct Access
{
    bool Write;
    uint32_t Value;
    std::thread::id Thread;
    bool operator==(const Access& other) const
    {
        return Write == other.Write && Value == other.Value;
    }
};

inline void PrintTo(const Access& access, std::ostream* out)
{
    *out << (access.Write ? "W " : "R ") << std::hex << access.Value;
}

inline Access Read(uint32_t value)
{
    return {false, value, {}};
}

inline Access Write(uint32_t value)
{
    return {true, value, {}};
}

// A mailbox register that is a small model of the microcontroller's side: bytes it sends wait in
// a queue, TX ready unless it is busy, strobes act when written 1. It logs every access in order.
// Every access holds its own mutex, so that a test may queue bytes with Queue while the link's
// threads use it; OnHostByte runs under that mutex and changes Outgoing directly.
class CMailboxModel : public Corvane::Common::IMailboxRegister
{
public:
    CMailboxModel() { Corvane::Common::ConnectMailbox(this); }
    ~CMailboxModel() override { Corvane::Common::ConnectMailbox(nullptr); }

    uint32_t ReadMailboxRegister() override
    {
        std::lock_guard<std::mutex> guard(Mutex);
        ++Reads;
        const bool busy =
            NeverReady || BusyReads > 0 || (HoldTxReadyWhileSending && !Outgoing.empty());
        uint32_t low = busy ? 0 : MAILBOX_TX_READY;
        if (BusyReads > 0)
            --BusyReads;
        if (Outgoing.empty())
            low |= MAILBOX_RX_EMPTY;
        else
            low |= Outgoing.front();
        const uint32_t value = (Upper & 0xFFFF0000u) | low;
        if (Logging)
            Log.push_back({false, value, std::this_thread::get_id()});
        return value;
    }

    void WriteMailboxRegister(uint32_t value) override
    {
        std::lock_guard<std::mutex> guard(Mutex);
        if (Logging)
            Log.push_back({true, value, std::this_thread::get_id()});
        Upper = value & 0xFFFF0000u;
        if ((value & MAILBOX_RX_EMPTY) != 0 && !Outgoing.empty())
            Outgoing.pop_front();
        if ((value & MAILBOX_TX_STROBE) != 0 && OnHostByte)
            OnHostByte(static_cast<uint8_t>(value & MAILBOX_DATA));
    }

    // Bytes the microcontroller sends from now on.
    void Queue(const std::vector<uint8_t>& bytes)
    {
        std::lock_guard<std::mutex> guard(Mutex);
        Outgoing.insert(Outgoing.end(), bytes.begin(), bytes.end());
    }

    std::mutex Mutex;
    uint32_t Upper = 0xABCD0000u;
    std::deque<uint8_t> Outgoing;
    std::vector<Access> Log;
    bool Logging = true;
    std::atomic<uint64_t> Reads{0};
    bool NeverReady = false;
    uint32_t BusyReads = 0; // reads after which TX ready shows
    // Takes no byte while it has bytes of its own to send: what it sends in answer to a byte is
    // taken before the host's next byte goes out.
    bool HoldTxReadyWhileSending = false;
    // What the microcontroller does with a byte it takes, e.g. queue an answer in Outgoing.
    std::function<void(uint8_t)> OnHostByte;
};

} // namespace MistleTest
