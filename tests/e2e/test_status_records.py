# The status record of each board profile as "/status" prints it, whole. The records are chosen so
# that a wrong offset, scale, sign or bit shows: neighbouring readings differ, temperatures go below
# zero, flag bytes mix set and clear bits, and bytes that no line reads hold values that would show
# if one did.
import json
import re

import pytest

T, F = "   true", "  false"
CHANNELS = ([f"ADC A{i}" for i in range(1, 8)] + [f"ADC B{i}" for i in range(1, 8)] +
            [f"TMP{i}" for i in range(4)])


def lines(entries):
    """The record's lines from "name: value" entries, each name right-aligned in 25 columns;
    entries are separated by "|" or a new line, and T and F stand for the flags' values."""
    text = ""
    for entry in filter(None, (e.strip() for e in re.split(r"[|\n]", entries))):
        name, value = entry.split(": ", 1)
        text += f"\n{name:>25}: {dict(T=T, F=F).get(value, value)}"
    return text


def ranges(nibbles):
    """The range lines of the later boards, from one hex digit per channel (A1-A7, B1-B7,
    TMP0-TMP3): Under Range, Over Range, Critical and OK, the digit's bits from the lowest."""
    states = ("Under Range", "Over Range", "Critical", "OK")
    digits = [int(digit, 16) for digit in nibbles.replace(" ", "")]
    return "".join(f"\n{channel + ' ' + state:>25}: {T if digit >> bit & 1 else F}"
                   for channel, digit in zip(CHANNELS, digits) for bit, state in enumerate(states))


LARGE_BOARD_LINES = lines("""
    ETC: 12427 days, 13 hours, 37 min.s, 3 sec.s | Events: 65537
    A1 VPWR_ADCMP:  12.000 V | A2 12V0_DIG_ADCMP:   5.000 V | A3 5V0_DIG_ADCMP:   3.300 V
    A4 3V3_DIG_ADCMP:   2.500 V | A5 2V5_DIG_ADCMP:   2.000 V
    A6 VCC_AUX_IO_2V0_ADCMP:   1.800 V | A7 1V8_DIG_ADCMP:   1.500 V
    B1 1V8_VCCAUX_ADCMP:   1.800 V | B2 MGT_AVCC_AUX_1V8_ADCMP:   1.200 V
    B3 VCC_DRAM_ADCMP:   1.000 V | B4 ZKM_VIO_ADCMP:   1.250 V | B5 1V0_DIG_ADCMP:   1.000 V
    B6 TGT_AVCC_1V2_ADCMP:   0.000 V | B7 TGT_AVCC_1V0_ADCMP:  16.000 V
    TMP0 AVR Temperature:  20.600 C | TMP1 PCB Temperature:  -0.025 C
    TMP2 Bridge Temperature: -273.150 C | TMP3 Target Temperature:  39.350 C
    PSU_OK_0: T | MezPres0: T | FPGADone0: T | FPGADone1: F | Force 2V5 0: F | Force 2V5 1: F
    PCIe Reset: T | ZKM Present: T | ZKM VIO Enabled: T | ZKM I2C Failed: T
    ZKM Checksum Error: T | ZKM Missing Data: T | ZKM Force 2V5: T | SI5338 init OK: T
    Interrogate OK: F | Op 1 OK: T""") + ranges("8124800 3000810 0F84") + lines(
    "Si5338: Error 0x2: Type 0x1")

