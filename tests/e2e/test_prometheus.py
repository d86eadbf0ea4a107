# The Prometheus collector of contrib/prometheus against a host of three cards: one whose firmware
# answers, one whose firmware is silent and one that another run holds. The file it writes passes
# promtool, and each card is reported, the two it cannot read with mistle_card_up 0.
import os
import pathlib
import shutil
import subprocess
import threading
import time

import pytest

from conftest import After

COLLECTOR = pathlib.Path(__file__).parents[2] / "contrib" / "prometheus" / "mistle-collector"
HOST = """[gen3]
index = 0
serial = 10001
[gen3]
index = 1
serial = 10002
fault = silent
[gen3]
index = 2
serial = 10003
"""


@pytest.mark.skipif(os.environ.get("MISTLE_WINE", "") != "", reason="a Linux service")
def test_collector_reports_every_card_and_promtool_accepts_the_file(tool):
    if shutil.which("promtool") is None:
        pytest.skip("promtool is missing") if os.environ.get("CI") != "true" else pytest.fail(
            "promtool is missing")
    holder = threading.Thread(target=tool.run, args=("/index", "2"), kwargs=dict(
        input="VN?\n", steps=(After("VN=2.4.0.17\n", "exit\n", 7),), config=HOST))
    holder.start()
    time.sleep(1.5)
    environment = tool._environment(HOST, True, tool.dir / "tmp", tool.dir / "tmp")
    output = tool.dir / "textfiles"
    output.mkdir()
    collected = subprocess.run([str(COLLECTOR), "--mistle", os.environ["MISTLE_TOOL"],
                                "--output", str(output)], env=environment, check=False,
                               capture_output=True, text=True, timeout=60)
    holder.join()
    assert collected.returncode == 0, collected.stderr
    assert [path.name for path in output.iterdir()] == ["mistle.prom"]
    text = (output / "mistle.prom").read_text()
    subprocess.run(["promtool", "check", "metrics"], input=text, text=True, check=True)
    card = 'serial="{}",model="vexa11",index="{}"'
    assert f"mistle_card_up{{{card.format(10001, 0)}}} 1\n" in text
    assert f"mistle_card_up{{{card.format(10002, 1)}}} 0\n" in text
    assert f"mistle_card_up{{{card.format(10003, 2)}}} 0\n" in text
    assert f'mistle_card_down_reason{{{card.format(10002, 1)},reason="no_status"}} 1\n' in text
    assert f'mistle_card_down_reason{{{card.format(10003, 2)},reason="in_use"}} 1\n' in text
    assert (f'mistle_card_reading_volts{{{card.format(10001, 0)},sensor="A1 12V0_DIG_ADCMP"}} '
            "12.0\n") in text
    assert f'mistle_card_firmware_version_info{{{card.format(10001, 0)},version="2.4.0.17"}} 1\n' \
        in text
    assert f"mistle_card_elapsed_time_seconds{{{card.format(10001, 0)}}} 3215550.0\n" in text
