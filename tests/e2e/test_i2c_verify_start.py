# "/i2c_vr" reads the device from the "/a" register on, wrapping at 256 as the write does, and its
# error lines name the registers.
import re

from conftest import FAILURE, pattern


def test_the_verify_starts_where_the_write_did(tool):
    config = tool.card() + tool.host_section()
    (tool.dir / "f.bin").write_bytes(pattern(12, 7))  # no two neighbours alike
    at = ("/in", "f.bin", "/ca", "0x50", "/a")
    assert tool.run("/i2c_wr", *at, "0xf8", config=config).code == 0
    run = tool.run("/i2c_vr", *at, "0xf8", config=config)
    assert run.code == 0 and run.output.endswith("\rVerified: 12 bytes\n")
    run = tool.run("/i2c_vr", *at, "0xf9", config=config)  # each byte against its neighbour
    errors = re.findall(r"\nError at address (0x[0-9a-f]{4}),", run.output)
    assert run.code == FAILURE and errors == [f"0x{(0xF9 + i) % 256:04x}" for i in range(11)]
