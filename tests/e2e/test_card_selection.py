# Which card a run takes, and what it says when it takes none: the mode checks, the cards found,
# the card menu, matching by serial number or index, the supported models, and the scenarios
# shipped for people trying the tool.
import pytest

from conftest import FAILURE, VERSION_OUTPUT

APPLICATION_MODE = "\nSystem is in application mode\n"
NOT_SERVICE_MODE = "\nSystem is not in service mode!\n"
SERVICE_MODE = "\nSystem is in service mode.\n"
NOT_APPLICATION_MODE = "\nSystem is not in application mode!\n"
NO_CARDS = "\nNo Corvane cards could be found that are ready for use!\n"
NO_USABLE_CARDS = ("\nNo Corvane cards that can be used with this application could be found that "
                   "are ready for use!\n")
NO_MATCH = "\nCould not find card with specified serial number or index.\n"
NOT_SUPPORTED = "\nWarning! Selected card not supported.\n"
FORCE_OPEN = "\nForce open specified. Attempting to open unsupported card.\n"
INPUT_ENDED = "\nNo card was chosen: standard input ended.\n"
BAD = "\nBad selection\n"


def gen3(index, serial, model, mcu="application", extra=""):
    return (f"[gen3]\nindex = {index}\nserial = {serial}\nmodel = {model}\nfpga = CVX-410T\n"
            f"mcu = {mcu}\n{extra}")


def gen2(index, serial, extra=""):
    return f"[gen2]\nindex = {index}\nserial = {serial}\ncard_type = 12\nfpga_type = 98\n{extra}"


APPLICATION = gen3(0, 1, "0x10C")
SERVICE = gen3(0, 1, "0x10C", "service")
THREE_CARDS = gen3(0, 30001, "0x10C") + gen3(4, 30002, "0x104", "service") + gen3(9, 30003, "0x106")
MIXED = gen2(0, 100) + gen3(0, 7, "0x10C", "service") + gen3(1, 8, "0x10C")
MENU = """
-------------------------------------------------------------------------------
-                            Select a card to use                             -
-------------------------------------------------------------------------------
-                                                                             -
-    vexa11-cvx-410t S/N: 30001...........................................1   -
-    vexa4-cvx-410t S/N: 30002                                            2   -
-    vexa6-cvx-410t S/N: 30003............................................3   -
-                                                                             -
-------------------------------------------------------------------------------

Select option:> """
SUPPORTED = ["0x104", "0x105", "0x106", "0x107", "0x109", "0x10B", "0x10C"]
UNSUPPORTED = ["0x200", "0x108", "0x10A"]  # unknown (26), 36, 38


