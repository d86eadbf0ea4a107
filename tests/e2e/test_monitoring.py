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
    steps = (After("VN=2.4.0.17\n", "exit\n", 6 + tool.startup),)
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


# A mode check answers before any command runs, also with /json: the document reports on none.
@pytest.mark.parametrize("config, arguments", [
    ("boot-loader.ini", ["/sm", "/w", "missing.bin", "0"]), ("", ["/am", "/v"]),
    ("", ["/sm", "/status"])])
def test_a_mode_check_answers_instead_of_the_command(tool, config, arguments):
    text, document = both(tool, *arguments, config=config)
    assert document["command"] is None and document["exit_code"] == (-1 if text.code else 0)


# A run that fails says why in its document, with the line it prints as text.
@pytest.mark.parametrize("config, arguments, libraries", [
    ("", ["/list"], False),
    ("", ["/v"], False),
    ("[gen3]\nindex = 0\nfault = silent\n", ["/v"], True),
    ("", ["/sn", "4", "/v"], True),
    ("boot-loader.ini", ["/w", "missing.bin", "0"], True),
    ("", ["/bus", "1"], True),  # /json serves /list, /status, /v, /w, /c and /r only
])
def test_failures_give_one_document_with_the_message(tool, config, arguments, libraries):
    text = tool.run(*arguments, config=config, libraries=libraries)
    document = json.loads(tool.run(*arguments, "/json", config=config,
                                   libraries=libraries).output)
    assert document["exit_code"] == -1 and document["error"]
    if text.code == FAILURE:
        assert document["error"] in text.output


def status_text(status):
    """What the console prints for the record that the document holds."""
    letters = status["request"][:2]
    text = " ".join(f"0x{ord(c):02x}" for c in letters) + f" \n{letters}=\n"
    if "elapsed_time" in status:
        quarters = round(status["elapsed_time"]["seconds"] * 4)
        text += (f"\n{status['elapsed_time']['name']:>25}: {quarters // 345600} days, "
                 f"{quarters // 14400 % 24} hours, {quarters // 240 % 60} min.s, "
                 f"{quarters // 4 % 60} sec.s")
    if "event_count" in status:
        text += f"\n{status['event_count']['name']:>25}: {status['event_count']['value']}"
    text += "".join(f"\n{r['name']:>25}: {r['value']: 7.3f} {r['unit']}" for r in status["readings"])
    text += "".join(f"\n{f['name']:>25}: {'true' if f['value'] else 'false':>7}"
                    for f in status["flags"])
    if "clock_status" in status:
        clock = status["clock_status"]
        text += f"\n{clock['name']:>25}: " + (
            "OK" if clock["ok"] else f"Error 0x{clock['error']:x}: Type 0x{clock['type']:x}")
    return text + "\n"


# One board of each profile: the record as the console prints it, and nothing after it.
@pytest.mark.parametrize("model, request_, readings, flags", [
    ("0x104", "ST?", 12, 8),
    ("0x105", "SX?", 16, 32),
    ("0x107", "SX?", 11, 0),
    ("0x109", "SX?", 18, 88),
    ("0x10C", "SX?", 18, 87),
])
def test_status_prints_the_record_of_every_board_profile(tool, model, request_, readings, flags):
    text, document = both(tool, "/status", config=tool.card(f"model = {model}\n"))
    status = document["status"]
    assert text.code == 0 and text.seconds < 1 + tool.startup
    assert (status["request"], len(status["readings"]), len(status["flags"])) == (
        request_, readings, flags)
    assert text.output == status_text(status)


@pytest.mark.parametrize("config, arguments, line", [
    ("[gen3]\nindex = 0\nfault = silent\n", [], "No status record came within 2000 ms of SX?."),
    ("[gen3]\nindex = 0\nfault = stop_mid_reply\n", [],
     "The reply SX= stopped after 32 of 64 bytes; it was dropped."),
    ("boot-loader.ini", [], "The card runs its boot loader, which keeps no status record."),
    ("[gen3]\nindex = 0\nmodel = 0x108\n", ["/fo"],
     "This card has no board profile: its status record cannot be read."),
])
def test_status_fails_with_one_line(tool, config, arguments, line):
    text, document = both(tool, "/status", *arguments, config=config)
    assert text.code == FAILURE and text.output.endswith(f"\n{line}\n")
    assert document["error"] == line
