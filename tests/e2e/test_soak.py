# The console left open while the firmware reports its status unasked, with stray bytes between
# the reports: every report is decoded, no byte is lost, memory stays flat, and "exit" still ends
# the run within its bound.
import os
import resource

from conftest import After


def soak(tool, seconds):
    """A board whose status report is short to print (model 0x107); the trace's counters."""
    tool.trace.unlink(missing_ok=True)
    run = tool.run(config=tool.card("model = 0x107\nchatter = 100\n" +
                                    tool.host_section(state=False, trace=True)),
                   steps=[After("", "exit\n", seconds)], timeout=seconds + 15)
    counters = {}
    for words in map(str.split, tool.trace.read_text().splitlines()):
        if words[:2] == ["gen3", "0"] and len(words) == 4 and words[3].isdigit():
            counters[words[2]] = int(words[3])
    # The most memory any run of the tool held so far: the brief run's, then the longer of both.
    peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    return run, counters, peak


def test_a_console_under_a_stream_of_reports_keeps_up(tool):
    _, brief, brief_peak = soak(tool, 3)
    run, counters, peak = soak(tool, 30)
    replies, decoded = counters["mcu_replies"], run.output.count("\nSX=\n")
    print(f"\nSoak: {replies} reports in {run.seconds:.1f} s, {decoded} decoded, peak memory "
          f"{peak} KiB ({brief_peak} KiB after 3 s)")
    assert run.code == 0
    assert replies >= 30, "a steady stream: a report a second at the least"
    # The report in flight when "exit" came may be cut short; every other one is decoded.
    assert decoded + 1 >= replies
    assert counters["mcu_bytes_sent"] - counters["rx_bytes_taken"] <= 70, "only that one's bytes"
    # The stray bytes after the last report may likewise be cut short by "exit".
    strays = run.output.count("0x00 0x7f 0xc3 ")
    assert decoded - 1 <= strays <= decoded, "the stray bytes after each report, and nothing else"
    # A firmware that never falls quiet is heard out for the microcontroller's patience, 2 s.
    assert run.seconds < 33.5 + tool.startup, "exit ends the console within its bound"
    # A sanitizer keeps freed memory aside for a while, so memory says nothing there about growth
    # (its leak checker speaks instead); under wine the peak is wine's. The stand-in, which lives
    # in the tool's process, logs every word written to a register (four bytes each) in a vector,
    # which, when it grows, holds its words twice for a moment; the tool itself must not grow.
    if not tool.wine and not os.environ.get("MISTLE_SANITIZERS"):
        stand_in_log = (counters["mailbox_writes"] - brief["mailbox_writes"]) * 4 // 1024
        assert peak < brief_peak + 2 * stand_in_log + 256, "memory stays flat"
