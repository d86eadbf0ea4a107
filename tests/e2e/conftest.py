"""Runs the real tool as a process against the stand-in board libraries.

    from conftest import FAILURE, After

    def test_version(tool):
        run = tool.run("/v", config="boot-loader.ini")  # a scenario of sim/scenarios/ ...
        assert run.output == "\\nBootloader Version: 1.3.0.5\\n" and run.code == 0
        run = tool.run("/v", config=tool.card("serial = 7\\n"))  # ... or a configuration text

tool.run(*arguments, input="", steps=(), config="", libraries=True, tmpdir=None, locks=None,
         wrapper=(), timeout=20) -> Run(output, code, timed_out, seconds)
  arguments  strings; a pathlib.Path is passed as the tool sees it (on drive Z: under wine)
  input      standard input, then the steps; standard input closes after the last step
  steps      After(text, send="", delay=0, signal=0): once the output shows text (after where the
             previous step's text ended; "" at once) and delay seconds passed, type send or send
             the signal (only where tool.signals)
  config     the stand-in's configuration: a scenario's file name, or the text of one
  libraries  False: the board libraries cannot be found
  tmpdir     the run's TMPDIR; default tool.dir/tmp
  locks      the folder of the card locks on Linux, in place of /run/lock; default tmpdir
  wrapper    a program that starts the tool, given before its path: ("sh", "-c", "...", "sh")
  timeout    seconds before the run is killed (timed_out); under wine tool.startup is added
Run.output is standard output byte for byte as text (latin-1), with the carriage returns that
the Windows run-time adds before each new line taken out; Run.code as a shell sees it (FAILURE
for the tool's -1). The output of every run with "/json" that ends by itself is checked against
the JSON Schema of the repository.

tool.dir is the test's own empty folder, where the tool runs (relative names land there);
tool.file(name, data) writes a file there and returns its path; tool.state and tool.trace are
files there, named to the stand-in by tool.host_section(state=True, trace=False); tool.card() is
card 0 with more settings; tool.host(path) is a path as the tool sees it. tool.signals tells
whether steps can send signals, tool.wine the Windows build under wine, where tool.startup
(seconds) allows for a process to start and tool.spread for how much two starts may differ.
pattern(size, seed) gives test data, VERSION_OUTPUT is what "/v" prints against the default card,
and cardstate.read() reads a state file.
"""

import collections
import contextlib
import json
import os
import pathlib
import subprocess
import threading
import time

import jsonschema
import pytest

FAILURE = 255
VERSION_OUTPUT = "0x56 0x4e \nVN=2.4.0.17\n"  # what "/v" prints against the default card
After = collections.namedtuple("After", "text send delay signal", defaults=("", 0, 0))
Run = collections.namedtuple("Run", "output code timed_out seconds")

WINE = os.environ.get("MISTLE_WINE", "")
SCHEMA = json.loads((pathlib.Path(__file__).parents[2] / "mistle-output.schema.json").read_text())


