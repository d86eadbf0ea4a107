// The console left open while the firmware reports its status unasked, with stray bytes between
// the reports: every report is decoded, no byte is lost, memory stays flat, and "exit" still ends
// the run within its bound.
#include "ToolRunner.h"
#include "platform/Time.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

using namespace MistleTest;
using namespace Corvane::Common;

namespace
{

// A sanitizer keeps freed memory aside for a while, so the tool's memory says nothing there about
// growth; its leak checker speaks for it instead.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MISTLE_MEMORY_IS_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define MISTLE_MEMORY_IS_SANITIZED 1
#endif
#ifdef MISTLE_MEMORY_IS_SANITIZED
constexpr bool MemoryTellsGrowth = false;
#else
constexpr bool MemoryTellsGrowth = true;
#endif

struct SoakRun
{
    ProcessResult Result;
    double Seconds = 0;
    uint64_t Replies = 0;   // reports the firmware began to send
    uint64_t BytesSent = 0; // bytes it queued for the host
    uint64_t BytesTaken = 0;
    uint64_t MailboxWrites = 0;
    size_t Decoded = 0; // reports the tool printed whole
};

uint64_t TraceCounter(const std::string& trace, const std::string& name)
{
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("gen3 0 " + name + " ", 0) == 0)
            return std::stoull(line.substr(line.rfind(' ') + 1));
    return 0;
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A board whose status report is short to print (model 0x107).
SoakRun Soak(unsigned milliseconds)
{
    const std::string trace = ScratchPath("soak-" + std::to_string(milliseconds) + ".trace");
    std::remove(trace.c_str());
    ToolRun run;
    run.SimConfiguration =
        "[gen3]\nindex = 0\nmodel = 0x107\nchatter = 100\n[host]\ntrace = " + trace + "\n";
    run.Steps.push_back(After("", "exit\n", milliseconds));
    run.TimeoutMilliseconds = milliseconds + 15000;
    SoakRun soak;
    CStopwatch watch;
    soak.Result = RunTool(run);
    soak.Seconds = watch.ElapsedSeconds();
    const std::string counters = ReadFileBytes(trace);
    soak.Replies = TraceCounter(counters, "mcu_replies");
    soak.BytesSent = TraceCounter(counters, "mcu_bytes_sent");
    soak.BytesTaken = TraceCounter(counters, "rx_bytes_taken");
    soak.MailboxWrites = TraceCounter(counters, "mailbox_writes");
    soak.Decoded = Count(soak.Result.Output, "\nSX=\n");
    return soak;
}

} // namespace

TEST(Soak, AConsoleUnderAStreamOfReportsKeepsUp)
{
    const SoakRun brief = Soak(3000);
    const SoakRun soak = Soak(30000);
    std::printf("\nSoak: %llu reports in %.1f s, %llu decoded, %llu bytes sent, %llu taken, peak "
                "memory %llu KiB (%llu KiB after 3 s)\n",
                static_cast<unsigned long long>(soak.Replies), soak.Seconds,
                static_cast<unsigned long long>(soak.Decoded),
                static_cast<unsigned long long>(soak.BytesSent),
                static_cast<unsigned long long>(soak.BytesTaken),
                static_cast<unsigned long long>(soak.Result.PeakMemoryKilobytes),
                static_cast<unsigned long long>(brief.Result.PeakMemoryKilobytes));
    EXPECT_EQ(soak.Result.ExitCode, 0);
    EXPECT_GE(soak.Replies, 30u) << "a steady stream: a report a second at the least";
    // The report in flight when "exit" came may be cut short; every other one is decoded.
    EXPECT_GE(soak.Decoded + 1, soak.Replies);
    EXPECT_LE(soak.BytesSent - soak.BytesTaken, 70u) << "only that report's bytes are not taken";
    // The stray bytes after the last report may likewise be cut short by "exit".
    const size_t strays = Count(soak.Result.Output, "0x00 0x7f 0xc3 ");
    EXPECT_LE(strays, soak.Decoded) << "nothing but the stray bytes after each report is shown";
    EXPECT_GE(strays + 1, soak.Decoded) << "the stray bytes after each report are shown";
    // A firmware that never falls quiet is heard out for the microcontroller's patience, 2 s.
    EXPECT_LT(soak.Seconds, 33.5) << "exit ends the console within its bound";
    if (MemoryTellsGrowth && soak.Result.PeakMemoryKilobytes != 0)
    {
        // The stand-in, which lives in the tool's process, logs every word written to a register
        // (four bytes each) in a vector, which, when it grows, holds its words twice for a moment;
        // the tool itself must not grow.
        const uint64_t standInLog = (soak.MailboxWrites - brief.MailboxWrites) * 4 / 1024;
        EXPECT_LT(soak.Result.PeakMemoryKilobytes,
                  brief.Result.PeakMemoryKilobytes + 2 * standInLog + 256)
            << "memory stays flat";
    }
}