# Forcing application mode wins over forcing service mode and over the microcontroller. A Gen 2
# card that opens counts as a card, though the tool uses none; one that cannot be opened, and a
# Gen 3 card whose library cannot open it or read its information, are not there. The menu is
# drawn for several cards and refuses bad keys. Index 0 is the first Gen 3 card, never a Gen 2
# card; of two cards with one serial number the higher slot wins.
@pytest.mark.parametrize("config, arguments, output, code, input", [
    ("", ["/am"], APPLICATION_MODE, 0, ""),  # the default card, alone
    ("", ["/sn", "10001", "/am"], APPLICATION_MODE, 0, ""),
    (APPLICATION, ["/am"], APPLICATION_MODE, 0, ""),
    (APPLICATION, ["/sm"], NOT_SERVICE_MODE, FAILURE, ""),
    (APPLICATION, ["/sm", "/am"], APPLICATION_MODE, 0, ""),
    (SERVICE, ["/sm"], SERVICE_MODE, 0, ""),
    (SERVICE, ["/am"], NOT_APPLICATION_MODE, FAILURE, ""),
    (SERVICE, ["/am", "/sm"], NOT_APPLICATION_MODE, FAILURE, ""),
    (SERVICE, ["/fs", "/fa", "/am"], APPLICATION_MODE, 0, ""),
    (SERVICE, ["/fa", "/sm"], NOT_SERVICE_MODE, FAILURE, ""),
    (APPLICATION, ["/fs", "/sm"], SERVICE_MODE, 0, ""),
    ("[host]\n", ["/am"], NO_CARDS, FAILURE, ""),
    (gen2(0, 100) + gen2(14, 114), ["/am"], NO_USABLE_CARDS, FAILURE, ""),
    (gen2(4, 104, "fail = card_info\n"), ["/am"], NO_USABLE_CARDS, FAILURE, ""),
    (gen2(3, 103, "fail = open\n") + gen3(2, 1, "0x10C", extra="fail = card_info\n"), ["/am"],
     NO_CARDS, FAILURE, ""),
    (gen3(0, 1, "0x10C", extra="fail = open\n") + gen2(1, 5), ["/am"], NO_USABLE_CARDS, FAILURE, ""),
    ("open-fails.ini", ["/am"], "\nError! The selected card could not be opened.\n", FAILURE, ""),
    (THREE_CARDS, ["/sm"], MENU + BAD + MENU + BAD + MENU + "\nBad selection : ''\n" + MENU +
     "\nBad selection : '12'\n" + MENU + SERVICE_MODE, 0, "Q\n4\n\n12\n2\n"),
    (THREE_CARDS, ["/sm"], MENU + NOT_SERVICE_MODE, FAILURE, "3\n"),
    (THREE_CARDS, ["/am"], MENU + INPUT_ENDED, FAILURE, ""),
    (THREE_CARDS, ["/am"], MENU + BAD + MENU + INPUT_ENDED, FAILURE, "x\n"),
    (MIXED, ["/index", "0", "/sm"], SERVICE_MODE, 0, ""),
    (MIXED, ["/index", "1", "/sm"], NOT_SERVICE_MODE, FAILURE, ""),
    (gen2(3, 100) + gen3(0, 7, "0x10C"), ["/index", "3", "/am"], NO_MATCH, FAILURE, ""),
    (MIXED, ["/sn", "999", "/am"], NO_MATCH, FAILURE, ""),
    (MIXED, ["/sn", "8", "/am"], APPLICATION_MODE, 0, ""),
    ("duplicate-serials.ini", ["/sn", "5555", "/sm"], SERVICE_MODE, 0, ""),
    *[(gen3(0, 1, model), ["/am"], APPLICATION_MODE, 0, "") for model in SUPPORTED],
    *[(gen3(0, 1, model), ["/am"], NOT_SUPPORTED, FAILURE, "") for model in UNSUPPORTED],
    *[(gen3(0, 1, model), ["/fo", "/am"], NOT_SUPPORTED + FORCE_OPEN + APPLICATION_MODE, 0, "")
      for model in UNSUPPORTED],
])
def test_card_and_mode_chosen(tool, config, arguments, output, code, input):
    assert tool.run(*arguments, config=config, input=input)[:3] == (output, code, False)


def test_no_cards_without_the_board_libraries(tool):
    assert tool.run("/am", libraries=False)[:2] == (NO_CARDS, FAILURE)


# The Gen 2 cards are set up as they are found, and the stand-in traces both libraries' counters
# when the tool's process ends.
def test_one_gen3_card_among_gen2_cards_is_taken_without_a_menu(tool):
    config = (gen2(0, 100) + gen2(3, 103) + gen3(14, 555, "0x10C") + gen2(14, 114) +
              tool.host_section(state=False, trace=True))
    assert tool.run("/v", config=config)[:2] == (VERSION_OUTPUT, 0)
    trace = tool.trace.read_text()
    for line in ["gen3 14 use_opens 1\n", "gen3 14 received 56 4e 3f\n",
                 "gen2 3 control_words 0x00034080 0x00031603 0x00034001 0x00040000"]:
        assert line in trace


# Each scenario still loads and shows what it promises, in its last line; the other suites run
# them for their whole output.
@pytest.mark.parametrize("scenario, arguments, input, last_line, code", [
    ("default.ini", ["/am"], "", "System is in application mode", 0),
    ("three-cards.ini", ["/sm"], "2\n", "System is in service mode.", 0),
    ("three-cards.ini", ["/index", "0", "/sm"], "", "System is not in service mode!", FAILURE),
    ("unknown-models.ini", ["/am"], "", "Warning! Selected card not supported.", FAILURE),
    ("gen2-only.ini", ["/am"], "", NO_USABLE_CARDS.strip(), FAILURE),
    ("boot-loader-small.ini", ["/v"], "", "Bootloader Version: 1.2.0.9", 0),
    ("boot-loader-silent.ini", ["/v"], "",
     "The boot loader sent no byte for 2000 ms: its version was not read.", FAILURE),
    ("boot-loader-refuses.ini", ["/w", "refused.bin", "0", "/c", "refused.bin", "0"], "",
     "4 bytes contained errors.", FAILURE),
    ("never-ready.ini", ["/am"], "", "System is in application mode", 0),
    ("firmware.ini", ["/v"], "", "VN=3.0.1.200", 0),
    ("chatty-firmware.ini", ["/am"], "", "System is in application mode", 0),
])
def test_each_shipped_scenario_shows_its_case(tool, scenario, arguments, input, last_line, code):
    (tool.dir / "refused.bin").write_bytes(b"ABCD")  # not what erased flash holds
    run = tool.run(*arguments, config=scenario, input=input)
    assert (run.output.rstrip("\n").rsplit("\n", 1)[-1], run.code) == (last_line, code)
