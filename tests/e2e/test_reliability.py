# What a user or a file can get wrong, and two runs at once: every case ends with a clear line
# and the right exit code, and nothing that existed before is lost.
import concurrent.futures
import os
import pathlib
import re
import stat
import subprocess
import time

import pytest

from conftest import FAILURE, VERSION_OUTPUT, After

NO_CARDS = "\nNo Corvane cards could be found that are ready for use!\n"
TWO_CARDS = "[gen3]\nindex = 0\n[gen3]\nindex = 1\n"
POSIX_ONLY = "the shell, links, pipes and file modes of a POSIX system"
# A shell that limits the size of every file the tool writes to nothing, as a full disk would;
# the signal for a file grown too large is ignored, so the write just fails.
FULL_DISK = ("/bin/sh", "-c", "ulimit -f 0; trap '' XFSZ; exec \"$0\" \"$@\"")
SOMEONE_ELSES = b"someone else's file"


def partial_files(folder):
    return [p for p in pathlib.Path(folder).iterdir() if ".part-" in p.name]


def test_a_second_run_on_the_same_card_waits_then_names_the_holder(tool):
    # The first run holds card 0 at its console until it is told to exit; on POSIX a shell that
    # becomes the tool first says its process id.
    wrapper = ("/bin/sh", "-c", "echo $$; exec \"$0\" \"$@\"") if tool.signals else ()
    with concurrent.futures.ThreadPoolExecutor(1) as pool:
        holder = pool.submit(tool.run, "/index", "0", config=TWO_CARDS, wrapper=wrapper, steps=[
            After("", "VN?\n"), After("VN=2.4.0.17\n", "exit\n", 7 + tool.startup)])
        time.sleep(1.5 + tool.startup)
        # A temporary folder of its own does not take the second run past the lock (under wine
        # it would be a wine server of its own, another machine).
        second = tool.run("/index", "0", "/v", config=TWO_CARDS, locks=tool.dir / "tmp",
                          tmpdir=tool.dir / "other" if tool.signals else None)
        assert 2.5 < second.seconds < 5.0 + tool.startup and second.code == FAILURE
        in_use = re.fullmatch(r"\nThe selected card is in use by another run of the tool \(process "
                              r"([0-9]+)\); try again once it has ended\.\n", second.output)
        assert in_use, second.output
        # Another card is not held up.
        assert tool.run("/index", "1", "/v", config=TWO_CARDS)[:2] == (VERSION_OUTPUT, 0)
        holder_line = in_use[1] + "\n" if tool.signals else ""
        assert holder.result()[:2] == (holder_line + VERSION_OUTPUT, 0)


@pytest.mark.parametrize("plant", [
    lambda lock, victim: lock.symlink_to(victim),
    lambda lock, victim: os.link(victim, lock),
    lambda lock, victim: lock.mkdir()], ids=["symlink", "hard link", "folder"])
def test_a_lock_that_is_no_plain_file_of_its_own_refuses_the_run(tool, plant):
    if not tool.signals:
        pytest.skip("on Windows the card lock is a named mutex")
    folder = tool.dir / "locks"
    folder.mkdir()
    lock, victim = folder / "mistle-card-gen3-0.lock", folder / "victim"
    victim.write_bytes(SOMEONE_ELSES)
    plant(lock, victim)
    assert tool.run("/v", tmpdir=folder)[:2] == (
        f"\nThe card lock {lock} is a link or no plain file; the run is refused.\n", FAILURE)
    assert victim.read_bytes() == SOMEONE_ELSES


@pytest.mark.parametrize("arguments, written", [
    (["/gen_blob_v1_0", "out.bin"], b"\x00\x01\x00\x80\x00\x80" + bytes(249) + b"\xff"),
    (["/i2c_rd", "/out", "out.bin", "/size", "4"], bytes(4)),
])
def test_a_plain_file_is_replaced_and_no_planted_link_written_through(tool, arguments, written):
    if not tool.signals:
        pytest.skip(POSIX_ONLY)
    out, victim = tool.dir / "out.bin", tool.dir / "victim"
    victim.write_bytes(SOMEONE_ELSES)
    out.write_bytes(b"the file before")
    # The shell becomes the tool: a link waits where a temporary name made of the process id and
    # a counter would go.
    run = tool.run(*arguments, wrapper=(
        "/bin/sh", "-c", "umask 027; ln -s victim out.bin.part-$$-1; exec \"$0\" \"$@\""))
    assert run.code == 0 and victim.read_bytes() == SOMEONE_ELSES
    assert out.read_bytes() == written
    assert stat.S_IMODE(out.stat().st_mode) == 0o640
    assert len(partial_files(tool.dir)) == 1, "the planted link stays, and nothing else"


