# Service mode: the tool against the stand-in's boot loader, whose flash persists in a state file
# between runs, on a card with 256-byte pages and one with 512-byte pages. Files are named by
# absolute paths, as scripts name them.
import functools

import pytest

from conftest import FAILURE, pattern

SMALL = ("0x104", 0x4000, 256)  # model, flash size, page size: short page commands
LARGE = ("0x10C", 0x20000, 512)  # long page commands
UNSUPPORTED = ("\nWarning! Selected card not supported.\n"
               "\nForce open specified. Attempting to open unsupported card.\n")
NO_PROFILE = "\nError, this card has no board profile: its flash cannot be read or written!\n"
MATCH = "\n...done, data matches input file.\n"
KEPT = b"the file the user had"


def service_card(tool, model, settings=""):
    """A card in service mode whose flash starts erased here and then persists."""
    tool.state.unlink(missing_ok=True)
    return tool.card(f"mcu = service\nmodel = {model}\n{settings}") + tool.host_section()


def pages(writing, address, size, page_size):
    """What one call of the page loop prints."""
    verb = "Writing" if writing else "Reading"
    text = (f"\n\nPerforming NVM Write to 0x{address:06x} size 0x{size:06x}" if writing else
            f"\n\nPerforming NVM Read from 0x{address:06x} size 0x{size:06x}") + f"\n{verb} page:"
    count = size // page_size
    return text + "".join(f"\r{verb} page: {page} of {count}" for page in range(1, count + 1)) + \
        "\nDone\n"


writing, reading = functools.partial(pages, True), functools.partial(pages, False)


def writing_all(address, size, page_size):
    """What "/w" prints onto a flash that holds none of the pages it touches: the address and size
    of those pages."""
    return ("\nReading the flash to find the pages that differ..." +
            reading(address, size, page_size) + writing(address, size, page_size) +
            "\nReading back the written pages..." + reading(address, size, page_size) +
            f"\nPages written: {size // page_size}, already holding the file: 0; "
            "the flash matches the file.\n")


def read_to_file(size, offset):
    return f"\nReading back AVR application ( {size} bytes @ {offset} )...\n"


def verifying(size, offset):
    return f"\nVerifying AVR application ( {size} bytes @ {offset} )...\n"


def leftovers(tool):
    """Temporary files that the tool left beside the files of this test."""
    return [p for p in tool.dir.iterdir() if ".part-" in p.name]


def test_version_is_read_for_each_v(tool):
    assert tool.run("/x", "/v", "/v", config=service_card(tool, SMALL[0]))[:2] == (
        "\nBootloader Version: 1.3.0.5\n\nBootloader Version: 1.3.0.5\n", 0)
    # Bytes the boot loader had waiting before the run are drained, not taken for the answer.
    config = service_card(tool, LARGE[0], "bootloader_version = 2.0.1.300\nmcu_sends = 0x56 0x4E\n")
    assert tool.run("/v", config=config)[:2] == ("\nBootloader Version: 2.0.1.300\n", 0)


# An image of the whole flash written in one run and checked there, then read whole in a later
# run from the state the first one left. The read names offset and size 0, or neither.
@pytest.mark.parametrize("board, read_arguments", [(SMALL, ["0", "0"]), (LARGE, [])])
def test_whole_flash_reads_back_in_a_later_run(tool, board, read_arguments):
    model, flash, page = board
    service, image = service_card(tool, model), pattern(flash, 0x21)
    path, out = tool.file("image.bin", image), tool.dir / "out.bin"
    assert tool.run("/w", path, "0", "/c", path, "0", config=service)[:2] == (
        writing_all(0, flash, page) + reading(0, flash, page) + verifying(flash, 0) + MATCH, 0)
    assert tool.run("/r", out, *read_arguments, config=service)[:2] == (
        read_to_file(flash, 0) + reading(0, flash, page) + "...done\n", 0)
    assert out.read_bytes() == image


# With 256-byte pages 0x100-0x27F ends inside the page at 0x200, the three bytes lie in the page
# at 0x100, and 0x1F0-0x20F spans the pages at 0x100 and 0x200; with 512-byte pages 0x100-0x27F
# spans the pages at 0 and 0x200, the three bytes lie in the page at 0, the 32 in the pages at 0
# and 0x200.
@pytest.mark.parametrize("board, output", [
    (SMALL, writing_all(0, 0x400, 256) + writing_all(0x100, 512, 256) +
     writing_all(0x100, 256, 256) + writing_all(0x100, 512, 256) + read_to_file(0x400, 0) +
     reading(0, 0x400, 256) + "...done\n"),
    (LARGE, writing_all(0, 0x400, 512) + writing_all(0, 0x400, 512) + writing_all(0, 512, 512) +
     writing_all(0, 0x400, 512) + read_to_file(0x400, 0) + reading(0, 0x400, 512) +
     "...done\n"),
])
def test_partial_writes_read_back_their_pages_and_keep_the_neighbours(tool, board, output):
    before, tail, three, thirty_two = (pattern(0x400, 0x40), pattern(0x180, 0x11), b"abc",
                                       pattern(0x20, 0x90))
    after = bytearray(before)
    after[0x100:0x280], after[0x105:0x108], after[0x1F0:0x210] = tail, three, thirty_two
    out = tool.dir / "out.bin"
    assert tool.run("/w", tool.file("before.bin", before), "0", "/w", tool.file("tail.bin", tail),
                    "0x100", "/w", tool.file("three.bin", three), "0x105", "/w",
                    tool.file("32.bin", thirty_two), "0X1f0", "/r", out, "0", "0x400",
                    config=service_card(tool, board[0]))[:2] == (output, 0)
    assert out.read_bytes() == after


