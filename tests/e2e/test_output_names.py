# An output name that is no plain file refuses the run before anything reaches the card, and
# leaves the file system as it was: a link keeps pointing where it did, and its file stays.
import os
import socket

import pytest

from conftest import FAILURE, WINE

def make_link(path):
    (path.parent / "fw-1.2.bin").write_bytes(b"the file the link names")
    path.symlink_to("fw-1.2.bin")


def make_socket(path):
    listener = socket.socket(socket.AF_UNIX)
    listener.bind(str(path))
    return listener


# What stands under the name, how to make it, and how it reads to the tool.
KINDS = {
    "a folder": (lambda path: path.mkdir(), None),
    "a device": (None, "NUL" if WINE else "/dev/null"),
}
if not WINE:
    KINDS.update({
        "a link": (make_link, None),
        "a pipe": (lambda path: os.mkfifo(path), None),
        "a socket": (make_socket, None),
    })


def listing(folder):
    """Every name in the folder with what it holds or points to, but for the run's own files."""
    return {p.name: os.readlink(p) if p.is_symlink() else p.is_dir() or p.stat().st_mode
            for p in folder.iterdir()
            if not p.name.startswith(("tmp", "trace.txt", "sim-"))}


@pytest.mark.parametrize("kind", KINDS)
@pytest.mark.parametrize("command, card", [
    (["/gen_blob_v1_0", "OUT"], None),
    (["/bus", "1", "/i2c_rd", "/out", "OUT", "/size", "4", "/ca", "0x50"], ""),
    (["/w", "in.bin", "0", "/r", "OUT", "0", "16"], "mcu = service\n"),  # not even the write
])
def test_an_output_name_that_is_no_plain_file_refuses_the_run(tool, kind, command, card):
    make, device = KINDS[kind]
    made = make(tool.dir / "out") if make else None
    name = device or "out"
    (tool.dir / "in.bin").write_bytes(b"\x5a" * 16)
    before = listing(tool.dir)
    config = "" if card is None else tool.card(card) + tool.host_section(state=False, trace=True)
    run = tool.run(*[name if word == "OUT" else word for word in command], config=config)
    assert run[:3] == (
        f"\nThe output file {name} is {kind}, not a plain file; the run is refused.\n", FAILURE, False)
    assert listing(tool.dir) == before
    if make is make_link:
        assert (tool.dir / "fw-1.2.bin").read_bytes() == b"the file the link names"
    if card is not None:
        assert "gen3 0 mailbox_writes 0\n" in tool.trace.read_text()
    if made is not None:
        made.close()
