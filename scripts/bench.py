#!/usr/bin/env python3
"""The measurements of scripts/bench.sh, which builds the tools and calls this.

Every measurement runs the tool against the stand-in board libraries with a configuration of its
own, several times, and reports the median. Register accesses per byte come from the stand-in's
counters (the trace file): mailbox reads plus writes, divided by the bytes that crossed the
mailbox (bytes the microcontroller took plus bytes the host took).
"""

import argparse
import csv
import os
import random
import statistics
import subprocess
import sys
import time

WINE = "/usr/lib/wine/wine64"
COLUMNS = ["platform", "measurement", "runs", "wall_s", "throughput_kib_s", "accesses_per_byte",
           "cpu_percent", "latency_ms"]
CONSOLE_IDLE_SECONDS = 10.0
# Longer than the receiver thread keeps spinning after the last byte, so that the request finds
# it idle.
IDLE_GAP_SECONDS = 0.5
LATENCY_SAMPLES = {"idle": 15, "busy": 30}
REPLY_TIMEOUT_SECONDS = 5.0


class MeasurementFailed(Exception):
    pass


class Platform:
    def __init__(self, target, root):
        self.name, tool, simlib = target.split(":", 2)
        self.tool = os.path.join(root, tool)
        self.simlib = os.path.join(root, simlib)
        self.wine = self.tool.endswith(".exe")
        self.work = os.path.join(root, "build", "bench", "work-" + self.name)
        self.wine_prefix = os.path.join(root, "build", "bench", "wine-prefix")
        os.makedirs(self.work, exist_ok=True)

    def path(self, name):
        """A file in the work folder, as the stand-in names it. The tool runs in the work folder
        and is given bare names."""
        local = os.path.join(self.work, name)
        return ("Z:" + local) if self.wine else local

    def local(self, name):
        return os.path.join(self.work, name)

    def command(self, arguments):
        return ([WINE, self.tool] if self.wine else [self.tool]) + arguments

    def environment(self, configuration):
        config_file = self.local("sim.ini")
        with open(config_file, "w") as file:
            file.write(configuration)
        environment = dict(os.environ)
        environment["TVXSIM_CONFIG"] = self.path("sim.ini")
        if self.wine:
            # A prefix of its own: runs of other programs under wine share the default prefix's
            # server, and the figures would show their load.
            environment["WINEPREFIX"] = self.wine_prefix
            environment["WINEPATH"] = "Z:" + self.simlib
            environment["WINEDEBUG"] = "-all"
            environment["WINEDLLOVERRIDES"] = "mscoree,mshtml="
        else:
            environment["LD_LIBRARY_PATH"] = self.simlib
        return environment


def remove(path):
    try:
        os.remove(path)
    except FileNotFoundError:
        pass


def read_counters(trace_file):
    counters = {}
    with open(trace_file) as file:
        for line in file:
            words = line.split()
            if len(words) == 4 and words[0] == "gen3" and words[1] == "0" and words[3].isdigit():
                counters[words[2]] = int(words[3])
    return counters


def accesses_per_byte(counters):
    accesses = counters["mailbox_reads"] + counters["mailbox_writes"]
    moved = counters["host_bytes"] + counters["rx_bytes_taken"]
    if moved == 0:
        raise MeasurementFailed("no byte crossed the mailbox")
    return accesses / moved


def run_once(platform, arguments, cards, host=""):
    """Runs the tool to its end; returns wall seconds and the stand-in's counters."""
    trace = platform.local("trace.txt")
    remove(trace)
    configuration = cards + "[host]\ntrace = %s\n" % platform.path("trace.txt") + host
    environment = platform.environment(configuration)
    # The output goes to a file, and the run ends when the tool ends: the helper processes that
    # wine starts inherit the tool's output and keep a pipe open for seconds after it.
    with open(platform.local("output.txt"), "w+b") as output:
        start = time.perf_counter()
        result = subprocess.run(platform.command(arguments), env=environment, cwd=platform.work,
                                stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT)
        wall = time.perf_counter() - start
        if result.returncode != 0:
            output.seek(0)
            tail = output.read().decode(errors="replace")[-400:]
            raise MeasurementFailed("exit code %d: %s" % (result.returncode, tail))
    return wall, read_counters(trace)


