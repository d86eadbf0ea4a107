#!/usr/bin/env bash
# Builds mistle and runs every test: natively with g++ and clang, and the Windows build (MinGW-w64)
# under wine. Stops at the first suite that fails; its CTest summary is the last thing printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/prepare-machine.sh
export WINEDEBUG=-all
# No .NET or HTML engine installer prompts while wine prepares its prefix on a new machine.
export WINEDLLOVERRIDES="mscoree,mshtml="

run_suite() {
    local preset=$1
    echo "==== $preset: configure and build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    echo "==== $preset: tests"
    ctest --preset "$preset" -j2
}

run_suite linux
run_suite linux-clang
if command -v x86_64-w64-mingw32-g++-posix >/dev/null && [ -x /usr/lib/wine/wine64 ]; then
    # One wine server for all test programs, instead of one start-up per program.
    /usr/lib/wine/wineserver64 -p 2>/dev/null || true
    /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
    run_suite windows
    /usr/lib/wine/wineserver64 -k 2>/dev/null || true
fi
