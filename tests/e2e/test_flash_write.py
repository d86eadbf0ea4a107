# "/w" against the stand-in's boot loader, whose flash persists in the state file: the write reads
# the pages it touches, writes only those that differ and reads them back, so a boot loader that
# takes no page fails it; the documents of "/w", "/c" and "/r" with /json; and a run whose
# standard output nobody reads goes on to its end.
import json
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


IMAGE = pattern(4 * PAGE, 7)
W = ["/w", "image.bin", "0"]
NOT_ERASED = [i for i, byte in enumerate(IMAGE) if byte != 0xFF]


def erased_differences(offset):
    """The differences that a document lists for the image against erased flash at offset."""
    return [{"offset": offset + i, "expected": IMAGE[i], "read": 0xFF} for i in NOT_ERASED[:10]]


def verdict_text(found, match):
    """The lines that end a compare (also the write's read-back) as the document tells it."""
    text = "".join(f"Error at 0x{d['offset']:06x}: got 0x{d['read']:02x} expected "
                   f"0x{d['expected']:02x}.\n" for d in found["differences"])
    if found["differing_bytes"] == 0:
        return text + match
    return (text + "\nReadback data does not match input verification file!"
            f"\n{found['differing_bytes']} bytes contained errors.\n")


def text_of(document):
    """What the text run prints, as far as the document says it."""
    if "read" in document:
        read = document["read"]
        return f"\nReading back AVR application ( {read['size']} bytes @ {read['offset']} )...\n"
    if "compare" in document:
        compare = document["compare"]
        return (f"\nVerifying AVR application ( {compare['size']} bytes @ {compare['offset']} )"
                "...\n" + verdict_text(compare, "\n...done, data matches input file.\n"))
    write = document["write"]
    return verdict_text(write, summary(write["pages_written"], write["pages_unchanged"]))


# Each run once as text and once with /json from the same flash: the document holds these values
# and says what the text says, with the same exit code.
@pytest.mark.parametrize("settings, before, arguments, field, values", [
    ("", [], W, "write", {"pages_written": 4, "pages_unchanged": 0, "verified": True}),
    ("", [W], W, "write", {"pages_written": 0, "pages_unchanged": 4, "verified": True}),
    ("fault = refuse\n", [], W, "write",
     {"pages_written": 4, "verified": False, "differing_bytes": len(NOT_ERASED),
      "differences": erased_differences(0)}),
    ("", [], ["/c", "image.bin", "0x300"], "compare", {
        "matches": False, "differing_bytes": len(NOT_ERASED),
        "differences": erased_differences(0x300)}),
    ("", [W], ["/c", "image.bin", "0"], "compare", {"matches": True, "differences": []}),
    ("", [W], ["/r", "out.bin", "0x100", "0x300"], "read",
     {"file": "out.bin", "offset": 0x100, "size": 0x300}),
], ids=["new image", "same image", "pages refused", "compare erased", "compare written", "read"])
def test_each_document_says_what_the_text_says(tool, settings, before, arguments, field, values):
    tool.file("image.bin", IMAGE)
    config = tool.card(LARGE + settings) + tool.host_section()
    for earlier in before:
        assert tool.run(*earlier, config=config).code == 0
    flash = tool.state.read_bytes() if tool.state.exists() else None
    text = tool.run(*arguments, config=config)
    if flash is None:
        tool.state.unlink()
    else:
        tool.state.write_bytes(flash)
    document = json.loads(tool.run(*arguments, "/json", config=config).output)
    failed = False in (values.get("verified"), values.get("matches"))
    assert (document["exit_code"], text.code) == ((-1, FAILURE) if failed else (0, 0))
    assert {key: document[field][key] for key in values} == values
    assert text_of(document) in text.output


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
