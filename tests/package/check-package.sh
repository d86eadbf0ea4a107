#!/usr/bin/env bash
# Builds the package of one build (a Debian package natively, a zip for the Windows cross build)
# with cpack, unpacks it and checks it: it holds the tool, its README, its licence and (Debian) its
# manual page and changelog, and nothing else (above all no stand-in board library), and the
# unpacked tool, started from its own folder in a clean environment, finds no card, because
# nothing but the maker's libraries can give it one.
#
#   check-package.sh CPACK BUILD_DIR WORK_DIR deb
#   check-package.sh CPACK BUILD_DIR WORK_DIR zip WINE
set -euo pipefail

cpack=$1 build=$2 work=$3 kind=$4

fail() {
    echo "package check: $*" >&2
    exit 1
}

# The one path that a pattern matched.
single() {
    { [ $# -eq 1 ] && [ -e "$1" ]; } || fail "expected one of $1, found: $*"
    echo "$1"
}

rm -rf "$work"
mkdir -p "$work/unpacked" "$work/tmp"
# A temporary folder of the test's own, for cpack and for the tool's card locks.
export TMPDIR=$work/tmp
"$cpack" --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    fail "cpack failed:"$'\n'"$(cat "$work/cpack.log")"

case $kind in
deb)
    package=$(single "$work"/*.deb)
    for field in Package:mistle Architecture:amd64; do
        value=$(dpkg-deb --field "$package" "${field%%:*}")
        [ "$value" = "${field#*:}" ] || fail "${field%%:*} is '$value', not '${field#*:}'"
    done
    # Depends comes from dpkg-shlibdeps; without it cpack quietly leaves the field out.
    for field in Maintainer Description Depends; do
        [ -n "$(dpkg-deb --field "$package" "$field")" ] || fail "the package has no $field"
    done
    dpkg-deb --extract "$package" "$work/unpacked"
    root=$work/unpacked
    expected_files=(usr/bin/mistle usr/share/doc/mistle/{README.md,copyright,changelog.Debian.gz}
        usr/share/man/man1/mistle.1.gz usr/share/lintian/overrides/mistle)
    tool_dir=usr/bin
    tool=./mistle
    # On Linux the tool writes each new line as it is.
    expected_output=$'\nNo Corvane cards could be found that are ready for use!\n'
    run=(env -i PATH=/usr/bin:/bin "TMPDIR=$TMPDIR")
    ;;
zip)
    wine=$5
    package=$(single "$work"/*.zip)
    (cd "$work/unpacked" && cmake -E tar xf "$package")
    # The zip unpacks into one folder named after the package.
    root=$(single "$work"/unpacked/*)
    expected_files=(LICENSE README.md mistle.exe)
    tool_dir=.
    tool=mistle.exe
    # The tool prints through the C run-time in text mode, which writes each new line as CR LF.
    expected_output=$'\r\nNo Corvane cards could be found that are ready for use!\r\n'
    # Only what wine itself needs: no WINEPATH that could lead it to the stand-in.
    run=(env -i PATH=/usr/bin:/bin "HOME=$HOME" WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml="
        ${WINEPREFIX:+"WINEPREFIX=$WINEPREFIX"} "$wine")
    grep -qF 'requireAdministrator' "$root/mistle.exe" ||
        fail "mistle.exe carries no manifest that asks for administrator rights"
    ;;
*) fail "unknown package kind '$kind'" ;;
esac

stand_in=$(cd "$root" && find . -iname '*torvex*')
[ -z "$stand_in" ] || fail "the package holds the stand-in board libraries: $stand_in"
files=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
expected=$(printf '%s\n' "${expected_files[@]}" | LC_ALL=C sort)
[ "$files" = "$expected" ] || fail "the package holds"$'\n'"$files"$'\n'"instead of"$'\n'"$expected"

status=0
(cd "$root/$tool_dir" && "${run[@]}" "$tool" </dev/null >"$work/output") || status=$?
printf '%s' "$expected_output" >"$work/expected-output"
if ! cmp -s "$work/output" "$work/expected-output" || [ "$status" -ne 255 ]; then
    fail "the installed tool ended with $status (not 255, the shell's -1) and printed"$'\n'"$(
        od -c "$work/output"
    )"
fi
echo "package check: $(basename "$package") holds ${expected_files[*]}; its tool finds no card"
