# The forms for scripts and monitoring: the card list, the one-shot status and the JSON document
# of each. Every row runs the command twice, as text and with /json, and the document must say
# what the text says (the fixture checks each document against the schema).
import json
import re
import threading
import time

import pytest

from conftest import FAILURE, After

HOLDER = ("/bin/sh", "-c", 'echo $$; exec "$0" "$@"')  # a shell that says the tool's process id
MIXED = """[gen2]
index = 3
serial = 555
[gen3]
index = 0
serial = 10001
[gen3]
index = 1
serial = 10002
mcu = service
[gen3]
index = 2
serial = 10003
model = 0x200
[gen3]
index = 3
serial = 10004
"""


def both(tool, *arguments, **settings):
    """The run as text and the document of the same run with /json, with equal exit codes."""
    text = tool.run(*arguments, **settings)
    document = tool.run(*arguments, "/json", **settings)
    assert not text.timed_out and document.code == text.code
    return text, json.loads(document.output)


def list_line(card):
    """The line of /list that says what the document's entry says."""
    support = {"usable": "usable", "unsupported_model": "unsupported model", "gen2": "Gen 2"}
    line = (f"\nslot {card['slot']}: Gen {card['generation']} index {card['index']}, "
            f"S/N: {card['serial_number']}, {card['model_name']}-{card['fpga_name']}, "
            f"model {card['model_number']}, {support[card['support']]}")
    if card["in_use"]:
        held = card["held_by"]
        return line + (f", in use by process {held}" if held else ", in use by another run")
    program = {"application": ", application firmware", "boot_loader": ", boot loader",
               None: ", cannot be opened" if card["support"] == "usable" else ""}
    return line + program[card["program"]]


def test_list_shows_every_card_without_waiting_for_the_one_in_use(tool):
    holder = {}
    steps = (After("VN=2.4.0.17\n", "exit\n", 6),)
    thread = threading.Thread(target=lambda: holder.update(run=tool.run(
        "/index", "3", input="VN?\n", steps=steps, config=MIXED,
        wrapper=HOLDER if tool.signals else ())))
    thread.start()
    time.sleep(2 + tool.startup)
    text, document = both(tool, "/list", config=MIXED)
    thread.join()
    assert text.code == 0 and text.seconds < 2 + tool.startup
    assert text.output == "".join(map(list_line, document["cards"])) + "\n"
    cards = {card["slot"]: card for card in document["cards"]}
    assert list(cards) == [3, 15, 16, 17, 18]
    assert [cards[slot]["support"] for slot in cards] == ["gen2"] + ["usable"] * 2 + [
        "unsupported_model", "usable"]
    assert [cards[slot]["program"] for slot in cards] == [None, "application", "boot_loader",
                                                           None, None]
    assert cards[18]["in_use"] and not any(cards[slot]["in_use"] for slot in (3, 15, 16, 17))
    if tool.signals:
        assert cards[18]["held_by"] == int(holder["run"].output.split("\n")[0])


@pytest.mark.parametrize("config, arguments, program, version", [
    ("", ["/v"], "application", "2.4.0.17"),
    ("boot-loader.ini", ["/v"], "boot_loader", "1.3.0.5"),
    (MIXED, ["/sn", "10002", "/v", "/v"], "boot_loader", "1.3.0.5"),
])
def test_version_document_names_the_program_and_the_version(tool, config, arguments, program,
                                                            version):
    text, document = both(tool, *arguments, config=config)
    assert text.code == 0 and document["program"] == program
    assert document["version"] == {"numbers": [int(n) for n in version.split(".")],
                                   "text": version}
    assert re.search(rf"\n(VN=|Bootloader Version: ){re.escape(version)}\n$", text.output)


# A run that fails says why in its document, with the line it prints as text.
@pytest.mark.parametrize("config, arguments, libraries", [
    ("", ["/list"], False),
    ("", ["/v"], False),
    ("[gen3]\nindex = 0\nfault = silent\n", ["/v"], True),
    ("", ["/sn", "4", "/v"], True),
    ("", ["/bus", "1"], True),  # /json serves /list, /status and /v only
])
def test_failures_give_one_document_with_the_message(tool, config, arguments, libraries):
    text = tool.run(*arguments, config=config, libraries=libraries)
    document = json.loads(tool.run(*arguments, "/json", config=config,
                                   libraries=libraries).output)
    assert document["exit_code"] == -1 and document["error"]
    if text.code == FAILURE:
        assert document["error"] in text.output


def test_runs_with_temporary_folders_of_their_own_still_share_the_card_lock(tool):
    locks = tool.dir / "locks"
    holder = threading.Thread(target=tool.run, kwargs=dict(
        input="VN?\n", steps=(After("VN=2.4.0.17\n", "exit\n", 5),), tmpdir=tool.dir / "a",
        locks=locks))
    holder.start()
    time.sleep(1.5 + tool.startup)
    second = tool.run("/v", tmpdir=tool.dir / "b", locks=locks)
    holder.join()
    assert second.code == FAILURE and second.seconds > 2.5
    assert second.output.startswith("\nThe selected card is in use by another run of the tool")