def flash_transfer(platform, runs, model, size):
    image = platform.local("image.bin")
    with open(image, "wb") as file:
        file.write(random.Random(size).randbytes(size))
    state = platform.local("flash.state")
    remove(state)
    cards = "[gen3]\nindex = 0\nmodel = %s\nmcu = service\n" % model
    host = "state = %s\n" % platform.path("flash.state")
    walls, ratios = [], []
    for _ in range(runs):
        wall, counters = run_once(
            platform, ["/w", "image.bin", "0", "/c", "image.bin", "0"], cards, host)
        walls.append(wall)
        ratios.append(accesses_per_byte(counters))
    wall = statistics.median(walls)
    return {"wall_s": wall, "throughput_kib_s": 2 * size / 1024 / wall,
            "accesses_per_byte": statistics.median(ratios)}


def flash_write(platform, runs, model, size, again):
    """"/w" alone of a 128 KiB image: onto a flash that does not hold it, or onto one that already
    does (written once before the timed runs)."""
    image = platform.local("image.bin")
    with open(image, "wb") as file:
        file.write(random.Random(size + 1).randbytes(size))
    state = platform.local("flash.state")
    cards = "[gen3]\nindex = 0\nmodel = %s\nmcu = service\n" % model
    host = "state = %s\n" % platform.path("flash.state")
    remove(state)
    if again:
        run_once(platform, ["/w", "image.bin", "0"], cards, host)
    walls, ratios = [], []
    for _ in range(runs):
        if not again:
            remove(state)
        wall, counters = run_once(platform, ["/w", "image.bin", "0"], cards, host)
        walls.append(wall)
        ratios.append(accesses_per_byte(counters))
    wall = statistics.median(walls)
    return {"wall_s": wall, "throughput_kib_s": size / 1024 / wall,
            "accesses_per_byte": statistics.median(ratios)}


def i2c_read(platform, runs):
    walls, ratios = [], []
    for _ in range(runs):
        wall, counters = run_once(
            platform, ["/i2c_rd", "/out", "i2c.bin", "/size", "255", "/ca", "0x50"],
            "[gen3]\nindex = 0\n")
        walls.append(wall)
        ratios.append(accesses_per_byte(counters))
    return {"wall_s": statistics.median(walls), "accesses_per_byte": statistics.median(ratios)}


def version(platform, runs):
    walls = [run_once(platform, ["/v"], "[gen3]\nindex = 0\n")[0] for _ in range(runs)]
    return {"wall_s": statistics.median(walls)}


def status(platform, runs):
    walls = [run_once(platform, ["/status"], "[gen3]\nindex = 0\n")[0] for _ in range(runs)]
    return {"wall_s": statistics.median(walls)}


def card_list(platform, runs):
    """The list of a host with a Gen 3 card at every library index."""
    cards = "".join("[gen3]\nindex = %d\nserial = %d\n" % (i, 10001 + i) for i in range(15))
    walls = [run_once(platform, ["/list"], cards)[0] for _ in range(runs)]
    return {"wall_s": statistics.median(walls)}


def i2c_verify(platform, runs):
    """A verify of 20 bytes that match: the device is written once, in a state file."""
    with open(platform.local("verify.bin"), "wb") as file:
        file.write(bytes((i * 37 + 3) & 0xFF for i in range(20)))
    remove(platform.local("i2c.state"))
    cards = "[gen3]\nindex = 0\n"
    host = "state = %s\n" % platform.path("i2c.state")
    run_once(platform, ["/i2c_wr", "/in", "verify.bin", "/ca", "0x50"], cards, host)
    walls = [run_once(platform, ["/i2c_vr", "/in", "verify.bin", "/ca", "0x50"], cards, host)[0]
             for _ in range(runs)]
    return {"wall_s": statistics.median(walls)}


class Console:
    """The interactive console of the tool, fed through a pipe."""

    def __init__(self, platform):
        self.process = subprocess.Popen(
            platform.command([]), env=platform.environment("[gen3]\nindex = 0\n"),
            cwd=platform.work, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL)
        self.output = bytearray()
        # Start-up (under wine the longer) is over well before this.
        time.sleep(3.0 if platform.wine else 1.0)

    def cpu_seconds(self):
        with open("/proc/%d/stat" % self.process.pid) as file:
            fields = file.read().rsplit(")", 1)[1].split()
        # utime and stime (fields 14 and 15 of the line), summed over all threads.
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def request_latency(self, request, reply):
        """Seconds from writing the request to reading the reply's decoded line."""
        searched_from = len(self.output)
        # Taken before the write: the tool may well answer before this process runs again.
        start = time.perf_counter()
        self.process.stdin.write(request)
        self.process.stdin.flush()
        while True:
            chunk = os.read(self.process.stdout.fileno(), 65536)
            arrived = time.perf_counter()
            if not chunk:
                raise MeasurementFailed("the console ended before it replied")
            self.output += chunk
            if self.output.find(reply, searched_from) >= 0:
                return arrived - start
            if arrived - start > REPLY_TIMEOUT_SECONDS:
                raise MeasurementFailed("no reply to %r" % request)

    def close(self):
        self.process.stdin.close()
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise MeasurementFailed("the console did not end with its input")


