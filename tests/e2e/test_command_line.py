# The command line and the runs that need no card: the help; every option whose value is missing
# or would reach something else, each refused with its own line; and the configuration image:
# 256 bytes, the gains little-endian after a two-byte header, zeros, and a last byte that makes
# the sum of all bytes zero, written without any board library in place of whatever the file held.
import pathlib

import pytest

from conftest import FAILURE

HELP = """

mistle.exe Help

mistle.exe (All modes)

/?                             - Display help
/am                            - Application mode check
/sm                            - Service mode check
/fs                            - Force mistle service mode
/fa                            - Force mistle application mode
/fo                            - Force open selected card
/sn <serial num.>              - Open board with serial number
/index <index>                 - Open board with index

/gen_blob_v1_0 <file_name>     - Generate AVR config. image
/gen_gain0 <gain>              - Set gain 0 for AVR config. image
/gen_gain1 <gain>              - Set gain 0 for AVR config. image

mistle.exe (Service mode)

/v                                         - Read boot loader version
/r <output_file_name> <offset> [file_size] - Read back from flash memory
/w <input_file_name> <offset>              - Write to flash memory
/c <input_file_name> <offset>              - Compare flash memory to file

mistle.exe (Application mode)

/v                             - Read application version
/blow_etc                      - Reset and blow ETC counter
/sd                            - Request self-destruct
/i2c_rd                        - Perform an i2c read
/i2c_wr                        - Perform an i2c write
/i2c_vr                        - Verify an i2c write
/in <file_name>                - Specify input filename for i2c write
/bus                           - Specify bus for i2c
/out <file_name>               - Specify output filename for i2c read
/size                          - Specify size of i2c operation
/ca                            - Specify chip address used in i2c operation
/a                             - Specify address used in i2c operation"""
DONE = "Writing AVR config block......done\n"
IMAGE = pathlib.Path("never-written.bin")  # relative to the folder the tool runs in


def gain(option):
    return f"\n{option} must be followed by gain setting.\n"


def not_a(option, what, value):
    return f"\n{option} must be followed by {what}, not {value}\n"


TOGETHER = "\n/index and /sn can not be used together.\n"
SIZE = "\n/size must be followed by size in bytes (in hex: 0x0)\n"
CHIP = "a chip address from 0x0 to 0xff"
BUS = "a bus index from 0 to 255"
BYTES = "a size in bytes (in hex: 0x0)"
SERVICE = "boot-loader.ini"
BOOT_LOADER = "\nBootloader Version: 1.3.0.5\n"


def test_help_without_a_board_library(tool):
    assert tool.run("/?", libraries=False)[:2] == (HELP, 0)


