# Each wait of the tool ends only on the answer to its own request: a reply of another kind, or one
# that the firmware began before the request was whole, is shown and answers nothing. Each case is
# run a few times, since which of the tool's two threads comes first varies from run to run.
import os
import pathlib

import cardstate
from conftest import pattern

RUNS = 4


def test_a_frequency_reply_is_not_taken_for_the_counter_configuration(tool):
    # The counter was blown by an earlier run: its protections are the device's own flags.
    tool.state.write_text("card 0\ni2c 0 0x6b 0x00 30\nflags 0 0x6b 48\n")
    for _ in range(RUNS):
        tool.trace.unlink(missing_ok=True)
        run = tool.run(config=tool.card(tool.host_section(trace=True)), input="GF\n0\nXX\n")
        assert run.code == 0 and "\nInfo: ETC counter has already been blown!\n" in run.output
        received = [line for line in tool.trace.read_text().splitlines() if " received " in line]
        assert "Sending I2C Write" not in run.output and "49 57 3f" not in received[0]


def test_a_read_reply_waiting_from_before_is_not_taken_for_a_register(tool):
    registers = pattern(16, 5)
    cardstate.write(tool.state, {0: (b"", {(0, 0x50): registers})})
    scenario = pathlib.Path(os.environ["MISTLE_SCENARIO_DIR"]) / "stale-reply.ini"
    out = tool.dir / "out.bin"
    for _ in range(RUNS):
        run = tool.run("/i2c_rd", "/out", out, "/ca", "0x50", "/size", "16",
                       config=scenario.read_text() + tool.host_section())
        assert run.code == 0 and out.read_bytes() == registers
        assert run.output.startswith("0x49 0x52 \nI2C Read Data = 0xeeeeeeee eeeeeeee\n")
