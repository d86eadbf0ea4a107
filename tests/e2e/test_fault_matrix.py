# Every command that talks to the microcontroller against every fault the stand-in can inject:
# each run ends in time, says what did not happen, ends with -1 unless the result is still
# correct, leaves no output file that looks complete but is not, and keeps the state file intact.
import concurrent.futures

import pytest

import cardstate
from conftest import FAILURE, After, Tool, pattern

FAULTS = {"silent": "fault = silent\n", "stop_mid_reply": "fault = stop_mid_reply\n",
          "noise": "fault = noise\n", "bad_echo": "fault = bad_echo\n", "refuse": "fault = refuse\n",
          "tx never": "tx_ready = never\n", "tx late": "tx_ready_after = 5000000\n",
          "absent": "mcu = absent\n"}
NOT_TAKEN = (FAILURE, "took no byte")  # the last three faults: tx never, tx late, absent
NO_I2C = (FAILURE, "No answer to the I2C")
IMAGE, I2C = pattern(1024, 3), pattern(4, 9)
BEFORE = b"what the file held before"
BOUND_SECONDS = 15.0


def ok(text):
    return (0, text)


def fail(text):
    return (FAILURE, text)


# name: (service mode, arguments ("IN" and "OUT" stand for the run's files), what it writes to
# OUT, the exit code and a text of the output for each fault in the order of FAULTS but the last
# three). The console waits for no reply: without one it shows none, and "exit" still ends it. A
# page the boot loader refuses goes unnoticed by "/w": its answer carries no status by design, and
# "/c" is the check (the flash here already holds the image).
COMMANDS = {
    "/v": (False, ["/v"], None, [fail("The firmware sent no version."),
                                 fail("The firmware sent no version."), *[ok("VN=2.4.0.17")] * 3]),
    "/lb": (False, ["/lb", "32"], None, [
        fail("No echo of byte 0x00"), ok("0 of 32 bytes contained errors."),
        ok("0 of 32 bytes contained errors."), ok("2 of 32 bytes contained errors."),
        ok("0 of 32 bytes contained errors.")]),
    "/bus": (False, ["/bus", "1"], None, [ok("")] * 5),
    "/sd": (False, ["/sd"], None, [fail("No response from uCPU"), ok("Command accepted."),
                                   fail("Unexpected reply from uCPU."), ok("Command accepted."),
                                   fail("Command refused.")]),
    "/i2c_rd": (False, ["/i2c_rd", "/out", "OUT", "/size", "4", "/ca", "0x50"], I2C,
                [NO_I2C, NO_I2C, *[ok("...done")] * 3]),
    "/i2c_wr": (False, ["/i2c_wr", "/in", "IN", "/ca", "0x50"], None,
                [NO_I2C, *[ok("...done!")] * 4]),
    "/i2c_vr": (False, ["/i2c_vr", "/in", "IN", "/ca", "0x50"], None,
                [NO_I2C, NO_I2C, *[ok("Verified: 4 bytes")] * 3]),
    "/blow_etc": (False, ["/blow_etc"], None, [NO_I2C, NO_I2C,
                                               *[ok("ETC Counter has been blown!")] * 3]),
    "console VN?": (False, None, None, [ok(""), ok("The reply VN= stopped after 4 of 8 bytes"),
                                        *[ok("VN=2.4.0.17")] * 3]),
    "service /v": (True, ["/v"], None, [fail("its version was not read")] * 2 +
                   [ok("Bootloader Version: 1.3.0.5")] * 3),
    "service /r": (True, ["/r", "OUT", "0", "1024"], IMAGE,
                   [fail("reading stopped at page 1 of 2")] * 2 + [ok("...done")] * 3),
    "service /w": (True, ["/w", "IN", "0"], None,
                   [fail("writing stopped at page 1 of 2")] + [ok("Done")] * 4),
    "service /c": (True, ["/c", "IN", "0"], None, [fail("reading stopped at page 1 of 2")] * 2 +
                   [ok("data matches input file")] * 3),
}
PAIRS = [(command, fault) for command in COMMANDS for fault in FAULTS]


def run_pair(folder, command, fault, card):
    """Runs one pair on a card of its own: runs side by side must not wait for each other's."""
    service, arguments, writes, expected = COMMANDS[command]
    tool = Tool(folder)
    # The flash holds the image, chip 0x50 the I2C data, so reads and compares have something to
    # find and writes change nothing.
    cardstate.write(tool.state, {card: (IMAGE, {(0, 0x50): I2C})})
    (folder / "in.bin").write_bytes(IMAGE if service else I2C)
    (folder / "out.bin").write_bytes(BEFORE)
    absent = fault == "absent"
    config = (f"[gen3]\nindex = {card}\nmodel = 0x10C\n" +
              ("mcu = service\n" if service and not absent else "") + FAULTS[fault] +
              tool.host_section())
    files = {"IN": folder / "in.bin", "OUT": folder / "out.bin"}
    arguments = [files.get(a, a) for a in arguments or []] + (["/fs"] if service and absent else [])
    steps = [After("", "VN?\n"), After("", "exit\n", 2.5)] if arguments == [] else []
    return tool.run(*arguments, config=config, steps=steps)


@pytest.fixture(scope="module")
def matrix(tmp_path_factory):
    """The pairs wait on the microcontroller much of the time: four at once keep the suite short."""
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        folders = {pair: tmp_path_factory.mktemp("pair") for pair in PAIRS}
        runs = {pair: pool.submit(run_pair, folders[pair], *pair, i % 15)
                for i, pair in enumerate(PAIRS)}
        return {pair: (run.result(), i % 15, folders[pair]) for i, (pair, run) in
                enumerate(runs.items())}


@pytest.mark.parametrize("command, fault", PAIRS)
def test_every_command_against_every_fault(matrix, command, fault):
    run, card, folder = matrix[command, fault]
    writes = COMMANDS[command][2]
    code, text = (COMMANDS[command][3] + [NOT_TAKEN] * 3)[list(FAULTS).index(fault)]
    assert not run.timed_out and run.seconds < BOUND_SECONDS + Tool.startup
    assert run.code == code and text in run.output, run.output
    # Complete and right after a success; as it was before after a failure.
    assert (folder / "out.bin").read_bytes() == (writes if code == 0 and writes else BEFORE)
    # The state still parses and holds the flash and the device as they were. A microcontroller
    # that stopped taking bytes inside a command may still be in it: that is its state, not damage.
    state = cardstate.read(folder / "cards.state")[card]
    assert state.flash[:len(IMAGE)] == IMAGE and state.devices[0, 0x50][:4] == I2C
    assert not [p for p in folder.iterdir() if ".part-" in p.name]