def test_two_runs_on_one_state_file_keep_both_updates(tool):
    config = tool.card(tool.host_section())
    # The first run writes long enough for the second to start while it runs.
    (tool.dir / "data.bin").write_bytes(bytes(ord("0") + i % 10 for i in range(256)))
    with concurrent.futures.ThreadPoolExecutor(1) as pool:
        first = pool.submit(tool.run, "/i2c_wr", "/in", "data.bin", "/ca", "0x50", config=config)
        time.sleep(0.02)
        second = tool.run("/i2c_wr", "/in", "data.bin", "/ca", "0x51", config=config)
        assert first.result().code == 0 and second.code == 0
    kept = tool.state.read_text()
    assert "i2c 0 0x50 0x00 " in kept and "i2c 0 0x51 0x00 " in kept


# A folder, and a pipe whose reading would wait for a writer for ever, are refused as input files.
@pytest.mark.parametrize("kind", ["folder", "pipe"])
def test_folders_and_pipes_are_no_files(tool, kind):
    path = tool.dir / kind
    if kind == "folder":
        path.mkdir()
    elif tool.signals:
        os.mkfifo(path)
    else:
        pytest.skip(POSIX_ONLY)
    name, service = kind, tool.card("mcu = service\n")
    for arguments, config, output in [
            (["/i2c_wr", "/in", name], "", f"\nCould not open input file {name}"),
            (["/i2c_vr", "/in", name], "", f"\nCould not open input file {name}\n"),
            (["/w", name, "0"], service, f"\nCould not open input file {name}\n")]:
        assert tool.run(*arguments, config=config)[:2] == (output, FAILURE)
    assert path.is_dir() if kind == "folder" else stat.S_ISFIFO(path.stat().st_mode)


def test_a_huge_input_file_is_refused_without_being_read(tool):
    huge = tool.file("huge.bin")
    os.truncate(huge, 1 << 30)  # sparse: takes no room
    too_large = tool.run("/i2c_wr", "/in", huge)
    assert too_large[:2] == (f"\nInput file ({tool.host(huge)}) too large!", FAILURE)
    does_not_fit = tool.run("/w", "huge.bin", "0", config=tool.card("mcu = service\n"))
    assert does_not_fit[:2] == (
        "\nError input file huge.bin does not fit: the flash ends at 0x020000!\n", FAILURE)
    assert too_large.seconds + does_not_fit.seconds < 3.0 + 2 * tool.startup


def test_a_full_disk_loses_nothing(tool):
    if not tool.signals:
        pytest.skip(POSIX_ONLY)
    image, read = tool.dir / "image.bin", tool.dir / "read.bin"
    image.write_bytes(b"the image from before")
    read.write_bytes(b"the read from before")
    assert tool.run("/gen_blob_v1_0", image, wrapper=FULL_DISK)[:2] == (
        f"Writing AVR config block...\nError writing output file {image}", FAILURE)
    for arguments, config, ending in [
            (["/i2c_rd", "/out", read, "/size", "1"], "", f"\nError writing output file {read}\n"),
            (["/r", read, "0", "512"], tool.card("mcu = service\n"),
             f"\nDone\n\nError writing output file {read}")]:
        run = tool.run(*arguments, config=config, wrapper=FULL_DISK)
        assert run.code == FAILURE and run.output.endswith(ending), run.output
    assert image.read_bytes() == b"the image from before"
    assert read.read_bytes() == b"the read from before" and not partial_files(tool.dir)


def test_a_read_only_folder_loses_nothing(tool):
    folder = tool.dir / "read-only"
    folder.mkdir()
    kept = folder / "kept.bin"
    kept.write_bytes(b"kept")
    # Immutable even for the superuser, under whom the tests may run.
    if subprocess.run(["chattr", "+i", folder], stderr=subprocess.DEVNULL).returncode != 0:
        pytest.skip("this system cannot make a folder read-only for every user")
    try:
        assert tool.run("/gen_blob_v1_0", kept)[:2] == (
            f"Writing AVR config block...\nError opening output file {tool.host(kept)}", FAILURE)
        run = tool.run("/i2c_rd", "/out", kept, "/size", "1")
        assert run.code == FAILURE
        assert run.output.endswith(f"\nError writing output file {tool.host(kept)}\n")
    finally:
        subprocess.run(["chattr", "-i", folder])
    assert kept.read_bytes() == b"kept" and not partial_files(folder)


def test_malformed_stand_in_files(tool):
    assert tool.run("/v", config="[gen3]\nindex = first\n")[:2] == (NO_CARDS, FAILURE)
    tool.state.write_text("card 0\nflash zz\n")
    assert tool.run("/v", config=tool.card(tool.host_section()))[:2] == (VERSION_OUTPUT, 0)
    assert tool.state.read_text() == "card 0\nflash zz\n", "a state file it cannot read is kept"