def console_idle(platform, runs):
    shares = []
    for _ in range(runs):
        console = Console(platform)
        try:
            before = console.cpu_seconds()
            time.sleep(CONSOLE_IDLE_SECONDS)
            shares.append(100.0 * (console.cpu_seconds() - before) / CONSOLE_IDLE_SECONDS)
        finally:
            console.close()
    return {"cpu_percent": statistics.median(shares), "runs": runs}


def console_latency(platform, kind):
    console = Console(platform)
    try:
        samples = []
        for _ in range(LATENCY_SAMPLES[kind]):
            if kind == "idle":
                time.sleep(IDLE_GAP_SECONDS)
            samples.append(console.request_latency(b"VN?\n", b"VN="))
    finally:
        console.close()
    return {"latency_ms": 1000.0 * statistics.median(samples), "runs": len(samples)}


MEASUREMENTS = [
    ("flash /w+/c 128 KiB, 512-byte pages", lambda p, n: flash_transfer(p, n, "0x10C", 128 * 1024)),
    ("flash /w 128 KiB new image, 512-byte pages",
     lambda p, n: flash_write(p, n, "0x10C", 128 * 1024, again=False)),
    ("flash /w 128 KiB same image again, 512-byte pages",
     lambda p, n: flash_write(p, n, "0x10C", 128 * 1024, again=True)),
    ("flash /w+/c 64 KiB, 256-byte pages", lambda p, n: flash_transfer(p, n, "0x105", 64 * 1024)),
    ("/i2c_rd 255 bytes", i2c_read),
    ("/v", version),
    ("/status", status),
    ("/list, 15 Gen 3 cards", card_list),
    ("/i2c_vr 20 bytes", i2c_verify),
    ("console idle 10 s", lambda p, n: console_idle(p, min(n, 3))),
    ("console request-to-reply, idle", lambda p, n: console_latency(p, "idle")),
    ("console request-to-reply, busy", lambda p, n: console_latency(p, "busy")),
]


def formatted(row):
    cells = dict(row)
    for key, form in (("wall_s", "%.3f"), ("throughput_kib_s", "%.1f"),
                      ("accesses_per_byte", "%.3f"), ("cpu_percent", "%.1f"),
                      ("latency_ms", "%.3f")):
        if isinstance(cells.get(key), float):
            cells[key] = form % cells[key]
    return [str(cells.get(column, "")) for column in COLUMNS]


def machine():
    """The processor, its cores and the load at the start: figures are only comparable with
    these alike."""
    model = "unknown processor"
    with open("/proc/cpuinfo") as file:
        for line in file:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return "%s, %d cores, load average %.2f" % (model, os.cpu_count(), os.getloadavg()[0])


def print_table(rows):
    lines = [COLUMNS] + [formatted(row) for row in rows]
    widths = [max(len(line[i]) for line in lines) for i in range(len(COLUMNS))]
    for number, line in enumerate(lines):
        print("  ".join(cell.ljust(width) for cell, width in zip(line, widths)).rstrip())
        if number == 0:
            print("  ".join("-" * width for width in widths))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--csv", required=True)
    parser.add_argument("targets", nargs="+", help="platform:tool:simlib, relative to the root")
    arguments = parser.parse_args()
    root = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))

    rows = []
    failed = False
    measured_on = machine()
    for target in arguments.targets:
        platform = Platform(target, root)
        if platform.wine:
            # The first start prepares wine's prefix; it is no part of any measurement.
            for warm_up in ([WINE, "wineboot", "--init"], platform.command(["/?"])):
                subprocess.run(warm_up, env=platform.environment(""), stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
        for name, measure in MEASUREMENTS:
            print("== %s: %s" % (platform.name, name), file=sys.stderr)
            row = {"platform": platform.name, "measurement": name, "runs": arguments.runs}
            try:
                row.update(measure(platform, arguments.runs))
            except MeasurementFailed as failure:
                print("   failed: %s" % failure, file=sys.stderr)
                row["wall_s"] = "failed"
                failed = True
            rows.append(row)

    print("Machine: %s; medians of %d runs" % (measured_on, arguments.runs))
    print_table(rows)
    os.makedirs(os.path.dirname(os.path.abspath(arguments.csv)), exist_ok=True)
    with open(arguments.csv, "w", newline="") as file:
        writer = csv.writer(file)
        writer.writerow(COLUMNS)
        writer.writerows(formatted(row) for row in rows)
    print("\nCSV: %s" % arguments.csv)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
