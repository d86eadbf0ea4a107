#!/usr/bin/env bash
# A short tour of what mistle does, run against the simulated cards of sim/scenarios/tour.ini: the
# card menu, the firmware version, the decoded status record from the console, an I2C round trip,
# and a flash round trip on a card in service mode. Each step prints one heading line and then the
# tool's own output. The tour stops at the first step that does not do what it should and ends with
# exit code 1; it ends with 0 only when every step did.
#
#   scripts/tour.sh TOOL SIM_LIBRARY_DIR [WORK_DIR]
#
# scripts/run-tool.sh runs it after building. The tour's files, and the state file that keeps the
# cards' I2C devices and flash between the steps, go to build/tour/ under WORK_DIR (by default the
# repository's root: the scenario names its state file relative to the folder the tool runs in).
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 TOOL SIM_LIBRARY_DIR [WORK_DIR]" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$(realpath "$1")
simlib=$(realpath "$2")
cd "${3:-$root}"

export TVXSIM_CONFIG="$root/sim/scenarios/tour.ini"
export LD_LIBRARY_PATH="$simlib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

# A fresh start, so that each step shows what this run did and not what an earlier tour left.
# File names stay relative: in service mode a word beginning with '/' is taken for an option.
files=build/tour
rm -rf "$files"
mkdir -p "$files/tmp"
log="$files/step.log"
# The simulated cards are the tour's own: it keeps their card locks in a temporary folder of its
# own (the seam of the tests), so that no other run of the tool on the machine (a console left
# open) holds them up.
TMPDIR=$(realpath "$files/tmp")
MISTLE_TEST_LOCK_FOLDER=$TMPDIR
export MISTLE_TEST_LOCK_FOLDER
export TMPDIR

mistle() { "$tool" "$@"; }

steps=0
# step HEADING EXPECTED COMMAND...: runs the command without input of its own, prints the heading,
# then what the command printed (the first $shown_lines lines when that is set), and stops the tour
# unless the command ended with 0 and its output holds the text EXPECTED.
step() {
    local heading=$1 expected=$2 status=0
    shift 2
    steps=$((steps + 1))
    echo
    echo "== $steps. $heading"
    "$@" </dev/null >"$log" 2>&1 || status=$?
    local total
    total=$(wc -l <"$log")
    if [ -n "${shown_lines:-}" ] && [ "$total" -gt "$shown_lines" ]; then
        head -n "$shown_lines" "$log"
        echo "[... $((total - shown_lines)) more lines]"
    else
        cat "$log"
        # Some of the tool's messages end without a new line; the next heading needs its own line.
        [ -z "$(tail -c 1 "$log")" ] || echo
    fi
    if [ "$status" -ne 0 ]; then
        echo "The tour stopped: step $steps ended with exit code $status." >&2
        exit 1
    fi
    if ! grep -qF -- "$expected" "$log"; then
        echo "The tour stopped: the output of step $steps lacks \"$expected\"." >&2
        exit 1
    fi
}

# Commands that take typed input or are followed by a check of their file.
choose_from_menu() { echo 1 | mistle /am; }
# The console prints each reply when it arrives, and "exit" ends it at once: "exit" is typed only
# once the record's last line (the clock synthesizer's) is in the output, or after 5 s at most.
console_status() {
    {
        echo 'SX?'
        for _ in $(seq 50); do
            grep -q 'Si5338:' "$log" && break
            sleep 0.1
        done
        echo exit
    } | mistle /sn 10001
}
i2c_read_back() {
    mistle /sn 10001 /i2c_rd /out "$files/hello-copy.bin" /size 5 /ca 0x50 &&
        cmp "$files/hello.bin" "$files/hello-copy.bin"
}
flash_read_back() {
    mistle /sn 10002 /r "$files/image-copy.bin" 0 1300 &&
        cmp "$files/image.bin" "$files/image-copy.bin"
}

printf 'Hello' >"$files/hello.bin"
head -c 1300 /dev/urandom >"$files/image.bin"

echo "A tour of mistle against two simulated cards (sim/scenarios/tour.ini)."
step "Choosing one of two cards from the menu ('1' typed): echo 1 | mistle /am" \
    "System is in application mode" choose_from_menu
step "Firmware version of the card with serial number 10001: mistle /sn 10001 /v" \
    "VN=" mistle /sn 10001 /v
# The decoded record runs to over a hundred lines: the tour shows its head.
shown_lines=23 step "Its decoded status record, from the console (SX?, exit): mistle /sn 10001" \
    "ETC: 37 days" console_status
step "I2C write of a 5-byte file: mistle /sn 10001 /i2c_wr /in $files/hello.bin /ca 0x50" \
    "...done!" mistle /sn 10001 /i2c_wr /in "$files/hello.bin" /ca 0x50
step "I2C read-back and cmp: mistle /sn 10001 /i2c_rd /out $files/hello-copy.bin /size 5 /ca 0x50" \
    "...done" i2c_read_back
step "I2C verify: mistle /sn 10001 /i2c_vr /in $files/hello.bin /ca 0x50" \
    "Verified: 5 bytes" mistle /sn 10001 /i2c_vr /in "$files/hello.bin" /ca 0x50
step "Flash write on the card in service mode: mistle /sn 10002 /w $files/image.bin 0" \
    "Pages written: 3, already holding the file: 0; the flash matches the file." \
    mistle /sn 10002 /w "$files/image.bin" 0
step "Flash compare: mistle /sn 10002 /c $files/image.bin 0" \
    "data matches input file" mistle /sn 10002 /c "$files/image.bin" 0
step "Flash read-back and cmp: mistle /sn 10002 /r $files/image-copy.bin 0 1300" \
    "...done" flash_read_back
echo
echo "The tour is done: every step did what it should."
