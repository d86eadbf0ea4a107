# I2C transfers between files and the board's devices, the verify, and the elapsed-time counter,
# against the stand-in's devices kept in a state file: they start empty in each test and keep what
# it writes from run to run.
import struct
import time

import cardstate
from conftest import FAILURE, pattern


def read_lines(chip, reg, value):
    """What one register read prints, with the byte the device answered."""
    return (f"\nSending I2C Read: 0x{chip & 0xFF:02x}:0x{reg & 0xFF:02x} 1 bytes...\n0x49 0x52 "
            f"\nI2C Read Data = 0x00000000 000000{value:02x}\n")


def write_lines(chip, reg):
    return f"\nSending I2C Write: 0x{chip & 0xFF:02x}:0x{reg & 0xFF:02x} 1 bytes...\n0x49 0x57 "


def write_output(data, chip, start):
    return "Writing data..." + "".join(write_lines(chip, start + j) for j in range(len(data))) + \
        "...done!"


def read_output(data, chip, start):
    return (f"\nReading back {len(data)} bytes of data...\n" +
            "".join(read_lines(chip, start + i, byte) for i, byte in enumerate(data)) +
            "\n...done! Writing data to file...\n\n...done\n")


def run(tool, *arguments, card=""):
    return tool.run(*arguments, config=tool.card(card) + tool.host_section())


def test_a_file_round_trips_through_a_device_and_is_verified_across_runs(tool):
    data = pattern(20, 3)
    source, out = tool.file("in.bin", data), tool.dir / "out.bin"
    written = run(tool, "/i2c_wr", "/in", source, "/ca", "0x50")
    assert written[:2] == (write_output(data, 0x50, 0), 0)
    read = run(tool, "/i2c_rd", "/out", out, "/ca", "80", "/size", "20")
    assert read[:2] == (read_output(data, 0x50, 0), 0) and out.read_bytes() == data

    verified = "\nReadback: 0" + "".join(
        read_lines(0x50, i, data[i]) + (f"\rVerified: {i + 1} bytes" if (i + 1) % 8 == 0 else "")
        for i in range(20))
    verify = run(tool, "/i2c_vr", "/in", source, "/ca", "0x50")
    assert verify[:2] == (verified + "\rVerified: 20 bytes\n", 0)
    assert verify.seconds < read.seconds + 0.5 + tool.spread, "the verify ends with its last byte"

    # Against a file that differs in its first 12 bytes the verify stops at the eleventh.
    differing = bytes(~b & 0xFF for b in data[:12]) + data[12:]
    bad = run(tool, "/i2c_vr", "/in", tool.file("bad.bin", differing), "/ca", "0x50")
    assert bad.code == FAILURE and bad.output.count("\nError at address") == 11
    assert f"\nError at address 0x000a, expected 0x{differing[10]:02x} got 0x{data[10]:02x}\n" in \
        bad.output
    assert bad.output.endswith("\rVerified: 10 bytes\n\rFound 11 bytes containing errors\n")


def test_register_addresses_wrap_at_256(tool):
    data, out = b"\x11\x22\x33\x44", tool.dir / "out.bin"
    assert run(tool, "/i2c_wr", "/in", tool.file("wrap.bin", data), "/ca", "0x50", "/a", "0xFE")[
        :2] == (write_output(data, 0x50, 0xFE), 0)
    assert run(tool, "/i2c_rd", "/out", out, "/ca", "0x50", "/a", "254", "/size", "4")[:2] == (
        read_output(data, 0x50, 0xFE), 0)
    assert out.read_bytes() == data


def test_input_files_up_to_256_bytes(tool):
    largest = pattern(256, 9)
    assert run(tool, "/i2c_wr", "/in", tool.file("256.bin", largest), "/a", "0x10")[:2] == (
        write_output(largest, 0, 0x10), 0)
    too_large = tool.file("257.bin", pattern(257, 9))
    assert run(tool, "/i2c_wr", "/in", too_large)[:2] == (
        f"\nInput file ({tool.host(too_large)}) too large!", FAILURE)
    assert run(tool, "/i2c_wr", "/in", tool.file("empty.bin", b""))[:2] == (
        "Writing data......done!", 0)
    missing = tool.dir / "no-such-input.bin"
    assert run(tool, "/i2c_wr", "/in", missing)[:2] == (
        f"\nCould not open input file {tool.host(missing)}", FAILURE)


def test_a_read_that_cannot_complete_leaves_no_file(tool):
    out = tool.dir / "out.bin"
    assert run(tool, "/i2c_rd", "/out", out, "/size", "0")[:2] == ("", 0)  # the console runs
    assert run(tool, "/i2c_rd", "/out", out, "/size", "300")[:2] == (
        "\nAn I2C read takes at most 255 bytes; 300 were asked for. Nothing was read.\n", FAILURE)
    assert not out.exists()
    unwritable = tool.dir / "no-such-folder" / "out.bin"
    assert run(tool, "/i2c_rd", "/out", unwritable, "/size", "1")[:2] == (
        "\nReading back 1 bytes of data...\n" + read_lines(0, 0, 0) +
        "\n...done! Writing data to file...\n\nError writing output file "
        f"{tool.host(unwritable)}\n",
        FAILURE)
    out.write_bytes(b"kept")
    assert run(tool, "/i2c_rd", "/out", out, "/size", "2", card="fault = silent\n")[:2] == (
        "\nReading back 2 bytes of data...\n\nSending I2C Read: 0x00:0x00 1 bytes...\n"
        "\nNo answer to the I2C read of 0x00:0x00 within 2000 ms.\n", FAILURE)
    assert out.read_bytes() == b"kept"


def stamp(serial, second):
    """The counter's stamp: the serial number's low 16 bits, a 0, then the time in UTC."""
    t = time.gmtime(second)
    return struct.pack("<HB5BH", serial & 0xFFFF, 0, t.tm_sec, t.tm_min, t.tm_hour, t.tm_mday,
                       t.tm_mon, t.tm_year)


def test_the_elapsed_time_counter_is_blown_once(tool):
    started = int(time.time())
    first = run(tool, "/blow_etc", card="serial = 75537\n")  # 10001 in its low 16 bits
    stamped = cardstate.read(tool.state)[0].devices[(0, 0x6B)][11:21]
    assert stamped in [stamp(10001, s) for s in range(started, int(time.time()) + 1)]
    ending = ("\nPerforming final reset" + read_lines(0x6B, 0, 0x30) + write_lines(0x6B, 0) +
              write_lines(0x6B, 0x1D) + write_lines(0x6B, 0x1D) +
              "\n\nETC Counter has been blown!\n\n")
    assert first.code == 0 and len(first.output) > len(ending) and first.output.endswith(ending)
    assert " SN:10001\n\nRead  " in first.output
    again = run(tool, "/blow_etc")
    assert again.code == 0
    assert again.output.endswith(read_lines(0x6B, 0, 0x30) +
                                 "\nInfo: ETC counter has already been blown!\n")


def test_a_card_without_a_serial_number_is_not_stamped(tool):
    result = run(tool, "/blow_etc", card="serial = 0x30000\n")
    assert result.code == FAILURE and "Sending" not in result.output