# Library model codes with the same profile share a row; a record's unset bytes are 0.
PROFILES = {
    "0x104": ("ST", "ff171500a5010203e803800c00000020d007ffff850d0100bc02a00f802a403f", lines("""
        ETC: 3 days, 23 hours, 59 min.s, 59 sec.s | Events: 66306
        ADC 0:   1.444 V | ADC 1:  12.500 V | ADC 2:   0.000 V | ADC 3:   3.000 V
        ADC 4:   2.889 V | ADC 5:  94.665 V | ADC 6:   4.999 V | ADC 7:   0.001 V
        ADC 8:   1.011 V | AVR Temperature: -23.150 C | PCB Temperature:  42.500 C
        Bridge Temperature:  63.250 C | XMC_GA0: T | XMC_GA1: F | XMC_GA2: T | AVCC_POWER_OK: F
        VREF_DRAM_OK: F | MVMRO: T | MBIST_L: F | Switch: T""")),
    "0x105 0x106": ("SX", "000000000f00ff000005e803d007b80ba00f88137017581b401f1027204e3075"
                          "01805c1200198019400041", lines("""
        ETC: 0 days, 0 hours, 0 min.s, 0 sec.s | Events: 255 | ADC 0:   5.000 V
        ADC 1:   1.462 V | ADC 2:   2.925 V | ADC 3:   4.387 V | ADC 4:   5.850 V
        ADC 5:   7.312 V | ADC 6:   8.774 V | ADC 7:  10.237 V | ADC 8:  11.699 V
        ADC 9:   3.551 V | ADC 10:   7.102 V | ADC 11:  10.653 V | AVR Temperature:  20.600 C
        PCB Temperature:  25.000 C | Bridge Temperature:  25.500 C
        Target Temperature:   0.250 C | STATUS_PERST_L: T | STATUS_BRG_DONE_3V3: T
        STATUS_TGT_DONE_3V3: T | STATUS_VREF_DRAM_OK: T | STATUS_AVR_SERV_L: F
        STATUS_AVR_RST_L: F | STATUS_RSRVD_0: F | STATUS_RSRVD_1: F
        TMP0 (AVR) Warning LOW: T | TMP0 (AVR) Warning HIGH: F | TMP1 (Brd) Warning LOW: F
        TMP1 (Brd) Warning HIGH: F | TMP2 (Brd) Warning LOW: F | TMP2 (Brd) Warning HIGH: F
        TMP3 (Tgt) Warning LOW: F | TMP3 (Tgt) Warning HIGH: F | TMP0 (AVR) Critical LOW: F
        TMP0 (AVR) Critical HIGH: F | TMP1 (Brd) Critical LOW: F | TMP1 (Brd) Critical HIGH: F
        TMP2 (Brd) Critical LOW: F | TMP2 (Brd) Critical HIGH: F | TMP3 (Tgt) Critical LOW: F
        TMP3 (Tgt) Critical HIGH: T | FMC_PRESENT: T | FMC_PG_C2M: F | FMC_PG_M2C: F
        FMC_VADJ_VSEL0: F | FMC_VADJ_VSEL1: F | FMC_VADJ_VSEL2: F | STATUS_RSRVD_0: T
        STATUS_RSRVD_1: F""")),
    "0x107": ("SX", "00460500ffffff123456000ce803d007b80ba00f88137017581b401f1027204e" + "ff" * 32,
              lines("""
        ETC: 1 days, 0 hours, 0 min.s, 0 sec.s | Events: 1201716 | ADC 0:  12.000 V
        ADC 1:   1.462 V | ADC 2:   2.925 V | ADC 3:   4.387 V | ADC 4:   5.850 V
        ADC 5:   7.312 V | ADC 6:   8.774 V | ADC 7:  10.237 V | ADC 8:  11.699 V
        ADC 9:   3.551 V | ADC 10:   7.102 V""")),
    "0x109 0x10B": ("SX", "ffffffff010001ffeeee00c00050cd3400280020cd1c0018ffffcc1c33130010"
                          "001401100000ffff5c121211000088130144107b05218f2184003f008001f048",
                    LARGE_BOARD_LINES),
    "0x10C": ("SX", "60b905001020304000000010002000300040005000600070ffff0008000400022c01"
                    "640000a000f05c12c012301113114280002106050f0000000f0000000080", lines("""
        ETC: 1 days, 2 hours, 3 min.s, 4 sec.s | Events: 3153936
        A1 12V0_DIG_ADCMP:   1.000 V | A2 5V0_DIG_ADCMP:   2.000 V | A3 3V3_DIG_ADCMP:   3.000 V
        A4 2V5_DIG_ADCMP:   4.000 V | A5 VCC_AUX_IO_2V0_ADCMP:   5.000 V
        A6 1V8_DIG_ADCMP:   6.000 V | A7 1V8_VCCAUX_ADCMP:   7.000 V
        B1 MGT_AVCC_AUX_1V8_ADCMP:   0.500 V | B2 VCC_DRAM_ADCMP:   0.250 V
        B3 FMC_VADJ_ADCMP:   0.125 V | B4 1V0_DIG_ADCMP:   0.073 V
        B5 TGT_AVCC_1V2_ADCMP:   0.024 V | B6 TGT_AVCC_1V0_ADCMP:  10.000 V
        B7 BRG_AVCC_1V0_ADCMP:  15.000 V | TMP0 AVR Temperature:  20.600 C
        TMP1 PCB Temperature:  26.850 C | TMP2 Bridge Temperature:   1.850 C
        TMP3 Target Temperature:   0.038 C | POK: F | FMC_VADJ_POK: T | PG_M2C: T
        FMC_PRSNT_3V3_L: F | BRG_DONE: F | TGT_DONE: T | VPX_SYSRESET_L: F | MEZ_PRESENT: T
        MEZ_VIO_EN: F | MEZ_I2C_FAIL: F | MEZ_CHECKSUM: F | MEZ_DATA_MISSING: T
        SI5338 init OK: F | Interrogate OK: T | Op 1 OK: T""") + ranges("0000000 0000000 0008") +
              lines("Si5338: OK")),
}


@pytest.mark.parametrize("models", PROFILES)
def test_status_prints_the_whole_record_of_each_profile(tool, models):
    letters, record, expected = PROFILES[models]
    for model in models.split():
        run = tool.run("/status", config=tool.card(f"model = {model}\nstatus = {record}\n"))
        assert run[:2] == (f"0x{ord(letters[0]):02x} 0x{ord(letters[1]):02x} \n{letters}=\n" +
                           expected + "\n", 0), model


def test_only_the_models_with_a_profile_are_usable(tool):
    models = range(0x103, 0x10E)
    run = tool.run("/list", "/json", config="".join(
        tool.card(f"model = {model}\n").replace("index = 0", f"index = {i}")
        for i, model in enumerate(models)))
    usable = [card["support"] == "usable" for card in json.loads(run.output)["cards"]]
    assert dict(zip(map(hex, models), usable)) == {
        "0x103": False, "0x104": True, "0x105": True, "0x106": True, "0x107": True, "0x108": False,
        "0x109": True, "0x10a": False, "0x10b": True, "0x10c": True, "0x10d": False}


def test_a_card_without_a_profile_shows_an_empty_record(tool):
    run = tool.run("/fo", config=tool.card("model = 0x108\n"), input="ST?\nSX?\nexit\n")
    assert run[:2] == ("\nWarning! Selected card not supported.\n"
                       "\nForce open specified. Attempting to open unsupported card.\n"
                       "0x53 0x54 \nST=\n\n0x53 0x58 \nThis board does not support SX? (Extended "
                       "Status). Please use ST? (Status) instead.\n", 0)
