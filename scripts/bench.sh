#!/usr/bin/env bash
# Measures mistle's speed against the stand-in board libraries: flash write plus compare on a card
# with 512-byte and one with 256-byte boot-loader pages, a 128 KiB write alone of a new image and of
# the image the flash already holds, an I2C read to a file, "/v", "/status", "/list" of a host with
# 15 Gen 3 cards, an I2C verify, the CPU that an idle console costs, and the time from a console
# request to its decoded reply. Builds release tools of their own (build/bench-linux,
# build/bench-windows) so the normal builds are untouched,
# runs each measurement several times and reports medians: one table on standard output, and the
# same rows as CSV (the file given as first argument, else build/bench/bench-<date>.csv) so that
# two runs can be compared. The Windows rows run under wine, in a prefix of their own
# (build/bench/wine-prefix), when the cross compiler and wine are installed.
#
#   scripts/bench.sh [results.csv]
#   BENCH_RUNS=5 scripts/bench.sh            # runs per measurement (default 3)
#   BENCH_PLATFORMS=linux scripts/bench.sh   # leave out the Windows build
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/prepare-machine.sh

runs=${BENCH_RUNS:-3}
platforms=${BENCH_PLATFORMS:-"linux windows"}
csv=${1:-build/bench/bench-$(date +%Y%m%d-%H%M%S).csv}

# Release at -O2, the optimisation the presets build with (g++ 12 at -O3 reports false
# array-bounds warnings inside std::vector::insert, and warnings are errors).
build_release() {
    local folder=$1
    shift
    cmake -S . -B "$folder" -G Ninja --no-warn-unused-cli -DMISTLE_BUILD_TESTS=OFF \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" "$@" >/dev/null
    cmake --build "$folder" --target mistle mistle_sim_libraries >/dev/null
}

targets=()
for platform in $platforms; do
    case $platform in
    linux)
        echo "== building the release tool (build/bench-linux)" >&2
        build_release build/bench-linux
        targets+=("linux:build/bench-linux/app/mistle:build/bench-linux/simlib")
        ;;
    windows)
        if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null ||
            [ ! -x /usr/lib/wine/wine64 ]; then
            echo "== no MinGW-w64 cross compiler or wine: the Windows rows are left out" >&2
            continue
        fi
        echo "== building the release tool for Windows (build/bench-windows)" >&2
        build_release build/bench-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
        targets+=("windows:build/bench-windows/app/mistle.exe:build/bench-windows/simlib")
        ;;
    *)
        echo "unknown platform '$platform' (linux, windows)" >&2
        exit 2
        ;;
    esac
done

exec python3 scripts/bench.py --runs "$runs" --csv "$csv" "${targets[@]}"