# The first pass takes the options that need no card: the help ends the run wherever it stands,
# though not as the value of an option, and the first option that fails is the one reported. The
# second pass, on the card, checks the mode before all else, names what it does not know and
# refuses values out of range.
@pytest.mark.parametrize("config, arguments, output, code", [
    ("", ["/am", "/fo", "/?", "/sn"], HELP, 0),
    ("", ["/sn", "1", "/index", "2", "/?"], HELP, 0),
    ("", ["/gen_blob_v1_0", "unused.bin", "/gen_gain0", "/?"], gain("/gen_gain0"), FAILURE),
    ("", ["/gen_gain0", "8000", "/?"], gain("/gen_gain0"), FAILURE),
    ("", ["/gen_blob_v1_0"], gain("/gen_blob_v1_0"), FAILURE),
    ("", ["/gen_gain0"], gain("/gen_gain0"), FAILURE),
    ("", ["/gen_gain1"], gain("/gen_gain1"), FAILURE),
    ("", ["/gen_gain1", "0xzz"], gain("/gen_gain1"), FAILURE),
    ("", ["/gen_gain1", "0X10"], gain("/gen_gain1"), FAILURE),
    ("", ["/gen_gain1", "bad", "/gen_gain0", "bad"], gain("/gen_gain1"), FAILURE),
    ("", ["/gen_blob_v1_0", IMAGE, "/gen_gain1", "ABCD"], gain("/gen_gain1"), FAILURE),
    ("", ["/am", "/sn"], "\n/sn must be followed by serial number.\n", FAILURE),
    ("", ["/sn", "/v"], "\n/sn must be followed by serial number.\n", FAILURE),
    ("", ["/index"], "\n/index must be followed by index.\n", FAILURE),
    ("", ["/index", "first"], "\n/index must be followed by index.\n", FAILURE),
    ("", ["/sn", "5", "/index", "1"], TOGETHER, FAILURE),
    ("", ["/index", "1", "/gen_blob_v1_0", IMAGE, "/sn", "5"], TOGETHER, FAILURE),
    ("", ["/gen_gain0", "0x1234", "/sn", "10001", "/frob", "/fo", "/bus", "1"],
     "\nUnknown argument: /gen_gain0\n\nUnknown argument: 0x1234\n\nUnknown argument: /frob\n", 0),
    ("", ["/v", "/in"], "\n/in must be followed by file name\n", FAILURE),
    ("", ["/v", "/out"], "\n/out must be followed by file name\n", FAILURE),
    ("", ["/v", "/lb"], SIZE, FAILURE),
    ("", ["/v", "/size"], SIZE, FAILURE),
    ("", ["/v", "/bus"], "\n/bus must be followed by bus index\n", FAILURE),
    ("", ["/v", "/ca"], "\n/ca must be followed by chip address (in hex: 0x0)\n", FAILURE),
    ("", ["/v", "/a"], "\n/a must be followed by address offset (in hex: 0x0)\n", FAILURE),
    ("", ["/i2c_wr", "/ca", "0x150"], not_a("/ca", CHIP, "0x150"), FAILURE),
    ("", ["/ca", "zz"], not_a("/ca", CHIP, "zz"), FAILURE),
    ("", ["/i2c_wr", "/a", "256"], not_a("/a", "an address offset from 0x0 to 0xff", "256"), FAILURE),
    ("", ["/bus", "-1"], not_a("/bus", BUS, "-1"), FAILURE),
    ("", ["/bus", "two"], not_a("/bus", BUS, "two"), FAILURE),
    ("", ["/lb", "-16"], not_a("/lb", BYTES, "-16"), FAILURE),
    ("", ["/size", "99999999999"], not_a("/size", BYTES, "99999999999"), FAILURE),
    (SERVICE, ["/r", "/v"], "\nMust specify filename and flash offset after /r\n", FAILURE),
    (SERVICE, ["/v", "/w"], BOOT_LOADER + "\nMust specify filename after /w\n", FAILURE),
    (SERVICE, ["/c", "/v"], "\nMust specify filename after /c\n", FAILURE),
    (SERVICE, ["/r", IMAGE, "0", "/sm"], "\nSystem is in service mode.\n", 0),  # checked first
    (SERVICE, ["/v", "/am", "/sm"], "\nSystem is not in application mode!\n", FAILURE),
    (SERVICE, ["/v", "/w", "image.bin", "O"],
     BOOT_LOADER + "\n/w: 'O' is not a flash offset or size (decimal, or hexadecimal after 0x)\n",
     FAILURE),
])
def test_option_values_missing_or_out_of_range(tool, config, arguments, output, code):
    assert tool.run(*arguments, config=config)[:3] == (output, code, False)
    assert not (tool.dir / IMAGE).exists()


# Written over a longer file, with the gain options after the file name or before it.
@pytest.mark.parametrize("gains, head, checksum", [
    ([], "00 01 00 80 00 80", 0xFF),  # the default gains
    (["/gen_gain0", "0x1234", "/gen_gain1", "0xABCD"], "00 01 34 12 cd ab", 0x41),
    (["/gen_gain0", "0x12345", "/gen_gain1", "0x1"], "00 01 34 12 01 00", 0xB8),  # 4 digits count
    (["/gen_gain0", "0x0", "/gen_gain1", "0x0"], "00 01 00 00 00 00", 0xFF),
    (["/gen_gain0", "0xFFFF", "/gen_gain1", "0xffff"], "00 01 ff ff ff ff", 0x03),
    (["/gen_gain0", "0x8001", "/gen_gain1", "0x8001"], "00 01 01 80 01 80", 0xFD),
    (["/gen_gain0", "0x00FF", "/gen_gain1", "0x00FF"], "00 01 ff 00 ff 00", 0x01),
])
def test_image_holds_the_gains_and_sums_to_zero(tool, gains, head, checksum):
    images = []
    for arguments in (["/gen_blob_v1_0", tool.dir / "image.bin", *gains],
                      [*gains, "/gen_blob_v1_0", tool.dir / "image.bin"]):
        (tool.dir / "image.bin").write_bytes(b"x" * 5000)
        assert tool.run(*arguments, libraries=False)[:3] == (DONE, 0, False)
        images.append((tool.dir / "image.bin").read_bytes())
    image = images[0]
    assert len(image) == 256 and image[:6].hex(" ") == head
    assert image[6:255] == bytes(249) and image[255] == checksum and sum(image) % 256 == 0
    assert images[1] == image


def test_a_file_that_cannot_be_created_fails_the_run(tool):
    unreachable = tool.dir / "no-such-folder" / "image.bin"
    assert tool.run("/gen_blob_v1_0", unreachable)[:2] == (
        f"Writing AVR config block...\nError opening output file {tool.host(unreachable)}", FAILURE)