def pattern(size, seed):
    """Bytes that differ from page to page and from their neighbours."""
    return bytes((i * 131 + i // 512 + seed) & 0xFF for i in range(size))


class _Output:
    """Collects a child's standard output as it comes, for the paced steps to wait on."""

    def __init__(self, stream):
        self.data, self.ended, self.changed = b"", False, threading.Condition()
        self.reader = threading.Thread(target=self._read, args=(stream,), daemon=True)
        self.reader.start()

    def _read(self, stream):
        while True:
            chunk = os.read(stream.fileno(), 65536)
            with self.changed:
                self.data, self.ended = self.data + chunk, not chunk
                self.changed.notify_all()
            if not chunk:
                return

    def text(self):
        text = self.data.decode("latin-1")
        return text.replace("\r\n", "\n") if WINE else text

    def wait_for(self, text, start):
        """Where text ends in the output after start; None once the output ended without it."""
        with self.changed:
            self.changed.wait_for(lambda: text in self.text()[start:] or self.ended)
            found = self.text().find(text, start)
            return None if found < 0 else found + len(text)


def _feed(process, output, data, steps):
    position = 0
    try:
        process.stdin.write(data)
        process.stdin.flush()
        for step in steps:
            position = output.wait_for(step.text, position)
            if position is None:
                break
            time.sleep(step.delay)
            if step.signal:
                process.send_signal(step.signal)
            process.stdin.write(step.send.encode("latin-1"))
            process.stdin.flush()
    except OSError:
        pass  # the tool ended before it read everything
    with contextlib.suppress(OSError):
        process.stdin.close()


class Tool:
    signals = not WINE
    wine = bool(WINE)
    startup = 5 if WINE else 0
    spread = 1.5 if WINE else 0

    def __init__(self, folder):
        self.dir = folder
        self.state, self.trace = folder / "cards.state", folder / "trace.txt"
        self._configurations = 0

    def host(self, path):
        path = pathlib.Path(path)
        return ("Z:" if WINE and path.is_absolute() else "") + str(path)

    def file(self, name, data=b""):
        (self.dir / name).write_bytes(data)
        return self.dir / name

    def card(self, settings=""):
        return "[gen3]\nindex = 0\n" + settings

    def host_section(self, state=True, trace=False):
        return ("[host]\n" + (f"state = {self.host(self.state)}\n" if state else "") +
                (f"trace = {self.host(self.trace)}\n" if trace else ""))

    def _environment(self, config, libraries, tmpdir, locks):
        environment = dict(os.environ, TMPDIR=str(tmpdir), MISTLE_TEST_LOCK_FOLDER=str(locks))
        environment.pop("TVXSIM_CONFIG", None)
        if libraries:
            variable, separator = ("WINEPATH", ";") if WINE else ("LD_LIBRARY_PATH", ":")
            paths = [self.host(os.environ["MISTLE_SIM_LIBRARY_DIR"]), environment.get(variable)]
            environment[variable] = separator.join(filter(None, paths))
        if config.endswith(".ini") and "\n" not in config:
            environment["TVXSIM_CONFIG"] = self.host(
                pathlib.Path(os.environ["MISTLE_SCENARIO_DIR"]) / config)
        elif config:
            self._configurations += 1
            path = self.dir / f"sim-{self._configurations}.ini"
            path.write_text(config)
            environment["TVXSIM_CONFIG"] = self.host(path)
        return environment

    def run(self, *arguments, **settings):
        run = self._run_once(*arguments, **settings)
        # Now and then wine fails to start a process under load: exit code 1 at once and no output,
        # which the tool itself never gives (its codes are 0 and -1). Such a run is started again.
        if WINE and run.code == 1 and not run.output and run.seconds < 1:
            run = self._run_once(*arguments, **settings)
        if "/json" in arguments and not run.timed_out:
            jsonschema.validate(json.loads(run.output), SCHEMA)
        return run

    def _run_once(self, *arguments, input="", steps=(), config="", libraries=True, tmpdir=None,
                  locks=None, wrapper=(), timeout=20):
        tmpdir = tmpdir or self.dir / "tmp"
        locks = locks or tmpdir
        os.makedirs(tmpdir, exist_ok=True)
        os.makedirs(locks, exist_ok=True)
        command = [*wrapper, *([WINE] if WINE else []), os.environ["MISTLE_TOOL"]]
        command += [self.host(a) if isinstance(a, pathlib.PurePath) else a for a in arguments]
        data = input.encode("latin-1") if isinstance(input, str) else input
        started = time.monotonic()
        process = subprocess.Popen(command, cwd=self.dir, stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE,
                                   env=self._environment(config, libraries, tmpdir, locks))
        output = _Output(process.stdout)
        feeder = threading.Thread(target=_feed, args=(process, output, data, steps), daemon=True)
        feeder.start()
        timed_out = False
        try:
            process.wait(timeout + self.startup)
        except subprocess.TimeoutExpired:
            timed_out = True
            process.kill()
            process.wait()
        seconds = time.monotonic() - started
        output.reader.join(10)
        feeder.join(10)
        process.stdout.close()
        code = process.returncode
        return Run(output.text(), 128 - code if code < 0 else code, timed_out, seconds)


@pytest.fixture(scope="session", autouse=True)
def wine_server():
    """One wine server for the whole file, rather than one start-up for each run of the tool; the
    files run one after the other in their prefix, so the last one's server ends with it."""
    wine = pathlib.Path(WINE or "wine")
    server = wine.with_name(wine.name.replace("wine", "wineserver"))
    if WINE:
        subprocess.run([server, "-p"], stderr=subprocess.DEVNULL, check=False)
    yield
    if WINE:
        subprocess.run([server, "-k"], stderr=subprocess.DEVNULL, check=False)


@pytest.fixture
def tool(tmp_path):
    return Tool(tmp_path)
