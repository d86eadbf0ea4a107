# Ctrl+C and termination: the tool stops only between pages, registers and commands, says what it
# completed, and leaves the microcontroller inside no command.
import random
import re
import signal

import pytest

import cardstate
from conftest import FAILURE, VERSION_OUTPUT, After, pattern

FLASH_BYTES, PAGE_BYTES = 128 * 1024, 512
SERVICE = "model = 0x10C\nmcu = service\n"


@pytest.fixture
def run(tool):
    if not tool.signals:
        pytest.skip("signals are sent to the tool only on POSIX systems")

    def run(card, *arguments, steps=()):
        return tool.run(*arguments, config=tool.card(card) + tool.host_section(), steps=steps)
    return run


def interrupt_after(text, delay=0):
    return After(text, delay=delay, signal=signal.SIGINT)


def completed(output, unit):
    """The number of the last unit the interrupted line says was completed."""
    found = re.search(rf"\nInterrupted: [a-zA-Z0-9 ]+ stopped after {unit} ([0-9]+) of", output)
    return int(found[1]) if found else -1


# Seeds differ from run to run; a failure names its delay.
def test_a_flash_write_stops_between_pages(tool, run):
    image = pattern(FLASH_BYTES, 7)
    (tool.dir / "image.bin").write_bytes(image)
    interrupted = 0
    for delay in [random.uniform(0, 0.25) for _ in range(6)]:
        tool.state.unlink(missing_ok=True)
        result = run(SERVICE, "/w", "image.bin", "0", steps=[interrupt_after("Writing page: 1 of", delay)])
        assert not result.timed_out
        pages = completed(result.output, "page")
        if result.code == 0:
            assert pages == -1, "the signal came after the last page: the write is whole"
            continue
        interrupted += 1
        assert result.code == FAILURE and pages >= 0, (delay, result.output)
        card = cardstate.read(tool.state)[0]
        assert not card.pending, "the boot loader is inside no command"
        written = pages * PAGE_BYTES
        assert card.flash[:written] == image[:written], "the pages before it are written whole"
        assert card.flash[written:].count(0xFF) == len(card.flash) - written, "no page after it"
    assert interrupted > 0
    again = run(SERVICE, "/w", "image.bin", "0", "/c", "image.bin", "0")
    assert again.code == 0 and "\n...done, data matches input file.\n" in again.output


def test_a_second_signal_ends_the_run_at_once(tool, run):
    (tool.dir / "image.bin").write_bytes(pattern(FLASH_BYTES, 3))
    result = run(SERVICE, "/w", "image.bin", "0",
                 steps=[interrupt_after("Writing page: 2 of"), interrupt_after("")])
    assert result.code == FAILURE and "Done" not in result.output


def test_an_i2c_write_stops_between_registers(tool, run):
    data = pattern(511, 5)
    (tool.dir / "data.bin").write_bytes(data)
    result = run("", "/i2c_wr", "/in", "data.bin", "/ca", "0x50",
                 steps=[interrupt_after("Writing data...", random.uniform(0, 0.15))])
    if result.code == 0:
        pytest.skip("the write ended before the signal came")
    registers = completed(result.output, "register")
    assert result.code == FAILURE and registers >= 0, result.output
    card = cardstate.read(tool.state)[0]
    assert not card.pending
    written = card.devices.get((0, 0x50), bytes(256))
    assert written == bytes(data[r] if r < registers else 0 for r in range(256))


def test_the_console_ends_at_the_command_word(run):
    # Standard input stays open until the tool has answered the signal.
    assert run("", steps=[After("", "VN?\n"), interrupt_after("VN=2.4.0.17\n"),
                          After("Interrupted")])[:2] == (
        VERSION_OUTPUT + "\nInterrupted: the console ended; nothing was being sent.\n", FAILURE)


# What an interrupted run must not do: leave the boot loader inside a page command. The stand-in
# keeps such a command across runs, as a powered microcontroller would, and the next run's bytes
# go into its page.
def test_a_partial_command_outlives_the_run_that_left_it(tool, run):
    tool.state.write_text("card 0\npending boot_loader 570001\n")
    result = run("model = 0x104\nmcu = service\n", "/v")
    assert result.code == FAILURE and "its version was not read" in result.output
    assert cardstate.read(tool.state)[0].pending == ["boot_loader", b"W\x00\x01VN?"]