def test_read_size_given_zero_or_omitted(tool):
    image = pattern(0x4000, 0x07)
    a, b, c = tool.dir / "a.bin", tool.dir / "b.bin", tool.dir / "c.bin"
    assert tool.run("/w", tool.file("image.bin", image), "/r", a, "0x100", "0x80", "/r", b,
                    "0x3F00", "0", "/r", c, "16256", config=service_card(tool, SMALL[0]))[:2] == (
        writing_all(0, 0x4000, 256) + read_to_file(0x80, 0x100) + reading(0x100, 256, 256) +
        "...done\n" + read_to_file(0x100, 0x3F00) + reading(0x3F00, 256, 256) + "...done\n" +
        read_to_file(0x80, 0x3F80) + reading(0x3F00, 256, 256) + "...done\n", 0)
    assert a.read_bytes() == image[0x100:0x180] and b.read_bytes() == image[0x3F00:]
    assert c.read_bytes() == image[0x3F80:], "an omitted size stops at the end"


def test_nothing_past_the_end_of_the_flash_and_the_file_the_user_had_stays(tool):
    service, kept = service_card(tool, SMALL[0]), tool.file("kept.bin", KEPT)
    too_long, empty = tool.file("too-long.bin", pattern(0x100, 1)), tool.file("empty.bin", b"")
    missing = tool.dir / "missing.bin"
    for arguments, output in [
            (["/r", kept, "0x4000"], "\nError flash offset too large!\n"),
            (["/r", kept, "99999999999"], "\nError flash offset too large!\n"),
            (["/r", kept, "0x100000000"], "\nError flash offset too large!\n"),  # not wrapped
            (["/r", kept, "0x3F00", "0x101"],
             "\nError read size too large: the flash ends at 0x004000!\n"),
            (["/w", too_long, "0x3F01"], f"\nError input file {tool.host(too_long)} does not fit: "
             "the flash ends at 0x004000!\n"),
            (["/c", empty, "0x4001"], f"\nError input file {tool.host(empty)} does not fit: "
             "the flash ends at 0x004000!\n"),
            (["/w", missing], f"\nCould not open input file {tool.host(missing)}\n")]:
        assert tool.run(*arguments, config=service)[:2] == (output, FAILURE)
    assert kept.read_bytes() == KEPT and not leftovers(tool)


# The compare ends the run: the version after it is not read. (Its differences are checked with
# the documents of /json in test_flash_write.py.)
def test_compare_ends_the_run(tool):
    run = tool.run("/c", tool.file("empty.bin", b""), "/v", config=service_card(tool, SMALL[0]))
    assert run[:2] == (reading(0, 0, 256) + verifying(0, 0) + MATCH, 0)


# The one run here that waits out the boot loader's patience.
def test_a_boot_loader_that_stops_mid_page_ends_the_run_and_the_file_stays(tool):
    kept = tool.file("kept.bin", KEPT)
    assert tool.run("/r", kept, "0", "0x300", config=service_card(
        tool, SMALL[0], "fault = stop_mid_reply\n"))[:2] == (
        read_to_file(0x300, 0) +
        "\n\nPerforming NVM Read from 0x000000 size 0x000300\nReading page:"
        "\rReading page: 1 of 3"
        "\nThe boot loader sent no byte for 2000 ms: reading stopped at page 1 of 3.\n", FAILURE)
    assert kept.read_bytes() == KEPT and not leftovers(tool)


def test_a_card_without_profile_reads_only_the_version(tool):
    unsupported, out = service_card(tool, "0x108"), tool.dir / "out.bin"
    assert tool.run("/fo", "/v", config=unsupported)[:2] == (
        UNSUPPORTED + "\nBootloader Version: 1.3.0.5\n", 0)
    for arguments in (["/fo", "/r", out, "0"], ["/fo", "/c", tool.file("image.bin", b"abc")]):
        assert tool.run(*arguments, config=unsupported)[:2] == (UNSUPPORTED + NO_PROFILE, FAILURE)
    assert not out.exists()
