#!/usr/bin/env bash
# Runs both playbooks of contrib/ansible against three stand-in hosts on this machine (the local
# connection, each host with its own scenario, lock folder and state file): host-a has two cards
# that the card menu lists, one running its firmware and one its boot loader; host-b one card
# whose boot loader refuses every page write; host-c one boot-loader card named in the inventory.
# The versions come back one line per host and card, and the rollout writes host-a, fails at
# host-b and never reaches host-c; a second rollout on host-a finds its card written.
#
#   check-playbooks.sh TOOL SIM_LIBRARY_DIR PLAYBOOK_DIR WORK_DIR
set -euo pipefail
tool=$1 simlib=$2 playbooks=$3 work=$4

if ! command -v ansible-playbook >/dev/null; then
    [ "${CI:-}" != true ] || { echo "ansible-playbook is missing" >&2 && exit 1; }
    echo "ansible-playbook is missing: skipped" && exit 77
fi
fail() { echo "playbook check: $*" >&2 && exit 1; }

rm -rf "$work" && mkdir -p "$work" && cd "$work"
export TMPDIR=$work ANSIBLE_LOCAL_TEMP=$work/ansible ANSIBLE_REMOTE_TEMP=$work/ansible ANSIBLE_NOCOLOR=1
host() { # NAME CARD_SECTIONS... : a scenario and the inventory lines of one host
    mkdir "$work/tmp-$1" && printf '%s\n' "${@:2}" "[host]" "state = $work/$1.state" >"$1.ini"
    printf '    %s:\n      mistle_environment: {TVXSIM_CONFIG: %s, MISTLE_TEST_LOCK_FOLDER: %s, LD_LIBRARY_PATH: %s}\n' \
        "$1" "$work/$1.ini" "$work/tmp-$1" "$simlib"
}
{
    printf 'all:\n  vars: {ansible_connection: local, ansible_python_interpreter: %s, mistle_command: %s}\n  hosts:\n' \
        "$(command -v python3)" "$tool"
    host host-a "[gen3]" "index = 0" "serial = 10001" "[gen3]" "index = 1" "serial = 10002" "mcu = service"
    host host-b "[gen3]" "index = 0" "serial = 20001" "mcu = service" "fault = refuse"
    host host-c "[gen3]" "index = 3" "serial = 30001" "mcu = service"
    echo "      mistle_serials: [30001]"
} >inventory.yml
head -c 4096 /dev/urandom >image.bin

ansible-playbook -i inventory.yml "$playbooks/firmware-versions.yml" >versions.log 2>&1 || fail "$(cat versions.log)"
for line in "host-a 10001 firmware 2.4.0.17" "host-a 10002 boot loader 1.3.0.5" \
    "host-b 20001 boot loader 1.3.0.5" "host-c 30001 boot loader 1.3.0.5"; do
    grep -qF "\"$line\"" versions.log || fail "no line '$line' in"$'\n'"$(cat versions.log)"
done

status=0
ansible-playbook -i inventory.yml "$playbooks/flash-rollout.yml" -e mistle_image="$work/image.bin" \
    >rollout.log 2>&1 || status=$?
[ "$status" -ne 0 ] || fail "the rollout did not fail at host-b:"$'\n'"$(cat rollout.log)"
! grep -q '\[host-c\]' rollout.log || fail "the rollout went on to host-c:"$'\n'"$(cat rollout.log)"
TVXSIM_CONFIG=$work/host-a.ini LD_LIBRARY_PATH=$simlib "$tool" /sn 10002 /c image.bin 0 >compare.log ||
    fail "host-a's card 10002 does not hold the image:"$'\n'"$(cat compare.log rollout.log)"
# The card's write reports "changed"; once the card holds the image, "ok".
flash_result() { grep -A1 -F 'TASK [Write the flash of card 10002]' "$1" | tail -n1; }
[ "$(flash_result rollout.log)" = "changed: [host-a]" ] || fail "no change on host-a:"$'\n'"$(cat rollout.log)"
ansible-playbook -i inventory.yml --limit host-a "$playbooks/flash-rollout.yml" \
    -e mistle_image="$work/image.bin" >again.log 2>&1 || fail "$(cat again.log)"
[ "$(flash_result again.log)" = "ok: [host-a]" ] || fail "a change on host-a again:"$'\n'"$(cat again.log)"
echo "playbook check: versions of 4 cards on 3 hosts; the rollout wrote host-a, stopped at host-b, and found host-a written in a second rollout"
