# "/w" against the stand-in's boot loader, whose flash persists in the state file: the write reads
# the pages it touches, writes only those that differ and reads them back, so a boot loader that
# takes no page fails it; and a run whose standard output nobody reads goes on to its end.
import signal

import pytest

from conftest import FAILURE, After, Tool, pattern

LARGE = "model = 0x10C\nmcu = service\n"  # 128 KiB of flash in 512-byte pages
PAGE, PAGES = 512, 64  # the images: a quarter of the flash, from address 0
TIMEOUT = 90  # seconds for one run, also on a machine that is busy


def summary(written, unchanged):
    return (f"\nPages written: {written}, already holding the file: {unchanged}; "
            "the flash matches the file.\n")


def page_commands(tool):
    """The page commands that the boot loader received in the run, from the stand-in's trace,
    as "r 0x000400" or "w 0x01fe00"; the data of the writes is passed over."""
    received = next(line.split()[3:] for line in tool.trace.read_text().splitlines()
                    if line.startswith("gen3 0 received"))
    data = bytes(int(byte, 16) for byte in received)
    commands, i = [], 0
    while i < len(data):
        letter = chr(data[i])
        commands.append(f"{letter} 0x{int.from_bytes(data[i + 1:i + 4], 'little'):06x}")
        i += 5 + (PAGE if letter == "w" else 0)
    return commands


def reads(first, last):
    return [f"r 0x{page * PAGE:06x}" for page in range(first, last)]


def write(tool, image, steps=()):
    tool.trace.unlink(missing_ok=True)
    return tool.run("/w", image, "0", steps=steps, timeout=TIMEOUT,
                    config=tool.card(LARGE) + tool.host_section(trace=True))


def test_only_the_pages_that_differ_are_written_and_read_back(tool):
    image = tool.dir / "image.bin"
    image.write_bytes(pattern(PAGES * PAGE, 5))
    run = write(tool, image)
    assert run.output.endswith(summary(PAGES, 0)) and run.code == 0
    run = write(tool, image)
    assert run.output.endswith(summary(0, PAGES)) and run.code == 0
    assert page_commands(tool) == reads(0, PAGES)

    changed = bytearray(pattern(PAGES * PAGE, 5))
    changed[40 * PAGE + 7] ^= 0xFF
    changed[41 * PAGE] ^= 0xFF
    image.write_bytes(changed)
    run = write(tool, image)
    assert run.output.endswith(summary(2, PAGES - 2)) and run.code == 0
    assert page_commands(tool) == reads(0, PAGES) + ["w 0x005000", "w 0x005200"] + reads(40, 42)


def test_a_boot_loader_that_takes_no_page_fails_the_write_with_the_differences(tool):
    image = pattern(4096, 9)
    (tool.dir / "fw4k.bin").write_bytes(image)
    run = tool.run("/w", "fw4k.bin", "0", config="boot-loader-refuses.ini")
    differences = [(address, byte) for address, byte in enumerate(image) if byte != 0xFF]
    errors = "".join(f"Error at 0x{address:06x}: got 0xff expected 0x{byte:02x}.\n"
                     for address, byte in differences[:10])
    assert run.output.endswith(
        "\rReading page: 16 of 16\nDone\n" + errors +
        "\nReadback data does not match input verification file!"
        f"\n{len(differences)} bytes contained errors.\n")
    assert "\rWriting page: 16 of 16\nDone\n" in run.output and run.code == FAILURE


@pytest.mark.skipif(not Tool.signals, reason="signals are sent to the tool only on POSIX systems")
def test_a_write_interrupted_and_run_again_writes_only_the_missing_pages(tool):
    image = tool.dir / "image.bin"
    image.write_bytes(pattern(PAGES * PAGE, 3))
    run = write(tool, image, steps=[After("Writing page: 10 of", signal=signal.SIGINT)])
    assert run.code == FAILURE
    stopped = run.output.split("Interrupted: the flash write stopped after page ")[1]
    done = int(stopped.split()[0])
    assert 10 <= done < PAGES

    run = write(tool, image)
    assert run.output.endswith(summary(PAGES - done, done)) and run.code == 0
    assert page_commands(tool) == (reads(0, PAGES) +
                                   [f"w 0x{page * PAGE:06x}" for page in range(done, PAGES)] +
                                   reads(done, PAGES))


# The tool's output goes into a pipe whose reader stops after 100 bytes; the exit code lands in a
# file, and a second run checks what the first one wrote.
CLOSED_PIPE = ("sh", "-c", '("$@"; echo $? >code) | head -c 100 >/dev/null', "sh")
I2C = ["/in", "data.bin", "/ca", "0x50"]


@pytest.mark.parametrize("card, command, check", [
    (LARGE, ["/w", "data.bin", "0"], ["/c", "data.bin", "0"]),
    ("", ["/i2c_wr", *I2C], ["/i2c_vr", *I2C]),
    ("", ["/lb", "2048"], None),
], ids=["flash write", "I2C write", "loop-back"])
def test_a_closed_standard_output_ends_no_command_in_the_middle(tool, card, command, check):
    (tool.dir / "data.bin").write_bytes(pattern(PAGES * PAGE if card else 256, 1))
    config = tool.card(card) + tool.host_section()
    tool.run(*command, config=config, wrapper=CLOSED_PIPE, timeout=TIMEOUT)
    assert (tool.dir / "code").read_text() == "0\n"
    if check:
        assert tool.run(*check, config=config, timeout=TIMEOUT).code == 0
